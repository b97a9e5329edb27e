// The main window: licence at first start, toolbar icons and captions, the
// category switches, the folder tree of a scanned database, Open and Close,
// and the Help commands.

#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "DatabaseBuilder.h"
#include "PimBlocks.h"
#include "archive/ItemRoles.h"
#include "scan/FolderTreeView.h"
#include "app/AppPaths.h"
#include "app/GuiState.h"
#include "app/LicenseDialog.h"
#include "app/MyButton.h"
#include "app/QEntourageMainWindow.h"
#include "mail/MailHeaderView.h"
#include "archive/BlockScanner.h"

#include <QAction>
#include <QDesktopServices>
#include <QPlainTextEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTreeView>
#include <QWebEngineView>

#include <memory>

using Window = QEntourageMainWindow;

namespace {


// Receives the URLs the window hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

void hover(QWidget* widget)
{
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(widget, &enter);
}

void unhover(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

bool scanInto(const QByteArray& bytes, QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("Database"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return false;
    out.close();
    er::ScanState& state = er::gui::scanState();
    er::clearScanState(state);
    const er::ScanOutcome outcome = er::scanDatabase(path, state, {});
    if (outcome.kind != er::ScanOutcome::Completed)
        qWarning() << "scan outcome" << outcome.kind << outcome.reason;
    return outcome.kind == er::ScanOutcome::Completed;
}

QByteArray databaseWithFolders(const QList<testdb::FolderEntry>& folders)
{
    testdb::Database db;
    db.add(testdb::flidBlock(folders));
    return db.bytes();
}

// "name|id|parent|path|icon" of every item in pre-order.
QStringList treeRows(QTreeView* tree)
{
    QStringList rows;
    const QAbstractItemModel* model = tree->model();
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex item = model->index(row, 0, parent);
            rows << QString(depth, QLatin1Char(' ')) + item.data().toString() + QLatin1Char('|') +
                        QString::number(item.data(er::FolderIdRole).toULongLong()) + QLatin1Char('|') +
                        QString::number(item.data(er::ParentFolderIdRole).toULongLong()) + QLatin1Char('|') +
                        item.data(er::FolderPathRole).toString() + QLatin1Char('|') +
                        item.data(er::gui::kIconNameRole).toString().section(QLatin1Char('/'), -1);
            walk(item, depth + 1);
        }
    };
    walk(QModelIndex(), 0);
    return rows;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        er::clearScanState(er::gui::scanState());
        er::gui::scanState().running = false;
        er::gui::scanState().stopFlag = false;
        er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));
    }

    void licenceIsAskedUntilAccepted()
    {
        QSettings settings(QStringLiteral("vantrel"), QStringLiteral("VKERPreferences"));
        settings.remove(QStringLiteral("LicenseAgreement"));
        settings.sync();
        const QString eula = er::gui::licenseTextPath();

        QString shownText;
        auto pressed = ertest::answerNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<er::gui::LicenseDialog*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("License Agreement"));
            shownText = dialog->findChild<QPlainTextEdit*>()->toPlainText();
            dialog->disagreeButton()->click();
        });
        QVERIFY(!er::gui::licenseAccepted(eula));
        QVERIFY(*pressed);
        QCOMPARE(shownText, er::gui::readLicenseText(eula));
        QVERIFY(!shownText.isEmpty());
        settings.sync();
        QVERIFY(!settings.contains(QStringLiteral("LicenseAgreement")));

        // Closing the dialog without an answer is no agreement either.
        ertest::answerNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!er::gui::licenseAccepted(eula));

        pressed = ertest::answerNextModal([](QWidget* modal) {
            static_cast<er::gui::LicenseDialog*>(modal)->agreeButton()->click();
        });
        QVERIFY(er::gui::licenseAccepted(eula));
        QVERIFY(*pressed);
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("LicenseAgreement")).toString(), QStringLiteral("Agree"));

        // Accepted once: no dialog any more (one would block this call).
        QVERIFY(er::gui::licenseAccepted(eula));
        QVERIFY(er::gui::readLicenseText(QStringLiteral("/nonexistent/Eula.txt")).isEmpty());
    }

    void resourcesFolderBesideTheProgram()
    {
        QTemporaryDir tree;
        QDir(tree.path()).mkpath(QStringLiteral("bin"));
        const QString bin = tree.filePath(QStringLiteral("bin"));
        // Nothing there yet: the bundle-style place is named.
        QCOMPARE(er::gui::resourcesFolderFor(bin), tree.filePath(QStringLiteral("Resources")));
        QDir(tree.path()).mkpath(QStringLiteral("share/vantrel-entourage-repair/Resources"));
        QCOMPARE(er::gui::resourcesFolderFor(bin), tree.filePath(QStringLiteral("share/vantrel-entourage-repair/Resources")));
        // The build tree (and a Mac bundle) keeps it next to the program's folder.
        QDir(tree.path()).mkpath(QStringLiteral("Resources"));
        QCOMPARE(er::gui::resourcesFolderFor(bin), tree.filePath(QStringLiteral("Resources")));
    }

    void hoverIconsAndCaptions()
    {
        Window window;
        window.OnMailButtonClicked();
        MyButton* calendar = window.categoryButton(Window::Category::Calendar);

        hover(calendar);
        QCOMPARE(calendar->iconPath(), QStringLiteral(":/images/img_HoverCalender.png"));
        QCOMPARE(window.categoryCaption()->text(), QStringLiteral("Calendar"));
        unhover(calendar);
        QCOMPARE(calendar->iconPath(), QStringLiteral(":/images/img_Calender.png"));
        QCOMPARE(window.categoryCaption()->text(), QStringLiteral("Mail"));

        // Every category button: hover, checked, and checked while hovered.
        const struct {
            Window::Category category;
            const char* name;
            const char* normal;
            const char* hover;
            const char* checked;
        } looks[] = {
            {Window::Category::Mail, "Mail", "img_Mail", "img_HoverMail", "img_MailClick"},
            {Window::Category::Contacts, "Address Book", "img_Address", "img_HoverAddress", "img_AddressClick"},
            {Window::Category::Calendar, "Calendar", "img_Calender", "img_HoverCalender", "img_CalendarClick"},
            {Window::Category::Notes, "Notes", "img_Notes", "img_HoverNotes", "img_NotesClick"},
            {Window::Category::Tasks, "Tasks", "img_Tasks", "img_HoverTasks", "img_TasksClick"},
        };
        auto icon = [](const char* name) { return QStringLiteral(":/images/%1.png").arg(QLatin1String(name)); };
        for (const auto& look : looks) {
            MyButton* button = window.categoryButton(look.category);
            window.OnTasksButtonClicked();
            if (look.category == Window::Category::Tasks)
                window.OnMailButtonClicked();
            const QString checkedName = window.categoryCaption()->text();
            hover(button);
            QCOMPARE(button->iconPath(), icon(look.hover));
            QCOMPARE(window.categoryCaption()->text(), QLatin1String(look.name));
            unhover(button);
            QCOMPARE(button->iconPath(), icon(look.normal));
            QCOMPARE(window.categoryCaption()->text(), checkedName);

            QTest::mouseClick(button, Qt::LeftButton);
            QVERIFY(button->isChecked());
            QCOMPARE(button->iconPath(), icon(look.checked));
            hover(button);
            QCOMPARE(button->iconPath(), icon(look.checked));
            unhover(button);
            QCOMPARE(button->iconPath(), icon(look.checked));
            QCOMPARE(window.categoryCaption()->text(), QLatin1String(look.name));
            QVERIFY(!QIcon(icon(look.normal)).isNull());
            QVERIFY(!QIcon(icon(look.hover)).isNull());
            QVERIFY(!QIcon(icon(look.checked)).isNull());
        }

        hover(window.openButton());
        QCOMPARE(window.openButton()->iconPath(), QStringLiteral(":/images/img_HoverOpen.png"));
        unhover(window.openButton());
        QCOMPARE(window.openButton()->iconPath(), QStringLiteral(":/images/img_Open.png"));
        hover(window.saveButton());
        QCOMPARE(window.saveButton()->iconPath(), QStringLiteral(":/images/img_HoverSave.png"));
        unhover(window.saveButton());
        QCOMPARE(window.saveButton()->iconPath(), QStringLiteral(":/images/img_Save.png"));
    }

    void categorySwitches()
    {
        // The window empties the scan state when it is made, as at start-up.
        Window window;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
        db.add(testdb::contactBlock({}));
        QVERIFY(scanInto(db.bytes(), dir));
        QVERIFY(!er::gui::scanState().contacts.empty());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const struct {
            Window::Category category;
            QString title;
            QString caption;
            bool textCategory;
        } cases[] = {
            {Window::Category::Contacts, QStringLiteral("Address Book"), QStringLiteral("Address Book:"), true},
            {Window::Category::Calendar, QStringLiteral("Calendar"), QStringLiteral("Calendar:"), true},
            {Window::Category::Notes, QStringLiteral("Notes"), QStringLiteral("Notes:"), true},
            {Window::Category::Tasks, QStringLiteral("Tasks"), QStringLiteral("Tasks:"), true},
            {Window::Category::Mail, QStringLiteral("Mail"), QStringLiteral("Select Item"), false},
        };
        for (const auto& c : cases) {
            QTest::mouseClick(window.categoryButton(c.category), Qt::LeftButton);
            QCOMPARE(window.currentCategory(), c.category);
            for (int i = 0; i < Window::kCategoryCount; ++i) {
                const auto other = static_cast<Window::Category>(i);
                QCOMPARE(window.categoryButton(other)->isChecked(), other == c.category);
                QCOMPARE(window.categoryAction(other)->isChecked(), other == c.category);
            }
            QCOMPARE(window.categoryCaption()->text(), c.title);
            QCOMPARE(window.statusCaption()->text(), c.caption);
            QCOMPARE(window.statusCount()->text(), c.textCategory ? QStringLiteral("0") : QString());
            QCOMPARE(window.headerView()->isVisible(), !c.textCategory);
            QCOMPARE(window.previewView()->isVisible(), !c.textCategory);
            QCOMPARE(window.secondTextView()->isVisible(), c.textCategory);
            // Every list has its column headers, to sort by.
            QVERIFY(!window.itemList()->isHeaderHidden());
        }

        // A category with records gets its two-item tree, one without stays
        // empty.
        window.OnAddressView();
        QCOMPARE(treeRows(window.folderTree()),
                 QStringList({QStringLiteral("On My Computer|0|0|/On My Computer|img_OnMyComputerIcon.png"),
                              QStringLiteral(" Address Book|1|0|/On My Computer/Address Book|img_AddressBookIcon.png")}));
        QCOMPARE(window.folderTree()->currentIndex().data().toString(), QStringLiteral("Address Book"));
        window.OnCalendarView();
        QCOMPARE(window.folderTree()->model()->rowCount(), 0);
    }

    void folderTreeOfADatabase()
    {
        Window window;
        QTemporaryDir dir;
        // Parent before child, a "/" in a name, and a once-only name twice.
        QVERIFY(scanInto(databaseWithFolders({{7, {}, QStringLiteral("On My Computer")},
                                              {1, 7, QStringLiteral("Inbox")},
                                              {20, {}, QStringLiteral("A/B")},
                                              {30, {}, QStringLiteral("favorites")},
                                              {31, {}, QStringLiteral("Favorites")}}),
                         dir));
        window.OnMailView();
        QTreeView* tree = window.folderTree();
        QCOMPARE(tree->model()->columnCount(), 1);
        QVERIFY(tree->isHeaderHidden());
        // Linking always adds the first orphan folder, last.
        QCOMPARE(treeRows(tree).size(), 7);
        QVERIFY(treeRows(tree).last().startsWith(QStringLiteral("  Folder1|")));
        QCOMPARE(treeRows(tree).mid(0, 6),
                 QStringList({
                     QStringLiteral("Main Identity.rge|0|0|/Main Identity.rge|img_Folder.png"),
                     QStringLiteral(" Mail|4294967294|0|/Main Identity.rge/Mail|img_Folder.png"),
                     QStringLiteral("  On My Computer|7|4294967294|/Main Identity.rge/Mail/On My Computer|img_OnMyComputerIcon.png"),
                     QStringLiteral("   Inbox|1|7|/Main Identity.rge/Mail/On My Computer/Inbox|img_InboxFolderIcon.png"),
                     QStringLiteral("  A/B|20|4294967294|/Main Identity.rge/Mail/A-B|img_Folder.png"),
                     QStringLiteral("  favorites|30|4294967294|/Main Identity.rge/Mail/favorites|img_Folder.png"),
                 }));
        const QModelIndex root = tree->model()->index(0, 0);
        const QModelIndex mail = tree->model()->index(0, 0, root);
        QVERIFY(tree->isExpanded(root) && tree->isExpanded(mail));
        QCOMPARE(root.data(Qt::SizeHintRole).toSize(), QSize(20, 20));
        QCOMPARE(mail.data(Qt::SizeHintRole).toSize(), QSize(22, 22));
        QCOMPARE(root.data(Qt::FontRole).value<QFont>().family(), QStringLiteral("Lucida Grande"));
        QCOMPARE(root.data(Qt::FontRole).value<QFont>().pointSize(), 11);

        // Rebuilding shows the same tree (once-only names count per build).
        const QStringList first = treeRows(tree);
        window.OnMailView();
        QCOMPARE(treeRows(tree), first);

        // Child listed before its parent: both straight under Mail, and the
        // child loses its special icon.
        QVERIFY(scanInto(databaseWithFolders({{1, 7, QStringLiteral("Inbox")},
                                              {7, {}, QStringLiteral("On My Computer")}}),
                         dir));
        window.OnMailView();
        const QStringList rows = treeRows(tree);
        QCOMPARE(rows.at(2), QStringLiteral("  On My Computer|7|4294967294|/Main Identity.rge/Mail/On My Computer|img_OnMyComputerIcon.png"));
        QCOMPARE(rows.last(), QStringLiteral("  Inbox|1|7|/Main Identity.rge/Mail/Inbox|img_Folder.png"));
    }

    void openAnsweredNoKeepsTheScan()
    {
        Window window;
        QTemporaryDir dir;
        QVERIFY(scanInto(databaseWithFolders({{7, {}, QStringLiteral("On My Computer")},
                                              {1, 7, QStringLiteral("Inbox")}}),
                         dir));
        window.OnMailView();
        const QStringList before = treeRows(window.folderTree());
        QSignalSpy scanDialogs(&window, &Window::parseWindowRequested);

        QString question;
        auto answered = ertest::answerMessageBox(QMessageBox::No, &question);
        window.OnOpenFile();
        QVERIFY(*answered);
        QCOMPARE(question, QStringLiteral("Opening another file will lead to loss of current scanned "
                                          "information. Do you want to continue?"));
        QCOMPARE(treeRows(window.folderTree()), before);
        QCOMPARE(er::gui::scanState().mail.folders.size(), size_t(3));
        QCOMPARE(scanDialogs.count(), 0);

        // Yes discards the results and asks for a new scan.
        er::gui::scanState().scanDialogCurrent = true;
        answered = ertest::answerMessageBox(QMessageBox::Yes);
        window.OnOpenFile();
        QVERIFY(*answered);
        QVERIFY(er::gui::scanState().mail.folders.empty());
        QCOMPARE(window.folderTree()->model()->rowCount(), 0);
        QCOMPARE(scanDialogs.count(), 1);
        QVERIFY(!window.saveAction()->isEnabled());
        QVERIFY(!window.openButton()->isEnabled());
        QFile page(window.previewPagePath());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().startsWith("  "));
        QVERIFY(!window.previewPagePath().startsWith(QStringLiteral("/var/tmp")));
    }

    void closeIsRefusedWhileRunningAndAsksOtherwise()
    {
        Window window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        er::gui::scanState().running = true;
        QString text;
        auto answered = ertest::answerMessageBox(QMessageBox::Ok, &text);
        QVERIFY(!window.close());
        QVERIFY(*answered);
        QCOMPARE(text, QStringLiteral("Application Running !!\nPlease halt the current process to Exit."));
        er::gui::scanState().running = false;

        answered = ertest::answerMessageBox(QMessageBox::No, &text);
        QVERIFY(!window.close());
        QCOMPARE(text, QStringLiteral("Do you want to close Vantrel Kestrane Entourage Repair? "));
        answered = ertest::answerMessageBox(QMessageBox::Yes);
        QVERIFY(window.close());
    }

    void helpCommandsOpenTheirAddresses()
    {
        QTemporaryDir resources;
        QFile links(resources.filePath(QStringLiteral("ZevarodezAvavozLink.plist")));
        QVERIFY(links.open(QIODevice::WriteOnly));
        links.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                    "<key>EmailToSupport</key><string>help@example.org</string>"
                    "<key>ViewSupportLink</key><string>help/Vantrel_Support.htm</string>"
                    "<key>SubmitEnquiryLink</key><string></string>"
                    "<key>KBLink</key><string>https://example.org/kb</string>"
                    "</dict></plist>\n");
        links.close();
        er::gui::setResourcesFolder(resources.path());

        UrlCatcher catcher;
        for (const char* scheme : {"file", "mailto", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");

        Window window;
        auto action = [&](const char* name) { return window.findChild<QAction*>(QLatin1String(name)); };
        QVERIFY(!action("actionSubmitEnquiry")->isEnabled());
        for (const char* name : {"actionHelpTopics", "actionEmailSupport", "actionViewSupport",
                                 "actionKnowledgeBase", "actionLicenseAgreement"})
            action(name)->trigger();
        QTest::mouseClick(window.helpButton(), Qt::LeftButton);
        QCOMPARE(catcher.urls,
                 QList<QUrl>({QUrl::fromLocalFile(resources.path() + "/help/Vantrel_Kestrane_Entourage_Repair.htm"),
                              QUrl(QStringLiteral("mailto:help@example.org")),
                              QUrl::fromLocalFile(resources.path() + "/help/Vantrel_Support.htm"),
                              QUrl(QStringLiteral("https://example.org/kb")),
                              QUrl::fromLocalFile(resources.path() + "/Eula.pdf"),
                              QUrl::fromLocalFile(resources.path() + "/help/Vantrel_Kestrane_Entourage_Repair.htm")}));

        // Both role commands sit in a menu where no application menu takes them.
        QVERIFY(!window.findChild<QAction*>(QStringLiteral("actionPreferences"))->associatedWidgets().isEmpty());
        QVERIFY(!action("actionLicenseAgreement")->associatedWidgets().isEmpty());
        for (const char* scheme : {"file", "mailto", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
};

ER_GUI_TEST_MAIN(MainWindowTest)
#include "tst_MainWindow.moc"
