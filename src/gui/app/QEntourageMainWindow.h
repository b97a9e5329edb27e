#pragma once

#include "archive/FolderTree.h"
#include "archive/ItemPreview.h"

#include <QMainWindow>

class AboutDlg;
class CategoryBar;
class InformationDlg;
class MailHeaderView;
class MyButton;
class OutputRunner;
class PreferencesDlg;
class QAction;
class QItemLister;
class QLabel;
class QLineEdit;
class QLogReport;
class QParseDatabase;
class QPreviewOfItems;
class QProgressBar;
class QTextBrowser;
class QToolButton;
class QTreeView;
class QWebEngineView;
class RepairComplete;
namespace er::gui {
class FolderTreeView;
}

// The single main window: the shell that holds the category bar, folder
// tree, item list, preview, status bar and menus, and the open and close
// commands. Category switching lives in CategoryBar, the runs that write
// files (save, export, the per-message actions) in OutputRunner.
class QEntourageMainWindow : public QMainWindow {
    Q_OBJECT
public:
    using Category = er::ItemCategory;

    explicit QEntourageMainWindow(QWidget* parent = nullptr);
    ~QEntourageMainWindow() override;

signals:
    // The scan dialog was shown (for a new file or at start-up).
    void parseWindowRequested();

public slots:
    void OnOpenFile();
    void OnSavingFiles();
    // The portable export for other mail programs, on the saving thread.
    void OnExportFiles();
    void ShowParseWindow();

    void OnMailView();
    void OnAddressView();
    void OnCalendarView();
    void OnNotesView();
    void OnTasksView();

    // The selected messages as .eml files, their attachments, and the
    // current folder with its subfolders as mailboxes.
    void OnSaveMessages();
    void OnSaveAttachments();
    void OnExportFolder();

    // Activity log.
    void SetLog(const QString& headline, const QString& path, const QString& timeLine);
    void OnLogReport();

    // Progress of a scan.
    void SetInitialSettings(unsigned int range);
    void SetProgressValue(quint64 examined);
    void SetFinishSettingsForMail();
    void OnStatusBarValue(const QString& caption, unsigned int count);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* makeAction(const QString& text, const char* objectName);
    void createActions();
    void createToolBars();
    void createMenus();
    void createStatusBar();
    void createPanes();
    void placeWindow();

    // Enables or disables the commands a running scan, fill or run must
    // lock: the category buttons and actions, Open, Save and the message
    // actions.
    void setLockedCommandsEnabled(bool enabled);
    // Save and the export, enabled only while the scan on display has
    // something to save.
    void setSaveEnabled(bool enabled);
    // The message actions, enabled only where they apply.
    void updateMessageActions();
    std::vector<er::MailListRow> selectedMailRows() const;

    void selectCategory(Category category);
    void showCategory(Category category);
    // Steps shared by the Address Book, Calendar, Notes and Tasks commands.
    void showTextCategory(Category category);
    void clearViews();
    void openSupportLink(const QString& key, const QString& prefix = QString());
    QParseDatabase* createParseDialog();
    void showFolderTree();
    void onScanStopped();
    void onFileRejected();
    // The scan ended with "The scanned file is either an invalid file or
    // heavily damaged.": nothing to show, nothing to save.
    void onNothingUsable();
    void showWatermark();
    void openAllowed();
    void openInformationDialog();

    er::FolderTreeModel m_folderModel;
    // A completed scan with results is on display.
    bool m_scanSaveable = false;
    // No scan, fill or run holds the commands.
    bool m_commandsFree = true;

    CategoryBar* m_categories = nullptr;
    OutputRunner* m_runner = nullptr;
    MyButton* m_openButton = nullptr;
    MyButton* m_saveButton = nullptr;

    QAction* m_preferencesAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_exportAction = nullptr;
    QAction* m_saveMessagesAction = nullptr;
    QAction* m_saveAttachmentsAction = nullptr;
    QAction* m_exportFolderAction = nullptr;

    QLabel* m_statusCaption = nullptr;
    QLabel* m_statusCount = nullptr;
    QProgressBar* m_statusProgress = nullptr;
    QToolButton* m_statusStop = nullptr;

    er::gui::FolderTreeView* m_folderTree = nullptr;
    QTreeView* m_itemList = nullptr;
    QLineEdit* m_searchField = nullptr;
    MailHeaderView* m_headerView = nullptr;
    QWebEngineView* m_preview = nullptr;
    QTextBrowser* m_secondTextView = nullptr;

    PreferencesDlg* m_preferences = nullptr;
    AboutDlg* m_about = nullptr;
    QParseDatabase* m_scanDialog = nullptr;
    QLogReport* m_logDialog = nullptr;
    InformationDlg* m_information = nullptr;
    RepairComplete* m_repairComplete = nullptr;
    QPreviewOfItems* m_previewPane = nullptr;
    QItemLister* m_lister = nullptr;
};
