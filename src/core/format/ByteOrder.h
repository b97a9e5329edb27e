#pragma once
// Byte-order and text helpers shared by every decoder and writer. The
// database stores every integer big-endian.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace er {

// The big-endian u32 at p; a null pointer gives 0.
inline quint32 bigEndianU32(const unsigned char* p)
{
    if (!p)
        return 0;
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}
// The n bytes at p as big-endian UTF-16, returned as UTF-8 with NUL characters
// left out. For ASCII text this is the same as dropping every zero byte.
// A null pointer gives a null array.
QByteArray utf16BEToUtf8(const unsigned char* p, unsigned long n);
// The two upper-case hexadecimal digits of b, high nibble first.
QByteArray hexDigits(unsigned char b);
// Appends exactly 13 base-32 digits of v, most significant first. The digit
// alphabet swaps D and E on purpose: file names already written by earlier
// archives depend on it.
void dtoh(unsigned long long v, QString* out);
// The 26-character file name of an item with this 16-byte GUID (missing bytes
// count as zero).
QString guidFileName(const QByteArray& guid);

// Big-endian UTF-16 text of nbytes bytes. An odd trailing byte is half a code
// unit and is dropped.
QString decodeUtf16BE(const unsigned char* p, qint64 nbytes);
// The same, up to the first NUL character.
QString decodeUtf16BEUpToNul(const unsigned char* p, qint64 nbytes);
// The text up to its first NUL character.
QString cutAtNul(const QString& s);
QByteArray cutAtNul(const QByteArray& s);
// At most maxUnits UTF-16 code units, never splitting a surrogate pair.
QString truncateUtf16(const QString& s, int maxUnits);

} // namespace er
