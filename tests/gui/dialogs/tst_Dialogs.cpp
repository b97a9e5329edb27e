// The dialogs around a run and the settings: the activity log and its report
// file, the progress sheet's Stop, the completion dialog, the preferences,
// and the link settings the help and support commands read.

#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "app/LinkSettings.h"
#include "app/QLogReport.h"
#include "app/QProgressInfo.h"
#include "archive/ScanState.h"
#include "dialogs/PreferencesDlg.h"
#include "export/RepairComplete.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

namespace {

const QString kStars = QString(63, QLatin1Char('*'));

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

template <typename T = QPushButton>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class tst_Dialogs : public QObject {
    Q_OBJECT

private slots:
    // The report holds the log as shown, without its own save record; a
    // second save replaces it; cancelling changes nothing.
    void logReportFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.txt"));
        writeFile(path, QByteArray(10000, 'o'));
        QLogReport log;
        QString answer;
        log.setFileNameProvider([&]() { return answer; });
        log.appendEntry(QStringLiteral("Grüße"), QStringLiteral("/tmp/<b>b</b> & zoë"), QStringLiteral("t"));
        QCOMPARE(log.logText(), QStringLiteral("Grüße\n/tmp/<b>b</b> & zoë\nt\n") + kStars);
        log.setLogCommandsEnabled(true);
        log.show();

        const QString firstReport = log.logText();
        QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
        QCOMPARE(readAll(path), QByteArray(10000, 'o'));
        answer = path;
        QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
        QCOMPARE(readAll(path), firstReport.toUtf8());
        QVERIFY(log.logText().contains(QStringLiteral("Log Report Saving Path :\n") + path));
        const QString secondReport = log.logText();
        QTest::mouseClick(child(&log, "SaveLog"), Qt::LeftButton);
        QCOMPARE(readAll(path), secondReport.toUtf8());

    }

    void logReportThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("parent is a regular file") << QStringLiteral("blocker/report.txt");
        QTest::newRow("target is a directory") << QStringLiteral("folder");
        QTest::newRow("device without space") << QStringLiteral("/dev/full");
    }

    void logReportThatCannotBeWritten()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("blocker")), QByteArray());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
        QLogReport log;
        // Large enough that a device without space refuses it at the write.
        log.appendEntry(QStringLiteral("a"), QString(70000, QLatin1Char('p')), QStringLiteral("c"));
        const QString before = log.logText();
        QString text;
        auto answered = ertest::answerMessageBox(QMessageBox::Ok, &text);
        QVERIFY(!log.saveReportTo(path));
        QVERIFY(*answered);
        QVERIFY2(text.contains(path), qPrintable(text));
        QCOMPARE(log.logText(), before);
        QVERIFY(!QFileInfo(path).isFile());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 (QStringList{QStringLiteral("blocker"), QStringLiteral("folder")}));
    }

    // Only the program closes the sheet: Escape does nothing, No to Stop
    // leaves the run going, Yes asks it to stop, once, and says so.
    void progressSheetStop()
    {
        er::ScanState state;
        state.running = true;
        QProgressInfo sheet(state);
        QSignalSpy stopped(&sheet, &QProgressInfo::stopConfirmed);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QTest::keyClick(&sheet, Qt::Key_Escape);
        sheet.close();
        QVERIFY(sheet.isVisible());
        auto answered = ertest::answerMessageBox(QMessageBox::No);
        QTest::mouseClick(child(&sheet, "stopButton"), Qt::LeftButton);
        QVERIFY(*answered);
        QVERIFY(!state.stopFlag && sheet.isVisible() && stopped.isEmpty());

        QStringList infoTexts;
        ertest::answerNextModal([&](QWidget* question) {
            ertest::answerNextModal(
                [&](QWidget* info) {
                    infoTexts << static_cast<QMessageBox*>(info)->text();
                    static_cast<QMessageBox*>(info)->button(QMessageBox::Ok)->click();
                },
                question);
            static_cast<QMessageBox*>(question)->button(QMessageBox::Yes)->click();
        });
        QTest::mouseClick(child(&sheet, "stopButton"), Qt::LeftButton);
        QCOMPARE(infoTexts, QStringList{QStringLiteral("Process Aborted.")});
        QVERIFY(state.stopFlag && !sheet.isVisible());
        QVERIFY(state.running);  // cleared by the run once it has really ended
        QCOMPARE(stopped.count(), 1);
    }

    // Failures are said plainly, with the first paths.
    void completionDialog()
    {
        RepairComplete dialog(QStringLiteral("/nonexistent"), QStringLiteral("/nonexistent/links.plist"));
        const QString bundle = QStringLiteral("/home/user/Out/Main Identity.rge");
        dialog.showFailures(12, {bundle + QStringLiteral("/Contacts/A.vcf")}, bundle);
        QString text = dialog.messageText();
        QVERIFY2(text.contains(bundle + ", but 12 items could not be written") && text.contains("\nContacts/A.vcf"),
                 qPrintable(text));
        dialog.showActionFailures(2, 3, {QStringLiteral("/out/x.eml")}, QStringLiteral("/out"));
        text = dialog.messageText();
        QVERIFY2(text.startsWith("2 file(s) written to /out, but 3 item(s) could not be written.\n\nx.eml"),
                 qPrintable(text));
        dialog.showSuccess();
        QCOMPARE(dialog.messageText(), QStringLiteral("Mailbox Saved Successfully."));
    }

    // OK stores the choice, Cancel does not, and a store that cannot be
    // written is reported with the dialog left open.
    void preferences()
    {
        QSettings(QStringLiteral("vantrel"), QStringLiteral("EntouragePreferences")).clear();
        PreferencesDlg dlg;
        dlg.show();
        auto* box = child<QCheckBox>(&dlg, "CheckForUpdateCheckBox");
        auto* combo = child<QComboBox>(&dlg, "comboBoxUpdates");
        QTest::mouseClick(box, Qt::LeftButton);
        combo->setCurrentIndex(combo->findText(QStringLiteral("Weekly")));
        QTest::mouseClick(child(&dlg, "OkButton"), Qt::LeftButton);
        dlg.show();
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::mouseClick(child(&dlg, "CancelButton"), Qt::LeftButton);
        {
            const QSettings s(QStringLiteral("vantrel"), QStringLiteral("EntouragePreferences"));
            QCOMPARE(s.value("CheckForUpdate").toBool(), true);
            QCOMPARE(s.value("UpdateInterval").toString(), QStringLiteral("Weekly"));
        }

        const QString dir =
            QFileInfo(QSettings(QStringLiteral("vantrel"), QStringLiteral("EntouragePreferences")).fileName())
                .absolutePath();
        QVERIFY(QDir(dir).removeRecursively());
        writeFile(dir, "a file where the settings folder belongs");
        dlg.show();
        QString message;
        auto answered = ertest::answerMessageBox(QMessageBox::Ok, &message);
        QTest::mouseClick(child(&dlg, "OkButton"), Qt::LeftButton);
        QVERIFY(QFile::remove(dir));
        QVERIFY(*answered);
        QCOMPARE(message, QStringLiteral("The preferences could not be saved."));
        QVERIFY(dlg.isVisible());
    }

    // Only top-level strings count; damage voids the file; the shipped file
    // is never written; relative links resolve inside the resources folder.
    void linkSettings()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.plist");
        const QByteArray goodBytes =
            "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict>"
            "<key>Nested</key><dict><key>KBLink</key><string>wrong</string></dict>"
            "<key>Orphan</key><key>KBLink</key><string>https://kb.example.com/?a=1&amp;b=2</string>"
            "<key>Count</key><integer>6</integer></dict></plist>";
        writeFile(good, goodBytes);
        QCOMPARE(er::gui::linkSetting(good, "KBLink"), QString("https://kb.example.com/?a=1&b=2"));
        QCOMPARE(er::gui::linkSetting(good, "Count") + er::gui::linkSetting(good, "Orphan"), QString("6"));
        {
            QSettings settings(good, er::gui::propertyListFormat());
            settings.setValue("KBLink", "changed");
        }
        QCOMPARE(readAll(good), goodBytes);
        writeFile(dir.filePath("cut.plist"), goodBytes.chopped(12));
        QCOMPARE(er::gui::linkSetting(dir.filePath("cut.plist"), "KBLink"), QString());

        QUrl section = QUrl::fromLocalFile("/res dir/help/page.htm");
        section.setFragment("part");
        const QList<QPair<QString, QUrl>> cases = {
            {"", QUrl()},
            {"https://www.example.com/a?b=1&c=2", QUrl("https://www.example.com/a?b=1&c=2")},
            {"mailto:support@example.com", QUrl("mailto:support@example.com")},
            {"/help/How To.htm", QUrl::fromLocalFile("/res dir/help/How To.htm")},
            {"help/page.htm#part", section}};
        for (const auto& c : cases)
            QCOMPARE(er::gui::linkUrl("/res dir", c.first), c.second);
    }
};

ER_GUI_TEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
