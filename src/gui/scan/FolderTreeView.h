#pragma once

#include "archive/FolderTreeItemModel.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QTreeView>

namespace er::gui {

// The data role that keeps an item's icon resource name, so that the views
// and the tests can tell which icon an item shows.
constexpr int kIconNameRole = er::IconNameRole;

// The tree's look on the core model: icons, the font, and the background of
// the top item when one is set.
class FolderTreeLook : public QIdentityProxyModel {
    Q_OBJECT
public:
    explicit FolderTreeLook(QObject* parent = nullptr);
    void setTopBackground(const QColor& color) { m_topBackground = color; }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    mutable QHash<QString, QIcon> m_icons;
    QFont m_font;
    QColor m_topBackground;
};

// The window's folder tree: a view on the core folder tree model. No name is
// cut: the name column fills the pane and never gets narrower than its
// longest shown name (a horizontal scroll bar then appears). Rows keep the
// height of their size hint.
class FolderTreeView : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTreeView(QWidget* parent = nullptr);

    // Shows the folder tree model, expanded as it says. An empty model
    // leaves the view as it is.
    void showTree(const FolderTreeModel& tree);
    // The two-item tree of the Address Book, Calendar, Notes and Tasks
    // categories, with the category item current and selected.
    void showCategory(const QString& categoryName, const QString& categoryIcon, const QColor& background = QColor());
    void clear();
    // Fits the name column to the names shown now.
    void fitNameColumn();

    FolderTreeItemModel* folders() const { return m_folders; }
    // The index, in the view's model, of the first item with this name; an
    // invalid index when there is none.
    QModelIndex findFolder(const QString& name) const;

private:
    void expandAsModelSays();

    FolderTreeItemModel* m_folders;
    FolderTreeLook* m_look;
};

}  // namespace er::gui
