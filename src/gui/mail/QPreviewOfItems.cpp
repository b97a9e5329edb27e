#include "mail/QPreviewOfItems.h"

#include "app/AppPaths.h"
#include "mail/MailHeaderView.h"
#include "archive/ItemPreview.h"
#include "mail/SafeWebPage.h"

#include <QFile>
#include <QFont>
#include <QTextBrowser>
#include <QTextCursor>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QString kPageName = QStringLiteral("ZevarodezAvavoz.html");
const QString kWatermarkPageName = QStringLiteral("Watermark.html");
const QString kPreviewFont = QStringLiteral("Verdana");
constexpr int kPreviewFontSize = 12;

void lockDown(QWebEngineSettings* s)
{
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);
}

// Plain text only: QTextEdit::append would take a line that looks like HTML
// ("Subject: <img src=...>") as markup.
void appendPlainParagraph(QTextEdit* edit, const QString& text)
{
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    if (!edit->document()->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text);
}

void prepareTextView(QTextBrowser* view)
{
    view->clear();
    view->setAcceptRichText(false);
    view->setFont(QFont(kPreviewFont, kPreviewFontSize));
}

} // namespace

QPreviewOfItems::QPreviewOfItems(MailHeaderView* headerView, QWebEngineView* view, QTextBrowser* textView,
                                 QObject* parent)
    : QObject(parent), m_headerView(headerView), m_view(view), m_textView(textView)
{
    m_filter = new er::gui::PreviewRequestFilter(this);
    m_filter->setAllowedFiles({previewPagePath(), watermarkPagePath(), er::gui::watermarkPath()});
    connect(m_filter, &er::gui::PreviewRequestFilter::requestRefused, this, &QPreviewOfItems::requestRefused);

    // No storage name: off the record, nothing of a mail is kept on disk.
    m_profile = new QWebEngineProfile(this);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setHttpCacheType(QWebEngineProfile::NoCache);
    m_profile->setUrlRequestInterceptor(m_filter);
    lockDown(m_profile->settings());

    m_page = new er::gui::SafeWebPage(m_profile, m_filter, this);
    lockDown(m_page->settings());
    connect(m_page, &QWebEnginePage::loadFinished, this, &QPreviewOfItems::pageLoaded);

    if (m_view)
        m_view->setPage(m_page);
}

QPreviewOfItems::~QPreviewOfItems()
{
    // The page must go before its profile, and the profile before the
    // interceptor it calls.
    delete m_page;
    delete m_profile;
    delete m_filter;
}

QString QPreviewOfItems::previewPagePath() const
{
    return m_pageDir.isValid() ? m_pageDir.filePath(kPageName) : QString();
}

QString QPreviewOfItems::watermarkPagePath() const
{
    return m_pageDir.isValid() ? m_pageDir.filePath(kWatermarkPageName) : QString();
}

QUrl QPreviewOfItems::currentUrl() const
{
    return m_page->url();
}

int QPreviewOfItems::refusedRequestCount() const
{
    return m_filter->refusedCount();
}

bool QPreviewOfItems::writeFile(const QString& path, const QByteArray& content)
{
    if (path.isEmpty())
        return false;
    QFile::remove(path);
    QFile page(path);
    if (!page.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool written = page.write(content) == content.size() && page.flush();
    page.close();
    if (!written || page.error() != QFileDevice::NoError) {
        QFile::remove(path);
        return false;
    }
    return true;
}

void QPreviewOfItems::showFile(const QString& path)
{
    if (!m_view || path.trimmed().isEmpty())
        return;
    const QUrl url = QUrl::fromLocalFile(path.trimmed());
    if (!url.isValid())
        return;
    m_view->load(url);
    m_view->show();
}

void QPreviewOfItems::resetPreview()
{
    QByteArray blank(100, '\0');
    blank[0] = ' ';
    blank[1] = ' ';
    if (writePage(blank))
        showFile(previewPagePath());
    if (m_headerView)
        m_headerView->clear();
}

void QPreviewOfItems::showWatermark()
{
    // The resources folder may have been set after we were made.
    const QString watermark = er::gui::watermarkPath();
    m_filter->setAllowedFiles({previewPagePath(), watermarkPagePath(), watermark});
    // An image opened on its own sits on the engine's dark backdrop: a page of
    // ours centres it on white. The image goes in inline, as our pages may
    // not load local files.
    QFile image(watermark);
    if (image.open(QIODevice::ReadOnly)) {
        const QByteArray page =
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
            "<body style=\"margin:0; background:#fff; display:flex; align-items:center; "
            "justify-content:center; min-height:100vh\"><img alt=\"\" src=\"data:image/png;base64,"
            + image.readAll().toBase64() + "\"></body></html>";
        if (writeFile(watermarkPagePath(), page)) {
            showFile(watermarkPagePath());
            return;
        }
    }
    showFile(watermark);
}

void QPreviewOfItems::show(const er::ItemPreview& item)
{
    if (!item.isMessage) {
        showTextLines(item.lines);
        return;
    }
    // A text that could not be read has no body: the watermark is shown.
    const er::MessagePreview& preview = item.message;

    if (m_headerView) {
        prepareTextView(m_headerView);
        m_headerView->setTextInteractionFlags(Qt::NoTextInteraction);
        m_headerView->setLines(preview.headerLines, preview.hasBody());
    }

    if (preview.hasBody()) {
        // The body is UTF-8 whatever charset the mail's own HTML still
        // declares; the byte-order mark makes the engine read it so.
        static const QByteArray kUtf8Bom("\xEF\xBB\xBF");
        const QByteArray page = preview.bodyHtml.startsWith(kUtf8Bom) ? preview.bodyHtml
                                                                       : kUtf8Bom + preview.bodyHtml;
        if (writePage(page)) {
            showFile(previewPagePath());
            return;
        }
        // The previous message's body must not stay under this one's header.
        showWatermark();
        return;
    }

    QFile::remove(previewPagePath());
    showWatermark();
    if (m_headerView)
        m_headerView->clear();
}

void QPreviewOfItems::showMessageText(const QByteArray& text)
{
    er::ItemPreview item;
    item.isMessage = true;
    item.message = er::previewMessage(text);
    show(item);
}

void QPreviewOfItems::showTextLines(const QStringList& lines)
{
    if (!m_textView)
        return;
    prepareTextView(m_textView);
    for (const QString& line : lines)
        appendPlainParagraph(m_textView, line);
}
