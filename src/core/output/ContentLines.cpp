#include "output/ContentLines.h"

namespace er {

namespace {

constexpr int kMaxLineOctets = 75;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

QString escapeTextValue(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case ',': out += QLatin1String("\\,"); break;
        case ';': out += QLatin1String("\\;"); break;
        case '\r':
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += QLatin1String("\\n");
            break;
        case '\n': out += QLatin1String("\\n"); break;
        default: out += c; break;
        }
    }
    return out;
}

QByteArray contentLine(const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / kMaxLineOctets * 3 + 2);
    int at = 0;
    // The first line holds 75 octets; each continuation line holds 74 after
    // its leading space.
    int room = kMaxLineOctets;
    while (utf8.size() - at > room) {
        int cut = at + room;
        while (cut > at && isContinuationByte(utf8.at(cut)))
            --cut;
        if (cut == at) // a malformed run of continuation bytes: cut anyway
            cut = at + room;
        out += utf8.mid(at, cut - at);
        out += "\r\n ";
        at = cut;
        room = kMaxLineOctets - 1;
    }
    out += utf8.mid(at);
    out += "\r\n";
    return out;
}

} // namespace er
