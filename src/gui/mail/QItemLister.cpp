#include "mail/QItemLister.h"

#include "calendar/CalendarPreview.h"
#include "contacts/ContactPreview.h"
#include "notes/NotePreview.h"
#include "mail/QPreviewOfItems.h"
#include "scan/FolderTreeWidget.h"
#include "archive/ScanState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QIcon>
#include <QProgressBar>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

// Events run at most this often during a fill: the window stays responsive
// without paying for an event round per row.
constexpr qint64 kEventIntervalMs = 30;
// The visible column of a row. The current index must sit in it: the keyboard
// moves the current index within its column, and a move within a hidden
// column selects whatever row lies at the view's top.
constexpr int kTextColumn = 2;

QTreeWidgetItem* makeRow(const QString& text, const QString& key, const QIcon& icon, const QSize& hint, int record)
{
    auto* row = new QTreeWidgetItem;
    row->setText(kTextColumn, text);
    row->setIcon(kTextColumn, icon);
    row->setFont(kTextColumn, QFont(QStringLiteral("Lucida Grande"), 11));
    row->setSizeHint(kTextColumn, hint);
    row->setText(3, key);
    row->setData(kTextColumn, QItemLister::kRecordRole, record);
    return row;
}

}  // namespace

QItemLister::QItemLister(er::ScanState& state, QTreeWidget* folderTree, QTreeWidget* itemList,
                         QPreviewOfItems* preview, QProgressBar* fillProgress, QToolButton* fillStop,
                         QObject* parent)
    : QObject(parent),
      m_state(state),
      m_folderTree(folderTree),
      m_itemList(itemList),
      m_preview(preview),
      m_fillProgress(fillProgress),
      m_fillStop(fillStop)
{
    connect(m_fillStop, &QToolButton::clicked, this, &QItemLister::cancelFill);
}

void QItemLister::clear()
{
    m_mailRows.clear();
    m_mailRows.shrink_to_fit();
}

QString QItemLister::selectedFolderName() const
{
    if (m_listing)
        return m_listing->text(0);
    const QList<QTreeWidgetItem*> selected = m_folderTree->selectedItems();
    if (!selected.isEmpty())
        return selected.first()->text(0);
    return m_folderTree->currentItem() ? m_folderTree->currentItem()->text(0) : QString();
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

void QItemLister::showItemsOfFolder(QTreeWidgetItem* item, int)
{
    // A click while a fill runs is ignored; the fill goes on.
    if (m_filling || !item)
        return;
    const quint64 folderId = item->text(1).toULongLong();
    m_listedItem = nullptr;
    m_listing = item;
    const auto listed = qScopeGuard([this] { m_listing = nullptr; });

    lockTree();
    // The other categories preview in the text view; the web view stays
    // hidden there.
    if (m_category == Category::Mail)
        m_preview->resetPreview();
    emit commandsLocked(true);
    m_itemList->clear();

    auto unlock = [this]() {
        unlockTree();
        emit commandsLocked(false);
    };
    switch (m_category) {
    case Category::Contacts:
    case Category::Calendar:
    case Category::Tasks:
    case Category::Notes:
        if (folderId == 0) {
            unlock();
            return;
        }
        if (m_category == Category::Contacts)
            OnContactsClicked();
        else if (m_category == Category::Calendar)
            OnCalendarClicked();
        else if (m_category == Category::Tasks)
            OnTasksClicked();
        else
            OnNotesClicked();
        m_listedItem = item;
        return;
    case Category::Mail:
        if (folderId == 0) {
            unlock();
            emit StatusBarValue(QString(), 0);
            m_fillProgress->hide();
            m_fillStop->hide();
            return;
        }
        if (fillMail(folderId))
            m_listedItem = item;
        return;
    }
}

bool QItemLister::fillMail(quint64 folderId)
{
    m_filling = true;
    m_cancel = false;
    m_itemList->setSortingEnabled(false);
    m_fillProgress->setRange(0, 100);
    m_fillProgress->setValue(0);
    m_fillProgress->show();
    m_fillStop->show();

    QElapsedTimer sinceEvents;
    sinceEvents.start();
    auto letEventsRun = [&]() {
        if (sinceEvents.elapsed() < kEventIntervalMs)
            return;
        QCoreApplication::processEvents();
        sinceEvents.restart();
    };

    er::MailListHooks hooks;
    hooks.stop = &m_cancel;
    hooks.progress = [&](int done, int total) {
        // The reading pass is the first half of the bar, the rows the second.
        if (total > 0)
            m_fillProgress->setValue(50 * done / total);
        letEventsRun();
    };
    m_mailRows = er::mailListRows(m_state, folderId, hooks);

    const QIcon attachment(QStringLiteral(":/images/img_Attachment.png"));
    const QIcon mailIcon(QStringLiteral(":/images/img_InboxFolderIcon.png"));
    const int total = static_cast<int>(m_mailRows.size());
    QList<QTreeWidgetItem*> batch;
    for (int i = 0; i < total && !m_cancel; ++i) {
        const er::MailListRow& row = m_mailRows[static_cast<size_t>(i)];
        QTreeWidgetItem* item = makeRow(row.text, QString::number(row.offset), mailIcon, QSize(-1, 40), i);
        item->setText(4, QString::number(row.size));
        if (row.hasAttachment)
            item->setIcon(1, attachment);
        batch << item;
        if (sinceEvents.elapsed() >= kEventIntervalMs || i + 1 == total) {
            const bool first = m_itemList->topLevelItemCount() == 0;
            m_itemList->addTopLevelItems(batch);
            batch.clear();
            if (first && m_itemList->topLevelItemCount() > 0) {
                // The first row is selected and previewed at once.
                m_itemList->setCurrentItem(m_itemList->topLevelItem(0), kTextColumn);
                previewRow(m_itemList->topLevelItem(0));
            }
            m_fillProgress->setValue(50 + 50 * (i + 1) / qMax(1, total));
            letEventsRun();
        }
    }
    qDeleteAll(batch);

    emit StatusBarValue(selectedFolderName(), static_cast<unsigned int>(m_itemList->topLevelItemCount()));
    m_itemList->setSortingEnabled(true);
    m_fillProgress->hide();
    m_fillStop->hide();
    m_filling = false;
    const bool complete = !m_cancel;
    m_cancel = false;
    m_itemList->scrollToTop();
    unlockTree();
    emit commandsLocked(false);
    return complete;
}

void QItemLister::finishTextList()
{
    emit StatusBarValue(selectedFolderName(), static_cast<unsigned int>(m_itemList->topLevelItemCount()));
    m_itemList->setSortingEnabled(true);
    m_fillProgress->hide();
    m_fillStop->hide();
    unlockTree();
    emit commandsLocked(false);
}

void QItemLister::OnContactsClicked()
{
    if (m_category == Category::Contacts) {
        m_itemList->setSortingEnabled(false);
        m_itemList->clear();
        m_itemList->setAlternatingRowColors(true);
        const QIcon icon(QStringLiteral(":/images/img_AddressBookIcon.png"));
        QList<QTreeWidgetItem*> rows;
        int index = 0;
        for (const er::ContactView contact : m_state.contacts) {
            if (er::isUsableContact(contact))
                rows << makeRow(er::contactRowText(contact), er::itemKeyText(contact), icon, QSize(21, 21), index);
            ++index;
        }
        m_itemList->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            m_itemList->setCurrentItem(rows.first(), kTextColumn);
        }
        // The head of the list is previewed, listed or not.
        if (!m_state.contacts.empty())
            m_preview->show(er::previewOf(m_state, Category::Contacts, 0));
    }
    finishTextList();
}

void QItemLister::OnNotesClicked()
{
    if (m_category == Category::Notes) {
        m_itemList->setSortingEnabled(false);
        m_itemList->clear();
        m_itemList->setAlternatingRowColors(true);
        const QIcon icon(QStringLiteral(":/images/img_NotesIcon.png"));
        QList<QTreeWidgetItem*> rows;
        int index = 0;
        for (const er::NoteView note : m_state.notes)
            rows << makeRow(er::noteRowText(note), er::itemKeyText(note), icon, QSize(21, 21), index++);
        m_itemList->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            m_itemList->setCurrentItem(rows.first(), kTextColumn);
            m_preview->show(er::previewOf(m_state, Category::Notes, 0));
        }
    }
    finishTextList();
}

void QItemLister::OnCalendarClicked()
{
    if (m_category == Category::Calendar) {
        m_itemList->setSortingEnabled(false);
        m_itemList->clear();
        m_itemList->setAlternatingRowColors(true);
        const QIcon icon(QStringLiteral(":/images/img_CalendarIcon.png"));
        QList<QTreeWidgetItem*> rows;
        int index = 0;
        for (const er::EventView event : m_state.events)
            rows << makeRow(er::eventRowText(event), er::itemKeyText(event), icon, QSize(21, 21), index++);
        m_itemList->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            m_itemList->setCurrentItem(rows.first(), kTextColumn);
            m_preview->show(er::previewOf(m_state, Category::Calendar, 0));
        }
    }
    finishTextList();
}

void QItemLister::OnTasksClicked()
{
    if (m_category == Category::Tasks) {
        m_itemList->setSortingEnabled(false);
        m_itemList->clear();
        m_itemList->setAlternatingRowColors(true);
        const QIcon icon(QStringLiteral(":/images/img_TaskIcon.png"));
        QList<QTreeWidgetItem*> rows;
        int index = 0;
        for (const er::TaskView task : m_state.tasks)
            rows << makeRow(er::taskRowText(task), er::itemKeyText(task), icon, QSize(21, 21), index++);
        m_itemList->addTopLevelItems(rows);
        if (!rows.isEmpty()) {
            m_itemList->setCurrentItem(rows.first(), kTextColumn);
            m_preview->show(er::previewOf(m_state, Category::Tasks, 0));
        }
    }
    finishTextList();
}

void QItemLister::previewRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    bool ok = false;
    const int index = row->data(kTextColumn, kRecordRole).toInt(&ok);
    if (!ok || index < 0)
        return;
    const auto at = static_cast<size_t>(index);
    if (m_category != Category::Mail)
        m_preview->show(er::previewOf(m_state, m_category, at));
    else if (at < m_mailRows.size())
        m_preview->show(er::previewOf(m_state, m_mailRows[at]));
}

void QItemLister::previewSelection()
{
    // The first selected row in the list's order, not in selection order.
    QTreeWidgetItemIterator it(m_itemList, QTreeWidgetItemIterator::Selected);
    if (*it)
        previewRow(*it);
}
