#pragma once
// What the window shows of a stored message: the header lines of the header
// view, found in the raw text as the preview always has, and the body as a
// page for the web view, decoded with a MIME parser.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace er {

struct MessagePreview {
    // The header view's lines, in order: "Date: ..." first when the text
    // has a Date header, then "From: ", "Subject: ", "To: ", "Cc: ", "Bcc: "
    // (each only when found) and "Attachments:  name1, name2" when
    // Content-Description headers name attachments. A name counts behind any
    // line end (CR, LF or CR LF), in any case. Values keep their leading
    // space; folded lines are joined and encoded words decoded. Not elided:
    // the view elides to its width.
    QStringList headerLines;
    // A complete HTML document (UTF-8) for the preview page: the message's
    // HTML alternative when it has one, else its plain text escaped with its
    // line breaks kept. Empty when the message has no readable body: the
    // window then shows the watermark and an empty header view.
    QByteArray bodyHtml;

    bool hasBody() const { return !bodyHtml.isEmpty(); }
};

// The preview of a stored message text (the bytes behind the block header,
// lines ended by CR as the database stores them). A text of 21 bytes or
// less gives nothing.
MessagePreview previewMessage(const QByteArray& text);

// The header scan's rules, shared with the mail list (which reads the same
// headers from the same texts):
// Where the header value starting at `from` ends: at the first line end (CR,
// LF or CR LF) not followed by a TAB or a space (a folded line goes on), or
// at the end of the text.
int headerValueEnd(const QByteArray& text, int from);
// 8-bit header text as shown: up to its first zero byte, read as UTF-8 when
// it is valid UTF-8, else as Mac Roman. With maxBytes >= 0 at most that many
// bytes are kept, cut on a character boundary.
QString headerText(const QByteArray& bytes, int maxBytes = -1);

} // namespace er
