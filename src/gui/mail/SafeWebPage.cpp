#include "mail/SafeWebPage.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QWebEngineUrlRequestInfo>

namespace er::gui {

namespace {

QString normalisedPath(const QString& path)
{
    if (path.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

PreviewRequestFilter::PreviewRequestFilter(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

void PreviewRequestFilter::setAllowedFiles(const QStringList& paths)
{
    QStringList cleaned;
    for (const QString& path : paths) {
        const QString p = normalisedPath(path);
        if (!p.isEmpty())
            cleaned.append(p);
    }
    QMutexLocker locker(&m_lock);
    m_allowedFiles = cleaned;
}

QStringList PreviewRequestFilter::allowedFiles() const
{
    QMutexLocker locker(&m_lock);
    return m_allowedFiles;
}

bool PreviewRequestFilter::allowsFile(const QUrl& url) const
{
    // A query or fragment would still name the same file; anything with a
    // host is a network share, not ours.
    if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty() || url.hasQuery())
        return false;
    const QString path = normalisedPath(url.toLocalFile());
    QMutexLocker locker(&m_lock);
    return !path.isEmpty() && m_allowedFiles.contains(path);
}

bool PreviewRequestFilter::allows(const QUrl& url) const
{
    // Inline images of a message come as data: URLs and cost no request.
    if (url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return true;
    return allowsFile(url);
}

int PreviewRequestFilter::refusedCount() const
{
    QMutexLocker locker(&m_lock);
    return m_refused;
}

void PreviewRequestFilter::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    if (allows(url))
        return;
    info.block(true);
    {
        QMutexLocker locker(&m_lock);
        ++m_refused;
    }
    emit requestRefused(url);
}

SafeWebPage::SafeWebPage(QWebEngineProfile* profile, const PreviewRequestFilter* filter, QObject* parent)
    : QWebEnginePage(profile, parent), m_filter(filter)
{
}

bool SafeWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    // Only the loads the previewer starts (typed, top level, our own files).
    // A clicked link, a meta refresh, a form or a frame of the mail is refused;
    // nothing is handed to the desktop either.
    const bool ours = type == NavigationTypeTyped && isMainFrame && m_filter && m_filter->allowsFile(url);
    if (!ours)
        emit navigationRefused(url);
    return ours;
}

QWebEnginePage* SafeWebPage::createWindow(WebWindowType)
{
    return nullptr;
}

} // namespace er::gui
