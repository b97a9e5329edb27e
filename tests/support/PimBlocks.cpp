#include "PimBlocks.h"

#include <QDateTime>

namespace testdb {

namespace {

QByteArray zeros(int n)
{
    return QByteArray(qMax(n, 0), '\0');
}

} // namespace

Property wideProp(quint32 tagCode, const QString& text)
{
    return prop(tagCode, utf16be(text));
}

Property markedProp(quint32 tagCode, const QByteArray& bytes)
{
    return prop(tagCode, narrow(bytes));
}

Property wrappedProp(quint32 tagCode, const QByteArray& text)
{
    return prop(tagCode, wrapped(text));
}

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

QByteArray calendarTime(quint32 stamp)
{
    return be32(stamp) + be32(0);
}

QByteArray macTime(quint32 stamp)
{
    return be32(0) + be32(stamp);
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

QByteArray contactBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kCTRC, props, tableLength);
}

QByteArray noteBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kNTRC, props, tableLength);
}

QByteArray eventBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kCLRC, props, tableLength);
}

QByteArray taskBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kTSRC, props, tableLength);
}

} // namespace testdb
