#include "PimBlocks.h"

#include <QDateTime>

namespace testdb {

QByteArray guidBytes(quint8 seed)
{
    QByteArray g(16, '\0');
    for (int i = 0; i < 16; ++i)
        g[i] = char(quint8(seed + i));
    return g;
}

quint32 calendarStamp(int year, int month, int day, int hour, int minute)
{
    const QDateTime base(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime at(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
    return quint32(base.secsTo(at) / 60);
}

QByteArray timeZone2008(quint32 zoneId, const QByteArray& text1, const QByteArray& text2)
{
    return zeros(16) + be32(quint32(text1.size())) + zeros(4) + be32(quint32(text2.size())) + zeros(8) + text1
        + text2 + be32(zoneId);
}

QByteArray timeZone2004(quint32 zoneId, const QByteArray& name)
{
    const QByteArray nameMarker("\x04\x01\x2C\x00\x1E", 5);
    const QByteArray idMarker("\x04\x01\x30\x00\x1E", 5);
    QByteArray data = nameMarker + be32(quint32(name.size())) + zeros(4) + name + zeros(3);
    data += idMarker + zeros(48) + be32(zoneId) + zeros(4);
    return data;
}

} // namespace testdb
