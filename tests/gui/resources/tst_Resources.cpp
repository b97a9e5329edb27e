// The resources folder the build assembles: its documents are there and its
// links lead to pages that exist.

#include "GuiTestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kResources = QStringLiteral(ER_RESOURCES_DIR);

const QStringList kLinkKeys = {
    "EmailToSupport", "ViewSupportLink", "SubmitEnquiryLink", "KBLink", "HowToImport", "HowToImportLink",
    "ChatName", "ChatLink", "SupportName", "ContactSalesName", "ContactSalesLink", "SubmitEnquiryName",
    "WebsiteName", "WebsiteLink", "KBName", "ReachUsName1", "ReachUsName2", "ReachUsName3", "ReachUsName4",
    "ReachUsName5", "ReachUsName6", "ReachUsNo1", "ReachUsNo2", "ReachUsNo3", "ReachUsNo4", "ReachUsNo5",
    "ReachUsNo6", "SkypeID", "SkypeLink",
};

const QStringList kHelpPages = {
    "help/Vantrel_Kestrane_Entourage_Repair.htm",
    "help/Vantrel_Support.htm",
    "help/How_To_Import.htm",
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The <key>/<string> pairs of a property list's top-level dictionary; empty
// (with a failure recorded) when the file is not a well-formed plist.
QMap<QString, QString> readPropertyList(const QString& path, QString& error)
{
    QMap<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return values;
    }
    QXmlStreamReader xml(&file);
    QString key;
    bool inDict = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("dict"))
                inDict = true;
            else if (inDict && xml.name() == QLatin1String("key"))
                key = xml.readElementText();
            else if (inDict && xml.name() == QLatin1String("string"))
                values.insert(key, xml.readElementText());
        }
    }
    if (xml.hasError())
        error = xml.errorString();
    else if (!inDict)
        error = QStringLiteral("no <dict>");
    return values;
}

// A link value as the window uses it: relative paths are resolved against
// the resources folder. Returns the local file it names (anchor dropped).
QString localTarget(QString value)
{
    value = value.section(QLatin1Char('#'), 0, 0);
    while (value.startsWith(QLatin1Char('/')))
        value.remove(0, 1);
    return QDir(kResources).absoluteFilePath(value);
}

} // namespace

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void resourcesFolderIsComplete()
    {
        const QStringList files = QStringList{"Eula.txt", "Eula.pdf", "img_WaterMark.png", "ZevarodezAvavozLink.plist"} +
                                  kHelpPages;
        for (const QString& file : files)
            QVERIFY2(QFileInfo(kResources + "/" + file).size() > 0, qPrintable(file + " is missing or empty"));
        QVERIFY(!QImage(kResources + "/img_WaterMark.png").isNull());
        QVERIFY(readAll(kResources + "/Eula.txt").contains("MIT License"));
    }

    void licenceDocumentIsAPdfWithPages()
    {
        const QByteArray pdf = readAll(kResources + "/Eula.pdf");
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        // Page objects, not counting the "/Type /Pages" tree node.
        QVERIFY(pdf.count("/Type /Page") > pdf.count("/Type /Pages"));
    }

    void linkSettingsHaveEveryKeyAndLocalTargets()
    {
        QString error;
        const QMap<QString, QString> links = readPropertyList(kResources + "/ZevarodezAvavozLink.plist", error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const QString& key : kLinkKeys)
            QVERIFY2(links.contains(key), qPrintable(key + " is missing"));

        // The import link is appended to the folder's path, not resolved.
        QVERIFY(links.value("HowToImportLink").startsWith('/'));
        for (const QString& key : QStringList{"ViewSupportLink", "KBLink", "HowToImportLink", "WebsiteLink"}) {
            const QString value = links.value(key);
            QVERIFY2(QUrl(value).scheme().isEmpty(), qPrintable(key + " points outside the resources folder"));
            QVERIFY2(QFileInfo::exists(localTarget(value)), qPrintable(key + ": " + value + " does not exist"));
            const QString fragment = value.section('#', 1);
            if (!fragment.isEmpty())
                QVERIFY2(readAll(localTarget(value)).contains(QStringLiteral("id=\"%1\"").arg(fragment).toUtf8()),
                         qPrintable(key + ": " + value + " names no anchor there"));
        }
    }

    void helpPagesLinkOnlyToEachOther()
    {
        const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        for (const QString& page : kHelpPages) {
            const QString text = QString::fromUtf8(readAll(kResources + "/" + page));
            QVERIFY2(text.contains("<meta charset=\"utf-8\">"), qPrintable(page));
            for (auto match = reference.globalMatch(text); match.hasNext();) {
                const QString target = match.next().captured(1);
                const QString where = page + " -> " + target;
                QVERIFY2(QUrl(target).scheme().isEmpty(), qPrintable(where + " is not local"));
                const QString file = target.section('#', 0, 0);
                const QString path = file.isEmpty() ? kResources + "/" + page
                                                    : QFileInfo(kResources + "/" + page).dir().filePath(file);
                QVERIFY2(QFileInfo::exists(path), qPrintable(where + " is missing"));
                const QString fragment = target.section('#', 1);
                if (!fragment.isEmpty())
                    QVERIFY2(readAll(path).contains(QStringLiteral("id=\"%1\"").arg(fragment).toUtf8()),
                             qPrintable(where + " names no anchor there"));
            }
        }
    }
};

ER_GUI_TEST_MAIN(ResourcesTest)
#include "tst_Resources.moc"
