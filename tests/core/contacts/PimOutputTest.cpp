// What the contact, event, task and note writers and previews make of the
// records of the described databases in tests/data/golden/pim-items, as whole
// texts compared with the golden files beside them; the portable files are
// also read back by the independent readers.

#include "../PythonCheck.h"
#include "../TestFiles.h"
#include "PimGolden.h"

#include "PimBlocks.h"

#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "calendar/CalendarExport.h"
#include "calendar/CalendarPreview.h"
#include "calendar/PortableICalendar.h"
#include "calendar/TaskExport.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactPreview.h"
#include "contacts/PortableVCard.h"
#include "format/ByteOrder.h"
#include "notes/NoteExport.h"
#include "notes/NotePreview.h"
#include "output/ItemFiles.h"

#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

using namespace er;
using namespace testdb;

namespace {

// The portable files, whose lines must each end in CR LF, hold at most 75
// octets and be valid UTF-8 by themselves (folding never splits a character).
void expectContentLines(const QByteArray& file)
{
    for (const QByteArray& line : ertest::crlfLines(file)) {
        EXPECT_FALSE(line.contains('\r'));
        EXPECT_LE(line.size(), 75) << line.constData();
        EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line) << line.toHex().constData();
    }
}

QString writtenFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    ertest::writeFile(dir.filePath(name), bytes);
    return dir.filePath(name);
}

} // namespace

TEST(BundleItems, WholeFilesOfEveryKindInBothForms)
{
    Golden golden("bundle-items.txt");
    ScanState states[2];
    for (const bool form2004 : {false, true}) {
        ScanState& state = states[form2004];
        scanDescribed(form2004 ? "bundle-2004.db.txt" : "bundle.db.txt", state);
        // The host's offsets each event is written at, in file order; the others at +00:00.
        const QList<QList<int>> offsets = form2004 ? QList<QList<int>>{{0}, {-5 * 3600, 19800}} : QList<QList<int>>{{19800, -12600}};
        const QByteArray form = form2004 ? " 2004" : " 2008";
        addEach(golden, "contact" + form, state.contacts, [form2004](ContactView c) { return contactVCard(c, form2004); });
        for (int i = 0; i < int(state.events.size()); ++i)
            for (const int offset : offsets.value(i, {0}))
                golden.add("event" + form + " #" + QByteArray::number(i + 1) + " at " + QByteArray::number(offset),
                           eventICalendarText(state.events[i], form2004, offset));
        addEach(golden, "task" + form, state.tasks, [form2004](TaskView t) { return taskICalendarText(t, form2004); });
        addEach(golden, "note" + form, state.notes, noteICalendar);
    }

    // The 2004 form suits a strict reader throughout.
    ERTEST_REQUIRE_PYTHON("vobject");
    QTemporaryDir dir;
    const QJsonObject card = ertest::readBack("vcard", {writtenFile(dir, "2004.vcf", contactVCard(states[1].contacts[0], true))})
                                 .at(0)["cards"][0].toObject();
    EXPECT_EQ(card["n"][0]["value"].toVariant().toStringList(), QStringList({"LastName", "FirstName", "", "Title", "Suffix"}));
    EXPECT_EQ(card["email"].toArray().size() + card["tel"].toArray().size(), 13 + 14);
}

TEST(BundleItems, WritersNameEveryItemReportStopAndCountFailures)
{
    const struct {
        const char* dir;
        const char* status;
        void (*save)(const ScanState&, SaveContext&);
    } writers[] = {
        {"/Contacts", "Saving Contacts Items...", [](const ScanState& s, SaveContext& c) { writeContactFiles(s.contacts, c); }},
        {"/Calendar", "Saving Calendar Items...", [](const ScanState& s, SaveContext& c) { writeEventFiles(s.events, c); }},
        {"/Tasks", "Saving Task Items...", [](const ScanState& s, SaveContext& c) { writeTaskFiles(s.tasks, c); }},
        {"/Notes", "Saving Note Items...", [](const ScanState& s, SaveContext& c) { writeNoteFiles(s.notes, c); }}};
    ScanState state;
    scanDescribed("writers.db.txt", state);
    for (const auto& w : writers) {
        SCOPED_TRACE(w.dir);
        QTemporaryDir dir;
        const QString out = bundlePath(dir.path()) + w.dir, noGuid(26, 'A');
        QStringList statuses;
        std::atomic<bool> stop{false};
        auto run = [&](bool stopAtFirst) {
            statuses.clear();
            SaveContext context(dir.path());
            context.hooks.stop = &stop;
            context.hooks.status = [&](const QString& text) {
                statuses << text;
                stop = stopAtFirst;
            };
            w.save(state, context);
            return context.failures.count();
        };
        auto files = [&] { return QDir(out).entryList(QDir::Files, QDir::Name); };

        // Two items without GUID keep both their files.
        ASSERT_TRUE(QDir().mkpath(out));
        EXPECT_EQ(run(false), 0);
        EXPECT_EQ(statuses, QStringList({w.status, w.status, w.status}));
        EXPECT_EQ(files(), QStringList({noGuid, noGuid + "-2", guidFileName(guidBytes(0x40))}));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid).contains("First"));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid + "-2").contains("Second"));

        // A stop during the first item: that file is finished, no other begun.
        ASSERT_TRUE(QDir(out).removeRecursively() && QDir().mkpath(out));
        EXPECT_EQ(run(true), 0);
        EXPECT_EQ(files(), QStringList({noGuid}));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid).endsWith("\r\n"));

        // A regular file where the directory belongs: every item is a failure.
        stop = false;
        ASSERT_TRUE(QDir(out).removeRecursively() && QFile(out).open(QIODevice::WriteOnly));
        EXPECT_EQ(run(false), 3);
    }
}

TEST(Previews, LinesRowsAndKeysOfEveryKind)
{
    // Dates use the default locale's month names: pinned to English.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ScanState state;
    scanDescribed("previews.db.txt", state);
    Golden golden("previews.txt");
    addEach(golden, "contact", state.contacts, [](ContactView c) { return contactPreviewLines(c) << contactRowText(c) << itemKeyText(c); });
    addEach(golden, "event", state.events, [](EventView e) { return eventPreviewLines(e) << eventRowText(e) << itemKeyText(e); });
    addEach(golden, "task", state.tasks, [](TaskView t) { return taskPreviewLines(t) << taskRowText(t) << itemKeyText(t); });
    addEach(golden, "note", state.notes, [](NoteView n) { return notePreviewLines(n) << noteRowText(n) << itemKeyText(n); });
    QLocale::setDefault(saved);
}

TEST(PortableItems, ContactsReadBackWithEveryValue)
{
    ScanState state;
    scanDescribed("contacts.db.txt", state);
    const QByteArray file = contactsVCardFile(state);
    EXPECT_EQ(contactsVCardFile(ScanState()), QByteArray());
    expectContentLines(file);
    Golden("contacts.txt").add("contacts.vcf", file);

    // Every value of the first card comes back as stored, each exactly once
    // (the formatted name joins the first and last name).
    ERTEST_REQUIRE_PYTHON("vobject");
    QTemporaryDir dir;
    const QJsonArray cards = ertest::readBack("vcard", {writtenFile(dir, "contacts.vcf", file)}).at(0)["cards"].toArray();
    ASSERT_EQ(cards.size(), 9);
    QStringList values;
    const QJsonObject card = cards.at(0).toObject();
    for (auto p = card.begin(); p != card.end(); ++p)
        for (const QJsonValue o : p.value().toArray())
            values << (o["value"].isArray() ? o["value"].toVariant().toStringList() : QStringList{o["value"].toString()});
    const auto text = [&state](ContactField f) { return readBackText(state.contacts[0], f); };
    for (int f = int(ContactField::FirstName); f <= int(ContactField::Interests); ++f)
        EXPECT_TRUE(!state.contacts[0].has(ContactField(f)) || values.count(text(ContactField(f))) == 1) << f;
    EXPECT_TRUE(values.contains(text(ContactField::FirstName) + ' ' + text(ContactField::LastName)));
}

TEST(PortableItems, CalendarAndNotesReadBackWithEveryText)
{
    ScanState state, old, west;
    scanDescribed("portable.db.txt", state);
    scanDescribed("portable-2004.db.txt", old);
    scanDescribed("portable-2004-west.db.txt", west);
    const QByteArray calendar = calendarICalendarFile(state, 3600), notes = notesICalendarFile(state);
    const std::pair<const char*, QByteArray> files[] = {
        {"calendar.ics", calendar}, {"notes.ics", notes}, {"calendar.ics 2004 at +0100", calendarICalendarFile(old, 3600)},
        {"notes.ics 2004", notesICalendarFile(old)}, {"calendar.ics 2004 at -0500", calendarICalendarFile(west, -5 * 3600)},
        {"calendar.ics of nothing", calendarICalendarFile(ScanState(), 0)}};
    Golden golden("calendar.txt");
    for (const auto& [name, file] : files) {
        expectContentLines(file);
        golden.add(name, file);
    }

    // A derived UID follows the event's content and place, not the tasks'.
    for (const QByteArray& uid : calendarICalendarFile(state.events, TaskStore(), false, 3600).split('\n'))
        EXPECT_TRUE(!uid.startsWith("UID:") || calendar.contains(uid)) << uid.constData();

    // The reader finds every item with one UID and one DTSTAMP, and every text as stored.
    ERTEST_REQUIRE_PYTHON("icalendar");
    QTemporaryDir dir;
    const QJsonArray read = ertest::readBack("ical", {writtenFile(dir, "calendar.ics", calendar), writtenFile(dir, "notes.ics", notes)});
    QMap<QString, QList<QMap<QString, QString>>> items; // kind, then each item's property values
    for (const QJsonValue file : read)
        for (const QJsonValue c : file["calendar"]["components"].toArray()) {
            EXPECT_TRUE(c["errors"].toArray().isEmpty()) << QJsonDocument(c.toObject()).toJson().constData();
            QMap<QString, QString> props;
            for (const QJsonValue p : c["props"].toArray()) {
                EXPECT_FALSE((p["name"] == "UID" || p["name"] == "DTSTAMP") && props.contains(p["name"].toString()));
                props[p["name"].toString()] = p["value"].toVariant().toString();
            }
            EXPECT_TRUE(c["name"] == "VTIMEZONE" || (props.contains("UID") && props.contains("DTSTAMP")));
            items[c["name"].toString()] << props;
        }
    // A zoned time reads as the instant it stands for, also under the rules before 2007.
    EXPECT_EQ(items["VEVENT"].value(5)["DTSTART"], "20080507T100000?Europe/Berlin=20080507T080000Z");
    EXPECT_EQ(items["VEVENT"].value(17)["DTSTART"], "20060401T120000?America/New_York=20060401T170000Z");
    EXPECT_EQ(items["VEVENT"].value(19)["DTSTART"], "20080507T100000?Asia/Kolkata=20080507T043000Z");
    const auto expectTexts = [&items](const QString& kind, const auto& store, const QList<QPair<QString, int>>& props) {
        ASSERT_EQ(items[kind].size(), int(store.size())) << kind.toStdString();
        using Field = typename std::decay_t<decltype(store)>::FieldId;
        for (int i = 0; i < items[kind].size(); ++i)
            for (const auto& [name, field] : props)
                EXPECT_EQ(items[kind][i][name].toStdString(), readBackText(store[i], Field(field)).toStdString()) << i;
    };
    expectTexts("VEVENT", state.events, {{"SUMMARY", int(EventField::Summary)}, {"LOCATION", int(EventField::Location)}, {"DESCRIPTION", int(EventField::Description)}});
    expectTexts("VTODO", state.tasks, {{"SUMMARY", int(TaskField::TaskName)}, {"DESCRIPTION", int(TaskField::Note)}});
    expectTexts("VJOURNAL", state.notes, {{"SUMMARY", int(NoteField::Summary)}, {"DESCRIPTION", int(NoteField::Description)}});
}

TEST(PortableItems, RecurrenceRulesAndStoredDatesAreValidOrKeptAside)
{
    // Each rule as written after a start of each form, at the host's +01:00
    // or in Europe/Berlin; nothing after the form when it is not a valid
    // rule. UNTIL takes the form of the start, in UTC for a zoned one.
    Golden golden("rules-and-dates.txt");
    const char* rules[] = {"FREQ=WEEKLY;INTERVAL=1;BYDAY=FR", "freq=monthly;bymonthday=-1;count=12",
        "FREQ=YEARLY;BYMONTH=2;BYDAY=-1SU,2MO;WKST=MO", "FREQ=DAILY;UNTIL=20081231T230000Z", "FREQ=DAILY;UNTIL=20081231",
        "FREQ=DAILY;UNTIL=20080701T120000", "FREQ=DAILY;UNTIL=20080701", "", "INTERVAL=2", "FREQ=FORTNIGHTLY",
        "FREQ=DAILY;COUNT=3;UNTIL=20081231", "FREQ=DAILY;FREQ=WEEKLY", "FREQ=DAILY;COUNT=0", "FREQ=DAILY;UNTIL=20081332",
        "FREQ=WEEKLY;BYDAY=XX", "FREQ=MONTHLY;BYMONTHDAY=0", "FREQ=YEARLY;BYMONTH=13", "FREQ=DAILY;X-NAME=1",
        "FREQ=DAILY\r\nDTSTART:20000101"};
    for (const QByteArray rule : rules) {
        QStringList forms;
        for (const auto& [name, form] : {std::pair{"date", StartForm::Date}, {"floating", StartForm::Floating}, {"utc", StartForm::Utc}, {"zoned", StartForm::Zoned}})
            forms << name + QString::fromLatin1(" " + validRecurrenceRule(rule, form, 3600, QTimeZone("Europe/Berlin")));
        golden.add("rule " + rule.toPercentEncoding(";=,"), forms);
    }

    // A stored date becomes a vCard date only when its order is certain.
    QStringList dates;
    for (const char* text : {"1970-05-07", " 1970/5/7 ", "1970.05.07", "19700507", "1970-05-07T00:00:00Z", "7.5.1970", "25/12/1999",
                             "12/25/1999", "5/7/1970", "1970-02-30", "1970-05/07", "May 7, 1970", ""})
        dates << QStringLiteral("'%1' %2").arg(text, portableDate(QString::fromLatin1(text)).toString(Qt::ISODate));
    golden.add("dates", dates);
}
