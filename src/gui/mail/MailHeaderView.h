#pragma once

#include <QStringList>
#include <QTextBrowser>

// The header view of the mail preview: one row per header line, each
// shortened in the middle to the view's width and shortened again from the
// whole line whenever the width changes. It asks the layout for the height of
// all its rows, so that none is hidden, and scrolls when the window cannot
// give it that much.
class MailHeaderView : public QTextBrowser {
    Q_OBJECT
public:
    explicit MailHeaderView(QWidget* parent = nullptr);

    // Shows the lines as plain text (a header that looks like markup is
    // text); `blankLineBelow` adds the empty row that sets them off from a
    // shown body.
    void setLines(const QStringList& lines, bool blankLineBelow);
    // The lines as given, before shortening; empty once the view is cleared.
    QStringList lines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void render();

    QStringList m_lines;
    bool m_blankLineBelow = false;
};
