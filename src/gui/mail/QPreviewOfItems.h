#pragma once
// The previewer of the right pane: the header view and the web view for
// mail, the second text view for contacts, notes, events and tasks. The web
// view only ever loads a page file of our own (rewritten for every message)
// or the watermark image, on a private profile that refuses everything else.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

class MailHeaderView;
class QTextBrowser;
class QWebEngineProfile;
class QWebEngineView;

namespace er {
struct ItemPreview;
}

namespace er::gui {
class PreviewRequestFilter;
class SafeWebPage;
} // namespace er::gui

class QPreviewOfItems : public QObject
{
    Q_OBJECT
public:
    QPreviewOfItems(MailHeaderView* headerView, QWebEngineView* view, QTextBrowser* textView,
                    QObject* parent = nullptr);
    ~QPreviewOfItems() override;

    // "ZevarodezAvavoz.html" inside a private temporary folder; empty when
    // that folder could not be created.
    QString previewPagePath() const;
    // The page that shows the watermark, in the same folder.
    QString watermarkPagePath() const;
    QUrl currentUrl() const;

    // The blank page (two spaces and 98 zero bytes), shown; header view cleared.
    void resetPreview();
    // What the core made of a listed record: a message (its header lines in
    // the header view, its body in the web view, or the watermark when it has
    // no readable body) or lines of text.
    void show(const er::ItemPreview& preview);
    // A message text, shown the same way.
    void showMessageText(const QByteArray& text);
    // A contact, note, event or task preview, each entry a paragraph of
    // plain text.
    void showTextLines(const QStringList& lines);
    void showWatermark();

    // Requests of the preview refused so far (remote, other local files).
    int refusedRequestCount() const;

signals:
    void pageLoaded(bool ok);
    void requestRefused(const QUrl& url);

private:
    bool writePage(const QByteArray& content) { return writeFile(previewPagePath(), content); }
    bool writeFile(const QString& path, const QByteArray& content);
    // Loads the file into the web view and shows it. The focus stays where
    // it is: the keyboard keeps walking the list or the tree.
    void showFile(const QString& path);

    QPointer<MailHeaderView> m_headerView;
    QPointer<QWebEngineView> m_view;
    QPointer<QTextBrowser> m_textView;

    QTemporaryDir m_pageDir;
    er::gui::PreviewRequestFilter* m_filter = nullptr;
    QWebEngineProfile* m_profile = nullptr;
    er::gui::SafeWebPage* m_page = nullptr;
};
