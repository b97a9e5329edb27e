#include "scan/FolderTreeView.h"

#include <QApplication>
#include <QBrush>
#include <QHeaderView>
#include <QStyledItemDelegate>

namespace er::gui {

namespace {

// The height of a row comes from its size hint, its width from what it shows:
// a size hint's width would make the name column too narrow for the names.
class FolderRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        const QStyle* style = shown.widget ? shown.widget->style() : QApplication::style();
        QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &shown, QSize(), shown.widget);
        const QSize hint = index.data(Qt::SizeHintRole).toSize();
        if (hint.isValid())
            size.setHeight(hint.height());
        return size;
    }
};

}  // namespace

FolderTreeLook::FolderTreeLook(QObject* parent)
    : QIdentityProxyModel(parent), m_font(QStringLiteral("Lucida Grande"), 11)
{
}

QVariant FolderTreeLook::data(const QModelIndex& index, int role) const
{
    switch (role) {
    case Qt::DecorationRole: {
        const QString name = index.data(kIconNameRole).toString();
        auto it = m_icons.find(name);
        if (it == m_icons.end())
            it = m_icons.insert(name, QIcon(name));
        return *it;
    }
    case Qt::FontRole:
        return m_font;
    case Qt::BackgroundRole:
        if (m_topBackground.isValid() && index.isValid() && !index.parent().isValid())
            return QBrush(m_topBackground);
        return QVariant();
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

FolderTreeView::FolderTreeView(QWidget* parent)
    : QTreeView(parent), m_folders(new FolderTreeItemModel(this)), m_look(new FolderTreeLook(this))
{
    m_look->setSourceModel(m_folders);
    setModel(m_look);
    setItemDelegate(new FolderRowDelegate(this));
    header()->setStretchLastSection(true);
    setHeaderHidden(true);
    connect(this, &QTreeView::expanded, this, &FolderTreeView::fitNameColumn);
    connect(this, &QTreeView::collapsed, this, &FolderTreeView::fitNameColumn);
}

void FolderTreeView::fitNameColumn()
{
    header()->setMinimumSectionSize(sizeHintForColumn(0));
}

void FolderTreeView::expandAsModelSays()
{
    const FolderTreeModel& tree = m_folders->tree();
    for (int item = 0; item < tree.size(); ++item)
        if (tree.item(item).expanded)
            expand(m_look->mapFromSource(m_folders->indexOfItem(item)));
    fitNameColumn();
}

void FolderTreeView::showTree(const FolderTreeModel& tree)
{
    if (tree.isEmpty())
        return;
    m_look->setTopBackground(QColor());
    setIconSize(QSize(20, 20));
    m_folders->setTree(tree);
    expandAsModelSays();
}

void FolderTreeView::showCategory(const QString& categoryName, const QString& categoryIcon, const QColor& background)
{
    m_look->setTopBackground(background);
    m_folders->setTree(categoryTree(QObject::tr("On My Computer"), categoryName, categoryIcon));
    expandAsModelSays();
    const QModelIndex category = m_look->mapFromSource(m_folders->indexOfItem(1));
    setCurrentIndex(category);
}

void FolderTreeView::clear()
{
    m_folders->clear();
    fitNameColumn();
}

QModelIndex FolderTreeView::findFolder(const QString& name) const
{
    const QModelIndexList found =
        m_look->match(m_look->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found.first();
}

}  // namespace er::gui
