// The activity log's report, a file the window writes by itself, and what it
// says when it could not write it.

#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "DatabaseBuilder.h"

#include "app/QLogReport.h"

#include <QPushButton>

using ertest::child;
using ertest::readAll;

class tst_Dialogs : public QObject {
    Q_OBJECT

private slots:
    void logReport_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("writable");
        QTest::newRow("an earlier report") << QStringLiteral("report.txt") << true;
        QTest::newRow("parent is a regular file") << QStringLiteral("blocker/report.txt") << false;
        QTest::newRow("target is a directory") << QStringLiteral("folder") << false;
        QTest::newRow("device without space") << QStringLiteral("/dev/full") << false;
    }

    // The report holds the log as shown, without its own save record, and
    // replaces an earlier one; cancelling changes nothing. One that cannot be
    // written is said with its path, the log and the folder left as they were.
    void logReport()
    {
        QFETCH(QString, target);
        QFETCH(bool, writable);
        QTemporaryDir dir;
        QVERIFY(testdb::writeBytes(dir.filePath("blocker"), {}) && testdb::writeBytes(dir.filePath("report.txt"), "earlier"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
        QLogReport log;
        QString answer;
        log.setFileNameProvider([&]() { return answer; });
        // Large enough that a device without space refuses it at the write.
        log.appendEntry(QStringLiteral("Grüße"), QStringLiteral("/tmp/<b>b</b> & zoë") + QString(70000, 'p'), "t");
        QVERIFY(log.logText().startsWith(QStringLiteral("Grüße\n/tmp/<b>b</b> & zoë")));
        log.setLogCommandsEnabled(true);
        log.show();
        auto* save = child(&log, "SaveLog");
        const QString before = log.logText();
        QTest::mouseClick(save, Qt::LeftButton);  // cancelled
        QCOMPARE(readAll(dir.filePath("report.txt")), QByteArray("earlier"));
        answer = path;
        if (writable) {
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(readAll(path), before.toUtf8());
            QVERIFY(log.logText().contains(QStringLiteral("Log Report Saving Path :\n") + path));
            const QString second = log.logText();
            QTest::mouseClick(save, Qt::LeftButton);
            QCOMPARE(readAll(path), second.toUtf8());
            return;
        }
        auto seen = ertest::answerBoxes({QMessageBox::Ok});
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY2(seen->size() == 1 && seen->first().contains(path), qPrintable(seen->join('|')));
        QCOMPARE(log.logText(), before);
        QVERIFY(!QFileInfo(path).isFile());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 (QStringList{"blocker", "folder", "report.txt"}));
        QCOMPARE(readAll(dir.filePath("report.txt")), QByteArray("earlier"));
    }
};

ER_GUI_TEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
