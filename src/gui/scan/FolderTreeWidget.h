#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace er {
class FolderTreeModel;
}

namespace er::gui {

// The data role that keeps an item's icon resource name, so that the views
// and the tests can tell which icon an item shows.
constexpr int kIconNameRole = 0x0100 + 7;  // Qt::UserRole + 7

// Sets the tree up so that no name is cut: the name column fills the pane
// and never gets narrower than its longest shown name (a horizontal scroll
// bar then appears). Rows keep the height of their size hint.
void prepareFolderTree(QTreeWidget* tree);
// Fits the name column to the names shown now (the fills and expanding do
// it themselves; clearing the tree does not).
void fitNameColumn(QTreeWidget* tree);

// Replaces the tree widget's items with the folder tree model: the names,
// with folder id, parent id and path in the typed roles of
// archive/ItemRoles.h, the model's icons, "Lucida Grande"
// 11 pt, size hints and expansion. An empty model leaves the widget as it is.
void fillFolderTree(QTreeWidget* tree, const FolderTreeModel& model);

// The two-item tree of the Address Book, Calendar, Notes and Tasks
// categories: "On My Computer" with the category below it, selected.
// Returns the category item.
QTreeWidgetItem* fillCategoryTree(QTreeWidget* tree, const QString& categoryName,
                                  const QString& categoryIcon, const QString& background = QString());

// The font of tree and list items.
void setItemFont(QTreeWidgetItem* item);

}  // namespace er::gui
