#include "format/PropertyText.h"

#include "format/ByteOrder.h"

#include <QTextCodec>

namespace er {

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
