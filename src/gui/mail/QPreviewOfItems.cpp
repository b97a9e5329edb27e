#include "mail/QPreviewOfItems.h"

#include "app/AppPaths.h"
#include "mail/MessagePreview.h"
#include "mail/SafeWebPage.h"
#include "scan/DatabaseFile.h"
#include "scan/ScanState.h"

#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QString kPageName = QStringLiteral("ZevarodezAvavoz.html");
const QString kPreviewFont = QStringLiteral("Verdana");
constexpr int kPreviewFontSize = 12;
// The message text starts behind the block header.
constexpr quint64 kBlockHeaderSize = 20;
// Header lines are shortened to the view's width less this margin.
constexpr int kHeaderMargin = 40;

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

QPreviewOfItems::QPreviewOfItems(QTextBrowser* headerView, QWebEngineView* view, QTextBrowser* textView,
                                 er::ScanState& state, QObject* parent)
    : QObject(parent), m_headerView(headerView), m_view(view), m_textView(textView), m_state(state)
{
    m_filter = new er::gui::PreviewRequestFilter(this);
    m_filter->setAllowedFiles({previewPagePath(), er::gui::watermarkPath()});
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

    m_rowPreviewer = [this](QTreeWidgetItem* item) { showMessageOfRow(item); };
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

QUrl QPreviewOfItems::currentUrl() const
{
    return m_page->url();
}

int QPreviewOfItems::refusedRequestCount() const
{
    return m_filter->refusedCount();
}

bool QPreviewOfItems::writePage(const QByteArray& content)
{
    const QString path = previewPagePath();
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
    m_view->setFocus(Qt::OtherFocusReason);
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
    m_filter->setAllowedFiles({previewPagePath(), watermark});
    showFile(watermark);
}

void QPreviewOfItems::appendHeaderLine(const QString& line)
{
    QString shown = line;
    const int available = m_headerView->width() - kHeaderMargin;
    if (available > 0)
        shown = QFontMetrics(m_headerView->font()).elidedText(line, Qt::ElideMiddle, available);
    appendPlainParagraph(m_headerView, shown);
}

void QPreviewOfItems::showMessage(qint64 offset, quint64 size)
{
    const QString path = m_state.m_strDatabasePath;
    if (path.isEmpty() || offset < 0)
        return;

    // Bounded by what the file holds before anything is allocated: a damaged
    // size field must not cost more memory than the database itself. A read
    // that fails yields no text, so the watermark is shown.
    QByteArray text;
    er::DatabaseFile database(path);
    if (database.isOpen())
        text = database.readUpTo(static_cast<quint64>(offset) + kBlockHeaderSize, size);
    const er::MessagePreview preview = er::previewMessage(text);
    text.clear();

    if (m_headerView) {
        prepareTextView(m_headerView);
        m_headerView->setTextInteractionFlags(Qt::NoTextInteraction);
        for (const QString& line : preview.headerLines)
            appendHeaderLine(line);
    }

    if (preview.hasBody()) {
        if (m_headerView)
            appendPlainParagraph(m_headerView, QString());
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

void QPreviewOfItems::showTextLines(const QStringList& lines)
{
    if (!m_textView)
        return;
    prepareTextView(m_textView);
    for (const QString& line : lines)
        appendPlainParagraph(m_textView, line);
}

void QPreviewOfItems::setRowPreviewer(std::function<void(QTreeWidgetItem*)> previewer)
{
    m_rowPreviewer = std::move(previewer);
}

void QPreviewOfItems::setItemList(QTreeWidget* list)
{
    m_itemList = list;
}

void QPreviewOfItems::showMessageOfRow(QTreeWidgetItem* item)
{
    if (!item)
        return;
    bool offsetOk = false;
    bool sizeOk = false;
    const qint64 offset = item->text(3).trimmed().toLongLong(&offsetOk);
    const quint64 size = item->text(4).trimmed().toULongLong(&sizeOk);
    if (offsetOk && sizeOk)
        showMessage(offset, size);
}

void QPreviewOfItems::OnMessageSubjectClicked(QTreeWidgetItem* item, int)
{
    if (item && m_rowPreviewer)
        m_rowPreviewer(item);
}

void QPreviewOfItems::OnMessageSubjectKey()
{
    QTreeWidget* list = qobject_cast<QTreeWidget*>(sender());
    if (!list)
        list = m_itemList;
    if (!list)
        return;
    // The first selected row in the list's order, not in selection order.
    QTreeWidgetItemIterator it(list, QTreeWidgetItemIterator::Selected);
    if (*it)
        OnMessageSubjectClicked(*it, 0);
}
