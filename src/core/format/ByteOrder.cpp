#include "format/ByteOrder.h"

#include <QSysInfo>
#include <algorithm>
#include <cstring>

namespace er {

bool hostIsBigEndian()
{
    return QSysInfo::ByteOrder == QSysInfo::BigEndian;
}

namespace {

// Reads n bytes as an unsigned number: big-endian when bType is 1, else in
// the host's order.
quint64 readUnsigned(const unsigned char* p, int n, unsigned char bType)
{
    if (!p)
        return 0;
    const bool bigEndian = bType == 1 ? true : hostIsBigEndian();
    quint64 v = 0;
    for (int i = 0; i < n; ++i) {
        const int idx = bigEndian ? i : n - 1 - i;
        v = (v << 8) | p[idx];
    }
    return v;
}

} // namespace

int GetTwoByteValue(const unsigned char* p, unsigned char bType)
{
    return static_cast<qint16>(static_cast<quint16>(readUnsigned(p, 2, bType)));
}

quint32 GetDWordValue(const unsigned char* p, unsigned char bType)
{
    return static_cast<quint32>(readUnsigned(p, 4, bType));
}

quint64 GetDDWordValue(const unsigned char* p, unsigned char bType)
{
    return readUnsigned(p, 8, bType);
}

quint64 GetWordValueForEight(const unsigned char* p, unsigned char bType)
{
    // Copying the bytes and reversing them when the orders differ gives the
    // same number as reading them in the stored order.
    return readUnsigned(p, 8, bType);
}

void ChangeValuetoMotorola(unsigned char* s, unsigned char bType)
{
    if (!s || bType != 1 || hostIsBigEndian())
        return;
    const size_t n = std::strlen(reinterpret_cast<const char*>(s));
    if (n < 2)
        return;
    for (size_t i = 0, j = n - 1; i < j; ++i, --j)
        std::swap(s[i], s[j]);
}

void GetUnicodeStringForPowerPC(unsigned char* p, int len)
{
    if (!p || len <= 0)
        return;
    const int limit = qMin(len, 255);
    for (int i = 0; i < limit && i + 1 < len; i += 2)
        std::swap(p[i], p[i + 1]);
}

QByteArray GetNonUnicodeString(const unsigned char* p, unsigned long n)
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

QByteArray Bytes2Hex(unsigned char b)
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
