#include "app/QEntourageMainWindow.h"

#include "app/AppPaths.h"
#include "app/GuiState.h"
#include "app/LinkSettings.h"
#include "app/MyButton.h"
#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/InformationDlg.h"
#include "dialogs/PreferencesDlg.h"
#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "export/RepairComplete.h"
#include "mail/MailHeaderView.h"
#include "mail/QItemLister.h"
#include "mail/SearchField.h"
#include "mail/QPreviewOfItems.h"
#include "scan/FolderTreeView.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QLineEdit>
#include <QShortcut>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

QEntourageMainWindow* g_mainWindow = nullptr;

namespace {

const QString kMessageTitle = QStringLiteral("VantrelKestraneZevarodezAvavoz");
const QString kCaptionFont = QStringLiteral("Lucida Grande");

struct CategoryLook {
    const char* name;
    const char* normal;
    const char* hover;
    const char* checked;
    const char* objectName;
};

// Indexed by QEntourageMainWindow::Category.
const CategoryLook kCategories[QEntourageMainWindow::kCategoryCount] = {
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Mail"), ":/images/img_Mail.png",
     ":/images/img_HoverMail.png", ":/images/img_MailClick.png", "MailButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Address Book"), ":/images/img_Address.png",
     ":/images/img_HoverAddress.png", ":/images/img_AddressClick.png", "AddressBookButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Calendar"), ":/images/img_Calender.png",
     ":/images/img_HoverCalender.png", ":/images/img_CalendarClick.png", "CalendarButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Notes"), ":/images/img_Notes.png",
     ":/images/img_HoverNotes.png", ":/images/img_NotesClick.png", "NotesButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Tasks"), ":/images/img_Tasks.png",
     ":/images/img_HoverTasks.png", ":/images/img_TasksClick.png", "TasksButton"},
};

// When the pointer leaves an unchecked category button the caption names the
// checked category, looked for in this order.
const QEntourageMainWindow::Category kCaptionOrder[] = {
    QEntourageMainWindow::Category::Contacts, QEntourageMainWindow::Category::Mail,
    QEntourageMainWindow::Category::Tasks, QEntourageMainWindow::Category::Notes,
    QEntourageMainWindow::Category::Calendar};

// The view command of each category, indexed by Category.
using ViewCommand = void (QEntourageMainWindow::*)();
const ViewCommand kViewCommands[QEntourageMainWindow::kCategoryCount] = {
    &QEntourageMainWindow::OnMailView, &QEntourageMainWindow::OnAddressView,
    &QEntourageMainWindow::OnCalendarView, &QEntourageMainWindow::OnNotesView,
    &QEntourageMainWindow::OnTasksView};

QLabel* spacerLabel(int width, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedWidth(width);
    return label;
}

}  // namespace

QEntourageMainWindow::QEntourageMainWindow(QWidget* parent) : QMainWindow(parent)
{
    g_mainWindow = this;
    setContextMenuPolicy(Qt::NoContextMenu);
    setWindowTitle(tr("Vantrel Kestrane Entourage Repair"));

    m_preferences = new PreferencesDlg(this);
    er::ScanState& state = er::gui::scanState();
    er::clearScanState(state);
    m_logDialog = new QLogReport(this);
    m_about = new AboutDlg(er::gui::resourcesFolder(), er::gui::linkFilePath(), this);
    m_repairComplete = new RepairComplete(er::gui::resourcesFolder(), er::gui::linkFilePath(), this);

    createActions();
    createToolBars();
    createMenus();
    createStatusBar();
    createPanes();
    m_previewPane = new QPreviewOfItems(m_headerView, m_preview, m_secondTextView, this);
    m_lister = new QItemLister(state, m_folderTree, m_itemList, m_previewPane, m_statusProgress, m_statusStop, this);
    // The current folder, however it became current (click or key), is listed.
    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, m_lister,
            [this](const QModelIndex& current) { m_lister->showItemsOfFolder(current); });
    // A click on the current folder lists it again only when its list is not
    // complete (a fill stopped half-way).
    connect(m_folderTree, &QTreeView::clicked, m_lister, [this](const QModelIndex& index) {
        if (!m_lister->isListed(index))
            m_lister->showItemsOfFolder(index);
    });
    connect(m_searchField, &QLineEdit::textChanged, m_lister, &QItemLister::setSearchText);
    connect(m_lister, &QItemLister::commandsLocked, this, [this](bool locked) { setLockedCommandsEnabled(!locked); });
    connect(m_lister, &QItemLister::StatusBarValue, this, &QEntourageMainWindow::OnStatusBarValue);

    m_scanDialog = createParseDialog();
    state.scanDialogCurrent = true;
    m_saveButton->setEnabled(false);
    m_openButton->setEnabled(false);

    connect(this, &QEntourageMainWindow::CreateLog, this, &QEntourageMainWindow::SetLog);
    connect(this, &QEntourageMainWindow::LogView, this, &QEntourageMainWindow::Log);
    connect(this, &QEntourageMainWindow::OpenInformationDlg, this, &QEntourageMainWindow::OnOpenInformationDlg);
    // The saving thread reaches the window only through queued signals.
    connect(&m_savingThread, &er::SavingThread::runStarted, this,
            &QEntourageMainWindow::SetInitialSettingsForMail, Qt::QueuedConnection);
    connect(&m_savingThread, &er::SavingThread::progressed, this,
            &QEntourageMainWindow::SetProgressValueForMail, Qt::QueuedConnection);
    connect(&m_savingThread, &er::SavingThread::runFinished, this,
            &QEntourageMainWindow::SetFinishSettings, Qt::QueuedConnection);
    connect(&m_savingThread, &er::SavingThread::statusText, this, &QEntourageMainWindow::OnStatusText,
            Qt::QueuedConnection);

    m_directoryChooser = [this]() {
        return QFileDialog::getExistingDirectory(this, tr("Open Directory"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    };

    setUnifiedTitleAndToolBarOnMac(true);
    m_statusCaption->clear();
    m_statusCount->clear();
    m_previewPane->resetPreview();
    placeWindow();
}

QEntourageMainWindow::~QEntourageMainWindow()
{
    // A save still running is asked to stop and waited for (the thread's own
    // destructor), before the widgets it reports to go away.
    if (m_savingThread.isRunning()) {
        er::gui::scanState().stopFlag = true;
        m_savingThread.wait();
    }
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
}

QString QEntourageMainWindow::previewPagePath() const
{
    return m_previewPane->previewPagePath();
}

void QEntourageMainWindow::createActions()
{
    auto makeAction = [this](const QString& text, const char* objectName) {
        auto* action = new QAction(text, this);
        action->setToolTip(text);
        action->setObjectName(QLatin1String(objectName));
        return action;
    };

    m_aboutAction = makeAction(tr("&About"), "actionAbout");
    m_aboutAction->setMenuRole(QAction::AboutRole);
    connect(m_aboutAction, &QAction::triggered, this, &QEntourageMainWindow::aboutVantrelKestrane);

    m_preferencesAction = makeAction(tr("&Preferences..."), "actionPreferences");
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    connect(m_preferencesAction, &QAction::triggered, this, &QEntourageMainWindow::OnPreferences);

    m_licenseAction = makeAction(tr("&License Agreement"), "actionLicenseAgreement");
    m_licenseAction->setMenuRole(QAction::ApplicationSpecificRole);
    connect(m_licenseAction, &QAction::triggered, this, &QEntourageMainWindow::licenseAgreement);

    m_openAction = makeAction(tr("Open File"), "actionOpenFile");
    connect(m_openAction, &QAction::triggered, this, &QEntourageMainWindow::OnOpenFile);
    m_saveAction = makeAction(tr("Save Repaired File"), "actionSaveRepairedFile");
    m_saveAction->setEnabled(false);
    connect(m_saveAction, &QAction::triggered, this, &QEntourageMainWindow::OnSavingFiles);
    m_exportAction = makeAction(tr("Export for Other Mail Programs..."), "actionExportPortable");
    m_exportAction->setEnabled(false);
    connect(m_exportAction, &QAction::triggered, this, &QEntourageMainWindow::OnExportFiles);
    // Offered exactly when saving is.
    connect(m_saveAction, &QAction::changed, m_exportAction,
            [this]() { m_exportAction->setEnabled(m_saveAction->isEnabled()); });
    m_openSecondAction = makeAction(tr("Open File"), "actionOpenFileButton");
    connect(m_openSecondAction, &QAction::triggered, this, &QEntourageMainWindow::OnOpenFile);
    m_saveSecondAction = makeAction(tr("Save Repaired File"), "actionSaveRepairedFileButton");
    m_saveSecondAction->setEnabled(false);
    connect(m_saveSecondAction, &QAction::triggered, this, &QEntourageMainWindow::OnSavingFiles);

    for (int i = 0; i < kCategoryCount; ++i) {
        QAction* action = makeAction(tr(kCategories[i].name),
                                     QByteArray("action").append(kCategories[i].objectName).constData());
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, kViewCommands[i]);
        m_categoryActions[static_cast<size_t>(i)] = action;
    }

    m_helpAction = makeAction(tr("&Help Topics"), "actionHelpTopics");
    connect(m_helpAction, &QAction::triggered, this, &QEntourageMainWindow::OpenHelp);
    m_emailAction = makeAction(tr("&Email to Vantrel Support"), "actionEmailSupport");
    connect(m_emailAction, &QAction::triggered, this, &QEntourageMainWindow::OnEmailSupport);
    m_viewSupportAction = makeAction(tr("&View Support Section"), "actionViewSupport");
    connect(m_viewSupportAction, &QAction::triggered, this, &QEntourageMainWindow::OnViewSupport);
    m_submitEnquiryAction = makeAction(tr("&Submit Enquiry"), "actionSubmitEnquiry");
    connect(m_submitEnquiryAction, &QAction::triggered, this, &QEntourageMainWindow::OnGenerateTicket);
    m_knowledgeBaseAction = makeAction(tr("&View Knowledgebase Articles"), "actionKnowledgeBase");
    connect(m_knowledgeBaseAction, &QAction::triggered, this, &QEntourageMainWindow::OnKnowledgeBase);
    m_logReportAction = makeAction(tr("Log Report"), "actionLogReport");
    connect(m_logReportAction, &QAction::triggered, this, &QEntourageMainWindow::OnLogReport);

    // A support command without an address would open nothing: it is offered
    // only when the link file names one.
    const QString links = er::gui::linkFilePath();
    m_emailAction->setEnabled(!er::gui::linkSetting(links, QStringLiteral("EmailToSupport")).isEmpty());
    m_viewSupportAction->setEnabled(!er::gui::linkSetting(links, QStringLiteral("ViewSupportLink")).isEmpty());
    m_submitEnquiryAction->setEnabled(
        !er::gui::linkSetting(links, QStringLiteral("SubmitEnquiryLink")).isEmpty());
    m_knowledgeBaseAction->setEnabled(!er::gui::linkSetting(links, QStringLiteral("KBLink")).isEmpty());
}

void QEntourageMainWindow::createToolBars()
{
    auto makeButton = [this](const char* objectName, const QString& icon, QWidget* parent) {
        auto* button = new MyButton(parent);
        button->setObjectName(QLatin1String(objectName));
        button->setFixedSize(30, 28);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoRaise(true);
        // The icons show hover and checked states themselves; a plate drawn
        // by the style would make a hovered button look checked.
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0px; }"));
        button->setIconPath(icon);
        return button;
    };

    m_categoryToolBar = addToolBar(QStringLiteral("ToolBar"));
    m_categoryToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_categoryToolBar->setMovable(false);
    m_categoryToolBar->setFloatable(false);
    m_categoryToolBar->setOrientation(Qt::Horizontal);

    using Slot = void (QEntourageMainWindow::*)();
    const Slot enters[kCategoryCount] = {
        &QEntourageMainWindow::OnMailEnter, &QEntourageMainWindow::OnAddressEnter,
        &QEntourageMainWindow::OnCalendarEnter, &QEntourageMainWindow::OnNotesEnter,
        &QEntourageMainWindow::OnTasksEnter};
    const Slot leaves[kCategoryCount] = {
        &QEntourageMainWindow::OnMailLeave, &QEntourageMainWindow::OnAddressLeave,
        &QEntourageMainWindow::OnCalendarLeave, &QEntourageMainWindow::OnNotesLeave,
        &QEntourageMainWindow::OnTasksLeave};
    for (int i = 0; i < kCategoryCount; ++i) {
        MyButton* button = makeButton(kCategories[i].objectName, QLatin1String(kCategories[i].normal),
                                      m_categoryToolBar);
        button->setToolTip(tr(kCategories[i].name));
        connect(button, &QToolButton::clicked, this, kViewCommands[i]);
        connect(button, &MyButton::ChangePixmap, this, enters[i]);
        connect(button, &MyButton::OnUpdatePixmap, this, leaves[i]);
        m_categoryToolBar->addWidget(button);
        m_categoryButtons[static_cast<size_t>(i)] = button;
    }
    m_categoryCaption = new QLabel(m_categoryToolBar);
    m_categoryCaption->setObjectName(QStringLiteral("categoryCaption"));
    m_categoryCaption->setFont(QFont(kCaptionFont, 11));
    m_categoryCaption->setContentsMargins(8, 0, 8, 0);
    // As wide as the widest name, whichever is shown: Open and Save beside it
    // must not move when the caption changes.
    int captionWidth = 0;
    for (const CategoryLook& look : kCategories)
        captionWidth = qMax(captionWidth, m_categoryCaption->fontMetrics().horizontalAdvance(tr(look.name)));
    m_categoryCaption->setFixedWidth(captionWidth + 16);
    m_categoryToolBar->addWidget(m_categoryCaption);
    m_categoryToolBar->addWidget(spacerLabel(2, m_categoryToolBar));

    m_fileToolBar = addToolBar(QStringLiteral("Open & Save File"));
    m_fileToolBar->setObjectName(QStringLiteral("Open & Save File"));
    m_fileToolBar->setMovable(false);
    m_fileToolBar->setFloatable(false);
    m_fileToolBar->setOrientation(Qt::Horizontal);

    // Open and Save carry their captions underneath.
    auto captioned = [this](MyButton* button, const QString& caption) {
        auto* box = new QWidget(m_fileToolBar);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        button->setParent(box);
        layout->addWidget(button, 0, Qt::AlignHCenter);
        auto* label = new QLabel(caption, box);
        label->setFont(QFont(kCaptionFont, 10));
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
        return box;
    };

    m_fileToolBar->addWidget(spacerLabel(2, m_fileToolBar));
    m_openButton = makeButton("OpenButton", QStringLiteral(":/images/img_Open.png"), m_fileToolBar);
    m_openButton->setCheckable(false);
    m_openButton->setToolTip(tr("Open File"));
    connect(m_openButton, &QToolButton::clicked, m_openSecondAction, &QAction::trigger);
    connect(m_openButton, &MyButton::ChangePixmap, this, &QEntourageMainWindow::OnOpenEnter);
    connect(m_openButton, &MyButton::OnUpdatePixmap, this, &QEntourageMainWindow::OnOpenLeave);
    m_fileToolBar->addWidget(captioned(m_openButton, tr("Open")));
    m_fileToolBar->addWidget(spacerLabel(5, m_fileToolBar));
    m_saveButton = makeButton("SaveButton", QStringLiteral(":/images/img_Save.png"), m_fileToolBar);
    m_saveButton->setCheckable(false);
    m_saveButton->setToolTip(tr("Save Repaired File"));
    connect(m_saveButton, &QToolButton::clicked, m_saveSecondAction, &QAction::trigger);
    connect(m_saveButton, &MyButton::ChangePixmap, this, &QEntourageMainWindow::OnSaveEnter);
    connect(m_saveButton, &MyButton::OnUpdatePixmap, this, &QEntourageMainWindow::OnSaveLeave);
    m_fileToolBar->addWidget(captioned(m_saveButton, tr("Save")));

    auto* spacer = new QWidget(m_fileToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_fileToolBar->addWidget(spacer);

    m_helpButton = makeButton("HelpButton", QStringLiteral(":/images/img_HelpFile.png"), m_fileToolBar);
    m_helpButton->setCheckable(false);
    m_helpButton->setFixedSize(40, 40);
    m_helpButton->setToolTip(tr("Help Topics"));
    connect(m_helpButton, &QToolButton::clicked, this, &QEntourageMainWindow::OpenHelp);
    m_fileToolBar->addWidget(m_helpButton);
}

void QEntourageMainWindow::createMenus()
{
    m_applicationMenu = menuBar()->addMenu(tr("&VantrelKestraneZevarodezAvavoz"));
    m_applicationMenu->addAction(m_aboutAction);

    m_fileMenu = menuBar()->addMenu(tr("&File"));
    m_fileMenu->addAction(m_openAction);
    m_fileMenu->addAction(m_saveAction);
    m_fileMenu->addAction(m_exportAction);
    // Where the menu roles have no application menu to move into (everywhere
    // but macOS) these commands would be unreachable outside a menu.
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_preferencesAction);

    m_helpMenu = menuBar()->addMenu(tr("&Help"));
    m_helpMenu->addAction(m_helpAction);
    m_helpMenu->addSeparator();
    m_helpMenu->addAction(m_emailAction);
    m_helpMenu->addAction(m_viewSupportAction);
    m_helpMenu->addAction(m_submitEnquiryAction);
    m_helpMenu->addAction(m_knowledgeBaseAction);
    m_helpMenu->addSeparator();
    m_helpMenu->addAction(m_logReportAction);
    m_helpMenu->addAction(m_licenseAction);
}

void QEntourageMainWindow::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setMaximumHeight(25);
    bar->setSizeGripEnabled(true);
    bar->setStyleSheet(QStringLiteral("QStatusBar::item {border: none;}"));

    m_statusCaption = new QLabel(bar);
    m_statusCaption->setObjectName(QStringLiteral("statusCaption"));
    m_statusCaption->setFont(QFont(kCaptionFont, 9));
    m_statusCount = new QLabel(bar);
    m_statusCount->setObjectName(QStringLiteral("statusCount"));
    m_statusCount->setFont(QFont(kCaptionFont, 9));
    bar->addWidget(m_statusCaption);
    bar->addWidget(m_statusCount);

    m_statusProgress = new QProgressBar(bar);
    m_statusProgress->setObjectName(QStringLiteral("statusProgress"));
    m_statusProgress->setMaximumSize(170, 9);
    m_statusProgress->setTextVisible(false);
    m_statusProgress->hide();
    bar->addPermanentWidget(m_statusProgress);

    m_statusStop = new QToolButton(bar);
    m_statusStop->setObjectName(QStringLiteral("statusStop"));
    m_statusStop->setObjectName(QStringLiteral("statusStop"));
    m_statusStop->setFixedSize(14, 14);
    m_statusStop->setToolTip(tr("Stop"));
    m_statusStop->setIcon(QIcon(QStringLiteral(":/images/img_Stop.png")));
    m_statusStop->setIconSize(QSize(12, 12));
    m_statusStop->setAutoRaise(true);
    m_statusStop->hide();
    bar->addPermanentWidget(m_statusStop);
}

void QEntourageMainWindow::createPanes()
{
    m_folderTree = new er::gui::FolderTreeView(this);
    m_folderTree->setObjectName(QStringLiteral("folderTree"));
    m_folderTree->setMinimumWidth(240);
    QPalette treePalette = m_folderTree->palette();
    treePalette.setColor(QPalette::Base, QColor(223, 226, 235));
    m_folderTree->setPalette(treePalette);
    m_folderTree->setStyleSheet(QStringLiteral(
        "QTreeView {    selection-background-color: rgb(154,154,200);    "
        "alternate-background-color: rgb(223,226,235);    show-decoration-selected: 1;}"));

    m_itemList = new QTreeView(this);
    m_itemList->setObjectName(QStringLiteral("itemList"));
    m_itemList->setRootIsDecorated(false);
    m_itemList->setItemsExpandable(false);
    m_itemList->setUniformRowHeights(true);
    m_itemList->setAllColumnsShowFocus(true);
    m_itemList->header()->setSectionsMovable(false);
    m_itemList->setMinimumWidth(270);
    m_itemList->setStyleSheet(QStringLiteral(
        "QTreeView {    selection-background-color: rgb(56,117,215);    "
        "alternate-background-color: white;    show-decoration-selected: 1;}"));

    m_headerView = new MailHeaderView(this);
    m_headerView->setObjectName(QStringLiteral("headerView"));
    m_headerView->setFont(QFont(kCaptionFont, 11));
    m_headerView->setMinimumWidth(330);

    m_preview = new QWebEngineView(this);
    m_preview->setObjectName(QStringLiteral("previewView"));
    m_preview->setMinimumWidth(330);
    // The previewer puts the view on a locked-down page of its own.

    m_secondTextView = new QTextBrowser(this);
    m_secondTextView->setObjectName(QStringLiteral("secondTextView"));
    m_secondTextView->hide();

    m_rightPane = new QFrame(this);
    m_rightPane->setObjectName(QStringLiteral("rightPane"));
    auto* rightLayout = new QVBoxLayout(m_rightPane);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(m_headerView);
    rightLayout->addWidget(m_preview, 1);
    rightLayout->addWidget(m_secondTextView);

    m_splitter = new QSplitter(this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->addWidget(m_folderTree);
    // The search field sits above the list it filters.
    m_searchField = new SearchField(this);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setPlaceholderText(tr("Search"));
    m_searchField->setClearButtonEnabled(true);
    auto* findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, [this]() {
        m_searchField->setFocus(Qt::ShortcutFocusReason);
        m_searchField->selectAll();
    });
    auto* listPane = new QWidget(this);
    listPane->setObjectName(QStringLiteral("listPane"));
    auto* listLayout = new QVBoxLayout(listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    listLayout->addWidget(m_searchField);
    listLayout->addWidget(m_itemList, 1);
    m_splitter->addWidget(listPane);
    m_splitter->addWidget(m_rightPane);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setStretchFactor(2, 2);
    m_splitter->setStyleSheet(QStringLiteral(
        "QSplitter::handle:vertical   {height: 1px; image: url(:images/img_Vsplitter.png);}"
        "QSplitter::handle:horizontal {width:  1px; image: url(:images/img_Hsplitter.png);}"
        "QSplitter::handle {border: solid #ABABAB; background: #ABABAB;}"));
    setCentralWidget(m_splitter);

    // Left to right, as a person reads the panes.
    QWidget::setTabOrder(m_searchField, m_folderTree);
    QWidget::setTabOrder(m_folderTree, m_itemList);
    QWidget::setTabOrder(m_itemList, m_headerView);
    QWidget::setTabOrder(m_headerView, m_preview);
    QWidget::setTabOrder(m_preview, m_secondTextView);
}

void QEntourageMainWindow::placeWindow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    // Up and to the left of centre, leaving room for the dialogs, but never
    // off the screen.
    const QPoint place = frame.topLeft() - QPoint(100, 100);
    move(qMax(available.left(), place.x()), qMax(available.top(), place.y()));
}

void QEntourageMainWindow::setLockedCommandsEnabled(bool enabled)
{
    for (int i = 0; i < kCategoryCount; ++i) {
        m_categoryButtons[static_cast<size_t>(i)]->setEnabled(enabled);
        m_categoryActions[static_cast<size_t>(i)]->setEnabled(enabled);
    }
    m_openButton->setEnabled(enabled);
    m_openAction->setEnabled(enabled);
    m_openSecondAction->setEnabled(enabled);
    setSaveEnabled(enabled);
}

void QEntourageMainWindow::setSaveEnabled(bool enabled)
{
    // Nothing to save is never offered: it would write an empty bundle.
    enabled = enabled && m_scanSaveable;
    m_saveButton->setEnabled(enabled);
    m_saveAction->setEnabled(enabled);
    m_saveSecondAction->setEnabled(enabled);
}

// --- Commands -------------------------------------------------------------

void QEntourageMainWindow::aboutVantrelKestrane()
{
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void QEntourageMainWindow::OnPreferences()
{
    m_preferences->setModal(true);
    m_preferences->show();
}

void QEntourageMainWindow::licenseAgreement()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(er::gui::licenseDocumentPath()));
}

void QEntourageMainWindow::OpenHelp()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(er::gui::helpPagePath()));
}

void QEntourageMainWindow::openSupportLink(const QString& key, const QString& prefix)
{
    const QString value = er::gui::linkSetting(er::gui::linkFilePath(), key);
    if (value.isEmpty())
        return;
    const QUrl url = prefix.isEmpty() ? er::gui::linkUrl(er::gui::resourcesFolder(), value)
                                      : QUrl(prefix + value);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

void QEntourageMainWindow::OnEmailSupport()
{
    openSupportLink(QStringLiteral("EmailToSupport"), QStringLiteral("mailto:"));
}

void QEntourageMainWindow::OnViewSupport() { openSupportLink(QStringLiteral("ViewSupportLink")); }

void QEntourageMainWindow::OnGenerateTicket() { openSupportLink(QStringLiteral("SubmitEnquiryLink")); }

void QEntourageMainWindow::OnKnowledgeBase() { openSupportLink(QStringLiteral("KBLink")); }

void QEntourageMainWindow::ShowParseWindow()
{
    m_scanDialog->move(frameGeometry().center() - m_scanDialog->rect().center());
    m_scanDialog->show();
    m_scanDialog->raise();
    m_scanDialog->activateWindow();
    emit parseWindowRequested();
}

void QEntourageMainWindow::clearViews()
{
    m_folderTree->clear();
    m_lister->clear();
    m_headerView->clear();
    m_secondTextView->clear();
}

void QEntourageMainWindow::OnOpenFile()
{
    m_previewPane->resetPreview();

    er::ScanState& state = er::gui::scanState();
    const bool earlierScan = !state.mail.folders.empty() && !state.stopFlag;
    if (earlierScan) {
        const auto answer = QMessageBox::warning(
            this, kMessageTitle,
            tr("Opening another file will lead to loss of current scanned information. Do you want to "
               "continue?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        state.scanDialogCurrent = false;
    }

    m_lister->clear();
    er::clearScanState(state);
    m_scanSaveable = false;
    m_folderModel = er::FolderTreeModel();
    m_previewPane->resetPreview();
    clearViews();
    m_statusCaption->clear();
    m_statusCount->clear();
    m_preview->hide();

    for (int i = 0; i < kCategoryCount; ++i) {
        m_categoryButtons[static_cast<size_t>(i)]->setEnabled(!earlierScan);
        m_categoryActions[static_cast<size_t>(i)]->setEnabled(!earlierScan);
    }
    setSaveEnabled(false);
    m_openAction->setEnabled(true);
    m_openSecondAction->setEnabled(true);

    if (!state.scanDialogCurrent) {
        state.scanDialogCurrent = true;
        m_scanDialog->hide();
        m_scanDialog->deleteLater();
        m_scanDialog = createParseDialog();
        m_saveButton->setEnabled(false);
        m_openButton->setEnabled(false);
        ShowParseWindow();
    }
}

void QEntourageMainWindow::closeEvent(QCloseEvent* event)
{
    if (er::gui::scanState().running || m_savingThread.isRunning()) {
        if (m_progress)
            m_progress->show();
        QMessageBox::warning(this, kMessageTitle,
                             tr("Application Running !!\nPlease halt the current process to Exit."),
                             QMessageBox::Ok);
        event->ignore();
        return;
    }
    const auto answer = QMessageBox::warning(
        this, kMessageTitle, tr("Do you want to close Vantrel Kestrane Entourage Repair? "),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}

// --- Categories -----------------------------------------------------------

void QEntourageMainWindow::selectCategory(Category category)
{
    m_category = category;
    // A search belongs to the category it was typed in.
    if (category != m_lister->category())
        m_searchField->clear();
    m_lister->setCategory(category);
    m_categoryCaption->setText(tr(kCategories[indexOf(category)].name));
    for (int i = 0; i < kCategoryCount; ++i) {
        const bool chosen = i == indexOf(category);
        MyButton* button = m_categoryButtons[static_cast<size_t>(i)];
        button->setChecked(chosen);
        button->setIconPath(QLatin1String(chosen ? kCategories[i].checked : kCategories[i].normal));
        m_categoryActions[static_cast<size_t>(i)]->setChecked(chosen);
    }
}

void QEntourageMainWindow::OnMailButtonClicked() { selectCategory(Category::Mail); }
void QEntourageMainWindow::OnContactButtonClicked() { selectCategory(Category::Contacts); }
void QEntourageMainWindow::OnCalendarButtonClicked() { selectCategory(Category::Calendar); }
void QEntourageMainWindow::OnNotesButtonClicked() { selectCategory(Category::Notes); }
void QEntourageMainWindow::OnTasksButtonClicked() { selectCategory(Category::Tasks); }

void QEntourageMainWindow::OnMailView()
{
    m_headerView->show();
    m_preview->show();
    m_secondTextView->hide();

    OnMailButtonClicked();

    clearViews();
    m_statusCaption->setText(tr("Select Item"));
    m_statusCount->clear();

    showFolderTree();

    m_previewPane->resetPreview();
}

void QEntourageMainWindow::showTextCategory(Category category)
{
    m_headerView->hide();
    m_preview->hide();
    m_secondTextView->show();

    selectCategory(category);

    clearViews();
    const QString name = tr(kCategories[indexOf(category)].name);
    m_statusCaption->setText(name + QLatin1Char(':'));
    m_statusCount->setText(QStringLiteral("0"));

    const er::ScanState& state = er::gui::scanState();
    bool empty = true;
    QString icon;
    QString background;
    switch (category) {
    case Category::Contacts:
        empty = state.contacts.empty();
        icon = QStringLiteral(":/images/img_AddressBookIcon.png");
        background = QStringLiteral("#f0f0f8");
        break;
    case Category::Calendar:
        empty = state.events.empty();
        icon = QStringLiteral(":/images/img_CalendarIcon.png");
        break;
    case Category::Notes:
        empty = state.notes.empty();
        icon = QStringLiteral(":/images/img_NotesIcon.png");
        break;
    case Category::Tasks:
        empty = state.tasks.empty();
        icon = QStringLiteral(":/images/img_TaskIcon.png");
        break;
    case Category::Mail:
        return;
    }
    if (empty)
        return;
    // The category item becomes current, which lists the category.
    m_folderTree->showCategory(name, icon, background.isEmpty() ? QColor() : QColor(background));
}

void QEntourageMainWindow::OnAddressView() { showTextCategory(Category::Contacts); }
void QEntourageMainWindow::OnCalendarView() { showTextCategory(Category::Calendar); }
void QEntourageMainWindow::OnNotesView() { showTextCategory(Category::Notes); }
void QEntourageMainWindow::OnTasksView() { showTextCategory(Category::Tasks); }

// --- Hover icons and the category caption -----------------------------------

void QEntourageMainWindow::enterCategoryButton(Category category)
{
    MyButton* button = m_categoryButtons[indexOf(category)];
    m_categoryCaption->setText(tr(kCategories[indexOf(category)].name));
    button->setIconPath(QLatin1String(button->isChecked() ? kCategories[indexOf(category)].checked
                                                          : kCategories[indexOf(category)].hover));
}

void QEntourageMainWindow::leaveCategoryButton(Category category)
{
    MyButton* button = m_categoryButtons[indexOf(category)];
    if (button->isChecked()) {
        button->setIconPath(QLatin1String(kCategories[indexOf(category)].checked));
        return;
    }
    button->setIconPath(QLatin1String(kCategories[indexOf(category)].normal));
    for (Category candidate : kCaptionOrder) {
        if (m_categoryButtons[indexOf(candidate)]->isChecked()) {
            m_categoryCaption->setText(tr(kCategories[indexOf(candidate)].name));
            break;
        }
    }
}

void QEntourageMainWindow::OnMailEnter() { enterCategoryButton(Category::Mail); }
void QEntourageMainWindow::OnMailLeave() { leaveCategoryButton(Category::Mail); }
void QEntourageMainWindow::OnAddressEnter() { enterCategoryButton(Category::Contacts); }
void QEntourageMainWindow::OnAddressLeave() { leaveCategoryButton(Category::Contacts); }
void QEntourageMainWindow::OnCalendarEnter() { enterCategoryButton(Category::Calendar); }
void QEntourageMainWindow::OnCalendarLeave() { leaveCategoryButton(Category::Calendar); }
void QEntourageMainWindow::OnNotesEnter() { enterCategoryButton(Category::Notes); }
void QEntourageMainWindow::OnNotesLeave() { leaveCategoryButton(Category::Notes); }
void QEntourageMainWindow::OnTasksEnter() { enterCategoryButton(Category::Tasks); }
void QEntourageMainWindow::OnTasksLeave() { leaveCategoryButton(Category::Tasks); }

void QEntourageMainWindow::OnOpenEnter() { m_openButton->setIconPath(QStringLiteral(":/images/img_HoverOpen.png")); }
void QEntourageMainWindow::OnOpenLeave() { m_openButton->setIconPath(QStringLiteral(":/images/img_Open.png")); }
void QEntourageMainWindow::OnSaveEnter() { m_saveButton->setIconPath(QStringLiteral(":/images/img_HoverSave.png")); }
void QEntourageMainWindow::OnSaveLeave() { m_saveButton->setIconPath(QStringLiteral(":/images/img_Save.png")); }

// --- Scan -------------------------------------------------------------------

QParseDatabase* QEntourageMainWindow::createParseDialog()
{
    auto* dialog = new QParseDatabase(er::gui::scanState(), this);
    connect(dialog, &QParseDatabase::CreateLogScanning, this, &QEntourageMainWindow::SetLog);
    connect(dialog, &QParseDatabase::OnInitialSettings, this, &QEntourageMainWindow::SetInitialSettings);
    connect(dialog, &QParseDatabase::OnProgressvalue, this, &QEntourageMainWindow::SetProgressValue);
    connect(dialog, &QParseDatabase::OnFinishScanning, this, &QEntourageMainWindow::SetFinishSettingsForMail);
    connect(dialog, &QParseDatabase::StatusBarValue, this, &QEntourageMainWindow::OnStatusBarValue);
    connect(dialog, &QParseDatabase::InformationDlgOpen, this, &QEntourageMainWindow::OnInformationDlg);
    connect(dialog, &QParseDatabase::foldersAvailable, this, &QEntourageMainWindow::showFolderTree);
    connect(dialog, &QParseDatabase::scanStopped, this, &QEntourageMainWindow::onScanStopped);
    connect(dialog, &QParseDatabase::fileRejected, this, &QEntourageMainWindow::onFileRejected);
    connect(dialog, &QParseDatabase::nothingUsable, this, &QEntourageMainWindow::onNothingUsable);
    connect(dialog, &QParseDatabase::dialogClosed, this, &QEntourageMainWindow::onParseDialogClosed);
    connect(dialog, &QParseDatabase::preferencesAllowed, m_preferencesAction, &QAction::setEnabled);
    return dialog;
}

void QEntourageMainWindow::showFolderTree()
{
    er::FolderTreeModel model = er::buildFolderTree(er::gui::scanState());
    // An empty folder list leaves the tree as it was.
    if (model.isEmpty())
        return;
    m_folderModel = std::move(model);
    m_folderTree->showTree(m_folderModel);
}

void QEntourageMainWindow::onScanStopped()
{
    hideProgressSheet();
    m_scanSaveable = false;
    m_folderModel = er::FolderTreeModel();
    m_openButton->setEnabled(true);
    m_openAction->setEnabled(true);
    m_openSecondAction->setEnabled(true);
    clearViews();
    showWatermark();
}

void QEntourageMainWindow::onNothingUsable()
{
    // Only the empty orphan folder that linking always adds would show.
    m_scanSaveable = false;
    setSaveEnabled(false);
    m_folderModel = er::FolderTreeModel();
    clearViews();
}

void QEntourageMainWindow::showWatermark()
{
    m_preview->show();
    m_previewPane->showWatermark();
}

void QEntourageMainWindow::onFileRejected()
{
    hideProgressSheet();
    m_scanSaveable = false;
    setSaveEnabled(false);
    m_openButton->setEnabled(true);
    m_openAction->setEnabled(true);
    m_openSecondAction->setEnabled(true);
    m_preferencesAction->setEnabled(true);
}

void QEntourageMainWindow::onParseDialogClosed()
{
    setSaveEnabled(false);
    m_openButton->setEnabled(true);
    m_openAction->setEnabled(true);
    m_openSecondAction->setEnabled(true);
    m_preferencesAction->setEnabled(true);
}

// --- Progress ---------------------------------------------------------------

void QEntourageMainWindow::showProgressSheet(const QString& text)
{
    hideProgressSheet();
    m_progress = new QProgressInfo(er::gui::scanState(), this);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressInfo::stopConfirmed, m_preferencesAction, [this]() {
        m_preferencesAction->setEnabled(true);
    });
    m_progress->setStatusText(text);
    m_progress->progressBar()->setRange(0, static_cast<int>(qMin<quint32>(er::gui::scanState().progressRange, INT_MAX)));
    m_progress->progressBar()->setValue(0);
    m_progress->show();
}

void QEntourageMainWindow::hideProgressSheet()
{
    if (!m_progress)
        return;
    m_progress->hide();
    m_progress->deleteLater();
    m_progress = nullptr;
}

void QEntourageMainWindow::SetInitialSettings(unsigned int)
{
    m_scanSaveable = false;
    m_lister->clear();
    m_headerView->clear();
    m_secondTextView->clear();
    m_statusCaption->clear();
    m_statusCount->clear();
    m_preview->show();
    setLockedCommandsEnabled(false);
    showProgressSheet(tr("Scanning Entourage Database File ..."));
}

void QEntourageMainWindow::SetProgressValue(quint64 examined)
{
    if (m_progress)
        m_progress->progressBar()->setValue(
            QParseDatabase::progressValueFor(examined, static_cast<quint32>(m_progress->progressBar()->maximum())));
}

void QEntourageMainWindow::SetInitialSettingsForMail(unsigned int range)
{
    m_lister->clear();
    m_headerView->clear();
    m_secondTextView->clear();
    m_statusCaption->clear();
    m_statusCount->clear();
    m_preview->hide();
    setLockedCommandsEnabled(false);
    showProgressSheet(tr("Saving Files..."));
    // One step per item the run writes.
    m_progress->progressBar()->setRange(0, static_cast<int>(qMin<unsigned int>(range, INT_MAX)));
}

void QEntourageMainWindow::SetProgressValueForMail()
{
    if (m_progress)
        m_progress->addProgress(1);
}

void QEntourageMainWindow::SetFinishSettingsForMail()
{
    m_scanSaveable = true;
    setLockedCommandsEnabled(true);
    hideProgressSheet();
    OnMailButtonClicked();
    // The tree shown during the scan holds only the folders decoded by then.
    showFolderTree();
    m_folderTree->setFocus(Qt::OtherFocusReason);
}

void QEntourageMainWindow::OnStatusText(const QString& text)
{
    if (m_progress)
        m_progress->setStatusText(text);
}

void QEntourageMainWindow::OnStatusBarValue(const QString& caption, unsigned int count)
{
    // No caption: no folder is listed (the bundle or Mail item).
    m_statusCaption->setText(caption.isEmpty() ? QString() : caption + QLatin1Char(':'));
    m_statusCount->setText(caption.isEmpty() ? QString() : QString::number(count));
    m_statusProgress->hide();
    m_statusStop->hide();
}


void QEntourageMainWindow::OnStopPushButton()
{
    // The item-list fill watches a cancel flag of its own: the scan's and the
    // save's stop flag must not be reused for it.
    m_lister->cancelFill();
}

void QEntourageMainWindow::OnInformationDlg() { emit OpenInformationDlg(); }

void QEntourageMainWindow::OnOpenInformationDlg()
{
    if (m_information)
        m_information->deleteLater();
    m_information = new InformationDlg(er::gui::scanState(), this);
    connect(m_information, &InformationDlg::closed, m_preferencesAction, [this]() {
        m_preferencesAction->setEnabled(true);
    });
    m_information->show();
}

// --- Activity log -----------------------------------------------------------

void QEntourageMainWindow::SetLog(const QString& headline, const QString& path, const QString& timeLine)
{
    emit LogView(headline, path, timeLine);
}

void QEntourageMainWindow::Log(const QString& headline, const QString& path, const QString& timeLine)
{
    m_logDialog->appendEntry(headline, path, timeLine);
    m_logDialog->setLogCommandsEnabled(!er::gui::scanState().running && !m_savingThread.isRunning());
}

void QEntourageMainWindow::OnLogReport()
{
    m_logDialog->setLogCommandsEnabled(!m_logDialog->isEmpty());
    m_logDialog->setModal(true);
    m_logDialog->show();
    m_logDialog->raise();
}

// --- Save -------------------------------------------------------------------

bool QEntourageMainWindow::chooseTarget(bool portable, er::OutputTarget* target)
{
    er::ScanState& state = er::gui::scanState();
    for (;;) {
        if (state.stopFlag)
            return false;
        // The bundle's folders come from the mail folder tree, whatever the
        // category on display.
        OnMailView();
        const QString chosen = m_directoryChooser ? m_directoryChooser() : QString();
        if (chosen.isEmpty())
            return false;
        target->format = portable ? er::OutputFormat::PortableExport : er::OutputFormat::Bundle;
        target->folder = QDir::cleanPath(chosen);
        target->databasePath = state.databasePath;
        target->replace = false;

        er::OutputCheck check = er::checkOutput(*target);
        for (const QString& leftover : check.leftovers)
            emit CreateLog(tr("A partly written output of an earlier run that did not finish is in this folder."),
                           leftover, logTimeLine(tr("Found on : ")));
        if (check.verdict == er::OutputCheck::Taken) {
            QMessageBox box(QMessageBox::Warning, kMessageTitle,
                            portable ? tr("This folder already holds an export for other mail programs. Do you "
                                          "want to replace it?")
                                     : tr("Main Identity.rge already exists at this location. Do you want to "
                                          "replace it?"),
                            QMessageBox::Yes | QMessageBox::No, this);
            const int answer = box.exec();
            if (answer == QMessageBox::No)
                continue;
            if (answer != QMessageBox::Yes)
                return false;
            // Nothing is removed here: the run writes the new output beside
            // the old one, which goes only when the new one is complete.
            target->replace = true;
            check = er::checkOutput(*target);
        }
        switch (check.verdict) {
        case er::OutputCheck::Ready:
            return true;
        case er::OutputCheck::NoRoom: {
            QMessageBox box(QMessageBox::Warning, kMessageTitle, check.message,
                            QMessageBox::Yes | QMessageBox::No, this);
            box.setInformativeText(tr("Do you want to save there anyway?"));
            box.setDefaultButton(QMessageBox::No);
            if (box.exec() == QMessageBox::Yes)
                return true;
            continue;
        }
        default:
            QMessageBox::warning(this, kMessageTitle, check.message);
            continue;
        }
    }
}

void QEntourageMainWindow::startThreadRun(bool portable)
{
    // A stopped run may still be finishing its last file: a new one starts
    // only once that thread has really ended.
    if (m_savingThread.isRunning() || !m_scanSaveable)
        return;
    er::OutputTarget target;
    if (!chooseTarget(portable, &target))
        return;
    m_saveDir = target.folder;
    er::ScanState& state = er::gui::scanState();
    if (portable)
        emitExportLog(tr("Exporting for Other Mail Programs."), m_saveDir, tr("Started on : "));
    else
        SaveFileProcessStarted(m_saveDir);
    state.running = true;
    setLockedCommandsEnabled(false);
    m_preferencesAction->setEnabled(false);
    m_savingThread.startRun(&state, m_folderModel, target);
}

void QEntourageMainWindow::OnSavingFiles() { startThreadRun(false); }

void QEntourageMainWindow::OnExportFiles() { startThreadRun(true); }

void QEntourageMainWindow::SetFinishSettings()
{
    er::ScanState& state = er::gui::scanState();
    // The finish signal is queued: the thread may still be returning.
    m_savingThread.wait();
    const er::OutputResult result = m_savingThread.lastResult();
    const bool stopped = state.stopFlag || result.stopped;

    if (!state.running) {
        setLockedCommandsEnabled(true);
        hideProgressSheet();
        m_preferencesAction->setEnabled(true);
        OnMailButtonClicked();
        showWatermark();
    }

    const bool portable = m_savingThread.lastRunWasExport();
    if (result.refused) {
        // Decided under the folder's lock: the folder changed after it was
        // chosen (another run began there, or an output appeared).
        hideProgressSheet();
        m_preferencesAction->setEnabled(true);
        QMessageBox::warning(this, kMessageTitle, result.refusal);
        if (portable)
            emitExportLog(tr("Aborted Exporting for Other Mail Programs ."), m_saveDir, tr("Aborted on : "));
        else
            emitSaveLog(tr("Aborted Saving Main Identity.rge File ."), m_saveDir, tr("Aborted on : "));
    } else if (!stopped) {
        if (!result.keptAside.isEmpty())
            emit CreateLog(tr("The earlier output was kept, because the new one could not be written completely."),
                           result.keptAside, logTimeLine(tr("Kept on : ")));
        hideProgressSheet();
        if (result.failureCount == 0) {
            OnProcessSuccess();
            if (portable)
                emitExportLog(tr("Completed Exporting for Other Mail Programs ."), m_saveDir, tr("Completed on : "));
            else
                SavingFileProcessCompleted(m_saveDir);
        } else if (portable) {
            m_repairComplete->showFailures(result.failureCount, result.firstFailures, m_saveDir);
            emitExportLog(tr("Exported for Other Mail Programs with %n item(s) that could not be written .",
                             nullptr, result.failureCount),
                          m_saveDir, tr("Completed on : "));
        } else {
            m_repairComplete->showFailures(result.failureCount, result.firstFailures, er::bundlePath(m_saveDir));
            emitSaveLog(tr("Saved Main Identity.rge File with %n item(s) that could not be written .", nullptr,
                           result.failureCount),
                        m_saveDir, tr("Completed on : "));
        }
        state.scanDialogCurrent = false;
    } else if (portable) {
        // A stopped run leaves the folder as it was.
        m_preferencesAction->setEnabled(true);
        emitExportLog(tr("Aborted Exporting for Other Mail Programs ."), m_saveDir, tr("Aborted on : "));
    } else {
        SavingFileProcessAborted(m_saveDir);
    }

    state.stopFlag = false;
    setSaveEnabled(true);
}

void QEntourageMainWindow::OnProcessSuccess()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget))
            widget->hide();
    }
    m_repairComplete->showSuccess();
    m_preferencesAction->setEnabled(true);
}

void QEntourageMainWindow::emitSaveLog(const QString& headline, const QString& dir, const QString& prefix)
{
    emit CreateLog(headline, er::bundlePath(dir), logTimeLine(prefix));
}

void QEntourageMainWindow::emitExportLog(const QString& headline, const QString& dir, const QString& prefix)
{
    emit CreateLog(headline, dir, logTimeLine(prefix));
}

void QEntourageMainWindow::SaveFileProcessStarted(const QString& dir)
{
    emitSaveLog(tr("Saving Microsoft Entourage Backup File."), dir, tr("Started on : "));
}

void QEntourageMainWindow::SavingFileProcessCompleted(const QString& dir)
{
    emitSaveLog(tr("Completed Saving Main Identity.rge File ."), dir, tr("Completed on : "));
}

void QEntourageMainWindow::SavingFileProcessAborted(const QString& dir)
{
    // The stopped run has left the folder as it was: an earlier bundle
    // there is whole, and nothing of the new one remains.
    m_preferencesAction->setEnabled(true);
    emitSaveLog(tr("Aborted Saving Main Identity.rge File ."), dir, tr("Aborted on : "));
}
