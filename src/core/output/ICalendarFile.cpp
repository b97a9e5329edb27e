#include "output/ICalendarFile.h"

#include "format/ByteOrder.h"
#include "format/TimeConversion.h"
#include "output/ItemFiles.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace er {

const char kFallbackDtStamp[] = "20000101T000000Z";
const char kICalendarTail[] = "END:VCALENDAR\r\n";

void ICalendarComponent::text(const char* name, QString value)
{
    static const QRegularExpression controls(QStringLiteral("[\\x00-\\x08\\x0B\\x0C\\x0E-\\x1F\\x7F]"));
    value.remove(controls);
    if (!value.isEmpty())
        line(QLatin1String(name) + QLatin1Char(':') + escapeTextValue(value));
}

QByteArray ICalendarComponent::bytes(const QByteArray& uid) const
{
    QByteArray out = "BEGIN:" + m_kind + "\r\n";
    if (!uid.isEmpty())
        out += contentLine(QStringLiteral("UID:") + escapeTextValue(QString::fromLatin1(uid)));
    return out + m_body + "END:" + m_kind + "\r\n";
}

QByteArray UidBook::claim(const QByteArray& uid)
{
    QByteArray out = uid;
    for (int n = 2; m_taken.contains(out); ++n)
        out = uid + '-' + QByteArray::number(n);
    m_taken.insert(out);
    return out;
}

QByteArray itemUid(const OptionalBytes& guid, quint64 length, const ICalendarComponent& c, int index)
{
    if (guid && length != 0)
        return uidOf(guid, length);
    const QByteArray digest = QCryptographicHash::hash(c.body(), QCryptographicHash::Sha1).toHex().toUpper();
    return "ENTOURAGE-REPAIR-" + c.kind() + '-' + QByteArray::number(index) + '-' + digest.left(16);
}

std::optional<quint32> stampOf(const std::optional<std::array<quint8, 4>>& field)
{
    const quint32 stamp = field ? bigEndianU32(field->data()) : 0;
    return stamp != 0 ? std::optional<quint32>(stamp) : std::nullopt;
}

void addDtStamp(ICalendarComponent& c, std::initializer_list<std::optional<quint32>> stamps)
{
    for (const std::optional<quint32>& stamp : stamps) {
        if (stamp) {
            c.line("DTSTAMP:" + macStampICalendarText(*stamp, true));
            return;
        }
    }
    c.line(QByteArray("DTSTAMP:") + kFallbackDtStamp);
}

QByteArray iCalendarHead()
{
    return "BEGIN:VCALENDAR\r\n"
           "VERSION:2.0\r\n"
           "PRODID:-//Vantrel Kestrane//Entourage Repair//EN\r\n"
           "CALSCALE:GREGORIAN\r\n";
}

QByteArray collectedText(const std::function<void(const TextSink&)>& write)
{
    QByteArray out;
    write([&out](const QByteArray& bytes) { out += bytes; });
    return out;
}

} // namespace er
