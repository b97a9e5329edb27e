#pragma once

#include "archive/FolderTree.h"
#include "archive/ItemPreview.h"
#include "archive/SavingThread.h"

#include <QMainWindow>

#include <array>
#include <functional>

class MyButton;
class PreferencesDlg;
class AboutDlg;
class InformationDlg;
class QLogReport;
class QParseDatabase;
class QProgressInfo;
class QPreviewOfItems;
class QItemLister;
namespace er::gui {
class FolderTreeView;
}
class RepairComplete;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTextBrowser;
class QToolBar;
class QToolButton;
class QLineEdit;
class QTreeView;
class MailHeaderView;
class QWebEngineView;

// The single main window: category buttons, folder tree, item list, preview,
// status bar, menus, and the open and close commands.
class QEntourageMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The record kinds, one category button each; arrays of the window are
    // indexed by them.
    using Category = er::ItemCategory;
    static int indexOf(Category category) { return static_cast<int>(category); }
    static constexpr int kCategoryCount = 5;

    explicit QEntourageMainWindow(QWidget* parent = nullptr);
    ~QEntourageMainWindow() override;

    // The category the views show (the one whose button is checked).
    Category currentCategory() const { return m_category; }
    // The folder tree model shown for the mail category, as last built.
    const er::FolderTreeModel& folderModel() const { return m_folderModel; }

    MyButton* categoryButton(Category category) const { return m_categoryButtons[indexOf(category)]; }
    QAction* categoryAction(Category category) const { return m_categoryActions[indexOf(category)]; }
    MyButton* openButton() const { return m_openButton; }
    MyButton* saveButton() const { return m_saveButton; }
    MyButton* helpButton() const { return m_helpButton; }
    QAction* openAction() const { return m_openAction; }
    QAction* saveAction() const { return m_saveAction; }
    QAction* preferencesAction() const { return m_preferencesAction; }
    er::gui::FolderTreeView* folderTree() const { return m_folderTree; }
    QTreeView* itemList() const { return m_itemList; }
    QLineEdit* searchField() const { return m_searchField; }
    MailHeaderView* headerView() const { return m_headerView; }
    QTextBrowser* secondTextView() const { return m_secondTextView; }
    QWebEngineView* previewView() const { return m_preview; }
    QLabel* categoryCaption() const { return m_categoryCaption; }
    QLabel* statusCaption() const { return m_statusCaption; }
    QLabel* statusCount() const { return m_statusCount; }
    PreferencesDlg* preferencesDialog() const { return m_preferences; }
    QParseDatabase* parseDialog() const { return m_scanDialog; }
    QLogReport* logDialog() const { return m_logDialog; }
    QProgressInfo* progressSheet() const { return m_progress; }
    InformationDlg* informationDialog() const { return m_information; }
    RepairComplete* completionDialog() const { return m_repairComplete; }
    er::SavingThread& savingThread() { return m_savingThread; }
    QAction* logReportAction() const { return m_logReportAction; }
    QAction* exportAction() const { return m_exportAction; }
    // The directory chooser of the save command; tests replace it.
    void setDirectoryChooser(std::function<QString()> chooser) { m_directoryChooser = std::move(chooser); }
    AboutDlg* aboutDialog() const { return m_about; }
    // The blank page the preview shows after a reset, in a private folder.
    QString previewPagePath() const;
    QPreviewOfItems* previewer() const { return m_previewPane; }
    QItemLister* itemLister() const { return m_lister; }

    // Enables or disables the commands a running scan or save must lock: the
    // category buttons and actions, Open and Save.
    void setLockedCommandsEnabled(bool enabled);
    // Save and the export, enabled only while the scan on display has
    // something to save.
    void setSaveEnabled(bool enabled);

signals:
    // The scan dialog was shown (for a new file or at start-up).
    void parseWindowRequested();
    void CreateLog(const QString& headline, const QString& path, const QString& timeLine);
    void LogView(const QString& headline, const QString& path, const QString& timeLine);
    void OpenInformationDlg();

public slots:
    void aboutVantrelKestrane();
    void OnPreferences();
    void licenseAgreement();
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

    void OnMailButtonClicked();
    void OnContactButtonClicked();
    void OnCalendarButtonClicked();
    void OnNotesButtonClicked();
    void OnTasksButtonClicked();

    void OpenHelp();
    void OnEmailSupport();
    void OnViewSupport();
    void OnGenerateTicket();
    void OnKnowledgeBase();

    void OnMailEnter();
    void OnMailLeave();
    void OnAddressEnter();
    void OnAddressLeave();
    void OnCalendarEnter();
    void OnCalendarLeave();
    void OnNotesEnter();
    void OnNotesLeave();
    void OnTasksEnter();
    void OnTasksLeave();
    void OnOpenEnter();
    void OnOpenLeave();
    void OnSaveEnter();
    void OnSaveLeave();

    // Activity log.
    void SetLog(const QString& headline, const QString& path, const QString& timeLine);
    void Log(const QString& headline, const QString& path, const QString& timeLine);
    void OnLogReport();

    // Progress of a scan and of a save.
    void SetInitialSettings(unsigned int range);
    void SetProgressValue(quint64 examined);
    void SetInitialSettingsForMail(unsigned int range);
    void SetProgressValueForMail();
    void SetFinishSettingsForMail();
    void SetFinishSettings();
    void OnStatusText(const QString& text);
    void OnStatusBarValue(const QString& caption, unsigned int count);
    void OnStopPushButton();

    void OnInformationDlg();
    void OnOpenInformationDlg();
    void OnProcessSuccess();

    void SaveFileProcessStarted(const QString& dir);
    void SavingFileProcessCompleted(const QString& dir);
    void SavingFileProcessAborted(const QString& dir);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createToolBars();
    void createMenus();
    void createStatusBar();
    void createPanes();
    void placeWindow();

    void selectCategory(Category category);
    void enterCategoryButton(Category category);
    void leaveCategoryButton(Category category);
    // Steps shared by the Address Book, Calendar, Notes and Tasks commands.
    void showTextCategory(Category category);
    void clearViews();
    void openSupportLink(const QString& key, const QString& prefix = QString());
    QParseDatabase* createParseDialog();
    void showFolderTree();
    void showProgressSheet(const QString& text);
    void hideProgressSheet();
    void onScanStopped();
    void onFileRejected();
    // The scan ended with "The scanned file is either an invalid file or
    // heavily damaged.": nothing to show, nothing to save.
    void onNothingUsable();
    void showWatermark();
    void onParseDialogClosed();
    void emitSaveLog(const QString& headline, const QString& dir, const QString& prefix);
    void emitExportLog(const QString& headline, const QString& dir, const QString& prefix);
    // Asks for a target folder until it is free or the user agrees to
    // replace; empty when the command is to end.
    // Asks for a folder until one can take the output (or the user gives
    // up): an earlier output is replaced only after Yes; what is not ours,
    // what holds the database and a folder another run writes into are
    // refused; a disk too small is said before anything is written.
    bool chooseTarget(bool portable, er::OutputTarget* target);
    void startThreadRun(bool portable);

    Category m_category = Category::Mail;
    er::FolderTreeModel m_folderModel;
    // A completed scan with results is on display.
    bool m_scanSaveable = false;

    std::array<MyButton*, kCategoryCount> m_categoryButtons{};
    std::array<QAction*, kCategoryCount> m_categoryActions{};
    MyButton* m_openButton = nullptr;
    MyButton* m_saveButton = nullptr;
    MyButton* m_helpButton = nullptr;
    QLabel* m_categoryCaption = nullptr;

    QAction* m_aboutAction = nullptr;
    QAction* m_preferencesAction = nullptr;
    QAction* m_licenseAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_openSecondAction = nullptr;
    QAction* m_saveSecondAction = nullptr;
    QAction* m_helpAction = nullptr;
    QAction* m_emailAction = nullptr;
    QAction* m_viewSupportAction = nullptr;
    QAction* m_submitEnquiryAction = nullptr;
    QAction* m_knowledgeBaseAction = nullptr;

    QToolBar* m_categoryToolBar = nullptr;
    QToolBar* m_fileToolBar = nullptr;
    QMenu* m_applicationMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_helpMenu = nullptr;

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
    QFrame* m_rightPane = nullptr;
    QSplitter* m_splitter = nullptr;

    QAction* m_logReportAction = nullptr;
    QAction* m_exportAction = nullptr;

    PreferencesDlg* m_preferences = nullptr;
    AboutDlg* m_about = nullptr;
    QParseDatabase* m_scanDialog = nullptr;
    QLogReport* m_logDialog = nullptr;
    QProgressInfo* m_progress = nullptr;
    InformationDlg* m_information = nullptr;
    RepairComplete* m_repairComplete = nullptr;
    QPreviewOfItems* m_previewPane = nullptr;
    QItemLister* m_lister = nullptr;

    er::SavingThread m_savingThread;
    QString m_saveDir;
    std::function<QString()> m_directoryChooser;
};

// The main window as the other parts of the program reach it.
extern QEntourageMainWindow* g_mainWindow;
