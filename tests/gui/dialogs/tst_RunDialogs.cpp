#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "dialogs/InformationDlg.h"
#include "export/RepairComplete.h"
#include "archive/ScanState.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>

namespace {

const QString kStars = QString(63, QLatin1Char('*'));

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

template <typename T = QPushButton>
T* child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

// The target of the label's first link and the text a person reads.
QPair<QString, QString> linkOf(const QLabel* label)
{
    QTextDocument doc;
    doc.setHtml(label->text());
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                return {it.fragment().charFormat().anchorHref(), doc.toPlainText()};
    return {};
}

}  // namespace

class tst_RunDialogs : public QObject
{
    Q_OBJECT

private slots:
    void logEntriesAndClear();
    void savingReplacesTheReportWithoutItsOwnRecord();
    void failedSaveWarnsAndRecordsNothing_data();
    void failedSaveWarnsAndRecordsNothing();
    void progressSheetKeysAndSteps();
    void stopAnsweredNoChangesNothing();
    void stopAnsweredYesStopsOnce();
    void summaryCountsWhatTheScanRecovered();
    void completionDialog();
};

void tst_RunDialogs::logEntriesAndClear()
{
    QLogReport log;
    auto* view = child<QTextEdit>(&log, "LogText");
    QVERIFY(!child(&log, "ClearLog")->isEnabled());
    QVERIFY(!child(&log, "SaveLog")->isEnabled());

    log.appendEntry(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"));
    QCOMPARE(log.logText(), QStringLiteral("x\ny\nz\n") + kStars);
    QCOMPARE(view->document()->blockCount(), 1);
    // A path that looks like markup is logged as the characters it is.
    log.appendEntry(QStringLiteral("S"), QStringLiteral("/tmp/<b>b</b> & c"), QStringLiteral("t"));
    QCOMPARE(view->document()->blockCount(), 2);
    QVERIFY(log.logText().endsWith(QStringLiteral("\nS\n/tmp/<b>b</b> & c\nt\n") + kStars));

    log.setLogCommandsEnabled(true);
    log.show();
    QTest::mouseClick(child(&log, "ClearLog"), Qt::LeftButton);
    QVERIFY(log.isEmpty());
    QVERIFY(!child(&log, "ClearLog")->isEnabled());
    QVERIFY(!child(&log, "SaveLog")->isEnabled());
    QTest::mouseClick(child(&log, "CloseButton"), Qt::LeftButton);
    QVERIFY(!log.isVisible());
}

void tst_RunDialogs::savingReplacesTheReportWithoutItsOwnRecord()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'o'));  // longer than the report: nothing may survive
    }
    QLogReport log;
    QString answer;
    log.setFileNameProvider([&]() { return answer; });
    log.appendEntry(QStringLiteral("Grüße"), QStringLiteral("/Users/zoë/Main Identity.rge"),
                    QStringLiteral("Started on : x"));
    log.setLogCommandsEnabled(true);
    log.show();

    // Cancelled: nothing changes, not even the view.
    const QString firstReport = log.logText();
    QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
    QCOMPARE(log.logText(), firstReport);
    QCOMPARE(readAll(path), QByteArray(10000, 'o'));

    answer = path;
    QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
    QCOMPARE(readAll(path), firstReport.toUtf8());  // UTF-8, no byte-order mark
    const QStringList lines = log.logText().split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(lines.size() - 5, 3),
             (QStringList{QStringLiteral("Log Report Saving Path :"), path,
                          QStringLiteral(" Log Report Saving time :")}));
    QVERIFY(lines.at(lines.size() - 2).contains(QLatin1Char(',')));
    QCOMPARE(lines.last(), kStars);

    const QString secondReport = log.logText();
    QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
    QCOMPARE(readAll(path), secondReport.toUtf8());
    QCOMPARE(readAll(path).count("Log Report Saving Path :"), 1);
    QCOMPARE(log.logText().count(QStringLiteral("Log Report Saving Path :")), 2);
}

void tst_RunDialogs::failedSaveWarnsAndRecordsNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("parent is a regular file") << QStringLiteral("blocker/report.txt");
    QTest::newRow("target is a directory") << QStringLiteral("folder");
    QTest::newRow("device without space") << QStringLiteral("/dev/full");
}

void tst_RunDialogs::failedSaveWarnsAndRecordsNothing()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    const QString path = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);

    QLogReport log;
    // Large enough that a device without space refuses it at the write.
    log.appendEntry(QStringLiteral("a"), QString(70000, QLatin1Char('p')), QStringLiteral("c"));
    const QString before = log.logText();
    QString text, title;
    auto answered = ertest::answerMessageBox(QMessageBox::Ok, &text, &title);
    QVERIFY(!log.saveReportTo(path));
    QVERIFY(*answered);
    QCOMPARE(title, QStringLiteral("VantrelKestraneZevarodezAvavoz"));
    QVERIFY2(text.contains(path), qPrintable(text));
    QCOMPARE(log.logText(), before);

    // A device is written, never replaced by a renamed file; and no
    // temporary file is left beside a target in the folder.
    QVERIFY(!QFileInfo(path).isFile());
    QVERIFY(QFileInfo::exists(QStringLiteral("/dev/full")));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             (QStringList{QStringLiteral("blocker"), QStringLiteral("folder")}));
}

void tst_RunDialogs::progressSheetKeysAndSteps()
{
    er::ScanState state;
    QProgressInfo sheet(state);
    QProgressBar* bar = sheet.progressBar();
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));

    // Only the program closes the sheet.
    QTest::keyClick(&sheet, Qt::Key_Escape);
    QTest::keyClick(&sheet, Qt::Key_Return);
    sheet.close();
    QVERIFY(sheet.isVisible());

    bar->reset();  // "no progress" reads minimum - 1
    bar->setRange(0, 10);
    QList<int> values;
    for (int i = 0; i < 4; ++i) {
        sheet.addProgress(3);
        values << bar->value();
    }
    QCOMPARE(values, (QList<int>{3, 6, 9, 9}));
}

void tst_RunDialogs::stopAnsweredNoChangesNothing()
{
    er::ScanState state;
    state.running = true;
    state.scanDialogCurrent = true;
    QProgressInfo sheet(state);
    QSignalSpy stopped(&sheet, &QProgressInfo::stopConfirmed);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));

    QStringList texts;
    bool noIsDefault = false;
    QWidget* boxParent = nullptr;
    int secondQuestions = 0;
    auto answered = ertest::answerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        texts << box->text() << box->informativeText();
        noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
        boxParent = box->parentWidget();
        // A second Stop press while the question is open must not ask again.
        ertest::answerNextModal([&](QWidget* other) { ++secondQuestions; static_cast<QDialog*>(other)->reject(); },
                                box, 200);
        sheet.OnStop();
        box->button(QMessageBox::No)->click();
    });
    QTest::mouseClick(child(&sheet, "stopButton"), Qt::LeftButton);
    QVERIFY(*answered);
    QTest::qWait(250);

    QCOMPARE(texts, (QStringList{QStringLiteral("Process cannot be resumed from the current stage."),
                                 QStringLiteral("Do you want to abort the current process?")}));
    QVERIFY(noIsDefault);
    QCOMPARE(boxParent, &sheet);
    QCOMPARE(secondQuestions, 0);
    QVERIFY(!state.stopFlag && state.running && state.scanDialogCurrent);
    QVERIFY(sheet.isVisible());
    QCOMPARE(stopped.count(), 0);
}

void tst_RunDialogs::stopAnsweredYesStopsOnce()
{
    er::ScanState state;
    state.running = true;
    state.scanDialogCurrent = true;
    QProgressInfo sheet(state);
    QSignalSpy stopped(&sheet, &QProgressInfo::stopConfirmed);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));

    QStringList infoTexts;
    QString infoTitle = QStringLiteral("<unset>");
    bool infoHasParent = true, sheetHiddenFirst = false;
    auto question = ertest::answerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        ertest::answerNextModal([&](QWidget* next) {
            auto* info = qobject_cast<QMessageBox*>(next);
            QVERIFY(info);
            infoTexts << info->text();
            infoTitle = info->windowTitle();
            infoHasParent = info->parentWidget() != nullptr;
            sheetHiddenFirst = !sheet.isVisible() && state.stopFlag;
            info->button(QMessageBox::Ok)->click();
        }, box);
        box->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(child(&sheet, "stopButton"), Qt::LeftButton);
    QVERIFY(*question);

    QCOMPARE(infoTexts, QStringList{QStringLiteral("Process Aborted.")});
    QCOMPARE(infoTitle, QString());
    QVERIFY(!infoHasParent);
    QVERIFY(sheetHiddenFirst);
    QVERIFY(state.stopFlag);
    QVERIFY(!state.scanDialogCurrent);
    QVERIFY(state.running);  // cleared by the operation once it has really ended
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void tst_RunDialogs::summaryCountsWhatTheScanRecovered()
{
    er::ScanState state;
    for (quint64 parent : {5u, 0u, 7u}) {
        state.mail.messages.emplace_back();
        state.mail.messages.back().parentFolderId = parent;
    }
    state.mail.records.emplace_back();
    state.mail.records.emplace_back();
    state.mail.records[0].parentFolderId = 5;  // no stored text: counted here
    state.mail.records[1].parentFolderId = 5;
    state.mail.records[1].mailId = 42;       // counted through its summary
    state.mail.count = 99;
    state.eventCount = 2;
    state.noteCount = 4;
    state.contactCount = 6;
    state.taskCount = 1;

    InformationDlg dialog(state);
    QStringList shown;
    for (const char* name : {"mail_label", "Calendar_label", "Note_label", "Contact_label", "Task_label"})
        shown << child<QLabel>(&dialog, name)->text();
    QCOMPARE(shown, (QStringList{"3", "2", "4", "6", "1"}));
    QCOMPARE(state.mail.count, 3u);

    QSignalSpy closed(&dialog, &InformationDlg::closed);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(child(&dialog, "Information_Closebutton"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(closed.count(), 1);
}

void tst_RunDialogs::completionDialog()
{
    QTemporaryDir resources;
    const QString linkFile = resources.filePath(QStringLiteral("links.plist"));
    QFile file(linkFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
               "<key>HowToImport</key><string>How to import &lt;your&gt; archive</string>\n"
               "<key>HowToImportLink</key><string>/help/How To Import.htm</string>\n"
               "</dict></plist>\n");
    file.close();

    RepairComplete withoutLink(resources.path(), resources.filePath(QStringLiteral("none.plist")));
    QVERIFY(child<QLabel>(&withoutLink, "ImportLabel")->isHidden());

    RepairComplete dialog(resources.path(), linkFile);
    auto* link = child<QLabel>(&dialog, "ImportLabel");
    QVERIFY(!link->isHidden() && link->openExternalLinks());
    const auto [href, caption] = linkOf(link);
    QCOMPARE(QUrl(href), QUrl::fromLocalFile(resources.path() + QStringLiteral("/help/How To Import.htm")));
    QCOMPARE(caption, QStringLiteral("How to import <your> archive"));

    const QString bundle = QStringLiteral("/home/user/Out/Main Identity.rge");
    dialog.showFailures(12, {bundle + QStringLiteral("/Contacts/A.vcf")}, bundle);
    QVERIFY(dialog.isVisible() && !dialog.isModal());
    QString text = dialog.messageText();
    QVERIFY2(!text.contains(QStringLiteral("Mailbox Saved Successfully.")), qPrintable(text));
    QVERIFY2(text.contains(bundle + QStringLiteral(", but 12 items could not be written")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Contacts/A.vcf")), qPrintable(text));
    QVERIFY(!link->isHidden());

    // The dialog is reused from save to save.
    dialog.showSuccess();
    QCOMPARE(dialog.messageText(), QStringLiteral("Mailbox Saved Successfully."));
    QCOMPARE(dialog.width(), 340);
    QTest::mouseClick(child(&dialog, "OkButton"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

ER_GUI_TEST_MAIN(tst_RunDialogs)
#include "tst_RunDialogs.moc"
