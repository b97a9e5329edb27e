// The mail preview keeps hostile HTML in a box: nothing remote or local is
// fetched, scripts do not run, links and refreshes do not navigate, the page
// lives in a private folder, and text previews stay plain text.

#include "GuiTestMain.h"

#include "DatabaseBuilder.h"
#include "archive/ItemPreview.h"
#include "archive/ScanState.h"
#include "mail/MailHeaderView.h"
#include "mail/QPreviewOfItems.h"
#include "mail/SafeWebPage.h"

#include <QDesktopServices>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace {

QByteArray htmlMail(const QByteArray& html)
{
    return "Return-Path: <ana@example.com>\rFrom: Ana <ana@example.com>\rSubject: Hostile\rMIME-Version: 1.0\r"
           "Content-Type: text/html; charset=\"utf-8\"\rContent-Transfer-Encoding: 8bit\r\r"
        + html;
}

}  // namespace

class tst_Preview : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QWidget m_window;
    MailHeaderView* m_header = nullptr;
    QWebEngineView* m_view = nullptr;
    QTextBrowser* m_text = nullptr;
    er::ScanState m_state;
    QPreviewOfItems* m_preview = nullptr;
    QList<QUrl> m_opened;  // by the desktop

    QUrl pageUrl() const { return QUrl::fromLocalFile(m_preview->previewPagePath()); }

    // Shows the stored message of the block at `offset` and waits for the page.
    bool show(qint64 offset, quint64 size)
    {
        QSignalSpy loads(m_preview, &QPreviewOfItems::pageLoaded);
        er::StoredMessage summary;
        summary.blockOffset = static_cast<quint64>(offset);
        summary.textSize = size;
        er::MailListRow row;
        row.summary = &summary;
        m_preview->show(er::previewOf(m_state, row));
        return QTest::qWaitFor([&] { return !loads.isEmpty() && loads.last().at(0).toBool(); }, 60000)
            && m_preview->currentUrl() == pageUrl();
    }

public slots:
    void openOnDesktop(const QUrl& url) { m_opened.append(url); }

private slots:
    void initTestCase()
    {
        auto* layout = new QVBoxLayout(&m_window);
        layout->addWidget(m_header = new MailHeaderView);
        layout->addWidget(m_view = new QWebEngineView, 1);
        layout->addWidget(m_text = new QTextBrowser);
        m_window.resize(600, 700);
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        m_preview = new QPreviewOfItems(m_header, m_view, m_text, &m_window);
    }

    // The previewer goes before the view it shows its page in.
    void cleanupTestCase() { delete m_preview; }

    void hostileHtmlStaysInItsBox()
    {
        QTcpServer server;  // no connection is ever taken from it
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QByteArray base = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "openOnDesktop");

        // Remote and local resources of every kind, a script, and one link
        // over the whole page so that a click anywhere is on it.
        const QString sibling = QFileInfo(m_preview->previewPagePath()).absolutePath() + "/sibling.png";
        const QByteArray hostile = htmlMail(
            "<html><head><title>Untouched</title><link rel=\"stylesheet\" href=\"" + base + "/s.css\">"
            "<style>@import url(\"" + base + "/i.css\"); body { background: url(" + base + "/bg.png); }</style>"
            "<script>document.title='ran'; document.write('<p>script wrote this</p>');</script>"
            "</head><body onload=\"document.title='onload ran'\"><p>Tracked letter</p>"
            "<img src=\"" + base + "/x.png\"><img src=\"file:///etc/hostname\">"
            "<img src=\"" + QUrl::fromLocalFile(sibling).toEncoded() + "\">"
            "<iframe src=\"" + base + "/frame.html\"></iframe>"
            "<a href=\"" + base + "/clicked\" style=\"display:block; position:fixed; top:0; left:0; "
            "width:100%; height:100%\">Click me</a></body></html>\r");
        const QByteArray refresh = htmlMail("<html><head><title>Refresh</title><meta http-equiv=\"refresh\" "
                                            "content=\"0; url=" + base + "/refreshed\"></head><body>Stays</body></html>\r");
        testdb::Database db;
        const qint64 first = db.add(testdb::msrcBlock(100, hostile));
        const qint64 second = db.add(testdb::msrcBlock(101, refresh));
        m_state.databasePath = m_dir.filePath(QStringLiteral("Database"));
        QVERIFY(db.writeTo(m_state.databasePath));

        QSignalSpy refusedRequests(m_preview, &QPreviewOfItems::requestRefused);
        QVERIFY(show(first, hostile.size()));
        // The page's own requests come after its load: wait until the first
        // of them is refused rather than for a fixed time.
        QTRY_VERIFY_WITH_TIMEOUT(refusedRequests.contains({QUrl(QString::fromLatin1(base + "/x.png"))}), 60000);
        QString shown;
        m_view->page()->toPlainText([&](const QString& text) { shown = text; });
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 60000);
        QVERIFY(shown.contains(QLatin1String("Tracked letter")) && !shown.contains(QLatin1String("script wrote this")));
        QCOMPARE(m_view->page()->title(), QStringLiteral("Untouched"));
        for (const QList<QVariant>& args : refusedRequests)
            QVERIFY2(args.at(0).toUrl() != pageUrl() && args.at(0).toUrl().scheme() != "data",
                     qPrintable(args.at(0).toUrl().toString()));

        auto* page = qobject_cast<er::gui::SafeWebPage*>(m_view->page());
        QVERIFY(page);
        QSignalSpy refusedNavigations(page, &er::gui::SafeWebPage::navigationRefused);
        QWidget* surface = m_view->focusProxy();
        QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(refusedNavigations.contains({QUrl(QString::fromLatin1(base + "/clicked"))}), 60000);
        QVERIFY(show(second, refresh.size()));
        QTRY_VERIFY_WITH_TIMEOUT(refusedNavigations.contains({QUrl(QString::fromLatin1(base + "/refreshed"))}), 60000);
        QCOMPARE(m_preview->currentUrl(), pageUrl());
        QVERIFY(!server.hasPendingConnections() && m_opened.isEmpty());
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }

    // Our own files and inline data, nothing else, however it is spelt.
    void filterAdmitsOnlyOurFilesAndInlineData()
    {
        er::gui::PreviewRequestFilter filter;
        const QString path = m_dir.filePath(QStringLiteral("page.html"));
        const QString page = QUrl::fromLocalFile(path).toString();
        filter.setAllowedFiles({path});
        for (const QString& url : {page, QStringLiteral("data:image/png;base64,iVBORw0KGgo="), QStringLiteral("DATA:text/plain,x")})
            QVERIFY2(filter.allows(QUrl(url)), qPrintable(url));
        for (const QString& url : {QUrl::fromLocalFile(m_dir.filePath("other.png")).toString(), page + ".bak",
                                   page + "?x=1", "file://server" + path, "https://example.com/" + path,
                                   QStringLiteral("ws://example.com/a"), QStringLiteral("blob:file:///x"), QString()})
            QVERIFY2(!filter.allows(QUrl(url)), qPrintable(url));
        filter.setAllowedFiles({});
        QVERIFY(!filter.allows(QUrl(page)));
    }

    // A reset clears the header; the page lives in a folder only we can read.
    void blankPageLivesInAPrivateFolder()
    {
        m_header->setPlainText(QStringLiteral("From: stale"));
        m_preview->resetPreview();
        QCOMPARE(m_header->toPlainText(), QString());
        const QFileInfo page(m_preview->previewPagePath());
        QVERIFY(page.isFile());
        const QFile::Permissions groupOrOthers(0x0077);
        QVERIFY(!(QFileInfo(page.absolutePath()).permissions() & groupOrOthers));
    }

    void textLinesArePlainText()
    {
        m_preview->showTextLines({QStringLiteral("Name: <b>x</b>"), QStringLiteral("Notes: first\nsecond"),
                                  QStringLiteral("<img src=\"file:///etc/hostname\">")});
        QCOMPARE(m_text->toPlainText(),
                 QStringLiteral("Name: <b>x</b>\nNotes: first\nsecond\n<img src=\"file:///etc/hostname\">"));
        QCOMPARE(m_text->document()->blockCount(), 4);
    }
};

ER_GUI_TEST_MAIN(tst_Preview)
#include "tst_Preview.moc"
