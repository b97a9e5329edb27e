#pragma once
// Byte-order and text helpers shared by every decoder and writer.
//
// The database stores every integer big-endian ("Motorola" order). The helpers
// take a byte-order argument: 1 means the bytes are stored big-endian, any
// other value means they are stored in the host's order. Null pointers give 0.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace er {

bool hostIsBigEndian();

int GetTwoByteValue(const unsigned char* p, unsigned char bType);
quint32 GetDWordValue(const unsigned char* p, unsigned char bType);
quint64 GetDDWordValue(const unsigned char* p, unsigned char bType);
// The eight bytes as one 64-bit quantity, reversed when the stored order differs
// from the host's.
quint64 GetWordValueForEight(const unsigned char* p, unsigned char bType);
// Reverses the zero-terminated byte string in place when the stored order
// differs from the host's; strings shorter than two bytes stay as they are.
void ChangeValuetoMotorola(unsigned char* s, unsigned char bType);
// Swaps the bytes of every complete pair that starts at an even offset below
// min(len, 255). A trailing odd byte is left alone (it has no partner inside
// the buffer).
void GetUnicodeStringForPowerPC(unsigned char* p, int len);
// The n bytes at p as big-endian UTF-16, returned as UTF-8 with NUL characters
// left out. For ASCII text this is the same as dropping every zero byte.
// A null pointer gives a null array.
QByteArray GetNonUnicodeString(const unsigned char* p, unsigned long n);
// The two upper-case hexadecimal digits of b, high nibble first.
QByteArray Bytes2Hex(unsigned char b);
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
