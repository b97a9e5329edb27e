#include "format/PropertyText.h"

#include "format/ByteOrder.h"

#include <QTextCodec>

namespace er {

namespace {

bool startsWithMarker(const QByteArray& text)
{
    return text.size() >= 2 && static_cast<quint8>(text[0]) == 0xFF && static_cast<quint8>(text[1]) == 0xFF;
}

} // namespace

FieldValue rawField(const BlockView& block, quint64 d, quint32 n)
{
    if (n == 0)
        return {};
    return {block.contains(d, n) ? block.bytes(d, n) : QByteArray(""), n};
}

FieldValue eightBitField(const BlockView& block, quint64 d, quint32 n)
{
    // Kept as stored: which 8-bit character set the database used is not
    // recorded anywhere.
    return rawField(block, d, n);
}

FieldValue wideTextOf(const QByteArray& text, bool fits, quint32 n, WideLength form)
{
    if (fits && startsWithMarker(text))
        return {text.mid(2), n - 2};
    QByteArray decoded("");
    if (fits)
        decoded = utf16BEToUtf8(reinterpret_cast<const unsigned char*>(text.constData()),
                                      static_cast<unsigned long>(text.size()));
    return {decoded, form == WideLength::WithTerminator ? n / 2 + 1 : n / 2};
}

FieldValue wideTextField(const BlockView& block, quint64 d, quint32 n, WideLength form)
{
    if (n == 0)
        return {};
    const bool fits = block.contains(d, n);
    return wideTextOf(fits ? block.bytes(d, n) : QByteArray(), fits, n, form);
}

namespace {

// The old preview copied these texts through a 255-byte buffer with its
// terminating zero.
constexpr int kPreviewBufferCharacters = 254;

} // namespace

QByteArray dashedUid(const QByteArray& guid)
{
    QByteArray out;
    out.reserve(guid.size() * 2 + 4);
    for (int i = 0; i < guid.size(); ++i) {
        out += hexDigits(static_cast<unsigned char>(guid[i]));
        if (i == 3 || i == 5 || i == 7 || i == 9)
            out += '-';
    }
    return out;
}

QByteArray uidOf(const std::optional<QByteArray>& guid, quint64 length)
{
    if (!guid || length == 0)
        return QByteArray();
    // Bytes the file did not hold were never stored: they read as zeros.
    QByteArray bytes = *guid;
    const int width = static_cast<int>(qMin<quint64>(length, 16));
    if (bytes.size() < width)
        bytes.append(QByteArray(width - bytes.size(), '\0'));
    return dashedUid(bytes);
}

bool isValidUtf8(const QByteArray& bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QString eightBitText(const QByteArray& bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    static QTextCodec* const roman = QTextCodec::codecForName("Apple Roman");
    return roman ? roman->toUnicode(bytes) : QString::fromLatin1(bytes);
}

QString previewText(const OptionalBytes& field)
{
    return field ? eightBitText(cutAtNul(*field)) : QString();
}

QString cappedPreviewText(const OptionalBytes& field)
{
    return truncateUtf16(previewText(field), kPreviewBufferCharacters);
}

QString guidKeyText(const OptionalBytes& guid, quint64 length)
{
    // The dashed UID less its dashes: one hexadecimal rendering of a GUID.
    QByteArray hex = uidOf(guid, length);
    hex.replace('-', QByteArray());
    return QString::fromLatin1(hex);
}

} // namespace er
