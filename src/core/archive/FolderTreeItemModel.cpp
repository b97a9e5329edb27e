#include "archive/FolderTreeItemModel.h"

#include <QSize>

namespace er {

void FolderTreeItemModel::setTree(FolderTreeModel tree)
{
    beginResetModel();
    m_tree = std::move(tree);
    m_top.clear();
    m_row.assign(static_cast<size_t>(m_tree.size()), 0);
    for (int i = 0; i < m_tree.size(); ++i) {
        const FolderTreeItem& item = m_tree.item(i);
        if (item.parent < 0) {
            m_row[static_cast<size_t>(i)] = static_cast<int>(m_top.size());
            m_top.push_back(i);
        }
        for (size_t row = 0; row < item.children.size(); ++row)
            m_row[static_cast<size_t>(item.children[row])] = static_cast<int>(row);
    }
    endResetModel();
}

const std::vector<int>& FolderTreeItemModel::childrenOf(const QModelIndex& parent) const
{
    return parent.isValid() ? m_tree.item(itemOf(parent)).children : m_top;
}

QModelIndex FolderTreeItemModel::indexOfItem(int item) const
{
    if (item < 0 || item >= m_tree.size())
        return QModelIndex();
    return createIndex(m_row[static_cast<size_t>(item)], 0, static_cast<quintptr>(item));
}

QModelIndex FolderTreeItemModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>& children = childrenOf(parent);
    if (column != 0 || row < 0 || row >= static_cast<int>(children.size()))
        return QModelIndex();
    return createIndex(row, 0, static_cast<quintptr>(children[static_cast<size_t>(row)]));
}

QModelIndex FolderTreeItemModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexOfItem(m_tree.item(itemOf(child)).parent);
}

int FolderTreeItemModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(childrenOf(parent).size());
}

int FolderTreeItemModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeItemModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const int at = itemOf(index);
    const FolderTreeItem& item = m_tree.item(at);
    switch (role) {
    case Qt::DisplayRole: return item.name;
    case Qt::SizeHintRole: return item.sizeHint > 0 ? QVariant(QSize(item.sizeHint, item.sizeHint)) : QVariant();
    case FolderIdRole: return qulonglong(item.folderId);
    case ParentFolderIdRole: return qulonglong(item.parentId);
    case FolderPathRole: return m_tree.path(at);
    case IconNameRole: return item.icon;
    case ExpandedRole: return item.expanded;
    default: return QVariant();
    }
}

FolderTreeModel categoryTree(const QString& top, const QString& categoryName, const QString& categoryIcon)
{
    FolderTreeModel tree;
    FolderTreeItem root;
    root.name = top;
    root.component = QLatin1Char('/') + top;
    root.icon = QStringLiteral(":/images/img_OnMyComputerIcon.png");
    root.expanded = true;
    const int rootIndex = tree.addItem(-1, root);
    FolderTreeItem category;
    category.name = categoryName;
    category.folderId = 1;
    category.component = categoryName;
    category.pathParent = rootIndex;
    category.icon = categoryIcon;
    tree.addItem(rootIndex, category);
    return tree;
}

} // namespace er
