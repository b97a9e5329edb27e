#include "app/QEntourageMainWindow.h"

#include "app/AppPaths.h"
#include "app/CategoryBar.h"
#include "app/GuiState.h"
#include "app/LinkSettings.h"
#include "app/MyButton.h"
#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "archive/ItemRoles.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/InformationDlg.h"
#include "dialogs/PreferencesDlg.h"
#include "export/OutputRunner.h"
#include "export/RepairComplete.h"
#include "mail/MailHeaderView.h"
#include "mail/QItemLister.h"
#include "mail/QPreviewOfItems.h"
#include "mail/SearchField.h"
#include "scan/FolderTreeView.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <algorithm>
#include <climits>

namespace {

const QString kMessageTitle = QStringLiteral("VantrelKestraneZevarodezAvavoz");
const QString kCaptionFont = QStringLiteral("Lucida Grande");

QLabel* spacerLabel(int width, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedWidth(width);
    return label;
}

}  // namespace

QEntourageMainWindow::QEntourageMainWindow(QWidget* parent) : QMainWindow(parent)
{
    setContextMenuPolicy(Qt::NoContextMenu);
    setWindowTitle(tr("Vantrel Kestrane Entourage Repair"));

    m_preferences = new PreferencesDlg(this);
    er::ScanState& state = er::gui::scanState();
    er::clearScanState(state);
    m_logDialog = new QLogReport(this);
    m_about = new AboutDlg(er::gui::resourcesFolder(), er::gui::linkFilePath(), this);
    m_repairComplete = new RepairComplete(er::gui::resourcesFolder(), er::gui::linkFilePath(), this);
    m_runner = new OutputRunner(state, m_repairComplete, this);

    createActions();
    createToolBars();
    createMenus();
    createStatusBar();
    createPanes();
    m_previewPane = new QPreviewOfItems(m_headerView, m_preview, m_secondTextView, this);
    m_lister = new QItemLister(state, m_folderTree, m_itemList, m_previewPane, m_statusProgress, m_statusStop, this);
    // The current folder, however it became current (click or key), is listed.
    connect(m_folderTree->selectionModel(), &QItemSelectionModel::currentChanged, m_lister,
            [this](const QModelIndex& current) {
                m_lister->showItemsOfFolder(current);
                updateMessageActions();
            });
    // A click on the current folder lists it again only when its list is not
    // complete (a fill stopped half-way).
    connect(m_folderTree, &QTreeView::clicked, m_lister, [this](const QModelIndex& index) {
        if (!m_lister->isListed(index))
            m_lister->showItemsOfFolder(index);
    });
    connect(m_searchField, &QLineEdit::textChanged, m_lister, &QItemLister::setSearchText);
    connect(m_lister, &QItemLister::commandsLocked, this, [this](bool locked) { setLockedCommandsEnabled(!locked); });
    connect(m_lister, &QItemLister::StatusBarValue, this, &QEntourageMainWindow::OnStatusBarValue);
    connect(m_itemList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &QEntourageMainWindow::updateMessageActions);
    connect(m_lister->proxy(), &QAbstractItemModel::modelReset, this, &QEntourageMainWindow::updateMessageActions);
    connect(m_lister->proxy(), &QAbstractItemModel::layoutChanged, this, &QEntourageMainWindow::updateMessageActions);

    connect(m_runner, &OutputRunner::runningChanged, this, [this](bool running) { setLockedCommandsEnabled(!running); });
    connect(m_runner, &OutputRunner::preferencesAllowed, m_preferencesAction, &QAction::setEnabled);
    connect(m_runner, &OutputRunner::logEntry, this, &QEntourageMainWindow::SetLog);
    connect(m_runner, &OutputRunner::mailTreeNeeded, this, &QEntourageMainWindow::OnMailView);
    connect(m_runner, &OutputRunner::saveWritersStarted, this, [this]() {
        m_lister->clear();
        m_headerView->clear();
        m_secondTextView->clear();
        m_statusCaption->clear();
        m_statusCount->clear();
        m_preview->hide();
    });
    connect(m_runner, &OutputRunner::saveEnded, this, [this]() {
        // The views gave up what they showed for the save.
        selectCategory(Category::Mail);
        showWatermark();
    });

    m_scanDialog = createParseDialog();
    state.scanDialogCurrent = true;
    m_saveButton->setEnabled(false);
    m_openButton->setEnabled(false);

    setUnifiedTitleAndToolBarOnMac(true);
    m_statusCaption->clear();
    m_statusCount->clear();
    m_previewPane->resetPreview();
    updateMessageActions();
    placeWindow();
}

QEntourageMainWindow::~QEntourageMainWindow()
{
    // A run still going is asked to stop and waited for, before the widgets
    // it reports to go away.
    m_runner->stopAndWait();
}

QAction* QEntourageMainWindow::makeAction(const QString& text, const char* objectName)
{
    auto* action = new QAction(text, this);
    action->setToolTip(text);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

void QEntourageMainWindow::createActions()
{
    auto* about = makeAction(tr("&About"), "actionAbout");
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, [this]() {
        m_about->show();
        m_about->raise();
        m_about->activateWindow();
    });

    m_preferencesAction = makeAction(tr("&Preferences..."), "actionPreferences");
    m_preferencesAction->setMenuRole(QAction::PreferencesRole);
    connect(m_preferencesAction, &QAction::triggered, this, [this]() {
        m_preferences->setModal(true);
        m_preferences->show();
    });

    auto* license = makeAction(tr("&License Agreement"), "actionLicenseAgreement");
    license->setMenuRole(QAction::ApplicationSpecificRole);
    connect(license, &QAction::triggered, this,
            []() { QDesktopServices::openUrl(QUrl::fromLocalFile(er::gui::licenseDocumentPath())); });

    m_openAction = makeAction(tr("Open File"), "actionOpenFile");
    connect(m_openAction, &QAction::triggered, this, &QEntourageMainWindow::OnOpenFile);
    m_saveAction = makeAction(tr("Save Repaired File"), "actionSaveRepairedFile");
    m_saveAction->setEnabled(false);
    connect(m_saveAction, &QAction::triggered, this, &QEntourageMainWindow::OnSavingFiles);
    m_exportAction = makeAction(tr("Export for Other Mail Programs..."), "actionExportPortable");
    m_exportAction->setEnabled(false);
    connect(m_exportAction, &QAction::triggered, this, &QEntourageMainWindow::OnExportFiles);

    m_saveMessagesAction = makeAction(tr("Save Message As..."), "actionSaveMessages");
    m_saveMessagesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(m_saveMessagesAction, &QAction::triggered, this, &QEntourageMainWindow::OnSaveMessages);
    m_saveAttachmentsAction = makeAction(tr("Save Attachments..."), "actionSaveAttachments");
    m_saveAttachmentsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    connect(m_saveAttachmentsAction, &QAction::triggered, this, &QEntourageMainWindow::OnSaveAttachments);
    m_exportFolderAction = makeAction(tr("Export Folder..."), "actionExportFolder");
    m_exportFolderAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(m_exportFolderAction, &QAction::triggered, this, &QEntourageMainWindow::OnExportFolder);

    auto* help = makeAction(tr("&Help Topics"), "actionHelpTopics");
    connect(help, &QAction::triggered, this,
            []() { QDesktopServices::openUrl(QUrl::fromLocalFile(er::gui::helpPagePath())); });
    // A support command without an address would open nothing: it is offered
    // only when the link file names one.
    const QString links = er::gui::linkFilePath();
    const struct {
        const char* text;
        const char* objectName;
        const char* key;
        const char* prefix;
    } supportCommands[] = {
        {QT_TR_NOOP("&Email to Vantrel Support"), "actionEmailSupport", "EmailToSupport", "mailto:"},
        {QT_TR_NOOP("&View Support Section"), "actionViewSupport", "ViewSupportLink", ""},
        {QT_TR_NOOP("&Submit Enquiry"), "actionSubmitEnquiry", "SubmitEnquiryLink", ""},
        {QT_TR_NOOP("&View Knowledgebase Articles"), "actionKnowledgeBase", "KBLink", ""},
    };
    for (const auto& command : supportCommands) {
        QAction* action = makeAction(tr(command.text), command.objectName);
        const QString key = QLatin1String(command.key);
        const QString prefix = QLatin1String(command.prefix);
        connect(action, &QAction::triggered, this, [this, key, prefix]() { openSupportLink(key, prefix); });
        action->setEnabled(!er::gui::linkSetting(links, key).isEmpty());
    }
    auto* logReport = makeAction(tr("Log Report"), "actionLogReport");
    connect(logReport, &QAction::triggered, this, &QEntourageMainWindow::OnLogReport);
}

void QEntourageMainWindow::createToolBars()
{
    auto* categoryToolBar = addToolBar(QStringLiteral("ToolBar"));
    categoryToolBar->setObjectName(QStringLiteral("ToolBar"));
    categoryToolBar->setMovable(false);
    categoryToolBar->setFloatable(false);
    categoryToolBar->setOrientation(Qt::Horizontal);
    m_categories = new CategoryBar(categoryToolBar, this);
    connect(m_categories, &CategoryBar::categoryRequested, this, &QEntourageMainWindow::showCategory);
    categoryToolBar->addWidget(spacerLabel(2, categoryToolBar));

    auto* fileToolBar = addToolBar(QStringLiteral("Open & Save File"));
    fileToolBar->setObjectName(QStringLiteral("Open & Save File"));
    fileToolBar->setMovable(false);
    fileToolBar->setFloatable(false);
    fileToolBar->setOrientation(Qt::Horizontal);

    // Open and Save carry their captions underneath; their icons change
    // while the pointer is over them.
    auto makeButton = [fileToolBar](const char* objectName, const QString& normal, const QString& hover,
                                    const QString& tip, QWidget* parent) {
        auto* button = new MyButton(parent);
        button->setObjectName(QLatin1String(objectName));
        button->setCheckable(false);
        button->setFixedSize(30, 28);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoRaise(true);
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0px; }"));
        button->setIconPath(normal);
        button->setToolTip(tip);
        QObject::connect(button, &MyButton::ChangePixmap, button, [button, hover]() { button->setIconPath(hover); });
        QObject::connect(button, &MyButton::OnUpdatePixmap, button, [button, normal]() { button->setIconPath(normal); });
        Q_UNUSED(fileToolBar);
        return button;
    };
    auto captioned = [fileToolBar](MyButton* button, const QString& caption) {
        auto* box = new QWidget(fileToolBar);
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

    fileToolBar->addWidget(spacerLabel(2, fileToolBar));
    m_openButton = makeButton("OpenButton", QStringLiteral(":/images/img_Open.png"),
                              QStringLiteral(":/images/img_HoverOpen.png"), tr("Open File"), fileToolBar);
    connect(m_openButton, &QToolButton::clicked, this, &QEntourageMainWindow::OnOpenFile);
    fileToolBar->addWidget(captioned(m_openButton, tr("Open")));
    fileToolBar->addWidget(spacerLabel(5, fileToolBar));
    m_saveButton = makeButton("SaveButton", QStringLiteral(":/images/img_Save.png"),
                              QStringLiteral(":/images/img_HoverSave.png"), tr("Save Repaired File"), fileToolBar);
    connect(m_saveButton, &QToolButton::clicked, this, &QEntourageMainWindow::OnSavingFiles);
    fileToolBar->addWidget(captioned(m_saveButton, tr("Save")));

    auto* spacer = new QWidget(fileToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    fileToolBar->addWidget(spacer);

    auto* helpButton = makeButton("HelpButton", QStringLiteral(":/images/img_HelpFile.png"),
                                  QStringLiteral(":/images/img_HelpFile.png"), tr("Help Topics"), fileToolBar);
    helpButton->setFixedSize(40, 40);
    connect(helpButton, &QToolButton::clicked, findChild<QAction*>(QStringLiteral("actionHelpTopics")),
            &QAction::trigger);
    fileToolBar->addWidget(helpButton);
}

void QEntourageMainWindow::createMenus()
{
    auto action = [this](const char* name) { return findChild<QAction*>(QLatin1String(name)); };
    QMenu* applicationMenu = menuBar()->addMenu(tr("&VantrelKestraneZevarodezAvavoz"));
    applicationMenu->addAction(action("actionAbout"));

    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    fileMenu->addAction(m_openAction);
    fileMenu->addAction(m_saveAction);
    fileMenu->addAction(m_exportAction);
    // Where the menu roles have no application menu to move into (everywhere
    // but macOS) these commands would be unreachable outside a menu.
    fileMenu->addSeparator();
    fileMenu->addAction(m_preferencesAction);

    QMenu* messageMenu = menuBar()->addMenu(tr("&Message"));
    messageMenu->setObjectName(QStringLiteral("messageMenu"));
    messageMenu->addAction(m_saveMessagesAction);
    messageMenu->addAction(m_saveAttachmentsAction);
    messageMenu->addSeparator();
    messageMenu->addAction(m_exportFolderAction);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(action("actionHelpTopics"));
    helpMenu->addSeparator();
    for (const char* name : {"actionEmailSupport", "actionViewSupport", "actionSubmitEnquiry", "actionKnowledgeBase"})
        helpMenu->addAction(action(name));
    helpMenu->addSeparator();
    helpMenu->addAction(action("actionLogReport"));
    helpMenu->addAction(action("actionLicenseAgreement"));
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
    // Several messages at once for the message actions; the first selected
    // row in the list's order is previewed.
    m_itemList->setSelectionMode(QAbstractItemView::ExtendedSelection);
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

    auto* rightPane = new QFrame(this);
    rightPane->setObjectName(QStringLiteral("rightPane"));
    auto* rightLayout = new QVBoxLayout(rightPane);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    rightLayout->addWidget(m_headerView);
    rightLayout->addWidget(m_preview, 1);
    rightLayout->addWidget(m_secondTextView);

    auto* splitter = new QSplitter(this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->addWidget(m_folderTree);
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
    splitter->addWidget(listPane);
    splitter->addWidget(rightPane);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 2);
    splitter->setStyleSheet(QStringLiteral(
        "QSplitter::handle:vertical   {height: 1px; image: url(:images/img_Vsplitter.png);}"
        "QSplitter::handle:horizontal {width:  1px; image: url(:images/img_Hsplitter.png);}"
        "QSplitter::handle {border: solid #ABABAB; background: #ABABAB;}"));
    setCentralWidget(splitter);

    // The message actions on the list's context menu; a folder's export on
    // the tree's.
    m_itemList->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_itemList->addAction(m_saveMessagesAction);
    m_itemList->addAction(m_saveAttachmentsAction);
    auto* separator = new QAction(m_itemList);
    separator->setSeparator(true);
    m_itemList->addAction(separator);
    m_itemList->addAction(m_exportFolderAction);
    m_folderTree->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_folderTree->addAction(m_exportFolderAction);

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
    // A folder listed while a run goes on must not unlock what the run holds.
    enabled = enabled && !m_runner->isRunning();
    m_commandsFree = enabled;
    m_categories->setEnabled(enabled);
    m_openButton->setEnabled(enabled);
    m_openAction->setEnabled(enabled);
    setSaveEnabled(enabled);
    updateMessageActions();
}

void QEntourageMainWindow::setSaveEnabled(bool enabled)
{
    // Nothing to save is never offered: it would write an empty bundle.
    enabled = enabled && m_scanSaveable;
    m_saveButton->setEnabled(enabled);
    m_saveAction->setEnabled(enabled);
    m_exportAction->setEnabled(enabled);
}

void QEntourageMainWindow::updateMessageActions()
{
    const bool free = m_commandsFree && !m_runner->isRunning() && !er::gui::scanState().running
        && !m_lister->isFilling() && m_categories->current() == Category::Mail;
    const bool selected = free && m_itemList->selectionModel()->hasSelection();
    m_saveMessagesAction->setEnabled(selected);
    m_saveAttachmentsAction->setEnabled(selected);
    const QModelIndex folder = m_folderTree->currentIndex();
    m_exportFolderAction->setEnabled(free && folder.isValid() && folder.data(er::FolderIdRole).toULongLong() != 0);
}

std::vector<er::MailListRow> QEntourageMainWindow::selectedMailRows() const
{
    const er::ItemListModel* model = m_lister->model();
    QModelIndexList rows = m_itemList->selectionModel()->selectedRows(model->textColumn());
    // In the list's order, as the user sees them.
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<er::MailListRow> mail;
    for (const QModelIndex& row : rows) {
        const QModelIndex source = m_lister->proxy()->mapToSource(row);
        if (source.isValid() && source.row() < model->rowCount())
            mail.push_back(model->mailRow(source.row()));
    }
    return mail;
}

// --- Commands -------------------------------------------------------------

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

    m_categories->setEnabled(!earlierScan);
    setSaveEnabled(false);
    m_openAction->setEnabled(true);

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
    if (er::gui::scanState().running || m_runner->isRunning()) {
        if (QProgressInfo* sheet = m_runner->progressSheet())
            sheet->show();
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

// --- Files out --------------------------------------------------------------

void QEntourageMainWindow::OnSavingFiles()
{
    if (m_scanSaveable)
        m_runner->startSave(false, m_folderModel);
}

void QEntourageMainWindow::OnExportFiles()
{
    if (m_scanSaveable)
        m_runner->startSave(true, m_folderModel);
}

void QEntourageMainWindow::OnSaveMessages()
{
    if (m_saveMessagesAction->isEnabled())
        m_runner->startMessageAction(OutputRunner::Action::SaveMessages, selectedMailRows());
}

void QEntourageMainWindow::OnSaveAttachments()
{
    if (m_saveAttachmentsAction->isEnabled())
        m_runner->startMessageAction(OutputRunner::Action::SaveAttachments, selectedMailRows());
}

void QEntourageMainWindow::OnExportFolder()
{
    if (!m_exportFolderAction->isEnabled())
        return;
    const QModelIndex folder = m_folderTree->currentIndex();
    // The folder's name as the bundle would write it: safe on every disk.
    const QString name = folder.data(er::FolderPathRole).toString().section(QLatin1Char('/'), -1);
    m_runner->startFolderExport(m_folderModel, folder.data(er::FolderIdRole).toULongLong(), name);
}

// --- Categories -----------------------------------------------------------

void QEntourageMainWindow::selectCategory(Category category)
{
    // A search belongs to the category it was typed in.
    if (category != m_lister->category())
        m_searchField->clear();
    m_lister->setCategory(category);
    m_categories->select(category);
    updateMessageActions();
}

void QEntourageMainWindow::showCategory(Category category)
{
    if (category == Category::Mail)
        OnMailView();
    else
        showTextCategory(category);
}

void QEntourageMainWindow::OnMailView()
{
    m_headerView->show();
    m_preview->show();
    m_secondTextView->hide();

    selectCategory(Category::Mail);

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
    const QString name = CategoryBar::nameOf(category);
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

// --- Scan -------------------------------------------------------------------

QParseDatabase* QEntourageMainWindow::createParseDialog()
{
    auto* dialog = new QParseDatabase(er::gui::scanState(), this);
    connect(dialog, &QParseDatabase::CreateLogScanning, this, &QEntourageMainWindow::SetLog);
    connect(dialog, &QParseDatabase::OnInitialSettings, this, &QEntourageMainWindow::SetInitialSettings);
    connect(dialog, &QParseDatabase::OnProgressvalue, this, &QEntourageMainWindow::SetProgressValue);
    connect(dialog, &QParseDatabase::OnFinishScanning, this, &QEntourageMainWindow::SetFinishSettingsForMail);
    connect(dialog, &QParseDatabase::StatusBarValue, this, &QEntourageMainWindow::OnStatusBarValue);
    connect(dialog, &QParseDatabase::InformationDlgOpen, this, &QEntourageMainWindow::openInformationDialog);
    connect(dialog, &QParseDatabase::foldersAvailable, this, &QEntourageMainWindow::showFolderTree);
    connect(dialog, &QParseDatabase::scanStopped, this, &QEntourageMainWindow::onScanStopped);
    connect(dialog, &QParseDatabase::fileRejected, this, &QEntourageMainWindow::onFileRejected);
    connect(dialog, &QParseDatabase::nothingUsable, this, &QEntourageMainWindow::onNothingUsable);
    connect(dialog, &QParseDatabase::dialogClosed, this, &QEntourageMainWindow::openAllowed);
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

void QEntourageMainWindow::openAllowed()
{
    setSaveEnabled(false);
    m_openButton->setEnabled(true);
    m_openAction->setEnabled(true);
    m_preferencesAction->setEnabled(true);
}

void QEntourageMainWindow::onScanStopped()
{
    m_runner->hideProgress();
    m_scanSaveable = false;
    m_folderModel = er::FolderTreeModel();
    m_openButton->setEnabled(true);
    m_openAction->setEnabled(true);
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
    m_runner->hideProgress();
    m_scanSaveable = false;
    openAllowed();
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
    m_runner->showProgress(tr("Scanning Entourage Database File ..."),
                           static_cast<int>(qMin<quint32>(er::gui::scanState().progressRange, INT_MAX)));
}

void QEntourageMainWindow::SetProgressValue(quint64 examined)
{
    if (QProgressInfo* sheet = m_runner->progressSheet())
        sheet->progressBar()->setValue(
            QParseDatabase::progressValueFor(examined, static_cast<quint32>(sheet->progressBar()->maximum())));
}

void QEntourageMainWindow::SetFinishSettingsForMail()
{
    m_scanSaveable = true;
    setLockedCommandsEnabled(true);
    m_runner->hideProgress();
    selectCategory(Category::Mail);
    // The tree shown during the scan holds only the folders decoded by then.
    showFolderTree();
    m_folderTree->setFocus(Qt::OtherFocusReason);
}

void QEntourageMainWindow::OnStatusBarValue(const QString& caption, unsigned int count)
{
    // No caption: no folder is listed (the bundle or Mail item).
    m_statusCaption->setText(caption.isEmpty() ? QString() : caption + QLatin1Char(':'));
    m_statusCount->setText(caption.isEmpty() ? QString() : QString::number(count));
    m_statusProgress->hide();
    m_statusStop->hide();
}

void QEntourageMainWindow::openInformationDialog()
{
    if (m_information)
        m_information->deleteLater();
    m_information = new InformationDlg(er::gui::scanState(), this);
    connect(m_information, &InformationDlg::closed, m_preferencesAction,
            [this]() { m_preferencesAction->setEnabled(true); });
    m_information->show();
}

// --- Activity log -----------------------------------------------------------

void QEntourageMainWindow::SetLog(const QString& headline, const QString& path, const QString& timeLine)
{
    m_logDialog->appendEntry(headline, path, timeLine);
    m_logDialog->setLogCommandsEnabled(!er::gui::scanState().running && !m_runner->isRunning());
}

void QEntourageMainWindow::OnLogReport()
{
    m_logDialog->setLogCommandsEnabled(!m_logDialog->isEmpty());
    m_logDialog->setModal(true);
    m_logDialog->show();
    m_logDialog->raise();
}
