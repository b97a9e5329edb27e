#pragma once

#include "archive/ItemListModel.h"

#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>

namespace er {
struct ScanState;
}

class QItemSelection;
class QModelIndex;
class QPreviewOfItems;
class QProgressBar;
class QToolButton;
class QTreeView;

// The list's look on top of the core proxy: icons, the font and row heights.
class ItemListLook : public er::ItemListProxy {
    Q_OBJECT
public:
    explicit ItemListLook(QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Indexed by er::ItemCategory.
    QIcon m_rowIcons[5];
    QIcon m_attachment;
    QFont m_font;
};

// Fills the item list: a mail folder's messages when a folder is clicked, or
// the contacts, events, notes or tasks of the current category, and previews
// the row the user picks. The list is a view on the core's item model through
// a sorting, searching proxy; every row previews its own record, whatever the
// order and the filter.
class QItemLister : public QObject {
    Q_OBJECT
public:
    using Category = er::ItemCategory;

    QItemLister(er::ScanState& state, QTreeView* folderTree, QTreeView* itemList, QPreviewOfItems* preview,
                QProgressBar* fillProgress, QToolButton* fillStop, QObject* parent = nullptr);

    // A new category drops the sort order and the search of the last one.
    void setCategory(Category category);
    Category category() const { return m_category; }
    // A mail folder's rows are shown and their texts still being read.
    bool isFilling() const { return m_filling; }
    // Whether the list shows all the items of this folder tree item: a click
    // on it then has nothing new to list.
    bool isListed(const QModelIndex& folder) const { return folder.isValid() && folder == m_listedFolder; }
    // Forgets the rows (the scan they came from is gone).
    void clear();

    er::ItemListModel* model() const { return m_model; }
    er::ItemListProxy* proxy() const { return m_proxy; }

signals:
    // The commands that must not run during a fill are locked and unlocked.
    void commandsLocked(bool locked);
    // The status bar's caption (without the colon) and count.
    void StatusBarValue(const QString& caption, unsigned int count);
    // A mail folder's text pass ended (complete or stopped).
    void fillFinished();

public slots:
    // Lists the folder at this index of the folder tree.
    void showItemsOfFolder(const QModelIndex& folder);
    // The status bar's stop button: ends a running mail fill.
    void cancelFill();
    // Previews the row at this index of the list.
    void previewIndex(const QModelIndex& index);
    // Previews the first selected row in the list's order (the keyboard's
    // and a selection's way to a preview).
    void previewSelection();
    // Shows only the rows that hold the text.
    void setSearchText(const QString& text);

private:
    void fillMail(quint64 folderId, const QModelIndex& folder);
    void fillCategory(const QModelIndex& folder);
    void finishFill(bool complete);
    void selectFirstRow();
    void showCount();
    void resetSort();
    // Column widths of the category shown.
    void layoutColumns();
    // The tree is locked during a fill. Locking moves the focus out of it, so
    // unlocking gives it back: a keyboard walk through the folders goes on.
    void lockTree();
    void unlockTree();

    er::ScanState& m_state;
    QTreeView* m_folderTree;
    QTreeView* m_itemList;
    QPreviewOfItems* m_preview;
    QProgressBar* m_fillProgress;
    QToolButton* m_fillStop;
    er::ItemListModel* m_model;
    ItemListLook* m_proxy;
    Category m_category = Category::Mail;
    bool m_filling = false;
    bool m_treeHadFocus = false;
    // The folder whose items are all listed, and the one being filled.
    QPersistentModelIndex m_listedFolder;
    QPersistentModelIndex m_fillingFolder;
    // The name of the listed folder, for the status bar.
    QString m_listName;
};
