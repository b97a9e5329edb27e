// What the contact, event, task and note decoders make of the described
// databases fields*.db.txt (which tag fills which field, in which form) and
// decoded*.db.txt (damaged and odd tables, flags, counting): every field
// present or with a length, and the record's fixed fields, one section per
// record of the golden file decoded.txt.

#include "PimGolden.h"

#include "archive/ScanState.h"

using namespace er;

namespace {

// Each field up to `last` that is present or has a length: its bytes (as
// text when printable) and its length.
template <typename View, typename Field>
QStringList fieldLines(const View& v, Field last)
{
    QStringList lines;
    for (int f = 0; f <= int(last); ++f) {
        const QByteArray bytes = v.field(Field(f)).value_or("(absent)");
        const bool printable = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= ' ' && c < 127; });
        if (v.has(Field(f)) || v.length(Field(f)) != 0)
            lines << QStringLiteral("field %1 [%2]: %3").arg(f).arg(v.length(Field(f))).arg(QString::fromLatin1(printable ? bytes : "0x" + bytes.toHex()));
    }
    return lines;
}

template <std::size_t N>
QString hex(const std::optional<std::array<quint8, N>>& bytes)
{
    return bytes ? QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes->data()), int(N)).toHex()) : QStringLiteral("-");
}

} // namespace

TEST(PimDecoders, FieldsOfEveryFormDamagedTablesFlagsAndCounts)
{
    Golden golden("decoded.txt");
    for (const char* name : {"decoded.db.txt", "decoded-2004.db.txt", "fields.db.txt", "fields-2004.db.txt"}) {
        ScanState state;
        scanDescribed(name, state);
        const QByteArray db = name;
        addEach(golden, "contact in " + db, state.contacts, [](ContactView c) {
            return fieldLines(c, ContactField::Interests) << QStringLiteral("id %1%2").arg(c->ContactID).arg(isUsableContact(c) ? ", counted" : "");
        });
        addEach(golden, "event in " + db, state.events, [](EventView e) {
            return fieldLines(e, EventField::GUID) << QStringLiteral("zone id %1, alarm %2, recurring %3").arg(e->TimeZoneID).arg(e->HasAlarm).arg(e->IsRecurring)
                                                << "start " + hex(e->StartTime) + ", end " + hex(e->EndTime) + ", start 2004 " + hex(e->StartTime2004);
        });
        addEach(golden, "task in " + db, state.tasks, [](TaskView t) {
            return fieldLines(t, TaskField::Property0B05) << QStringLiteral("priority %1 [%2], reminder %3").arg(t->Priority).arg(t->PriorityLength).arg(t->HasReminder);
        });
        addEach(golden, "note in " + db, state.notes, [](NoteView n) {
            return fieldLines(n, NoteField::GUID) << (n->StampTime ? QStringList{"stamp " + hex(n->StampTime)} : QStringList());
        });
        golden.add("counted in " + db, QStringLiteral("contacts %1, events %2, tasks %3, notes %4").arg(state.contactCount)
                   .arg(state.eventCount).arg(state.taskCount).arg(state.noteCount).toUtf8());
    }
}
