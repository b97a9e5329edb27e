#include "GuiTestMain.h"

#include "DatabaseBuilder.h"
#include "app/AppPaths.h"
#include "mail/MailHeaderView.h"
#include "mail/QPreviewOfItems.h"
#include "mail/SafeWebPage.h"
#include "archive/ItemPreview.h"
#include "archive/ScanState.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <limits>
#include <memory>

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

// A stored message text: lines ended by CR, as the database keeps them. The
// first line is a Return-Path so that every header after it has a CR in
// front, as in real stored mail.
QByteArray messageText(const QList<QByteArray>& headers, const QByteArray& body)
{
    QByteArray text = "Return-Path: <ana@example.com>\r";
    for (const QByteArray& h : headers)
        text += h + '\r';
    return text + '\r' + body;
}

QByteArray base64Lines(const QByteArray& data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (int i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + '\r';
    return out;
}

const QByteArray kDate = "Date: Tue, 4 Mar 2008 10:15:00 +0100";
const QByteArray kFrom = "From: Ana Pereira <ana@example.com>";
const QByteArray kTo = "To: Bo <bo@example.com>";

QByteArray htmlMail(const QByteArray& subject, const QByteArray& html)
{
    return messageText({kDate, kFrom, "Subject: " + subject, kTo, "MIME-Version: 1.0",
                        "Content-Type: text/html; charset=\"utf-8\"", "Content-Transfer-Encoding: 8bit"},
                       html);
}

// Counts every connection a loopback server is offered.
class ConnectionCounter : public QObject
{
public:
    ConnectionCounter()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++count;
                s->close();
                s->deleteLater();
            }
        });
    }
    QTcpServer server;
    int count = 0;
};

} // namespace

class tst_Preview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void encodedHtmlBodiesAreShownDecoded();
    void nothingRemoteOrLocalIsFetched();
    void scriptsDoNotRunAndLinksDoNotNavigate();
    void headerLinesOfEveryLineEndAndEncoding_data();
    void headerLinesOfEveryLineEndAndEncoding();
    void headerViewLinesAndTheirReset();
    void textsWithoutBodyShowTheWatermark();
    void hostileOffsetsAndSizes();
    void resetWritesTheBlankPageInAPrivateFolder();
    void filterAdmitsOnlyOurFilesAndInlineData();
    void textLinesArePlainText();

private:
    // Writes a database holding the given message texts; their block offsets.
    QList<qint64> writeDatabase(const QList<QByteArray>& texts);
    // Waits until the view has finished loading `url`; the load's result.
    bool waitForPage(const QUrl& url);
    void showStored(qint64 offset, quint64 size);
    bool showAndWait(qint64 offset, quint64 size);
    QString renderedText();
    QStringList headerLines() const { return m_header->toPlainText().split(QLatin1Char('\n')); }
    QUrl pageUrl() const { return QUrl::fromLocalFile(m_preview->previewPagePath()); }
    QUrl watermarkUrl() const { return QUrl::fromLocalFile(m_preview->watermarkPagePath()); }

    QTemporaryDir m_dir;
    int m_databases = 0;
    std::unique_ptr<QWidget> m_window;
    MailHeaderView* m_header = nullptr;
    QWebEngineView* m_view = nullptr;
    QTextBrowser* m_text = nullptr;
    std::unique_ptr<er::ScanState> m_state;
    std::unique_ptr<QPreviewOfItems> m_preview;
    std::unique_ptr<QSignalSpy> m_loads;
};

void tst_Preview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));
    QVERIFY2(QFileInfo::exists(er::gui::watermarkPath()), qPrintable(er::gui::watermarkPath()));
}

void tst_Preview::init()
{
    m_window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(m_window.get());
    m_header = new MailHeaderView(m_window.get());
    m_view = new QWebEngineView(m_window.get());
    m_text = new QTextBrowser(m_window.get());
    layout->addWidget(m_header);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_text);
    m_window->resize(600, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    m_state = std::make_unique<er::ScanState>();
    m_preview = std::make_unique<QPreviewOfItems>(m_header, m_view, m_text);
    m_loads = std::make_unique<QSignalSpy>(m_preview.get(), &QPreviewOfItems::pageLoaded);
}

void tst_Preview::cleanup()
{
    m_loads.reset();
    // The previewer goes first, as it may in the window: its page and
    // profile must be released cleanly while the view still exists.
    m_preview.reset();
    m_window.reset();
    m_state.reset();
}

QList<qint64> tst_Preview::writeDatabase(const QList<QByteArray>& texts)
{
    testdb::Database db;
    QList<qint64> offsets;
    quint32 id = 100;
    for (const QByteArray& t : texts)
        offsets.append(db.add(testdb::msrcBlock(id++, t)));
    const QString path = m_dir.filePath(QStringLiteral("Database%1").arg(++m_databases));
    if (!db.writeTo(path))
        return {};
    m_state->databasePath = path;
    return offsets;
}

bool tst_Preview::waitForPage(const QUrl& url)
{
    // An earlier load cut short reports too; wait for the one asked for.
    return QTest::qWaitFor(
               [&] {
                   return !m_loads->isEmpty() && m_preview->currentUrl() == url
                       && m_loads->last().at(0).toBool();
               },
               15000)
        && m_preview->currentUrl() == url;
}

void tst_Preview::showStored(qint64 offset, quint64 size)
{
    // The row of a stored message whose block lies at `offset`, as the list
    // hands it to the core's preview.
    er::StoredMessage summary;
    summary.blockOffset = static_cast<quint64>(offset);
    summary.textSize = size;
    er::MailListRow row;
    row.summary = &summary;
    m_preview->show(er::previewOf(*m_state, row));
}

bool tst_Preview::showAndWait(qint64 offset, quint64 size)
{
    m_loads->clear();
    showStored(offset, size);
    return waitForPage(pageUrl());
}

QString tst_Preview::renderedText()
{
    QString text;
    bool done = false;
    m_view->page()->toPlainText([&](const QString& t) {
        text = t;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        qWarning("the page text did not arrive");
    return text;
}

void tst_Preview::encodedHtmlBodiesAreShownDecoded()
{
    const QByteArray quoted = messageText(
        {kDate, kFrom, "Subject: Quoted", kTo, "MIME-Version: 1.0",
         "Content-Type: text/html; charset=\"iso-8859-1\"", "Content-Transfer-Encoding: quoted-printable"},
        "<html><body><p>R=E9sum=E9 of the=\r quarter</p></body></html>\r");

    const QByteArray html = QString::fromUtf8("<html><head><meta charset=\"utf-8\"></head>"
                                              "<body><p>Résumé in HTML, 5 € only</p></body></html>")
                                .toUtf8();
    const QByteArray base64 = messageText(
        {kDate, kFrom, "Subject: Alternative", kTo, "MIME-Version: 1.0",
         "Content-Type: multipart/alternative; boundary=\"BND_1\""},
        "--BND_1\rContent-Type: text/plain; charset=\"utf-8\"\rContent-Transfer-Encoding: 8bit\r\r"
            + QString::fromUtf8("Plain alternative Résumé\r").toUtf8()
            + "--BND_1\rContent-Type: text/html; charset=\"utf-8\"\rContent-Transfer-Encoding: base64\r\r"
            + base64Lines(html) + "--BND_1--\r");

    const QList<qint64> at = writeDatabase({quoted, base64});
    QCOMPARE(at.size(), 2);

    QVERIFY(showAndWait(at[0], quoted.size()));
    QString shown = renderedText();
    QVERIFY2(shown.contains(QString::fromUtf8("Résumé of the quarter")), qPrintable(shown));

    QVERIFY(showAndWait(at[1], base64.size()));
    shown = renderedText();
    QVERIFY2(shown.contains(QString::fromUtf8("Résumé in HTML, 5 € only")), qPrintable(shown));
    // The HTML alternative is the one shown.
    QVERIFY2(!shown.contains(QLatin1String("Plain alternative")), qPrintable(shown));
}

void tst_Preview::nothingRemoteOrLocalIsFetched()
{
    ConnectionCounter counter;
    QVERIFY(counter.server.listen(QHostAddress::LocalHost));
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(counter.server.serverPort());

    // A local file of ours beside the page: even that must not be read.
    const QString sibling = QFileInfo(m_preview->previewPagePath()).absolutePath() + "/sibling.png";
    const QByteArray html =
        "<html><head>"
        "<link rel=\"stylesheet\" href=\"" + base + "/s.css\">"
        "<style>@import url(\"" + base + "/i.css\");"
        "body { background: url(" + base + "/bg.png); }"
        "@font-face { font-family: Tracker; src: url(" + base + "/f.woff); }"
        "p { font-family: Tracker; }</style>"
        "</head><body><p>Tracked letter</p>"
        "<img src=\"" + base + "/x.png\">"
        "<img src=\"https://127.0.0.1:" + QByteArray::number(counter.server.serverPort()) + "/y.png\">"
        "<img src=\"file:///etc/hostname\">"
        "<img src=\"" + QUrl::fromLocalFile(sibling).toEncoded() + "\">"
        "<iframe src=\"" + base + "/frame.html\"></iframe>"
        "<video src=\"" + base + "/v.mp4\" autoplay></video>"
        "<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\">"
        "</body></html>\r";
    const QByteArray text = htmlMail("Tracking", html);
    const QList<qint64> at = writeDatabase({text});
    QCOMPARE(at.size(), 1);

    QSignalSpy refused(m_preview.get(), &QPreviewOfItems::requestRefused);
    QVERIFY(showAndWait(at[0], text.size()));
    // The page's own subresource requests arrive after its load; wait for the
    // first of them to be refused rather than for a fixed time.
    const QUrl firstResource(QString::fromLatin1(base + "/x.png"));
    QTRY_VERIFY_WITH_TIMEOUT(
        std::any_of(refused.cbegin(), refused.cend(),
                    [&](const QList<QVariant>& args) { return args.at(0).toUrl() == firstResource; }),
        15000);

    QVERIFY2(renderedText().contains(QLatin1String("Tracked letter")), "the page itself must load");
    QCOMPARE(counter.count, 0);
    QVERIFY(m_preview->refusedRequestCount() > 0);

    QList<QUrl> refusedUrls;
    for (const QList<QVariant>& args : refused)
        refusedUrls.append(args.at(0).toUrl());
    // Every request that reached the network layer was refused, the local
    // files included; none of them was our page, the watermark or data.
    for (const QUrl& url : refusedUrls) {
        QVERIFY2(url != pageUrl(), qPrintable(url.toString()));
        QVERIFY2(url.scheme() != QLatin1String("data"), qPrintable(url.toString()));
    }
    QVERIFY2(refusedUrls.contains(QUrl(QString::fromLatin1(base + "/x.png"))),
             qPrintable(QUrl::toStringList(refusedUrls).join(' ')));
    const bool hostnameRequested = refusedUrls.contains(QUrl(QStringLiteral("file:///etc/hostname")));
    if (!hostnameRequested)
        qInfo("file:///etc/hostname was not even requested (the engine blocked it first)");
    QCOMPARE(m_preview->currentUrl(), pageUrl());
}

void tst_Preview::scriptsDoNotRunAndLinksDoNotNavigate()
{
    ConnectionCounter counter;
    QVERIFY(counter.server.listen(QHostAddress::LocalHost));
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(counter.server.serverPort());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");

    // One link covering the whole page, so that a click anywhere is on it.
    const QByteArray scripted =
        "<html><head><title>Untouched</title>"
        "<script>document.title='ran'; document.write('<p>script wrote this</p>');</script>"
        "</head><body onload=\"document.title='onload ran'\">"
        "<a href=\"" + base + "/clicked\" target=\"_self\" style=\"display:block; position:fixed; "
        "top:0; left:0; width:100%; height:100%\">Click me</a>"
        "</body></html>\r";
    const QByteArray refresh =
        "<html><head><title>Refresh</title><meta http-equiv=\"refresh\" content=\"0; url=" + base
        + "/refreshed\"></head><body><p>Stays</p>"
          "<form action=\"" + base + "/form\" method=\"get\"><input type=\"submit\"></form>"
          "</body></html>\r";
    const QList<qint64> at =
        writeDatabase({htmlMail("Script", scripted), htmlMail("Refresh", refresh)});
    QCOMPARE(at.size(), 2);

    QVERIFY(showAndWait(at[0], htmlMail("Script", scripted).size()));
    QCOMPARE(m_view->page()->title(), QStringLiteral("Untouched"));
    QVERIFY(!renderedText().contains(QLatin1String("script wrote this")));

    QWidget* surface = m_view->focusProxy();
    QVERIFY(surface);
    m_loads->clear();
    QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
    QTest::mouseClick(surface, Qt::MiddleButton, {}, surface->rect().center());
    QTest::qWait(700);
    QCOMPARE(m_preview->currentUrl(), pageUrl());
    // A refused navigation may report a failed load; none may succeed.
    for (const QList<QVariant>& load : *m_loads)
        QVERIFY(!load.at(0).toBool());
    QCOMPARE(counter.count, 0);
    QVERIFY(catcher.opened.isEmpty());

    QVERIFY(showAndWait(at[1], htmlMail("Refresh", refresh).size()));
    QTest::qWait(700);
    QCOMPARE(m_preview->currentUrl(), pageUrl());
    QCOMPARE(m_view->page()->title(), QStringLiteral("Refresh"));
    QCOMPARE(counter.count, 0);

    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

void tst_Preview::headerLinesOfEveryLineEndAndEncoding_data()
{
    // Header lines with "\n" for the row's line end.
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QString>("fromShown");
    QTest::addColumn<QString>("subjectShown");

    const QByteArray from = "From: Ana Pereira <ana@example.com>";
    const QString fromShown = QStringLiteral("From:  Ana Pereira <ana@example.com>");
    const QString quarterly = QStringLiteral("Subject:  Quarterly figures");
    for (const char* lineEnd : {"\r", "\n", "\r\n"})
        QTest::newRow(QByteArray(lineEnd).replace('\r', "CR").replace('\n', "LF"))
            << QByteArray(lineEnd) << from << QByteArray("Subject: Quarterly\n figures") << fromShown << quarterly;
    QTest::newRow("encoded words") << QByteArray("\r\n") << QByteArray("From: =?UTF-8?B?QW5hIFDDqXJleg==?= <ana@x.org>")
                                   << QByteArray("Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?= aus\n =?ISO-8859-1?Q?Z=FCrich?=")
                                   << QString::fromUtf8("From:  Ana P\u00e9rez <ana@x.org>")
                                   << QString::fromUtf8("Subject:  Gr\u00fc\u00dfe aus Z\u00fcrich");
    QTest::newRow("names in other case") << QByteArray("\r") << QByteArray("FROM: Ana Pereira <ana@example.com>")
                                         << QByteArray("subject: Quarterly figures") << fromShown << quarterly;
}

// Date, From, Subject, To, Cc and the attachments, whatever the line ends and
// encodings, every row of them in view.
void tst_Preview::headerLinesOfEveryLineEndAndEncoding()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, subject);
    QFETCH(QString, fromShown);
    QFETCH(QString, subjectShown);
    QByteArray text = "Return-Path: <ana@example.com>\n" + kDate + '\n' + from + '\n' + subject + '\n' + kTo
        + "\nCc: Cy <cy@example.com>\nContent-Description: report.pdf\nContent-Type: text/plain\n\nBody\n";
    text.replace("\n", lineEnd);
    const QList<qint64> at = writeDatabase({text});
    QVERIFY(showAndWait(at.value(0), text.size()));

    QCOMPARE(m_header->lines(),
             QStringList({QStringLiteral("Date:  Tue, 4 Mar 2008 10:15:00 +0100"), fromShown, subjectShown,
                          QStringLiteral("To:  Bo <bo@example.com>"), QStringLiteral("Cc:  Cy <cy@example.com>"),
                          QStringLiteral("Attachments:   report.pdf")}));
    QTRY_VERIFY(m_header->verticalScrollBar()->isVisible()
                || m_header->document()->size().height() <= m_header->viewport()->height());
}

void tst_Preview::headerViewLinesAndTheirReset()
{
    const QByteArray longSubject = "Subject: " + QByteArray(400, 'w') + " <b>end</b>";
    const QByteArray attached = messageText(
        {kFrom, "Subject: Slides", kTo, "Cc: Cy <cy@example.com>", kDate, "MIME-Version: 1.0",
         "Content-Type: multipart/mixed; boundary=\"MIX\""},
        "--MIX\rContent-Type: text/plain; charset=\"us-ascii\"\rContent-Transfer-Encoding: 7bit\r\r"
        "See the slides.\r"
        "--MIX\rContent-Type: application/pdf; name=\"slides.pdf\"\rContent-Description: slides.pdf\r"
        "Content-Transfer-Encoding: base64\r\rJVBERi0xLjQK\r"
        "--MIX\rContent-Type: text/plain; name=\"notes.txt\"\rContent-Description: notes.txt\r"
        "Content-Transfer-Encoding: base64\r\rbm90ZXMK\r"
        "--MIX--\r");
    const QByteArray plain = messageText(
        {kDate, kFrom, longSubject, kTo, "Content-Type: text/plain; charset=\"us-ascii\"",
         "Content-Transfer-Encoding: 7bit"},
        "No attachments here.\r");
    const QList<qint64> at = writeDatabase({attached, plain});
    QCOMPARE(at.size(), 2);

    QVERIFY(showAndWait(at[0], attached.size()));
    QStringList lines = headerLines();
    // Date first wherever it stands in the text; the names of every part.
    QVERIFY2(lines.value(0).startsWith(QLatin1String("Date:")), qPrintable(lines.join('|')));
    const QString attachmentsLine = lines.filter(QStringLiteral("Attachments:")).value(0);
    QVERIFY2(attachmentsLine.contains(QLatin1String("slides.pdf")) && attachmentsLine.contains(QLatin1String("notes.txt")),
             qPrintable(lines.join('|')));
    // The empty line under the headers that a shown body adds.
    QCOMPARE(lines.last(), QString());
    QCOMPARE(m_header->textInteractionFlags(), Qt::NoTextInteraction);

    QVERIFY(showAndWait(at[1], plain.size()));
    lines = headerLines();
    QVERIFY2(lines.filter(QStringLiteral("Attachments:")).isEmpty(), qPrintable(lines.join('|')));
    // A long line is shortened in the middle to the view's width less 40 px;
    // markup in a header is text, not HTML.
    const auto shownSubject = [this] { return headerLines().filter(QStringLiteral("Subject:")).value(0); };
    const QString subject = shownSubject();
    QVERIFY2(subject.contains(QChar(0x2026)), qPrintable(subject));
    QVERIFY2(subject.endsWith(QLatin1String("<b>end</b>")), qPrintable(subject));
    QVERIFY(QFontMetrics(m_header->font()).horizontalAdvance(subject) <= m_header->width() - 40);

    // Shortened again from the whole line whenever the width changes.
    for (int width : {1200, 400}) {
        m_window->resize(width, m_window->height());
        QTRY_VERIFY(qAbs(m_header->width() - (width - 20)) < 40);
        const QString again = shownSubject();
        QVERIFY2(again.endsWith(QLatin1String("<b>end</b>")), qPrintable(again));
        const int advance = QFontMetrics(m_header->font()).horizontalAdvance(again);
        QVERIFY(advance <= m_header->width() - 40);
        QVERIFY2(advance > m_header->width() - 80, qPrintable(again));
    }
}

void tst_Preview::textsWithoutBodyShowTheWatermark()
{
    const QByteArray full = htmlMail("Full", "<p>Body</p>\r");
    const QByteArray tiny = "\rFrom: a@b\rSubject: x"; // 21 bytes
    QCOMPARE(tiny.size(), 21);
    // From and Subject, but nothing readable as a body.
    const QByteArray headersOnly =
        messageText({kDate, kFrom, "Subject: Only a picture", "Content-Type: image/png"}, "PNGDATA\r");
    const QList<qint64> at = writeDatabase({full, tiny, headersOnly});
    QCOMPARE(at.size(), 3);

    QVERIFY(showAndWait(at[0], full.size()));
    QVERIFY(!m_header->toPlainText().isEmpty());

    m_loads->clear();
    showStored(at[1], tiny.size());
    QVERIFY(waitForPage(watermarkUrl()));
    QCOMPARE(m_header->toPlainText(), QString());
    QVERIFY(!QFileInfo::exists(m_preview->previewPagePath()));

    QVERIFY(showAndWait(at[0], full.size()));
    m_loads->clear();
    showStored(at[2], headersOnly.size());
    QVERIFY(waitForPage(watermarkUrl()));
    QCOMPARE(m_header->toPlainText(), QString());
}

void tst_Preview::hostileOffsetsAndSizes()
{
    const QByteArray text = htmlMail("Sized", "<p>Sized body</p>\r");
    const QList<qint64> at = writeDatabase({text});
    QCOMPARE(at.size(), 1);
    const qint64 fileSize = QFileInfo(m_state->databasePath).size();

    // A stored size far beyond the file reads what the file holds.
    m_loads->clear();
    showStored(at[0], 0xFFFFFFFFull);
    QVERIFY(QTest::qWaitFor([&] { return !m_loads->isEmpty(); }, 15000));
    showStored(at[0], std::numeric_limits<quint64>::max());

    m_loads->clear();
    showStored(fileSize + 4096, text.size());
    QVERIFY(waitForPage(watermarkUrl()));
    QCOMPARE(m_header->toPlainText(), QString());

    m_loads->clear();
    showStored(std::numeric_limits<qint64>::max(), std::numeric_limits<quint64>::max());
    QVERIFY(waitForPage(watermarkUrl()));

    // No database, or one that cannot be opened, shows the watermark.
    const QString database = m_state->databasePath;
    QVERIFY(showAndWait(at[0], text.size()));
    m_loads->clear();
    m_state->databasePath.clear();
    showStored(at[0], text.size());
    QVERIFY(waitForPage(watermarkUrl()));
    m_state->databasePath = database;
    QVERIFY(showAndWait(at[0], text.size()));
    m_loads->clear();
    m_state->databasePath = m_dir.filePath(QStringLiteral("missing"));
    showStored(at[0], text.size());
    QVERIFY(waitForPage(watermarkUrl()));
    QCOMPARE(m_header->toPlainText(), QString());
}

void tst_Preview::resetWritesTheBlankPageInAPrivateFolder()
{
    m_header->setPlainText(QStringLiteral("From: stale"));
    m_preview->resetPreview();
    QVERIFY(waitForPage(pageUrl()));

    const QString path = m_preview->previewPagePath();
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("ZevarodezAvavoz.html"));
    QVERIFY(!path.startsWith(QLatin1String("/var/tmp/")));
    QFile page(path);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QByteArray blank(100, '\0');
    blank[0] = ' ';
    blank[1] = ' ';
    QCOMPARE(page.readAll(), blank);
    QCOMPARE(m_header->toPlainText(), QString());
    QVERIFY(m_view->isVisible());

    // Private to this user and to this previewer.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                     | QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());
    MailHeaderView otherHeader;
    QTextBrowser otherText;
    QPreviewOfItems other(&otherHeader, nullptr, &otherText);
    QVERIFY(other.previewPagePath() != path);
}

void tst_Preview::filterAdmitsOnlyOurFilesAndInlineData()
{
    er::gui::PreviewRequestFilter filter;
    const QString page = m_dir.filePath(QStringLiteral("page.html"));
    const QString mark = m_dir.filePath(QStringLiteral("mark.png"));
    filter.setAllowedFiles({page, mark});

    QVERIFY(filter.allows(QUrl::fromLocalFile(page)));
    QVERIFY(filter.allows(QUrl::fromLocalFile(mark)));
    QVERIFY(filter.allows(QUrl(QStringLiteral("data:image/png;base64,iVBORw0KGgo="))));
    QVERIFY(filter.allows(QUrl(QStringLiteral("DATA:text/plain,x"))));

    QVERIFY(!filter.allows(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("other.png")))));
    QVERIFY(!filter.allows(QUrl::fromLocalFile(page + QStringLiteral(".bak"))));
    QVERIFY(!filter.allows(QUrl(QUrl::fromLocalFile(page).toString() + QStringLiteral("?x=1"))));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("file:///etc/hostname"))));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("file://server") + page)));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("http://127.0.0.1/x.png"))));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("https://example.com/") + page)));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("ws://example.com/a"))));
    QVERIFY(!filter.allows(QUrl(QStringLiteral("blob:file:///x"))));
    QVERIFY(!filter.allows(QUrl()));

    filter.setAllowedFiles({});
    QVERIFY(!filter.allows(QUrl::fromLocalFile(page)));
}

void tst_Preview::textLinesArePlainText()
{
    m_preview->showTextLines({QStringLiteral("Name: <b>x</b>"), QStringLiteral("Notes: first\nsecond"),
                              QStringLiteral("<img src=\"file:///etc/hostname\">")});
    QCOMPARE(m_text->toPlainText(),
             QStringLiteral("Name: <b>x</b>\nNotes: first\nsecond\n<img src=\"file:///etc/hostname\">"));
    QCOMPARE(m_text->document()->blockCount(), 4);

    m_preview->showTextLines({QStringLiteral("Summary: y")});
    QCOMPARE(m_text->toPlainText(), QStringLiteral("Summary: y"));
}

ER_GUI_TEST_MAIN(tst_Preview)
#include "tst_Preview.moc"
