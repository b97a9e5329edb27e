#include "GuiTestMain.h"
#include "ModalAnswer.h"

#include "app/LinkSettings.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/PreferencesDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSysInfo>
#include <QTextBlock>
#include <QTextDocument>

// Stands in for the desktop: collects what would have been opened.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray plist(const QList<QPair<QString, QString>>& entries)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& e : entries)
        xml += "<key>" + e.first.toHtmlEscaped().toUtf8() + "</key><string>"
            + e.second.toHtmlEscaped().toUtf8() + "</string>\n";
    return xml + "</dict>\n</plist>\n";
}

// What a click on the label's link hands over, and the text a person reads.
QString anchorOf(const QLabel* label)
{
    QTextDocument doc;
    doc.setHtml(label->text());
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor())
                return it.fragment().charFormat().anchorHref();
    return QString();
}

QString shownText(const QLabel* label)
{
    QTextDocument doc;
    doc.setHtml(label->text());
    return doc.toPlainText();
}

void storePreferences(const QVariant& check, const QVariant& interval)
{
    QSettings s("vantrel", "EntouragePreferences");
    s.clear();
    if (check.isValid())
        s.setValue("CheckForUpdate", check);
    if (interval.isValid())
        s.setValue("UpdateInterval", interval);
}

}  // namespace

class tst_Dialogs : public QObject
{
    Q_OBJECT
    UrlCatcher m_catcher;

private slots:
    void initTestCase()
    {
        for (const char* scheme : {"https", "file", "mailto"})
            QDesktopServices::setUrlHandler(scheme, &m_catcher, "open");
    }
    void init() { m_catcher.opened.clear(); }

    void preferencesShowStoredChoice_data()
    {
        QTest::addColumn<QVariant>("check");
        QTest::addColumn<QVariant>("interval");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nothing stored") << QVariant() << QVariant() << false << "Daily";
        QTest::newRow("weekly, ticked") << QVariant(true) << QVariant("Weekly") << true << "Weekly";
        QTest::newRow("monthly, unticked") << QVariant(false) << QVariant("Monthly") << false << "Daily";
        QTest::newRow("unknown interval") << QVariant(true) << QVariant("Hourly") << true << "Daily";
    }

    void preferencesShowStoredChoice()
    {
        QFETCH(QVariant, check);
        QFETCH(QVariant, interval);
        QFETCH(bool, ticked);
        QFETCH(QString, shown);
        storePreferences(check, interval);

        PreferencesDlg dlg;
        auto* box = dlg.findChild<QCheckBox*>("CheckForUpdateCheckBox");
        auto* combo = dlg.findChild<QComboBox*>("comboBoxUpdates");
        QVERIFY(box && combo);
        QCOMPARE(box->isChecked(), ticked);
        QCOMPARE(combo->isEnabled(), ticked);
        QCOMPARE(combo->currentText(), shown);
        QCOMPARE(combo->count(), 3);
        QVERIFY(dlg.findChild<QPushButton*>("CheckUpdateButton")->isHidden());
    }

    void preferencesOkStoresAndCancelDoesNot()
    {
        storePreferences(QVariant(), QVariant());
        PreferencesDlg dlg;
        dlg.show();
        auto* box = dlg.findChild<QCheckBox*>("CheckForUpdateCheckBox");
        auto* combo = dlg.findChild<QComboBox*>("comboBoxUpdates");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(combo->isEnabled());
        combo->setCurrentIndex(combo->findText("Weekly"));
        QTest::mouseClick(dlg.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        {
            const QSettings s("vantrel", "EntouragePreferences");
            QCOMPARE(s.value("CheckForUpdate").toBool(), true);
            QCOMPARE(s.value("UpdateInterval").toString(), QString("Weekly"));
        }

        // Cancel keeps the user's last choice in the widgets but stores nothing.
        dlg.show();
        QTest::mouseClick(box, Qt::LeftButton);
        combo->setCurrentIndex(combo->findText("Monthly"));
        QTest::mouseClick(dlg.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(!box->isChecked());
        QCOMPARE(combo->currentText(), QString("Monthly"));

        PreferencesDlg next;
        QVERIFY(next.findChild<QCheckBox*>("CheckForUpdateCheckBox")->isChecked());
        QCOMPARE(next.findChild<QComboBox*>("comboBoxUpdates")->currentText(), QString("Weekly"));
    }

    void preferencesOkReportsWriteFailure()
    {
        storePreferences(QVariant(), QVariant());
        const QString dir =
            QFileInfo(QSettings("vantrel", "EntouragePreferences").fileName())
                .absolutePath();
        QVERIFY(QDir(dir).removeRecursively());
        writeFile(dir, "a file where the settings folder belongs");

        PreferencesDlg dlg;
        dlg.show();
        QString message;
        auto answered = ertest::answerMessageBox(QMessageBox::Ok, &message);
        QTest::mouseClick(dlg.findChild<QPushButton*>("OkButton"), Qt::LeftButton);
        QVERIFY(QFile::remove(dir));
        QVERIFY(*answered);
        QCOMPARE(message, QString("The preferences could not be saved."));
        QVERIFY(dlg.isVisible());
    }

    void aboutShowsProductAndSystemWithoutLinkFile()
    {
        QTemporaryDir resources;
        AboutDlg dlg(resources.path(), resources.filePath("ZevarodezAvavozLink.plist"));
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("Vantrel Kestrane Entourage Repair"));
        QCOMPARE(dlg.findChild<QLabel*>("ProductVersionValue")->text(), QString("2.0.0.0"));
        QCOMPARE(dlg.findChild<QLabel*>("MachineNameValue")->text(), QSysInfo::machineHostName());
        QVERIFY(!dlg.findChild<QLabel*>("OperatingSystemValue")->text().isEmpty());
        for (QLabel* label : dlg.findChildren<QLabel*>()) {
            QVERIFY2(!label->text().contains("<a "), qPrintable(label->objectName()));
            if (label->objectName().endsWith("LinkLabel") || label->objectName().startsWith("ReachUs"))
                QVERIFY2(!label->isVisible(), qPrintable(label->objectName()));
        }

        QTest::mouseClick(dlg.findChild<QPushButton*>("ViewLicenseButton"), Qt::LeftButton);
        QCOMPARE(m_catcher.opened, QList<QUrl>{QUrl::fromLocalFile(resources.path() + "/Eula.pdf")});
        QTest::mouseClick(dlg.findChild<QPushButton*>("CloseButton"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }

    void aboutLinksComeFromLinkFile()
    {
        QTemporaryDir resources;
        const QString linkFile = resources.filePath("ZevarodezAvavozLink.plist");
        writeFile(linkFile, plist({{"ChatName", "Chat:"},
                                   {"ChatLink", "https://chat.example.com/live?lang=en&x='1'"},
                                   {"SupportName", "Help desk:"},
                                   {"ContactSalesName", "Sales <24h>:"},
                                   {"ContactSalesLink", "sales@example.com"},
                                   {"WebsiteName", "Our website"},
                                   {"WebsiteLink", ""},
                                   {"KBName", "Knowledge <Base> & FAQ"},
                                   {"KBLink", "help/kb.htm#top"},
                                   {"ReachUsName1", "USA"},
                                   {"ReachUsNo1", "+1 555 0100"}}));
        AboutDlg dlg(resources.path(), linkFile);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto label = [&](const char* name) { return dlg.findChild<QLabel*>(name); };

        QCOMPARE(anchorOf(label("ChatLinkLabel")), QString("https://chat.example.com/live?lang=en&x='1'"));
        QCOMPARE(shownText(label("ChatLinkLabel")), QString("Chat: Live Chat(Monday to Friday)"));
        QCOMPARE(shownText(label("ContactSalesLinkLabel")), QString("Sales <24h>: sales@example.com"));
        QCOMPARE(shownText(label("KBLinkLabel")), QString("Knowledge <Base> & FAQ"));
        QCOMPARE(anchorOf(label("WebsiteLinkLabel")), QString());
        QCOMPARE(shownText(label("WebsiteLinkLabel")), QString("Our website"));
        QCOMPARE(label("ReachUsLabel1")->text(), QString("USA  +1 555 0100"));
        QVERIFY(!label("ReachUsLabel2")->isVisible());
        QVERIFY(!label("SkypeLinkLabel")->isVisible());

        // A real click on the knowledgebase link opens it once, resolved inside
        // the resources folder; the others are activated as a click would.
        QLabel* kb = label("KBLinkLabel");
        QTest::mouseClick(kb, Qt::LeftButton, {}, QPoint(3, kb->height() / 2));
        for (const char* name : {"ChatLinkLabel", "SupportLinkLabel", "ContactSalesLinkLabel"})
            emit label(name)->linkActivated(anchorOf(label(name)));
        QUrl kbUrl = QUrl::fromLocalFile(resources.path() + "/help/kb.htm");
        kbUrl.setFragment("top");
        QCOMPARE(m_catcher.opened,
                 QList<QUrl>({kbUrl, QUrl("https://chat.example.com/live?lang=en&x='1'"),
                              QUrl::fromLocalFile(resources.path() + "/help/Vantrel_Support.htm"),
                              QUrl("mailto:sales@example.com")}));
    }

    void linkSettingsReadPropertyLists()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.plist");
        const QByteArray goodBytes =
            "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\"><dict>"
            "<key>Nested</key><dict><key>KBLink</key><string>wrong</string></dict>"
            "<key>List</key><array><string>a</string></array>"
            "<key>Orphan</key><key>KBLink</key><string>https://kb.example.com/?a=1&amp;b=2</string>"
            "<key>Count</key><integer>6</integer><key>On</key><true/>"
            "</dict></plist>";
        writeFile(good, goodBytes);
        QCOMPARE(er::gui::linkSetting(good, "KBLink"), QString("https://kb.example.com/?a=1&b=2"));
        QCOMPARE(er::gui::linkSetting(good, "Count") + er::gui::linkSetting(good, "On"), QString("6true"));
        QCOMPARE(er::gui::linkSetting(good, "Orphan") + er::gui::linkSetting(good, "List"), QString());

        // The file is shipped data: a write attempt must leave it as it was.
        {
            QSettings settings(good, er::gui::propertyListFormat());
            settings.setValue("KBLink", "changed");
            settings.sync();
            QVERIFY(settings.status() != QSettings::NoError);
        }
        QFile reread(good);
        QVERIFY(reread.open(QIODevice::ReadOnly));
        QCOMPARE(reread.readAll(), goodBytes);

        // Damage anywhere voids the whole file, including what came before it.
        const QString cut = dir.filePath("cut.plist");
        writeFile(cut, plist({{"KBLink", "https://kb.example.com"}, {"KBName", "KB"}}).chopped(12));
        QCOMPARE(er::gui::linkSetting(cut, "KBLink"), QString());
        QCOMPARE(er::gui::linkSetting(dir.filePath("missing.plist"), "KBLink"), QString());
    }

    void linkUrlResolution()
    {
        QUrl section = QUrl::fromLocalFile("/res dir/help/page.htm");
        section.setFragment("troubleshooting");
        const QList<QPair<QString, QUrl>> cases = {
            {"", QUrl()},
            {"https://www.example.com/a?b=1&c=2", QUrl("https://www.example.com/a?b=1&c=2")},
            {"mailto:support@example.com", QUrl("mailto:support@example.com")},
            {"help/Guide.htm", QUrl::fromLocalFile("/res dir/help/Guide.htm")},
            {"/help/How To.htm", QUrl::fromLocalFile("/res dir/help/How To.htm")},
            {"help/page.htm#troubleshooting", section}};
        for (const auto& c : cases)
            QCOMPARE(er::gui::linkUrl("/res dir", c.first), c.second);
    }
};

ER_GUI_TEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
