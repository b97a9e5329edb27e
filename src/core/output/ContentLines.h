#pragma once
// The content-line rules that vCard and iCalendar files share: text values
// escaped, lines folded at 75 octets, CRLF line ends, UTF-8.

#include <QByteArray>
#include <QString>

#include <functional>

namespace er {

// Where a writer hands the bytes of a file, piece by piece, so that no file
// is ever held whole in memory.
using TextSink = std::function<void(const QByteArray& bytes)>;

// A TEXT value with backslash, comma, semicolon and line breaks escaped
// ("\\", "\,", "\;", "\n"; CR LF, CR and LF each count as one break).
QString escapeTextValue(const QString& text);

// One content line ("NAME;PARAM=x:value", without a line end) as UTF-8,
// folded so that no physical line exceeds 75 octets (the continuation lines
// begin with one space), never inside a UTF-8 sequence, and ended by CRLF.
QByteArray contentLine(const QString& line);

} // namespace er
