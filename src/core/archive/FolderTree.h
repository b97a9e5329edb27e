#pragma once
// The folder tree: the decoded mail folders in their stored hierarchy, under a
// root standing for the archive bundle and its "Mail" item. The window shows
// it, and the save takes the bundle's directories and the folder path list
// from it, so all three always agree.

#include "archive/ScanState.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <atomic>
#include <vector>

namespace er {

struct FolderTreeItem {
    // The name shown.
    QString name;
    // The folder's id (0 for the root, 4294967294 for "Mail") and its parent
    // id as the folder gives it (4294967294 for a top-level folder).
    quint64 folderId = 0;
    quint64 parentId = 0;
    // Its own last component of its path inside the bundle, and the item
    // whose path its path extends: its parent, or "Mail" for a folder placed
    // flatter. The path itself is FolderTreeModel::path(), never stored.
    QString component;
    int pathParent = -1;
    // The path's length in UTF-8 bytes.
    int pathBytes = 0;
    // Resource name of the icon (":/images/...").
    QString icon;
    // Size hint in pixels; 0 means the view's default.
    int sizeHint = 0;
    bool expanded = false;
    int parent = -1;
    std::vector<int> children;
};

class FolderTreeModel {
public:
    static constexpr int kRoot = 0;
    static constexpr int kMail = 1;

    bool isEmpty() const { return m_items.empty(); }
    int size() const { return static_cast<int>(m_items.size()); }
    const FolderTreeItem& item(int index) const { return m_items[static_cast<size_t>(index)]; }
    // Every item, each before its children, siblings in order.
    std::vector<int> preOrder() const;
    // The first item in pre-order with the folder id, or -1.
    int findById(quint64 id) const;
    // The item's path inside the bundle, beginning "/Main Identity.rge":
    // the components from the root down.
    QString path(int index) const;

    int addItem(int parent, FolderTreeItem item);

private:
    std::vector<FolderTreeItem> m_items;
    QHash<quint64, QVector<int>> m_byId;
};

// Display names are cut to this many characters.
constexpr int kFolderNameDisplayLimit = 129;
// Top-level names that may appear once in a tree (compared without case).
bool isOnceOnlyFolderName(const QString& name);

// Builds the tree from the folder list, from scratch: every build starts from
// cleared placement flags, so repeated builds give the same tree. A parent id
// of 0 is rewritten to 4294967294 in the record. A folder goes under its
// parent only when the parent's item exists when the folder is reached;
// otherwise it goes under "Mail". A once-only name is shown once per tree,
// except that a folder holding messages is never hidden. An empty folder
// list, or a set stop token, gives an empty model.
FolderTreeModel buildFolderTree(ScanState& state, const std::atomic<bool>* stop = nullptr);

} // namespace er
