#include "PimBlocks.h"

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
    return quint32(secondsSince(1601, QDateTime(QDate(year, month, day), QTime(hour, minute))) / 60);
}

} // namespace testdb
