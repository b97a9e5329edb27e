#pragma once

#include "archive/ItemPreview.h"
#include "archive/MailList.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <vector>

namespace er {
struct ScanState;
}

class QPreviewOfItems;
class QProgressBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// Fills the item list: a mail folder's messages when a folder is clicked, or
// the contacts, events, notes or tasks of the current category, and previews
// the row the user picks. Every row keeps a reference to its own record
// (kRecordRole), so a click always previews the clicked item, whatever its
// key text says.
class QItemLister : public QObject {
    Q_OBJECT
public:
    using Category = er::ItemCategory;
    // The record behind a row: its position in its list.
    static constexpr int kRecordRole = 0x0100 + 8;  // Qt::UserRole + 8

    QItemLister(er::ScanState& state, QTreeWidget* folderTree, QTreeWidget* itemList,
                QPreviewOfItems* preview, QProgressBar* fillProgress, QToolButton* fillStop,
                QObject* parent = nullptr);

    void setCategory(Category category) { m_category = category; }
    Category category() const { return m_category; }
    bool isFilling() const { return m_filling; }
    // Whether the list shows all the items of this folder tree item: a click
    // on it then has nothing new to list.
    bool isListed(const QTreeWidgetItem* item) const { return item && item == m_listedItem; }
    // Forgets the rows of the last mail fill (the scan they came from is gone).
    void clear();

signals:
    // The commands that must not run during a fill are locked and unlocked.
    void commandsLocked(bool locked);
    // The status bar's caption (without the colon) and count.
    void StatusBarValue(const QString& caption, unsigned int count);

public slots:
    void showItemsOfFolder(QTreeWidgetItem* item, int column);
    void OnContactsClicked();
    void OnCalendarClicked();
    void OnNotesClicked();
    void OnTasksClicked();
    // The status bar's stop button: ends a running mail fill.
    void cancelFill() { m_cancel = true; }
    // Previews the row in the current category.
    void previewRow(QTreeWidgetItem* row);
    // Previews the first selected row in the list's order (the keyboard's
    // and a selection's way to a preview).
    void previewSelection();

private:
    // False when the fill was cancelled before its last row.
    bool fillMail(quint64 folderId);
    void finishTextList();
    // The tree is locked during a fill. Locking moves the focus out of it, so
    // unlocking gives it back: a keyboard walk through the folders goes on.
    void lockTree();
    void unlockTree();
    QString selectedFolderName() const;

    er::ScanState& m_state;
    QTreeWidget* m_folderTree;
    QTreeWidget* m_itemList;
    QPreviewOfItems* m_preview;
    QProgressBar* m_fillProgress;
    QToolButton* m_fillStop;
    Category m_category = Category::Mail;
    bool m_filling = false;
    bool m_treeHadFocus = false;
    const QTreeWidgetItem* m_listedItem = nullptr;
    // The folder tree item being listed: it names the list in the status bar
    // (a click makes it current before it becomes selected).
    const QTreeWidgetItem* m_listing = nullptr;
    std::atomic<bool> m_cancel{false};
    std::vector<er::MailListRow> m_mailRows;
};
