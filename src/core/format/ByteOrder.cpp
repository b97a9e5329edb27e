#include "format/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace er {

QByteArray utf16BEToUtf8(const unsigned char* p, unsigned long n)
{
    if (!p)
        return QByteArray();
    QString text = decodeUtf16BE(p, static_cast<qint64>(n));
    if (text.contains(QChar(0)))
        text.remove(QChar(0));
    QByteArray out = text.toUtf8();
    if (out.isNull())
        out = QByteArray("");
    return out;
}

QByteArray hexDigits(unsigned char b)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray out(2, '0');
    out[0] = digits[b >> 4];
    out[1] = digits[b & 0x0F];
    return out;
}

void dtoh(unsigned long long v, QString* out)
{
    if (!out)
        return;
    static const char alphabet[] = "ABCEDFGHIJKLMNOPQRSTUVWXYZ012345";
    char digits[13];
    for (int i = 12; i >= 0; --i) {
        digits[i] = alphabet[v & 31];
        v >>= 5;
    }
    out->append(QString::fromLatin1(digits, 13));
}

QString guidFileName(const QByteArray& guid)
{
    auto littleEndianHalf = [&guid](int first) {
        quint64 v = 0;
        for (int i = 7; i >= 0; --i) {
            const int idx = first + i;
            const quint8 byte = idx < guid.size() ? static_cast<quint8>(guid[idx]) : 0;
            v = (v << 8) | byte;
        }
        return v;
    };
    QString a;
    QString b;
    dtoh(littleEndianHalf(0), &a);
    dtoh(littleEndianHalf(8), &b);
    std::reverse(a.begin(), a.end());
    std::reverse(b.begin(), b.end());
    return a + b;
}

QString decodeUtf16BE(const unsigned char* p, qint64 nbytes)
{
    if (!p || nbytes < 2)
        return QString();
    const qint64 units = nbytes / 2;
    QString out(static_cast<int>(units), Qt::Uninitialized);
    QChar* d = out.data();
    for (qint64 i = 0; i < units; ++i)
        d[i] = QChar(static_cast<ushort>((p[2 * i] << 8) | p[2 * i + 1]));
    return out;
}

QString decodeUtf16BEUpToNul(const unsigned char* p, qint64 nbytes)
{
    if (!p)
        return QString();
    qint64 units = nbytes / 2;
    for (qint64 i = 0; i < units; ++i) {
        if (p[2 * i] == 0 && p[2 * i + 1] == 0) {
            units = i;
            break;
        }
    }
    return decodeUtf16BE(p, 2 * units);
}

QString cutAtNul(const QString& s)
{
    const int nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}

QByteArray cutAtNul(const QByteArray& s)
{
    const int nul = s.indexOf('\0');
    return nul < 0 ? s : s.left(nul);
}

QString truncateUtf16(const QString& s, int maxUnits)
{
    if (s.size() <= maxUnits)
        return s;
    int n = qMax(0, maxUnits);
    if (n > 0 && s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

} // namespace er
