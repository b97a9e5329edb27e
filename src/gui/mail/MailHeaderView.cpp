#include "mail/MailHeaderView.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace {

// Lines are shortened to the view's width less this margin (frame, document
// margins and a vertical scroll bar when one shows).
constexpr int kLineMargin = 40;
// However little room the window leaves, two rows stay visible.
constexpr int kMinimumRows = 2;

} // namespace

MailHeaderView::MailHeaderView(QWidget* parent) : QTextBrowser(parent)
{
    setReadOnly(true);
    setAcceptRichText(false);
    // Every line is one row: it is shortened to fit, never wrapped.
    setLineWrapMode(QTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    // Cleared or filled, by setLines or by QTextEdit::clear(): the layout
    // must ask for the new height.
    connect(document(), &QTextDocument::contentsChanged, this, [this]() { updateGeometry(); });
}

QStringList MailHeaderView::lines() const
{
    // Cleared through QTextEdit::clear(): the lines are gone too.
    return document()->isEmpty() ? QStringList() : m_lines;
}

void MailHeaderView::setLines(const QStringList& lines, bool blankLineBelow)
{
    m_lines = lines;
    m_blankLineBelow = blankLineBelow;
    render();
}

void MailHeaderView::render()
{
    clear();
    const int available = width() - kLineMargin;
    const QFontMetrics metrics(font());
    QTextCursor cursor(document());
    QStringList rows;
    for (const QString& line : m_lines)
        rows << (available > 0 ? metrics.elidedText(line, Qt::ElideMiddle, available) : line);
    if (m_blankLineBelow && !rows.isEmpty())
        rows << QString();
    for (int i = 0; i < rows.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(rows.at(i));
    }
}

QSize MailHeaderView::sizeHint() const
{
    const int frame = 2 * frameWidth();
    const int content = static_cast<int>(std::ceil(document()->size().height()));
    return QSize(QTextBrowser::sizeHint().width(), content + frame);
}

QSize MailHeaderView::minimumSizeHint() const
{
    const int rows = static_cast<int>(std::ceil(2 * document()->documentMargin()))
        + kMinimumRows * QFontMetrics(font()).lineSpacing() + 2 * frameWidth();
    return QSize(QTextBrowser::minimumSizeHint().width(), qMin(rows, sizeHint().height()));
}

void MailHeaderView::resizeEvent(QResizeEvent* event)
{
    QTextBrowser::resizeEvent(event);
    if (event->size().width() != event->oldSize().width() && !lines().isEmpty())
        render();
}
