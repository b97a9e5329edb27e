#include "mail/QItemLister.h"

#include "mail/QPreviewOfItems.h"
#include "archive/ScanState.h"

#include <QFont>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

const char* categoryIcon(er::ItemCategory category)
{
    switch (category) {
    case er::ItemCategory::Mail: return ":/images/img_InboxFolderIcon.png";
    case er::ItemCategory::Contacts: return ":/images/img_AddressBookIcon.png";
    case er::ItemCategory::Calendar: return ":/images/img_CalendarIcon.png";
    case er::ItemCategory::Notes: return ":/images/img_NotesIcon.png";
    case er::ItemCategory::Tasks: return ":/images/img_TaskIcon.png";
    }
    return "";
}

}  // namespace

ItemListLook::ItemListLook(QObject* parent)
    : er::ItemListProxy(parent),
      m_attachment(QStringLiteral(":/images/img_Attachment.png")),
      m_font(QStringLiteral("Lucida Grande"), 11)
{
    for (int i = 0; i < 5; ++i)
        m_rowIcons[i] = QIcon(QLatin1String(categoryIcon(static_cast<er::ItemCategory>(i))));
}

QVariant ItemListLook::data(const QModelIndex& index, int role) const
{
    const auto* items = static_cast<const er::ItemListModel*>(sourceModel());
    if (!index.isValid() || !items)
        return er::ItemListProxy::data(index, role);
    const bool mail = items->category() == er::ItemCategory::Mail;
    const bool textColumn = index.column() == items->textColumn();
    switch (role) {
    case Qt::DecorationRole:
        if (textColumn)
            return m_rowIcons[static_cast<int>(items->category())];
        if (mail && index.column() == er::ItemListModel::MailAttachment && index.data(er::AttachmentRole).toBool())
            return m_attachment;
        return QVariant();
    case Qt::FontRole:
        return m_font;
    case Qt::SizeHintRole:
        // Two lines for a mail row; one for the others.
        if (textColumn)
            return mail ? QSize(-1, 40) : QSize(21, 21);
        return QVariant();
    default:
        return er::ItemListProxy::data(index, role);
    }
}

QVariant ItemListLook::headerData(int section, Qt::Orientation orientation, int role) const
{
    const auto* items = static_cast<const er::ItemListModel*>(sourceModel());
    if (orientation == Qt::Horizontal && role == Qt::DecorationRole && items
        && items->category() == er::ItemCategory::Mail && section == er::ItemListModel::MailAttachment)
        return m_attachment;
    return er::ItemListProxy::headerData(section, orientation, role);
}

QItemLister::QItemLister(er::ScanState& state, QTreeView* folderTree, QTreeView* itemList,
                         QPreviewOfItems* preview, QProgressBar* fillProgress, QToolButton* fillStop, QObject* parent)
    : QObject(parent),
      m_state(state),
      m_folderTree(folderTree),
      m_itemList(itemList),
      m_preview(preview),
      m_fillProgress(fillProgress),
      m_fillStop(fillStop),
      m_model(new er::ItemListModel(state, this)),
      m_proxy(new ItemListLook(this))
{
    m_proxy->setSourceModel(m_model);
    m_itemList->setModel(m_proxy);
    resetSort();
    m_itemList->setSortingEnabled(true);
    connect(m_fillStop, &QToolButton::clicked, this, &QItemLister::cancelFill);
    connect(m_model, &er::ItemListModel::textPassProgress, this, [this](int done, int total) {
        if (total > 0)
            m_fillProgress->setValue(static_cast<int>(100LL * done / total));
    });
    connect(m_model, &er::ItemListModel::textPassFinished, this, &QItemLister::finishFill);
    connect(m_model, &QAbstractItemModel::modelReset, this, &QItemLister::layoutColumns);
    layoutColumns();
    connect(m_itemList, &QTreeView::clicked, this, &QItemLister::previewIndex);
    connect(m_itemList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QItemLister::previewSelection);
}

void QItemLister::resetSort()
{
    // The stores' order until the user picks a column.
    m_itemList->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_proxy->sort(-1);
}

void QItemLister::layoutColumns()
{
    using Model = er::ItemListModel;
    QHeaderView* header = m_itemList->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    if (m_model->category() == Category::Mail) {
        header->setStretchLastSection(false);
        header->setSectionResizeMode(Model::MailAttachment, QHeaderView::Fixed);
        const int widths[Model::MailColumns] = {25, 180, 120, 160, 145, 60};
        for (int column = 0; column < Model::MailColumns; ++column)
            header->resizeSection(column, widths[column]);
    } else {
        header->setStretchLastSection(true);
        for (int column = 0; column < m_model->columnCount(); ++column)
            header->resizeSection(column, column == m_model->textColumn() ? 240 : 145);
    }
}

void QItemLister::setCategory(Category category)
{
    if (category == m_category)
        return;
    m_category = category;
    m_model->clear();
    m_proxy->setSearchText(QString());
    resetSort();
}

void QItemLister::clear()
{
    m_model->clear();
}

void QItemLister::cancelFill()
{
    m_model->stopTextPass();
}

void QItemLister::lockTree()
{
    m_treeHadFocus = m_folderTree->window()->focusWidget() == m_folderTree;
    m_folderTree->setEnabled(false);
}

void QItemLister::unlockTree()
{
    m_folderTree->setEnabled(true);
    if (m_treeHadFocus)
        m_folderTree->setFocus(Qt::OtherFocusReason);
    m_treeHadFocus = false;
}

void QItemLister::showItemsOfFolder(const QModelIndex& folder)
{
    // A click while a fill runs is ignored; the fill goes on.
    if (m_filling || !folder.isValid())
        return;
    const quint64 folderId = folder.data(er::FolderIdRole).toULongLong();
    m_listedFolder = QPersistentModelIndex();
    m_listName = folder.data().toString();
    // The other categories preview in the text view; the web view stays
    // hidden there.
    if (m_category == Category::Mail)
        m_preview->resetPreview();
    if (folderId == 0) {
        // The bundle, Mail and "On My Computer" items list nothing.
        m_model->clear();
        if (m_category == Category::Mail) {
            emit StatusBarValue(QString(), 0);
            m_fillProgress->hide();
            m_fillStop->hide();
        }
        return;
    }
    if (m_category == Category::Mail)
        fillMail(folderId, folder);
    else
        fillCategory(folder);
}

void QItemLister::fillMail(quint64 folderId, const QModelIndex& folder)
{
    lockTree();
    emit commandsLocked(true);
    m_filling = true;
    m_fillingFolder = folder;
    m_model->showMailFolder(folderId);
    selectFirstRow();
    m_itemList->scrollToTop();
    m_fillProgress->setRange(0, 100);
    m_fillProgress->setValue(0);
    m_fillProgress->show();
    m_fillStop->show();
    m_model->startTextPass();
}

void QItemLister::finishFill(bool complete)
{
    if (!m_filling)
        return;
    m_filling = false;
    if (complete)
        m_listedFolder = m_fillingFolder;
    m_fillingFolder = QPersistentModelIndex();
    m_fillProgress->hide();
    m_fillStop->hide();
    showCount();
    unlockTree();
    emit commandsLocked(false);
    emit fillFinished();
}

void QItemLister::fillCategory(const QModelIndex& folder)
{
    m_model->showCategory(m_category);
    m_itemList->setAlternatingRowColors(true);
    selectFirstRow();
    // The head of the contacts is previewed, listed or not.
    if (m_category == Category::Contacts && !m_state.contacts.empty())
        m_preview->show(er::previewOf(m_state, Category::Contacts, 0));
    m_listedFolder = folder;
    showCount();
}

void QItemLister::showCount()
{
    emit StatusBarValue(m_listName, static_cast<unsigned int>(m_proxy->rowCount()));
}

void QItemLister::selectFirstRow()
{
    // The current index sits in the text column: the keyboard moves it
    // within its column.
    const QModelIndex first = m_proxy->index(0, m_model->textColumn());
    // Making it current selects it, which previews it.
    if (first.isValid())
        m_itemList->setCurrentIndex(first);
}

void QItemLister::previewIndex(const QModelIndex& index)
{
    if (!index.isValid() || index.model() != m_proxy)
        return;
    const QModelIndex source = m_proxy->mapToSource(index);
    if (source.isValid())
        m_preview->show(m_model->preview(source.row()));
}

void QItemLister::previewSelection()
{
    // The first selected row in the list's order, not in selection order.
    const QModelIndexList rows = m_itemList->selectionModel()->selectedRows(m_model->textColumn());
    if (rows.isEmpty())
        return;
    previewIndex(*std::min_element(rows.begin(), rows.end(),
                                   [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); }));
}

void QItemLister::setSearchText(const QString& text)
{
    m_proxy->setSearchText(text);
    if (!m_filling && m_model->rowCount() > 0)
        showCount();
}
