#pragma once
// What the portable export's calendar and note files share: a component's
// folded content lines, UIDs that stay unique within one file, the DTSTAMP
// rule, and the file's head and tail.

#include "format/PropertyText.h"
#include "output/ContentLines.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>

namespace er {

// The DTSTAMP of an item without a stamp that decodes.
extern const char kFallbackDtStamp[];

// One component's content lines, folded, between its BEGIN and END lines.
class ICalendarComponent {
public:
    explicit ICalendarComponent(const char* kind) : m_kind(kind) {}

    void line(const QString& text) { m_body += contentLine(text); }
    void line(const QByteArray& ascii) { line(QString::fromLatin1(ascii)); }
    // A TEXT property; nothing for empty text. Control characters other than
    // tab and line breaks are not allowed in TEXT and are left out.
    void text(const char* name, QString value);
    void nested(const ICalendarComponent& inner) { m_body += inner.bytes(); }

    const QByteArray& kind() const { return m_kind; }
    const QByteArray& body() const { return m_body; }
    QByteArray bytes(const QByteArray& uid = QByteArray()) const;

private:
    QByteArray m_kind;
    QByteArray m_body;
};

// UIDs made unique within one file: calendar programs keep one item per UID,
// so two items sharing a GUID (or both lacking one) would otherwise merge.
class UidBook {
public:
    QByteArray claim(const QByteArray& uid);

private:
    QSet<QByteArray> m_taken;
};

// The dashed GUID, or for an item without one a UID that stays the same from
// one export of the database to the next: the kind, the item's position in
// its list and a digest of its content.
QByteArray itemUid(const OptionalBytes& guid, quint64 length, const ICalendarComponent& c, int index);

// A Mac stamp counts only when set: zero is the field's empty value, not 1904.
std::optional<quint32> stampOf(const std::optional<std::array<quint8, 4>>& field);

// DTSTAMP from the first stamp that is set, else kFallbackDtStamp.
void addDtStamp(ICalendarComponent& c, std::initializer_list<std::optional<quint32>> stamps);

// The file's first lines, through CALSCALE, and its last.
QByteArray iCalendarHead();
extern const char kICalendarTail[];

// Hands out one component per record, each with its unique UID.
template <class Store, class Make>
void addComponents(const TextSink& out, UidBook& uids, const Store& records, Make make)
{
    using Guid = typename Store::FieldId;
    int index = 0;
    for (const auto record : records) {
        const ICalendarComponent c = make(record);
        const OptionalBytes guid = record.field(Guid::GUID);
        out(c.bytes(uids.claim(itemUid(guid, record.length(Guid::GUID), c, index++))));
    }
}

// Everything a writer hands its sink, in one array (for tests and small files).
QByteArray collectedText(const std::function<void(const TextSink&)>& write);

} // namespace er
