// Scanning, stopping and saving from the window: the scan dialog's default
// location and chooser, the scan's messages, progress and summary, Stop, the
// activity log, and the save command with its replace question, stop and
// write failures.

#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "DatabaseBuilder.h"
#include "PimBlocks.h"
#include "SampleDatabase.h"
#include "archive/ItemRoles.h"
#include "scan/FolderTreeView.h"
#include "app/AppPaths.h"
#include "app/GuiState.h"
#include "app/MyButton.h"
#include "app/QEntourageMainWindow.h"
#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "dialogs/InformationDlg.h"
#include "export/RepairComplete.h"
#include "archive/MailLinking.h"
#include "scan/QParseDatabase.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

#include <functional>
#include <memory>

using Window = QEntourageMainWindow;

namespace {

const QString k2008 = QStringLiteral("/Documents/Microsoft User Data/Office 2008 Identities/Main Identity/Database");
const QString k2004 = QStringLiteral("/Documents/Microsoft User Data/Office 2004 Identities/Main Identity/Database");

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Picks `path` in the scan dialog and presses Start; the scan runs inside.
void scan(Window& window, const QString& path)
{
    QParseDatabase* dialog = window.parseDialog();
    dialog->setFileChooser([path]() { return path; });
    QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
    QCOMPARE(dialog->pathField()->text(), path);
    QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
}

// A database big enough that a save is still writing when Stop arrives.
QByteArray bigDatabase()
{
    testdb::Database db;
    db.add(testdb::flidBlock({{7, {}, QStringLiteral("On My Computer")}, {1, 7, QStringLiteral("Inbox")}}));
    const QByteArray body = QByteArray("Line of text\r").repeated(8000);
    for (quint32 id = 1; id <= 400; ++id) {
        testdb::MailRecordBlock record;
        record.folderId = 1;
        record.mailId = id;
        record.subject = QByteArray("Mail ") + QByteArray::number(id);
        db.add(testdb::mlrcBlock(record));
        db.add(testdb::msrcBlock(id, "Subject: Mail " + QByteArray::number(id) + "\r\r" + body));
    }
    return db.bytes();
}

QString logText(Window& window) { return window.logDialog()->logText(); }

// Every entry below a folder with its bytes (folders as "/").
QMap<QString, QByteArray> contentsBelow(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        entries.insert(path.mid(root.size()),
                       it.fileInfo().isDir() ? QByteArray("/") : (f.open(QIODevice::ReadOnly) ? f.readAll() : "?"));
    }
    return entries;
}

// "id|parent|name" of every folder item (not the bundle and Mail items), sorted.
QStringList treeFolders(QTreeView* tree)
{
    QStringList folders;
    const QAbstractItemModel* model = tree->model();
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex item = model->index(row, 0, parent);
            if (parent.isValid() && parent.parent().isValid())
                folders << QString::number(item.data(er::FolderIdRole).toULongLong()) + '|'
                        + QString::number(item.data(er::ParentFolderIdRole).toULongLong()) + '|' + item.data().toString();
            walk(item);
        }
    };
    walk(QModelIndex());
    folders.sort();
    return folders;
}

}  // namespace

class ScanAndSaveTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));
        er::gui::setRequestedDatabasePath(QString());
    }

    void defaultLocations()
    {
        QTemporaryDir root;
        const QString fs = root.path();
        // Neither database: the Office 2008 place.
        QCOMPARE(QParseDatabase::defaultDatabaseFor("alice", QString(), fs), fs + "/Users/alice" + k2008);
        // Only the Office 2004 one.
        QVERIFY(writeFile(fs + "/Users/alice" + k2004, "x"));
        QCOMPARE(QParseDatabase::defaultDatabaseFor("alice", QString(), fs), fs + "/Users/alice" + k2004);
        // Both.
        QVERIFY(writeFile(fs + "/Users/alice" + k2008, "x"));
        QCOMPARE(QParseDatabase::defaultDatabaseFor("alice", QString(), fs), fs + "/Users/alice" + k2008);
        // root lives under /private/var.
        QVERIFY(writeFile(fs + "/private/var/root" + k2004, "x"));
        QCOMPARE(QParseDatabase::defaultDatabaseFor("root", QString(), fs), fs + "/private/var/root" + k2004);
        // A copy below the home folder counts after the Mac places.
        QTemporaryDir home;
        QVERIFY(writeFile(home.path() + k2004, "x"));
        QCOMPARE(QParseDatabase::defaultDatabaseFor("bob", home.path(), fs), home.path() + k2004);
    }

    void chooserAndCommandLine()
    {
        Window window;
        QParseDatabase* dialog = window.parseDialog();
        const QString fallback = QParseDatabase::defaultDatabaseFor(QParseDatabase::currentUserName(), QDir::homePath());
        QCOMPARE(dialog->pathField()->text(), fallback);
        QVERIFY(dialog->startButton()->isEnabled());

        dialog->setFileChooser([]() { return QStringLiteral("/tmp/Chosen Database"); });
        QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
        QCOMPARE(dialog->pathField()->text(), QStringLiteral("/tmp/Chosen Database"));
        QCOMPARE(dialog->pathField()->toolTip(), QStringLiteral("/tmp/Chosen Database"));
        dialog->setFileChooser([]() { return QString(); });
        QTest::mouseClick(dialog->browseButton(), Qt::LeftButton);
        QCOMPARE(dialog->pathField()->text(), fallback);

        // A path from the command line is proposed to the first dialog only.
        er::gui::setRequestedDatabasePath(QStringLiteral("/data/From Argument"));
        Window second;
        QCOMPARE(second.parseDialog()->pathField()->text(), QStringLiteral("/data/From Argument"));
        QCOMPARE(Window().parseDialog()->pathField()->text(), fallback);
    }

    // Escape closes the scan dialog as Close does: Open is back and asks again.
    void escapeInTheScanDialogUnlocksOpen()
    {
        Window window;
        window.ShowParseWindow();
        QTest::keyClick(window.parseDialog(), Qt::Key_Escape);
        QVERIFY(!window.parseDialog()->isVisible() && window.openButton()->isEnabled());
        QSignalSpy asked(&window, &Window::parseWindowRequested);
        window.openAction()->trigger();
        QCOMPARE(asked.count(), 1);
    }

    void scanShowsTreeSummaryAndLog()
    {
        Window window;
        window.show();
        QSignalSpy started(window.parseDialog(), &QParseDatabase::OnInitialSettings);
        QStringList sampleFolders;
        for (const testdb::SampleFolder& folder : testdb::sampleFolders())
            sampleFolders << QString::number(folder.id) + '|' + QString::number(folder.parent) + '|' + folder.name;
        sampleFolders.sort();
        // The folders show as soon as the first folder table is decoded.
        int foldersShownDuringScan = -1;
        connect(window.parseDialog(), &QParseDatabase::foldersAvailable, this, [&]() {
            foldersShownDuringScan = window.folderTree()->model()->rowCount();
            QVERIFY(!window.preferencesAction()->isEnabled());
            QVERIFY(er::gui::scanState().running);
        });
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        QCOMPARE(started.count(), 1);
        QCOMPARE(foldersShownDuringScan, 1);

        InformationDlg* summary = window.informationDialog();
        QVERIFY(summary);
        QVERIFY(summary->isVisible());
        auto count = [&](const char* name) { return summary->findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(count("mail_label"), QString::number(testdb::kSampleMailCount));
        QCOMPARE(count("Contact_label"), QString::number(testdb::kSampleContacts));
        QCOMPARE(count("Calendar_label"), QString::number(testdb::kSampleEvents));
        QCOMPARE(count("Note_label"), QString::number(testdb::kSampleNotes));
        QCOMPARE(count("Task_label"), QString::number(testdb::kSampleTasks));
        // The map of the file: its damage in words, and a legend whose sizes
        // are the scan's.
        QCOMPARE(count("DamageLabel"),
                 QStringLiteral("2 damaged block headers, 0 mails whose text was lost (rebuilt from their records), "
                                "3 mails whose folder was lost (now in Folder1, Folder2, ...)."));
        QCOMPARE(count("legend_rejected_headers"), QStringLiteral("512 bytes"));
        QVERIFY(summary->findChild<QWidget*>(QStringLiteral("DamageMap"))->isVisible());

        // The tree holds every folder, the commands are unlocked, and
        // Preferences waits for the summary to close.
        QCOMPARE(treeFolders(window.folderTree()), sampleFolders);
        QVERIFY(window.saveAction()->isEnabled() && window.openButton()->isEnabled());
        QVERIFY(!window.preferencesAction()->isEnabled());
        QTest::mouseClick(summary->findChild<QPushButton*>(QStringLiteral("Information_Closebutton")), Qt::LeftButton);
        QVERIFY(window.preferencesAction()->isEnabled());

        const QStringList lines = logText(window).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 12);
        QCOMPARE(lines.at(0), QStringLiteral("Scanning Microsoft Entourage Database File."));
        QCOMPARE(lines.at(1), QStringLiteral(ER_SAMPLE_DATABASE));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("Started on : ")));
        QVERIFY(lines.at(2).contains(QLatin1Char(',')) && !lines.at(2).contains(QStringLiteral(", ")));
        QCOMPARE(lines.at(3), QString(63, QLatin1Char('*')));
        QCOMPARE(lines.at(4), QStringLiteral("Completed Scanning Microsoft Entourage Database File ."));
        QVERIFY(lines.at(6).startsWith(QStringLiteral("Completed on : ")));
        // The damage the scan found, in the command line's words.
        QVERIFY(lines.at(8).startsWith(QStringLiteral("damage: %1 rejected headers, ").arg(testdb::kSampleDamagedBlocks)));

        window.OnLogReport();
        QVERIFY(window.logDialog()->findChild<QPushButton*>(QStringLiteral("SaveLog"))->isEnabled());
        // An entry that arrives while something runs locks the log's commands.
        er::gui::scanState().running = true;
        window.SetLog("x", "y", "z");
        QVERIFY(!window.logDialog()->findChild<QPushButton*>(QStringLiteral("ClearLog"))->isEnabled());
        er::gui::scanState().running = false;
        window.SetLog("x", "y", "z");
        QVERIFY(window.logDialog()->findChild<QPushButton*>(QStringLiteral("ClearLog"))->isEnabled());
        QVERIFY(logText(window).endsWith(QStringLiteral("x\ny\nz\n") + QString(63, QLatin1Char('*'))));
        window.logDialog()->hide();
    }

    void unreadableAndEmptyFiles()
    {
        Window window;
        QString text;
        QString title;
        auto answered = ertest::answerMessageBox(QMessageBox::Ok, &text, &title);
        scan(window, QStringLiteral("/nonexistent/Database"));
        QVERIFY(*answered);
        QCOMPARE(text, QStringLiteral("The file doesn't exists."));
        QCOMPARE(title, QStringLiteral("VantrelKestraneZevarodezAvavoz"));
        QVERIFY(window.openButton()->isEnabled());
        QVERIFY(!window.saveAction()->isEnabled());
        QVERIFY(window.preferencesAction()->isEnabled());

        QTemporaryDir dir;
        const QString empty = dir.filePath(QStringLiteral("Empty"));
        QVERIFY(writeFile(empty, QByteArray()));
        window.OnOpenFile();
        answered = ertest::answerMessageBox(QMessageBox::Ok, &text, &title);
        scan(window, empty);
        QVERIFY(*answered);
        QCOMPARE(text, QStringLiteral("The scanned file is either an invalid file or heavily damaged."));
        QCOMPARE(title, QString());
        QVERIFY(!window.informationDialog());
        QVERIFY(window.preferencesAction()->isEnabled());
        // Nothing to save: Save and the export stay off, and saving asks nothing.
        QVERIFY(!window.saveButton()->isEnabled() && !window.saveAction()->isEnabled());
        QVERIFY(!window.exportAction()->isEnabled());
        int asked = 0;
        window.setDirectoryChooser([&]() { return QString::number(++asked); });
        window.OnSavingFiles();
        QCOMPARE(asked, 0);
    }

    void progressEndsWhereTheScanEnds()
    {
        Window window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Small"));
        QVERIFY(writeFile(path, QByteArray(5120, 'q')));
        int shown = -1;
        int maximum = -1;
        connect(window.parseDialog(), &QParseDatabase::OnProgressvalue, this, [&]() {
            shown = window.progressSheet()->progressBar()->value();
            maximum = window.progressSheet()->progressBar()->maximum();
        });
        ertest::answerMessageBox(QMessageBox::Ok);
        scan(window, path);
        QCOMPARE(maximum, 10);
        QCOMPARE(shown, 10);
    }

    void stopDuringAScan()
    {
        Window window;
        window.show();
        // Stop is pressed from inside the scan, when it announces its range:
        // before the first position, however fast the machine.
        auto pressStop = [&]() {
            window.progressSheet()->findChild<QPushButton*>(QStringLiteral("stopButton"))->click();
        };
        // Runs `act` once, inside the next scan of the current scan dialog.
        auto duringNextScan = [&](std::function<void()> act) {
            auto connection = std::make_shared<QMetaObject::Connection>();
            *connection = connect(window.parseDialog(), &QParseDatabase::OnInitialSettings, this, [=]() {
                disconnect(*connection);
                act();
            });
        };
        // Answered No: the scan goes on to its summary.
        duringNextScan([&]() {
            ertest::answerMessageBox(QMessageBox::No);
            pressStop();
        });
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        QVERIFY(window.informationDialog() && window.informationDialog()->isVisible());
        window.informationDialog()->hide();

        // Answered Yes: results dropped, "Process Aborted." once, and closing
        // is refused while the scan is still unwinding.
        ertest::answerMessageBox(QMessageBox::Yes);  // the replace question
        window.OnOpenFile();
        int aborted = 0;
        QString closeText;
        duringNextScan([&]() {
            ertest::answerNextModal([&](QWidget* question) {
                ertest::answerNextModal([&](QWidget* info) {
                    auto* box = qobject_cast<QMessageBox*>(info);
                    if (box && box->text() == QStringLiteral("Process Aborted."))
                        ++aborted;
                    // The scan has not ended yet: closing is refused.
                    ertest::answerMessageBox(QMessageBox::Ok, &closeText);
                    QVERIFY(!window.close());
                    static_cast<QMessageBox*>(info)->button(QMessageBox::Ok)->click();
                }, question);
                static_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click();
            });
            pressStop();
        });
        QSignalSpy stopped(window.parseDialog(), &QParseDatabase::scanStopped);
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        QCOMPARE(stopped.count(), 1);
        QCOMPARE(aborted, 1);
        QCOMPARE(closeText, QStringLiteral("Application Running !!\nPlease halt the current process to Exit."));
        QVERIFY(er::gui::scanState().mail.folders.empty() && er::gui::scanState().mail.messages.empty());
        QCOMPARE(window.folderTree()->model()->rowCount(), 0);
        QVERIFY(window.openButton()->isEnabled() && window.openAction()->isEnabled());
        QVERIFY(!window.saveAction()->isEnabled());
        QVERIFY(logText(window).contains(QStringLiteral("Aborted Scanning Microsoft Entourage Database File .")));
    }

    void saveReplacesAfterAskingAndReportsSuccess()
    {
        Window window;
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        window.informationDialog()->hide();

        QTemporaryDir first;
        QTemporaryDir target;
        const QString old = target.path() + "/Main Identity.rge/old-file";
        QVERIFY(writeFile(old, "stale"));
        QStringList answers = {first.path(), target.path()};
        int asked = 0;
        window.setDirectoryChooser([&]() { return answers.value(asked++); });
        QVERIFY(writeFile(first.path() + "/Main Identity.rge/keep", "kept"));

        // No on the first folder asks again; Yes on the second replaces.
        ertest::answerNextModal([&](QWidget* modal) {
            static_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
            ertest::answerMessageBox(QMessageBox::Yes);
        });
        QSignalSpy finished(&window.savingThread(), &er::SavingThread::runFinished);
        window.OnSavingFiles();
        QCOMPARE(asked, 2);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        QCOMPARE(window.completionDialog()->messageText(), QStringLiteral("Mailbox Saved Successfully."));
        QVERIFY(!QFile::exists(old));
        QVERIFY(QFile::exists(first.path() + "/Main Identity.rge/keep"));
        QVERIFY(QFileInfo(target.path() + "/Main Identity.rge/Mail").isDir());
        QVERIFY(logText(window).contains(QStringLiteral("Saving Microsoft Entourage Backup File.\n") + target.path() +
                                         "/Main Identity.rge\nStarted on : "));
        QVERIFY(logText(window).contains(QStringLiteral("Completed Saving Main Identity.rge File .")));
        QVERIFY(window.saveAction()->isEnabled());
        window.completionDialog()->hide();
    }

    void replaceThenStopKeepsTheEarlierBundle()
    {
        Window window;
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("Database"), bigDatabase()));
        scan(window, dir.filePath("Database"));
        window.informationDialog()->hide();

        // A complete earlier bundle.
        QTemporaryDir target;
        window.setDirectoryChooser([&]() { return target.path(); });
        QSignalSpy finished(&window.savingThread(), &er::SavingThread::runFinished);
        window.OnSavingFiles();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        window.completionDialog()->hide();
        const QMap<QString, QByteArray> earlier = contentsBelow(target.path());
        QVERIFY(earlier.size() > 10);

        // Replaced after Yes, then stopped from the saving thread itself as
        // soon as the writers have begun.
        ertest::answerMessageBox(QMessageBox::Yes);
        connect(&window.savingThread(), &er::SavingThread::runStarted, this,
                []() { er::gui::scanState().stopFlag = true; }, Qt::DirectConnection);
        window.OnSavingFiles();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 60000);
        QTRY_VERIFY(logText(window).contains(QStringLiteral("Aborted Saving Main Identity.rge File .")));
        QVERIFY(logText(window).contains(QStringLiteral("Aborted on : ")));
        QCOMPARE(contentsBelow(target.path()), earlier);
        QVERIFY(!window.completionDialog()->isVisible());
        QVERIFY(window.saveAction()->isEnabled());
        QVERIFY(!er::gui::scanState().stopFlag);

        // A plain file of the bundle's name is taken too: the question comes.
        QTemporaryDir other;
        QVERIFY(writeFile(other.path() + "/Main Identity.rge", "a file of the user's"));
        QString question;
        ertest::answerMessageBox(QMessageBox::No, &question);
        int asked = 0;
        window.setDirectoryChooser([&]() { return asked++ == 0 ? other.path() : QString(); });
        window.OnSavingFiles();
        QVERIFY(question.contains(QStringLiteral("already exists")));
        QCOMPARE(contentsBelow(other.path()).value(QStringLiteral("/Main Identity.rge")),
                 QByteArray("a file of the user's"));
    }

    void unwritableTargetIsNeverASuccess()
    {
        Window window;
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        window.informationDialog()->hide();

        // A regular file where the chosen folder's parent must be.
        QTemporaryDir target;
        QVERIFY(writeFile(target.path() + "/not a folder", "a file"));
        window.setDirectoryChooser([&]() { return target.path() + "/not a folder/inside"; });
        QSignalSpy finished(&window.savingThread(), &er::SavingThread::runFinished);
        window.OnSavingFiles();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        const QString message = window.completionDialog()->messageText();
        QVERIFY(!message.contains(QStringLiteral("Mailbox Saved Successfully.")));
        QVERIFY(message.contains(QString::number(window.savingThread().lastResult().failureCount)));
        QVERIFY(window.savingThread().lastResult().failureCount > 0);
        QVERIFY(!logText(window).contains(QStringLiteral("Completed Saving Main Identity.rge File .")));
        QVERIFY(logText(window).contains(QStringLiteral("could not be written")));
    }

    void exportForOtherMailPrograms()
    {
        Window window;
        QAction* exportAction = window.exportAction();
        QVERIFY(exportAction);
        QVERIFY(window.findChild<QMenu*>() != nullptr);
        QVERIFY(!exportAction->isEnabled());
        scan(window, QStringLiteral(ER_SAMPLE_DATABASE));
        window.informationDialog()->hide();
        QVERIFY(exportAction->isEnabled());

        QTemporaryDir target;
        QVERIFY(writeFile(target.path() + "/keep.txt", "not ours"));
        window.setDirectoryChooser([&]() { return target.path(); });
        QSignalSpy finished(&window.savingThread(), &er::SavingThread::runFinished);
        exportAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        window.completionDialog()->hide();
        // An earlier export there: replaced after asking; other files stay.
        QString question;
        ertest::answerMessageBox(QMessageBox::Yes, &question);
        exportAction->trigger();
        QVERIFY(question.contains(QStringLiteral("export")));
        QVERIFY(!exportAction->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 60000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        QCOMPARE(window.completionDialog()->messageText(), QStringLiteral("Mailbox Saved Successfully."));
        for (const char* entry : {"Mail", "contacts.vcf", "calendar.ics", "notes.ics", "README.txt", "keep.txt"})
            QVERIFY2(QFileInfo::exists(target.path() + "/" + entry), entry);
        QFile contacts(target.path() + "/contacts.vcf");
        QVERIFY(contacts.open(QIODevice::ReadOnly));
        QVERIFY(contacts.readAll().startsWith("BEGIN:VCARD"));
        QVERIFY(!QFileInfo::exists(target.path() + "/Main Identity.rge"));
        QVERIFY(logText(window).contains(QStringLiteral("Exporting for Other Mail Programs.\n") + target.path()));
        QVERIFY(logText(window).contains(QStringLiteral("Completed Exporting for Other Mail Programs .")));
        QVERIFY(exportAction->isEnabled());
        window.completionDialog()->hide();

        // A README of the user's own is never replaced: refused, and the
        // folder is asked for again.
        QTemporaryDir foreign;
        QVERIFY(writeFile(foreign.path() + "/README.txt", "mine"));
        QString refusal;
        ertest::answerMessageBox(QMessageBox::Ok, &refusal);
        int asked = 0;
        window.setDirectoryChooser([&]() { return asked++ == 0 ? foreign.path() : QString(); });
        exportAction->trigger();
        QCOMPARE(asked, 2);
        QVERIFY(refusal.contains(QStringLiteral("was not written by an export")));
        QCOMPARE(contentsBelow(foreign.path()).keys(), QStringList{QStringLiteral("/README.txt")});

        // A regular file where the export's folder goes: never a success.
        QTemporaryDir broken;
        QVERIFY(writeFile(broken.path() + "/Export", "a file, not a folder"));
        window.setDirectoryChooser([&]() { return broken.path() + "/Export"; });
        QSignalSpy finishedAgain(&window.savingThread(), &er::SavingThread::runFinished);
        exportAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(finishedAgain.count(), 1, 60000);
        QTRY_VERIFY(window.completionDialog()->isVisible());
        QVERIFY(!window.completionDialog()->messageText().contains(QStringLiteral("Successfully")));
        QVERIFY(logText(window).contains(QStringLiteral("could not be written")));
    }
};

ER_GUI_TEST_MAIN(ScanAndSaveTest)
#include "tst_ScanAndSave.moc"
