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
    enum Column { NameColumn = 0, IdColumn = 1, ParentIdColumn = 2, PathColumn = 3 };

    // Column 0: display name; 1: folder id; 2: parent id; 3: path inside the
    // bundle, beginning "/Main Identity.rge". Only column 0 is shown.
    QString columns[4];
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
    // The first item in pre-order whose column 1 is the id, or -1.
    int findById(quint64 id) const;

    int addItem(int parent, FolderTreeItem item);

private:
    std::vector<FolderTreeItem> m_items;
    QHash<QString, QVector<int>> m_byId;
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
