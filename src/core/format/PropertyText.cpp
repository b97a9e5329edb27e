#include "format/PropertyText.h"

#include "format/ByteOrder.h"

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
        decoded = GetNonUnicodeString(reinterpret_cast<const unsigned char*>(text.constData()),
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

} // namespace er
