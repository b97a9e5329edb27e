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

} // namespace testdb
