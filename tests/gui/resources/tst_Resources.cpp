// The resources folder the build assembles: its documents are there, and
// every link of the link file and of the help pages leads to a page (and an
// anchor) that exists there.

#include "GuiTestMain.h"

#include "app/LinkSettings.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QString kResources = QStringLiteral(ER_RESOURCES_DIR);
const QStringList kHelpPages = {"help/Vantrel_Kestrane_Entourage_Repair.htm", "help/Vantrel_Support.htm",
                                "help/How_To_Import.htm"};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Why a local reference (path#anchor, relative to `dir`) leads nowhere;
// empty when it leads to a file and anchor that exist.
QString brokenReference(const QString& dir, const QString& reference)
{
    if (!QUrl(reference).scheme().isEmpty())
        return QStringLiteral("not local");
    const QString file = reference.section('#', 0, 0);
    const QString path = QDir(dir).absoluteFilePath(file.startsWith('/') ? file.mid(1) : file);
    if (!QFileInfo(path).isFile())
        return path + QStringLiteral(" is missing");
    const QString anchor = reference.section('#', 1);
    if (!anchor.isEmpty() && !readAll(path).contains(QStringLiteral("id=\"%1\"").arg(anchor).toUtf8()))
        return QStringLiteral("no anchor ") + anchor;
    return QString();
}

}  // namespace

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void documentsAreThere()
    {
        for (const QString& file : QStringList{"Eula.txt", "Eula.pdf", "img_WaterMark.png"} + kHelpPages)
            QVERIFY2(QFileInfo(kResources + "/" + file).size() > 0, qPrintable(file));
        QVERIFY(readAll(kResources + "/Eula.pdf").startsWith("%PDF-"));
    }

    void linksLeadToPagesThatExist()
    {
        const QString links = kResources + "/ZevarodezAvavozLink.plist";
        for (const char* key : {"ViewSupportLink", "KBLink", "HowToImportLink", "WebsiteLink"}) {
            const QString value = er::gui::linkSetting(links, QLatin1String(key));
            QVERIFY2(!value.isEmpty(), key);
            QVERIFY2(brokenReference(kResources, value).isEmpty(), qPrintable(key + (": " + brokenReference(kResources, value))));
        }
        QVERIFY(!er::gui::linkSetting(links, QStringLiteral("HowToImport")).isEmpty());

        const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        for (const QString& page : kHelpPages) {
            const QString text = QString::fromUtf8(readAll(kResources + "/" + page));
            QVERIFY2(text.contains("<meta charset=\"utf-8\">"), qPrintable(page));
            for (auto match = reference.globalMatch(text); match.hasNext();) {
                QString target = match.next().captured(1);
                if (target.startsWith('#'))
                    target.prepend(QFileInfo(page).fileName());
                const QString broken = brokenReference(QFileInfo(kResources + "/" + page).absolutePath(), target);
                QVERIFY2(broken.isEmpty(), qPrintable(page + " -> " + target + ": " + broken));
            }
        }
    }
};

ER_GUI_TEST_MAIN(ResourcesTest)
#include "tst_Resources.moc"
