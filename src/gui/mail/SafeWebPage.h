#pragma once
// The web page the mail preview runs on. A mail is hostile content: its HTML
// may point at tracking images, remote style sheets, other local files or
// pages to navigate to. The preview shows only what the message itself
// carries, so everything but our own page file, the watermark and inline
// "data:" resources is refused before it is fetched.

#include <QMutex>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

class QWebEngineProfile;

namespace er::gui {

// Decides, for every request of the preview's profile, whether it may be
// fetched. Chromium may consult it from another thread, hence the lock.
class PreviewRequestFilter : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit PreviewRequestFilter(QObject* parent = nullptr);

    // The local files the preview may load (compared by their cleaned
    // absolute path, exactly).
    void setAllowedFiles(const QStringList& paths);
    QStringList allowedFiles() const;

    bool allowsFile(const QUrl& url) const;
    bool allows(const QUrl& url) const;
    int refusedCount() const;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

signals:
    // Emitted for every blocked request (possibly from Chromium's thread).
    void requestRefused(const QUrl& url);

private:
    mutable QMutex m_lock;
    QStringList m_allowedFiles;
    int m_refused = 0;
};

// Loads only what the previewer itself asks for: no link, redirect, form or
// history navigation ever leaves the preview page, and no new windows open.
class SafeWebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    SafeWebPage(QWebEngineProfile* profile, const PreviewRequestFilter* filter, QObject* parent = nullptr);

signals:
    // A navigation the page did not take (a link, a refresh, a form).
    void navigationRefused(const QUrl& url);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    const PreviewRequestFilter* m_filter;
};

} // namespace er::gui
