#pragma once
// The folder tree as an item model for the window's tree view: one column of
// names, with the folder id, parent id, path, icon name and expansion in the
// typed roles of archive/ItemRoles.h.

#include "archive/FolderTree.h"
#include "archive/ItemRoles.h"

#include <QAbstractItemModel>

#include <vector>

namespace er {

class FolderTreeItemModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using QAbstractItemModel::QAbstractItemModel;

    // Shows this tree in place of the last.
    void setTree(FolderTreeModel tree);
    void clear() { setTree(FolderTreeModel()); }
    const FolderTreeModel& tree() const { return m_tree; }
    // The index of the tree item, or an invalid index.
    QModelIndex indexOfItem(int item) const;
    // The tree item behind an index; -1 for an invalid one.
    static int itemOf(const QModelIndex& index) { return index.isValid() ? static_cast<int>(index.internalId()) : -1; }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const std::vector<int>& childrenOf(const QModelIndex& parent) const;

    FolderTreeModel m_tree;
    // The items without a parent, and each item's row under its parent.
    std::vector<int> m_top;
    std::vector<int> m_row;
};

// The two-item tree of the Address Book, Calendar, Notes and Tasks
// categories: "On My Computer" (folder id 0) with the category (folder id 1)
// below it, expanded.
FolderTreeModel categoryTree(const QString& top, const QString& categoryName, const QString& categoryIcon);

} // namespace er
