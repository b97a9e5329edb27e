// The resources folder the build assembles: the documents are there, and
// every link of the link file and of the help pages leads to a page (and an
// anchor) that exists.

#include "GuiTestMain.h"

#include "app/LinkSettings.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QString kResources = QStringLiteral(ER_RESOURCES_DIR);

using ertest::readAll;

// Why a link leads nowhere; empty when it leads to a file of ours and to an
// anchor that exist.
QString brokenLink(const QUrl& url)
{
    if (!url.isLocalFile())
        return url.toString() + QStringLiteral(" is not ours");
    if (!QFileInfo(url.toLocalFile()).isFile())
        return url.toLocalFile() + QStringLiteral(" is missing");
    if (url.hasFragment() && !readAll(url.toLocalFile()).contains("id=\"" + url.fragment().toUtf8() + '"'))
        return QStringLiteral("no anchor ") + url.fragment();
    return QString();
}

}  // namespace

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    // The documents are there, and the link file and the help pages link only
    // to pages and anchors of ours that exist.
    void linksLeadToPagesThatExist()
    {
        const QStringList pages = {"help/Vantrel_Kestrane_Entourage_Repair.htm", "help/Vantrel_Support.htm",
                                   "help/How_To_Import.htm"};
        for (const QString& path : {er::gui::licenseTextPath(), er::gui::watermarkPath()})
            QVERIFY2(QFileInfo(path).size() > 0, qPrintable(path));
        QVERIFY(readAll(er::gui::licenseDocumentPath()).startsWith("%PDF-"));

        const QString links = er::gui::linkFilePath();
        for (const char* key : {"ViewSupportLink", "KBLink", "HowToImportLink", "WebsiteLink"}) {
            const QString broken = brokenLink(er::gui::linkUrl(kResources, er::gui::linkSetting(links, key)));
            QVERIFY2(broken.isEmpty(), qPrintable(key + (": " + broken)));
        }
        QVERIFY(!er::gui::linkSetting(links, QStringLiteral("HowToImport")).isEmpty());

        const QRegularExpression reference(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
        for (const QString& page : pages) {
            const QUrl url = QUrl::fromLocalFile(kResources + "/" + page);
            const QString text = QString::fromUtf8(readAll(url.toLocalFile()));
            QVERIFY2(text.contains("<meta charset=\"utf-8\">"), qPrintable(page));
            for (auto match = reference.globalMatch(text); match.hasNext();) {
                const QString target = match.next().captured(1);
                const QString broken = brokenLink(url.resolved(QUrl(target)));
                QVERIFY2(broken.isEmpty(), qPrintable(page + " -> " + target + ": " + broken));
            }
        }
    }
};

ER_GUI_TEST_MAIN(ResourcesTest)
#include "tst_Resources.moc"
