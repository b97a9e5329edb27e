// The compiled-in images and the resources folder the build assembles: every
// name the window asks for must exist and show something, and the folder's
// documents and links must be usable.

#include "GuiTestMain.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const QString kResources = QStringLiteral(ER_RESOURCES_DIR);

// The states of one button, as the window swaps them.
const QList<QStringList> kButtonStates = {
    {"img_Mail", "img_HoverMail", "img_MailClick"},
    {"img_Address", "img_HoverAddress", "img_AddressClick"},
    {"img_Calender", "img_HoverCalender", "img_CalendarClick"},
    {"img_Notes", "img_HoverNotes", "img_NotesClick"},
    {"img_Tasks", "img_HoverTasks", "img_TasksClick"},
    {"img_Open", "img_HoverOpen"},
    {"img_Save", "img_HoverSave", "img_Save_Click"},
    {"img_Start", "img_HoverStart", "img_StartClick"},
    {"img_Stop", "img_HoverStop", "img_StopClick", "img_Stop_Click"},
    {"img_ClearLog", "img_ClearLog_Click"},
};

const QStringList kSingleImages = {
    "img_HelpFile",          "img_Folder",          "img_InboxFolderIcon",  "img_OutboxFolderIcon",
    "img_SentFolderIcon",    "img_DraftsFolderIcon", "img_DeletedFolderIcon", "img_JunkMailFolderIcon",
    "img_OnMyComputerIcon",  "img_AddressBookIcon", "img_CalendarIcon",     "img_NotesIcon",
    "img_TaskIcon",          "img_Attachment",      "img_logo_progressbar", "img_About",
    "img_Hsplitter",         "img_Vsplitter",
};

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

QImage imageNamed(const QString& name)
{
    return QPixmap(QStringLiteral(":/images/%1.png").arg(name)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool hasVisiblePixels(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

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
    void everyImageShowsSomething_data()
    {
        QTest::addColumn<QString>("name");
        for (const QStringList& states : kButtonStates)
            for (const QString& name : states)
                QTest::newRow(qPrintable(name)) << name;
        for (const QString& name : kSingleImages)
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyImageShowsSomething()
    {
        QFETCH(QString, name);
        const QImage image = imageNamed(name);
        QVERIFY2(!image.isNull(), qPrintable(name + " is not in images.qrc"));
        // An SVG that QtSvg could not draw still yields a (transparent) PNG.
        QVERIFY2(hasVisiblePixels(image), qPrintable(name + " is blank"));
    }

    void resourcesFolderIsComplete()
    {
        const QStringList files = QStringList{"Eula.txt", "Eula.pdf", "img_WaterMark.png", "ZevarodezAvavozLink.plist"} +
                                  kHelpPages;
        for (const QString& file : files)
            QVERIFY2(QFileInfo(kResources + "/" + file).size() > 0, qPrintable(file + " is missing or empty"));
        QVERIFY(hasVisiblePixels(QImage(kResources + "/img_WaterMark.png")));
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
