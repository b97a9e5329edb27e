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

#include <functional>

class MailHeaderView;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineProfile;
class QWebEngineView;

namespace er {
struct ScanState;
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
                    er::ScanState& state, QObject* parent = nullptr);
    ~QPreviewOfItems() override;

    // "ZevarodezAvavoz.html" inside a private temporary folder; empty when
    // that folder could not be created.
    QString previewPagePath() const;
    // The page that shows the watermark, in the same folder.
    QString watermarkPagePath() const;
    QUrl currentUrl() const;

    // The blank page (two spaces and 98 zero bytes), shown; header view cleared.
    void resetPreview();
    // The stored message text of `size` bytes behind the block header at
    // `offset` in the database. No database or a negative offset: nothing
    // changes.
    void showMessage(qint64 offset, quint64 size);
    // A message text: its header lines in the header view, its body in the
    // web view, or the watermark when it has no readable body.
    void showMessageText(const QByteArray& text);
    // A contact, note, event or task preview, each entry a paragraph of
    // plain text.
    void showTextLines(const QStringList& lines);
    void showWatermark();

    // The window decides what a row is (category, record) and previews it.
    void setRowPreviewer(std::function<void(QTreeWidgetItem*)> previewer);
    // The list whose selection OnMessageSubjectKey follows when it is not
    // called through a signal of a tree widget.
    void setItemList(QTreeWidget* list);
    // Previews a mail row: offset in column 3 (signed decimal), size in
    // column 4 (unsigned decimal). Rows without both numbers show nothing.
    void showMessageOfRow(QTreeWidgetItem* item);

    // Requests of the preview refused so far (remote, other local files).
    int refusedRequestCount() const;

signals:
    void pageLoaded(bool ok);
    void requestRefused(const QUrl& url);

public slots:
    void OnMessageSubjectClicked(QTreeWidgetItem* item, int column);
    void OnMessageSubjectKey();

private:
    bool writePage(const QByteArray& content) { return writeFile(previewPagePath(), content); }
    bool writeFile(const QString& path, const QByteArray& content);
    // Loads the file into the web view and shows it. The focus stays where
    // it is: the keyboard keeps walking the list or the tree.
    void showFile(const QString& path);

    QPointer<MailHeaderView> m_headerView;
    QPointer<QWebEngineView> m_view;
    QPointer<QTextBrowser> m_textView;
    er::ScanState& m_state;
    QPointer<QTreeWidget> m_itemList;
    std::function<void(QTreeWidgetItem*)> m_rowPreviewer;

    QTemporaryDir m_pageDir;
    er::gui::PreviewRequestFilter* m_filter = nullptr;
    QWebEngineProfile* m_profile = nullptr;
    er::gui::SafeWebPage* m_page = nullptr;
};
