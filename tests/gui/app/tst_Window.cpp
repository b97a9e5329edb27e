// The main window as a user meets it: the keyboard walk from the scan to the
// preview, rows that preview their own record however they are sorted,
// searched or selected, the commands a fill or a run locks, a stopped save,
// and the message actions with their targets, their failures and Stop.

#include "GuiTestMain.h"
#include "ModalAnswer.h"
#include "WindowDriver.h"

#include "DatabaseBuilder.h"
#include "PimBlocks.h"
#include "archive/ItemRoles.h"
#include "archive/SavingThread.h"
#include "mail/MailHeaderView.h"

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTextBrowser>
#include <QToolButton>

#include <memory>

using ertest::WindowDriver;

namespace {

const QString kSample = QStringLiteral(ER_SAMPLE_DATABASE);

// Every file below a folder, by its path inside it, with its bytes.
QMap<QString, QByteArray> filesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        files.insert(path.mid(root.size() + 1), ertest::readAll(path));
    }
    return files;
}

// A database of `count` mails in Inbox, each with `lines` lines of text.
QString mailDatabase(const QTemporaryDir& dir, int count, int lines)
{
    testdb::Database db;
    db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}, {1, 7, QStringLiteral("Inbox")}}));
    for (quint32 id = 1; id <= quint32(count); ++id) {
        db.add(testdb::mlrcBlock({1u, id, {}, testdb::utf16be(QStringLiteral("Mail %1").arg(id))}));
        db.add(testdb::msrcBlock(id, "\rSubject: Mail " + QByteArray::number(id) + "\r\r"
                                         + QByteArray("Some text of a message\r").repeated(lines)));
    }
    return db.writeTo(dir.filePath("Database")) ? dir.filePath("Database") : QString();
}

// The header view shows the subject of this mail row.
bool previews(const WindowDriver& w, const QModelIndex& row)
{
    const QString subject = row.data(er::SubjectRole).toString();
    return w.child<MailHeaderView>("headerView")->lines().contains(QStringLiteral("Subject:  ") + subject);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        er::gui::setRequestedDatabasePath(QString());
        er::gui::scanState().stopFlag = false;
        er::gui::scanState().running = false;
    }

    // From the scan to the page by keyboard; each row listed previews its own
    // message.
    void keyboardWalksScanTreeListAndPreview()
    {
        er::gui::setRequestedDatabasePath(kSample);
        WindowDriver w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        w.window.ShowParseWindow();

        auto* dialog = w.child<QParseDatabase>("BrowseWindow");
        auto* start = w.child<QPushButton>("StartButton");
        for (int i = 0; i < 6 && dialog->focusWidget() != start; ++i)
            QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Tab);
        QTest::keyClick(start, Qt::Key_Space);
        auto* summary = w.child<QDialog>("InformationDlg");
        QTest::keyClick(summary, Qt::Key_Escape);
        QVERIFY(!summary->isVisible() && w.action("actionPreferences")->isEnabled());

        // Down walks the folders, listing each; Tab goes on to the list, the
        // header lines and the page; the keys and clicks preview each row.
        QTreeView* tree = w.tree();
        QTreeView* list = w.list();
        for (int i = 0; i < 8 && tree->currentIndex().data().toString() != "Inbox"; ++i) {
            QTest::keyClick(tree, Qt::Key_Down);
            w.waitForFill();
        }
        QCOMPARE(w.child<QLabel>("statusCaption")->text(), QStringLiteral("Inbox:"));
        QCOMPARE(w.window.focusWidget(), tree);

        QTest::keyClick(tree, Qt::Key_Tab);
        QCOMPARE(w.window.focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex(), w.row(1));
        QVERIFY(previews(w, list->currentIndex()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(w.row(2)).center());
        QCOMPARE(list->currentIndex(), w.row(2));
        QVERIFY(previews(w, list->currentIndex()));
        QCOMPARE(w.window.focusWidget(), list);

        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(w.window.focusWidget(), w.child("headerView"));
        QTest::keyClick(w.child("headerView"), Qt::Key_Tab);
        QVERIFY(w.child("previewView")->isAncestorOf(w.window.focusWidget()));

        // Sorted by date, the last row previews its own message; of several
        // selected rows the first in the list's order is shown, whatever
        // order they were selected in.
        const int all = w.rowCount();
        list->sortByColumn(er::ItemListModel::MailDate, Qt::DescendingOrder);
        w.clickRow(all - 1);
        QVERIFY(previews(w, w.row(all - 1)));
        w.selectRows({all - 1, 1});
        QVERIFY(previews(w, w.row(1)));
    }

    void contactsPreviewTheirOwnRecord()
    {
        WindowDriver w;
        QTemporaryDir dir;
        testdb::Database db;
        db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}}));
        // Two contacts without a GUID: nothing but their place tells them apart.
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("First"))}));
        db.add(testdb::contactBlock({testdb::wideProp(testdb::kFirstNameTag, QStringLiteral("Second")),
                                     testdb::prop(testdb::kEmail1Tag, "s@example.org")}));
        QVERIFY(db.writeTo(dir.filePath("Database")));
        QVERIFY(w.load(dir.filePath("Database")));
        w.window.OnAddressView();
        auto* text = w.child<QTextBrowser>("secondTextView");
        w.clickRow(1);
        QCOMPARE(text->toPlainText(), QStringLiteral("First Name: Second\nEmail Address 1: s@example.org"));
        // Sorted the other way, the second row is the first record.
        w.list()->sortByColumn(er::ItemListModel::ContactName, Qt::DescendingOrder);
        w.clickRow(1);
        QCOMPARE(text->toPlainText(), QStringLiteral("First Name: First"));
    }

    void searchField_data()
    {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("mail subject, other case") << "OnMailView" << "INVOICE"
                                                  << QStringList{"Tom Becker\nInvoice 2008-017"};
        QTest::newRow("contact by company") << "OnAddressView" << "harbour" << QStringList{"Ann Lee"};
        QTest::newRow("contact by address") << "OnAddressView" << "BOB@" << QStringList{"Bob Stone"};
        QTest::newRow("event") << "OnCalendarView" << "review" << QStringList{"Weekly review "};
        QTest::newRow("task note") << "OnTasksView" << "drawer" << QStringList{"File tax return "};
        QTest::newRow("note text") << "OnNotesView" << "bread" << QStringList{"Shopping list "};
        QTest::newRow("nothing") << "OnNotesView" << "zzz" << QStringList{};
    }

    // The search keeps the rows that hold the text, the count follows, and
    // Escape, another category or Ctrl+F start afresh.
    void searchField()
    {
        QFETCH(QString, view);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        WindowDriver w;
        w.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.window));
        QVERIFY(w.load(kSample));
        QVERIFY(QMetaObject::invokeMethod(&w.window, qPrintable(view)));
        if (view == "OnMailView")
            w.listFolder(QStringLiteral("Inbox"));
        const int all = w.rowCount();
        auto* search = w.child<QLineEdit>("searchField");
        QTest::keyClicks(search, typed);
        QStringList texts;
        for (int i = 0; i < w.rowCount(); ++i)
            texts << w.row(i).data().toString();
        QCOMPARE(texts, shown);
        QVERIFY(w.status().endsWith(QString::number(shown.size())));
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(w.rowCount(), all);

        QTest::keyClicks(search, typed);
        QVERIFY(QMetaObject::invokeMethod(&w.window, view == "OnMailView" ? "OnTasksView" : "OnMailView"));
        QVERIFY(search->text().isEmpty());
        QApplication::setActiveWindow(&w.window);
        w.tree()->setFocus();
        QTest::keyClick(w.tree(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(w.window.focusWidget(), static_cast<QWidget*>(search));
    }

    // A fill shows every row at once and reads their texts in the
    // background: it locks the commands meanwhile, and its Stop leaves a
    // list that a click fills again.
    void fillLocksCommandsAndStops()
    {
        WindowDriver w;
        QTemporaryDir dir;
        QVERIFY(w.load(mailDatabase(dir, 3000, 400)));
        w.window.OnMailView();
        auto* bar = w.child<QProgressBar>("statusProgress");
        auto* stop = w.child<QToolButton>("statusStop");
        // The pass is held after its first progress report until Stop is clicked.
        QSemaphore clicked;
        std::atomic<bool> held{false};
        w.lister()->model()->setTextPassProbe([&]() {
            if (!held.exchange(true))
                clicked.tryAcquire(1, 60000);
        });
        w.listFolder(QStringLiteral("Inbox"), false);
        QTRY_VERIFY_WITH_TIMEOUT(held && bar->value() > 0, 60000);
        QCOMPARE(w.rowCount(), 3000);
        QVERIFY(w.lister()->isFilling() && !w.tree()->isEnabled() && w.commandsLocked());
        QTest::mouseClick(stop, Qt::LeftButton);
        clicked.release();
        w.waitForFill();
        w.lister()->model()->setTextPassProbe({});
        QVERIFY(!w.lister()->model()->textsComplete());
        QVERIFY(w.tree()->isEnabled() && w.action("actionSaveMessages")->isEnabled());

        // Not complete: a click on its folder lists it again.
        emit w.tree()->clicked(w.tree()->currentIndex());
        w.waitForFill();
        QVERIFY(w.lister()->model()->textsComplete());
        QCOMPARE(w.status(), QStringLiteral("Inbox:3000"));
    }

    // A replacing save that is stopped leaves the earlier bundle whole.
    void stoppedSaveKeepsTheEarlierBundle()
    {
        WindowDriver w;
        QTemporaryDir dir;
        w.scan(mailDatabase(dir, 400, 8000));
        QTemporaryDir target;
        w.runner()->setDirectoryChooser([&]() { return target.path(); });
        w.action("actionSaveRepairedFile")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w.completion()->isVisible(), 60000);
        w.completion()->hide();
        const QMap<QString, QByteArray> earlier = filesBelow(target.path());
        QVERIFY(earlier.size() > 2);

        // Yes to the replace question, then stopped from the saving thread as
        // soon as its writers have begun.
        ertest::answerBoxes({QMessageBox::Yes});
        connect(w.window.findChild<er::SavingThread*>(QStringLiteral("savingThread")), &er::SavingThread::runStarted,
                this, []() { er::gui::scanState().stopFlag = true; }, Qt::DirectConnection);
        w.action("actionSaveRepairedFile")->trigger();
        w.waitForRun();
        QVERIFY(w.log().contains(QStringLiteral("Aborted Saving Main Identity.rge File .\n") + target.path()));
        QCOMPARE(filesBelow(target.path()), earlier);
        QVERIFY(!w.completion()->isVisible());
        QVERIFY(w.action("actionSaveRepairedFile")->isEnabled() && !er::gui::scanState().stopFlag);
    }

    void actionsWriteTheSelection_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("written");
        QTest::addColumn<QString>("logged");
        // Sorted by subject, last first: the list's top rows are not the
        // folder's first mails.
        QTest::newRow("messages as .eml") << "actionSaveMessages" << "Inbox"
                                          << QStringList{"Welcome to the team.eml", "Slides for Monday.eml"}
                                          << "Completed Saving Messages .";
        QTest::newRow("attachments") << "actionSaveAttachments" << "Inbox" << QStringList{"slides-notes.txt"}
                                     << "Completed Saving Attachments .";
        QTest::newRow("folder with subfolders")
            << "actionExportFolder" << "Projects"
            << QStringList{"Projects/Projects.mbox", "Projects/Projects/Budget 2008.mbox",
                           "Projects/Projects/Q1-Q2 Reports.mbox", "Projects/Projects/Z\u00fcrich Office.mbox"}
            << "Completed Exporting Mail Folder .";
        // A name that reads as a path stays one folder inside the target.
        QTest::newRow("folder named as a path") << "actionExportFolder" << "Q1/Q2 Reports"
                                                << QStringList{"Q1-Q2 Reports/Q1-Q2 Reports.mbox"}
                                                << "Completed Exporting Mail Folder .";
        // Nothing written: a regular file stands where the target's parent
        // must be.
        for (const char* action : {"actionSaveRepairedFile", "actionExportPortable", "actionSaveMessages",
                                   "actionSaveAttachments", "actionExportFolder"})
            QTest::newRow(action) << action << "Inbox" << QStringList() << "could not be written .";
    }

    // The selected rows (or the current folder, or all) go to the chosen
    // folder, and the result is reported; what could not be written is never
    // reported as a success.
    void actionsWriteTheSelection()
    {
        QFETCH(QString, action);
        QFETCH(QString, folder);
        QFETCH(QStringList, written);
        QFETCH(QString, logged);
        WindowDriver w;
        w.scan(kSample);
        w.listFolder(folder);
        w.list()->sortByColumn(er::ItemListModel::MailSubject, Qt::DescendingOrder);
        w.selectRows({1, 0});
        QTemporaryDir target;
        QString chosen = target.path();
        if (written.isEmpty()) {
            QFile blocker(target.filePath("a file"));
            QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("not a folder") > 0);
            chosen = blocker.fileName() + "/inside";
        }
        int asked = 0;
        w.runner()->setDirectoryChooser([&]() { return asked++ ? QString() : chosen; });
        QVERIFY(w.action(qPrintable(action))->isEnabled());
        w.action(qPrintable(action))->trigger();
        w.waitForRun();
        QTRY_VERIFY_WITH_TIMEOUT(w.completion()->isVisible(), 60000);
        const QString report = w.completion()->messageText();
        QVERIFY2(w.log().contains(logged + "\n"), qPrintable(w.log()));
        if (written.isEmpty()) {
            QVERIFY2(report.contains("could not be written") && !report.contains("Successfully"), qPrintable(report));
            QVERIFY(!w.log().contains(QRegularExpression("Completed (Saving|Exporting)")));
            return;
        }
        const QStringList names = filesBelow(target.path()).keys();
        QCOMPARE(names.size(), written.size());
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(names.at(i).endsWith(written.at(i)), qPrintable(names.join(" | ")));
        QVERIFY2(report.startsWith(QString::number(written.size()) + " file"), qPrintable(report));
    }

    // Stop on an action's progress sheet ends it with nothing written, the
    // window locked until then; only the program closes the sheet, closing
    // the window is refused while it runs, and a window that goes away stops
    // it and waits.
    void stopAndCloseDuringAnAction()
    {
        auto w = std::make_unique<WindowDriver>();
        w->window.show();
        w->scan(kSample);
        w->listFolder(QStringLiteral("Inbox"));
        w->selectRows({0, 1, 2});
        QTemporaryDir target;
        w->runner()->setDirectoryChooser([&]() { return target.filePath("out"); });
        // Every action is held in its thread, before its first message, until
        // a stop is asked for (bounded only so that a broken stop fails).
        connect(w->runner(), &OutputRunner::actionStarted, this, []() {
            for (const QDeadlineTimer bound(60000); !er::gui::scanState().stopFlag && !bound.hasExpired();)
                QThread::msleep(1);
        }, Qt::DirectConnection);
        w->action("actionSaveMessages")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->runner()->progressSheet() && w->runner()->progressSheet()->isVisible(), 60000);
        QProgressInfo* sheet = w->runner()->progressSheet();
        // A folder listed meanwhile unlocks nothing.
        w->listFolder(QStringLiteral("Sent Items"));
        QVERIFY(w->commandsLocked());
        // Whatever the window says, a Yes to it does not close it.
        auto seen = ertest::answerBoxes({QMessageBox::Yes});
        QVERIFY(!w->window.close());
        QCOMPARE(seen->size(), 1);

        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(!sheet->close());
        auto* stop = sheet->findChild<QPushButton*>(QStringLiteral("stopButton"));
        seen = ertest::answerBoxes({QMessageBox::No});
        stop->click();
        QVERIFY(seen->size() == 1 && sheet->isVisible() && w->runner()->isRunning());
        seen = ertest::answerBoxes({QMessageBox::Yes, QMessageBox::Ok});
        stop->click();
        w->waitForRun();
        QCOMPARE(seen->size(), 2);
        QVERIFY(w->log().contains(QStringLiteral("Aborted Saving Messages .\n") + target.filePath("out")));
        QVERIFY(w->completion()->messageText().startsWith(QStringLiteral("Stopped. 0 file(s)")));
        QVERIFY(filesBelow(target.path()).isEmpty());
        QVERIFY(w->action("actionSaveMessages")->isEnabled() && w->action("actionOpenFile")->isEnabled());

        w->action("actionSaveMessages")->trigger();
        QVERIFY(w->runner()->isRunning());
        w.reset();
        QVERIFY(filesBelow(target.path()).isEmpty());
    }
};

ER_GUI_TEST_MAIN(WindowTest)
#include "tst_Window.moc"
