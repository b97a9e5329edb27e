// What the contact, event, task and note writers and previews make of
// builder-made records, as whole texts compared with the stored copies in
// tests/data/golden/pim-items; the portable files are also read back by the
// independent readers. ER_UPDATE_GOLDEN=1 in the environment stores what the
// code produces instead (review the diff).

#include "../PythonCheck.h"
#include "../TestFiles.h"

#include "PimBlocks.h"
#include "RecordDraft.h"

#include "archive/BlockScanner.h"
#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "calendar/CalendarExport.h"
#include "calendar/CalendarPreview.h"
#include "calendar/PortableICalendar.h"
#include "calendar/TaskExport.h"
#include "contacts/ContactExport.h"
#include "contacts/ContactPreview.h"
#include "contacts/PortableVCard.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "notes/NoteExport.h"
#include "notes/NotePreview.h"
#include "output/ItemFiles.h"

#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimeZone>

using namespace er;
using namespace testdb;

namespace {

// Named texts, each under a "=== name" line, compared with (or stored as)
// one golden file; a difference shows as a diff of the lines.
class Golden {
public:
    explicit Golden(const char* file) : m_file(file) {}
    ~Golden()
    {
        QFile f(QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../data/golden/pim-items/") + m_file));
        if (qEnvironmentVariableIsSet("ER_UPDATE_GOLDEN"))
            EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(m_text) == m_text.size()) << m_file;
        else
            EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "(missing)", m_text.toStdString()) << m_file;
    }
    void add(const QByteArray& name, const QByteArray& text) { m_text += "=== " + name + '\n' + text + '\n'; }
    void add(const QByteArray& name, const QStringList& lines) { add(name, lines.join('\n').toUtf8()); }

private:
    const char* m_file;
    QByteArray m_text;
};

// The portable files, whose lines must each end in CR LF, hold at most 75
// octets and be valid UTF-8 by themselves (folding never splits a character).
void expectContentLines(const QByteArray& file)
{
    ASSERT_TRUE(file.isEmpty() || file.endsWith("\r\n"));
    EXPECT_FALSE(file.startsWith("\xEF\xBB\xBF"));
    for (QByteArray line : file.split('\n').mid(0, file.count('\n'))) {
        ASSERT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
        EXPECT_FALSE(line.contains('\r'));
        EXPECT_LE(line.size(), 75) << line.constData();
        QTextCodec::ConverterState state;
        QTextCodec::codecForMib(106)->toUnicode(line.constData(), line.size(), &state);
        EXPECT_EQ(state.invalidChars + state.remainingChars, 0) << line.toHex().constData();
    }
}

QString writtenFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return f.fileName();
}

QString lf(QString s) { return s.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n'); }

// Every contact field, the 8-bit ones (e-mail and messaging addresses) with
// a terminating zero.
const struct {
    const char* name;
    ContactField field;
    bool eightBit;
} kEveryField[] = {
#define W(n) {#n, ContactField::n, false},
#define E(n) {#n, ContactField::n, true},
    W(FirstName) W(LastName) W(Title) W(Suffix) W(Nickname) W(Company) W(JobTitle) W(Department) W(WorkStreet)
    W(WorkCity) W(WorkState) W(WorkZip) W(WorkCountry) W(WorkURL) W(HomeStreet) W(HomeCity) W(HomeState) W(HomeZip)
    W(HomeCountry) W(HomeURL) W(HomePhone1) W(HomePhone2) W(HomeFax) W(WorkPhone1) W(WorkPhone2) W(WorkFax) W(Pager)
    W(MobilePhone) W(MainPhone) W(AssistantPhone) W(CustomPhone1) W(CustomPhone2) W(CustomPhone3) W(CustomPhone4)
    W(Custom1) E(Email1) E(Email2) E(Email3) E(Email4) E(Email5) E(Email6) E(Email7) E(Email8) E(Email9) E(Email10)
    E(Email11) E(Email12) E(Email13) E(IM1) E(IM2) E(IM3) E(IM4) E(IM5) E(IM6) E(IM7) E(IM8) E(IM9) E(IM10) E(IM11)
    E(IM12) E(IM13) W(Custom2) W(Custom3) W(Custom4) W(Custom5) W(Custom6) W(Custom7) W(Custom8) W(CustomDate1)
    W(CustomDate2) W(Birthday) W(Anniversary) W(Notes) W(Spouse) W(Child1) W(Child2) W(Child3) W(Age)
    W(AstrologySign) W(BloodType) W(Interests)
#undef W
#undef E
};

// Present with these bytes and this stored length.
template <typename Draft>
void put(Draft& d, typename Draft::Field f, const QByteArray& bytes, quint32 length)
{
    d.set(f, bytes), d.setLength(f, length);
}

// Wide text as decoded: UTF-8, its length counting characters and the terminator.
void setWide(ContactDraft& c, ContactField f, const QString& text) { put(c, f, text.toUtf8(), quint32(text.size() + 1)); }

ContactDraft contact(std::initializer_list<std::pair<ContactField, const char*>> fields, bool guid = true)
{
    ContactDraft c;
    if (guid)
        c.set(ContactField::GUID, guidBytes(0)), c.setLength(ContactField::GUID, 16);
    for (const auto& [field, text] : fields)
        setWide(c, field, QString::fromUtf8(text));
    return c;
}

// Every field holding `text` of its name.
ContactDraft everyField(QString (*text)(const char*))
{
    ContactDraft c = contact({});
    for (const auto& f : kEveryField)
        f.eightBit ? put(c, f.field, text(f.name).toUtf8() + '\0', quint32(text(f.name).toUtf8().size() + 1))
                   : setWide(c, f.field, text(f.name));
    return c;
}

QString plainName(const char* name) { return QString::fromLatin1(name); }
// A value every escaping rule applies to.
QString hardName(const char* name) { return QString::fromLatin1(name) + ", a; b\\c\r\nd\re\nf"; }

void addBlock(ScanState& state, BlockTag kind, const QList<Property>& props)
{
    QByteArray (*block)(const QList<Property>&, std::optional<quint32>) =
        kind == BlockTag::CLRC ? eventBlock : kind == BlockTag::TSRC ? taskBlock : kind == BlockTag::NTRC ? noteBlock : contactBlock;
    decodeBlock(state, kind, BlockView::whole(block(props, {})));
}

template <typename Store>
typename Store::View decoded(ScanState& state, BlockTag kind, Store ScanState::*store, const QList<Property>& props)
{
    addBlock(state, kind, props);
    return (state.*store).back();
}

Property start(int y, int mo, int d, int h = 0, int mi = 0)
{
    return prop(kEventStartTag, calendarTime(calendarStamp(y, mo, d, h, mi)));
}
Property end(int y, int mo, int d, int h = 0, int mi = 0)
{
    return prop(kEventEndTag, calendarTime(calendarStamp(y, mo, d, h, mi)));
}
Property zone(const QByteArray& ianaName, const QByteArray& windowsName, quint32 id = 1)
{
    return prop(kEventTimeZoneTag, timeZone2008(id, ianaName, windowsName));
}
const Property kAllDay = prop(kEventAllDayTag, QByteArray(1, '\1'));
const Property kOn = prop(kEventRecurringTag, QByteArray(1, '\1'));
const Property kAlarmOn = prop(kEventHasAlarmTag, QByteArray(1, '\1'));

QByteArray rules(const QList<QByteArray>& texts)
{
    QByteArray data;
    for (const QByteArray& t : texts)
        data += QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(quint32(t.size())) + be32(0) + t;
    return data + be32(0);
}

QByteArray alarmData(const QByteArray& description, const QByteArray& trigger)
{
    return QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(quint32(description.size())) + be32(0) + description
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + trigger.leftJustified(12, '\0')
        + QByteArray("\x04\x01\x91\x00\x1E", 5) + be32(7) + be32(0) + "DISPLAY" + be32(0);
}

// Texts that every escaping and folding rule applies to: plain, accented,
// CJK, long, the escaped characters, long runs of two- and three-byte ones.
QList<QStringList> hardTexts()
{
    QString longText;
    const QString pieces[] = {QString::fromUtf8("会議"), ",", ";", "\\", "\r", QString::fromUtf8("é"), "x y", "\r\n"};
    for (int i = 0; longText.size() < 500; ++i)
        longText += pieces[i % 8];
    longText.truncate(500);
    return {{"Project meeting", "Room 12", "Agenda: budget"},
            {QString::fromUtf8("Réunion chez Ørsted"), QString::fromUtf8("Straße 5, Århus"), QString::fromUtf8("Café, crème; brûlée")},
            {QString::fromUtf8("会議室の予定"), QString::fromUtf8("東京本社 三階"), longText},
            // Backslashes only before other characters: see read_back.py.
            {",;\\ ,;\\", QString::fromUtf8("a;b,c\\d\re"), ";;;,,,\\x\r\r\n\\ y\\"},
            {QString(76, QChar(0x00E9)), QString(40, QChar(0x4E2D)) + "a", QString(300, ',')}};
}

} // namespace

TEST(BundleItems, WholeFilesOfEveryKindInBothForms)
{
    Golden golden("bundle-items.txt");
    for (const bool form2004 : {false, true}) {
        const QByteArray form = form2004 ? " 2004" : " 2008";
        golden.add("contact every field" + form, contactVCard(everyField(plainName), form2004));
        ContactDraft ann = contact({{ContactField::FirstName, "Ann"}, {ContactField::LastName, "Lee"}});
        if (form2004) // the 2004 form's text after its FF FF marker: no terminator
            ann.setLength(ContactField::FirstName, 3), ann.setLength(ContactField::LastName, 3);
        ann.set(ContactField::Email1, QByteArray("ann@example.com\0", 16)), ann.setLength(ContactField::Email1, 16);
        golden.add("contact Ann Lee" + form, contactVCard(ann, form2004));
        // A last name only; a city without a street gives no work address, any home part the home line.
        golden.add("contact last name and cities" + form,
                   contactVCard(contact({{ContactField::LastName, "Lee"}, {ContactField::Company, "Acme"},
                                         {ContactField::MobilePhone, "555"}, {ContactField::WorkCity, "Springfield"},
                                         {ContactField::HomeCity, "Springfield"}, {ContactField::HomeCountry, "USA"}}, false),
                                form2004));
        // A department without a company: no org line. Street-only addresses.
        golden.add("contact department and streets" + form,
                   contactVCard(contact({{ContactField::FirstName, "Ann"}, {ContactField::LastName, "Lee"},
                                         {ContactField::Title, "Dr"}, {ContactField::Suffix, "Jr"},
                                         {ContactField::Department, "Sales"}, {ContactField::WorkStreet, "1 Main St"},
                                         {ContactField::HomeStreet, "2 Elm St"}}, false),
                                form2004));
    }

    ScanState state;
    auto event = [&state](const QList<Property>& props, bool office2004, int offset) {
        state.office2004 = office2004;
        return eventICalendarText(decoded(state, BlockTag::CLRC, &ScanState::events, props), office2004, offset);
    };
    const QList<Property> full2008{
        prop(kEventGuidTag, guidBytes(0)), prop(kEventUuidTag, "6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012"),
        prop(kEventStampTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
        prop(kEventModifiedTag, macTime(macStamp(2008, 5, 6, 23, 59, 59))), wideProp(kEventSummaryTag, "Project meeting"),
        markedProp(kEventDescriptionTag, QByteArray("Agenda\0", 7)), markedProp(kEventLocationTag, QByteArray("Room 12\0", 8)),
        prop(kEventOrganizerTag, QByteArray("ann.lee@example.com\0", 20)), start(2008, 5, 7, 10), end(2008, 5, 7, 11, 30),
        prop(kEventAllDayTag, QByteArray(1, '\0')), zone("Europe/Berlin", "W. Europe Standard Time", 1234567)};
    // Stored wall-clock times: the host's offset shows only in the time-zone block.
    golden.add("event 2008 at +0530", event(full2008, false, 19800));
    golden.add("event 2008 at -0330", event(full2008, false, -12600));
    // No zone text 2: no zoned times; zone id 0 and missing stamps keep their labels, empty.
    golden.add("event 2008 all-day, zone text of 99", event({kAllDay, start(2008, 5, 12), zone(QByteArray(99, 'z'), "", 0)}, false, 0));
    golden.add("event 2008 zone text of 100", event({zone(QByteArray(100, 'z'), "Zone", 5)}, false, 0));
    // Texts keep every character; inner zero bytes are dropped.
    for (const bool form2004 : {false, true})
        golden.add(form2004 ? "event texts 2004" : "event texts 2008",
                   event({wideProp(kEventLocationTag, QString::fromUtf8("Salle Ørsted")),
                          markedProp(kEventSummaryTag, QByteArray("Re\0view\0", 8))}, form2004, 0));
    const QList<Property> full2004{
        prop(kEventGuidTag, guidBytes(0)), prop(kEventStampTime2004Tag, macTime(macStamp(2004, 2, 29, 12))),
        // Stored in UTC: the host's offset moves them, here back over the leap day's midnight.
        prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 3, 0))), prop(kEventEnd2004Tag, be32(calendarStamp(2004, 3, 1, 4, 0))),
        prop(kEventTimeZoneTag, timeZone2004(7, "US/Eastern")), wrappedProp(kEventSummaryWrappedTag, "Weekly review"),
        wrappedProp(kEventDescriptionWrappedTag, QByteArray("Status\0", 7)),
        wrappedProp(kEventLocationWrappedTag, QByteArray("Room 12\0", 8)), prop(kEventOrganizerTag, "bob@example.org"),
        kAllDay, kOn, prop(kEventRecurrenceTag, rules({"FREQ=WEEKLY;INTERVAL=1;BYDAY=FR"})), kAlarmOn,
        prop(kEventAlarmTag, alarmData("Reminder", "-PT15M"))};
    golden.add("event 2004 at -0500", event(full2004, true, -5 * 3600));
    golden.add("event 2004 at +0530", event(full2004, true, 19800));
    // Every rule on one line, up to 100 bytes each; the line ends even when
    // no rule fits. Alarm values that do not fit leave their labels empty.
    const QByteArray longAlarm = QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(31) + be32(0) + QByteArray(31, 'd') + be32(0)
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + QByteArray("-PT5M\0\0\0\0\0\0\0", 12);
    const std::pair<const char*, QList<Property>> edges[] = {
        {"two rules", {kOn, prop(kEventRecurrenceTag, rules({"FREQ=DAILY", "COUNT=3"}))}},
        {"a rule of 100 bytes", {kOn, prop(kEventRecurrenceTag, rules({QByteArray(100, 'x')}))}},
        {"a rule of 101 bytes", {kOn, prop(kEventRecurrenceTag, rules({QByteArray(101, 'x')}))}},
        {"no rule in the data", {kOn, prop(kEventRecurrenceTag, "no rule here")}},
        {"not recurring", {prop(kEventRecurrenceTag, rules({"FREQ=DAILY"}))}},
        {"an alarm description over 30 bytes", {kAlarmOn, prop(kEventAlarmTag, longAlarm)}},
        {"an alarm marker at the data's end", {kAlarmOn, prop(kEventAlarmTag, QByteArray("\x04\x01\x91\x00\x1E", 5))}}};
    for (const auto& [name, props] : edges)
        golden.add(QByteArray("event 2004 ") + name, event(props, true, 0));

    auto task = [&state](const QList<Property>& props, bool form2004) {
        state.office2004 = form2004;
        return taskICalendarText(decoded(state, BlockTag::TSRC, &ScanState::tasks, props), form2004);
    };
    for (const bool form2004 : {false, true}) {
        QList<Property> props{prop(kTaskGuidTag, guidBytes(0)), prop(kTaskStampTimeTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
                              wideProp(kTaskNameTag, "Buy milk"), wideProp(kTaskNoteTag, "Two litres\rsemi-skimmed"),
                              prop(kTaskDueDateTag, macTime(3000000000u)), prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 1))),
                              form2004 ? prop(kTaskPriority2004Tag, be32(3)) : prop(kTaskPriorityTag, be16(3)),
                              prop(kTaskHasReminderTag, QByteArray(1, '\1'))};
        golden.add(form2004 ? "task 2004" : "task 2008", task(props, form2004));
        props << prop(kTaskReminderDateTag, macTime(macStamp(1999, 1, 23, 18, 0)));
        golden.add(form2004 ? "task 2004 with its reminder date" : "task 2008 with its reminder date", task(props, form2004));
    }
    golden.add("task with a name only", task({wideProp(kTaskNameTag, "Bare")}, false));
    golden.add("task with 8-bit texts", task({markedProp(kTaskNameTag, QByteArray("Call\0", 5)),
                                              markedProp(kTaskNoteTag, QByteArray("One line\0", 9))}, false));
    for (qint32 priority = 0; priority <= 7; ++priority) {
        TaskDraft t;
        t->Priority = priority;
        golden.add("task of priority " + QByteArray::number(priority), taskICalendarText(t, false));
    }

    auto note = [&state](const QList<Property>& props) {
        return noteICalendar(decoded(state, BlockTag::NTRC, &ScanState::notes, props));
    };
    golden.add("note", note({wideProp(kNoteSummaryTag, "Shopping list"), wideProp(kNoteDescriptionTag, "a\rb"),
                             prop(kNoteGuidTag, guidBytes(0xA0))}));
    golden.add("note with 8-bit texts", note({markedProp(kNoteSummaryTag, QByteArray("Ideas\0", 6)),
                                              markedProp(kNoteDescriptionTag, QByteArray("x\0y\r\0", 5))}));
    // GUID bytes that lay past the block's end read as zeros.
    NoteDraft cut;
    cut.set(NoteField::GUID, QByteArray()), cut.setLength(NoteField::GUID, 16);
    golden.add("note with its GUID past the block", noteICalendar(cut));

    // The 2004 form suits a strict reader throughout.
    ERTEST_REQUIRE_PYTHON("vobject");
    QTemporaryDir dir;
    const QJsonObject card = ertest::readBack("vcard", {writtenFile(dir, "2004.vcf", contactVCard(everyField(plainName), true))})
                                 .at(0)["cards"][0].toObject();
    EXPECT_EQ(card["n"][0]["value"].toVariant().toStringList(), QStringList({"LastName", "FirstName", "", "Title", "Suffix"}));
    EXPECT_EQ(card["email"].toArray().size(), 13);
    EXPECT_EQ(card["tel"].toArray().size(), 14);
}

TEST(BundleItems, WritersNameEveryItemReportStopAndCountFailures)
{
    const struct {
        const char* dir;
        const char* status;
        BlockTag kind;
        quint32 titleTag;
        void (*save)(const ScanState&, SaveContext&);
    } writers[] = {
        {"/Contacts", "Saving Contacts Items...", BlockTag::CTRC, kFirstNameTag, [](const ScanState& s, SaveContext& c) { writeContactFiles(s.contacts, c); }},
        {"/Calendar", "Saving Calendar Items...", BlockTag::CLRC, kEventSummaryTag, [](const ScanState& s, SaveContext& c) { writeEventFiles(s.events, c); }},
        {"/Tasks", "Saving Task Items...", BlockTag::TSRC, kTaskNameTag, [](const ScanState& s, SaveContext& c) { writeTaskFiles(s.tasks, c); }},
        {"/Notes", "Saving Note Items...", BlockTag::NTRC, kNoteSummaryTag, [](const ScanState& s, SaveContext& c) { writeNoteFiles(s.notes, c); }}};
    for (const auto& w : writers) {
        SCOPED_TRACE(w.dir);
        QTemporaryDir dir;
        const QString out = bundlePath(dir.path()) + w.dir, noGuid(26, 'A');
        ScanState state;
        // A contact with nothing but a company is not written.
        if (w.kind == BlockTag::CTRC)
            addBlock(state, w.kind, {wideProp(kCompanyTag, "Acme")});
        for (const char* title : {"First", "Second", "Third"})
            addBlock(state, w.kind, title[0] == 'T' ? QList<Property>{wideProp(w.titleTag, title), prop(kEventGuidTag, guidBytes(0x40))}
                                                    : QList<Property>{wideProp(w.titleTag, title)});
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
    Golden golden("previews.txt");
    const ContactDraft every = everyField(plainName);
    golden.add("contact every field", contactPreviewLines(every));
    golden.add("contact no field", contactPreviewLines(ContactDraft()));
    // Each field has its own test: "present" shows even an empty text,
    // "non-empty" needs a stored length above 1, "non-zero" any.
    for (const quint32 length : {0u, 1u, 2u}) {
        ContactDraft c;
        for (const ContactField f : {ContactField::FirstName, ContactField::Custom1, ContactField::Title,
                                     ContactField::Custom7, ContactField::Custom5})
            put(c, f, "", length);
        golden.add("contact empty texts of stored length " + QByteArray::number(length), contactPreviewLines(c));
    }
    // Text ends at its first zero byte; text that is not UTF-8 is Mac Roman;
    // e-mail addresses 1 and 2 are cut to 254 characters, never inside a
    // surrogate pair, the others shown whole.
    ContactDraft text;
    put(text, ContactField::FirstName, QByteArray("Ann\0Junk", 8), 8), put(text, ContactField::LastName, "L\xc3\xa9\xff\xfe", 6);
    put(text, ContactField::Email1, QByteArray(300, 'a'), 301), put(text, ContactField::Email3, QByteArray(300, 'c'), 301);
    put(text, ContactField::Email2, QByteArray(253, 'b') + "\xf0\x9f\x98\x80" + "tail", 259);
    golden.add("contact text rules", contactPreviewLines(text));
    ContactDraft key = contact({{ContactField::FirstName, "Ann"}});
    golden.add("contact rows and keys", QStringList{contactRowText(ContactDraft()), itemKeyText(ContactDraft()),
                                                    contactRowText(key), contactRowText(every), itemKeyText(every)});
    key.set(ContactField::GUID, QByteArray()); // its bytes past the block's end: zeros
    golden.add("contact key past the block", QStringList{itemKeyText(key)});

    EventDraft e;
    put(e, EventField::Organizer, QByteArray("ann@example.org\0", 16), 16), put(e, EventField::Summary, "Review", 7);
    put(e, EventField::Location, QByteArray("Room 12\0", 8), 8), put(e, EventField::Description, "Bring notes", 12);
    const QByteArray startTime = calendarTime(calendarStamp(2008, 5, 7, 9, 30));
    e->StartTime.emplace(), e->EndTime.emplace(); // the end at stamp 0
    std::copy(startTime.begin(), startTime.begin() + 8, e->StartTime->begin());
    put(e, EventField::GUID, guidBytes(0), 16);
    golden.add("event", eventPreviewLines(e) << eventRowText(e) << itemKeyText(e));
    // The Office 2004 UTC times are not shown; the organizer went through a
    // 255-byte buffer: at most 254 characters.
    EventDraft few;
    put(few, EventField::Organizer, QByteArray(400, 'o'), 400), put(few, EventField::Summary, "Review", 7);
    few->StartTime2004.emplace(), few->EndTime2004.emplace();
    golden.add("event organizer cap and 2004 times", eventPreviewLines(few));
    golden.add("event nothing", eventPreviewLines(EventDraft()) << eventRowText(EventDraft()) << itemKeyText(EventDraft()));

    TaskDraft t;
    put(t, TaskField::TaskName, "Buy milk", 9);
    put(t, TaskField::StartDate, be32(macStamp(2008, 5, 1, 8)), 8);
    put(t, TaskField::DueDate, be32(3000000000u) + be32(0), 8);
    put(t, TaskField::ReminderDate, be32(macStamp(1999, 1, 23, 18)) + be32(0), 8);
    put(t, TaskField::Note, "Two litres\rsemi-skimmed", 24);
    t->Priority = 3;
    put(t, TaskField::GUID, guidBytes(1), 16);
    golden.add("task", taskPreviewLines(t) << taskRowText(t) << itemKeyText(t));
    for (const qint32 priority : {0, 1, 2, 4, 5, -1}) {
        TaskDraft p;
        p->Priority = priority;
        golden.add("task of priority " + QByteArray::number(priority), taskPreviewLines(p));
    }
    // A date needs its stamp's four bytes; one past the block's end shows stamp 0.
    TaskDraft dates;
    put(dates, TaskField::StartDate, be32(3000000000u), 3), put(dates, TaskField::DueDate, "\xb2\xd0", 2);
    put(dates, TaskField::ReminderDate, QByteArray(), 0);
    golden.add("task short dates", taskPreviewLines(dates));
    put(dates, TaskField::DueDate, QByteArray(), 8);
    golden.add("task due date past the block", taskPreviewLines(dates));

    NoteDraft n;
    golden.add("note nothing", notePreviewLines(n) << noteRowText(n));
    put(n, NoteField::Summary, "Shopping", 9), put(n, NoteField::Description, QByteArray("milk\rbread\0x", 12), 12);
    golden.add("note", notePreviewLines(n) << noteRowText(n));
    QLocale::setDefault(saved);
}

TEST(PortableItems, ContactsReadBackWithEveryValue)
{
    ScanState state;
    const ContactDraft hard = everyField(hardName);
    ContactDraft latin, cjk, noName, companyOnly, phoneOnly, noteOnly, twin, blank, guidOnly;
    setWide(latin, ContactField::FirstName, QString::fromUtf8("José")), setWide(latin, ContactField::LastName, QString::fromUtf8("Ørsted"));
    setWide(latin, ContactField::Nickname, QString::fromUtf8("Zoë, \"Z\"")), setWide(latin, ContactField::Birthday, "25/12/1999");
    setWide(latin, ContactField::Anniversary, "5/7/1970");
    setWide(cjk, ContactField::LastName, QString::fromUtf8("山田太郎"));
    setWide(cjk, ContactField::WorkStreet, QString::fromUtf8("1-2-3 丸の内;\n千代田区, 東京"));
    setWide(cjk, ContactField::Notes, hardTexts()[2][2]);
    noName.set(ContactField::Email2, QByteArray("solo@example.com\0", 17));
    noName.set(ContactField::FirstName, QByteArray("Jos\x8E")); // Mac Roman, not UTF-8
    noName.set(ContactField::LastName, QByteArray("L\x01" "ee\x7F\0junk", 9));
    setWide(companyOnly, ContactField::Company, "Acme, Inc.");
    setWide(phoneOnly, ContactField::Pager, "+1 555 0199"), setWide(phoneOnly, ContactField::Notes, "a\tb");
    setWide(noteOnly, ContactField::Notes, "just a note");
    twin.set(ContactField::GUID, guidBytes(0)), twin.setLength(ContactField::GUID, 16);
    twin.set(ContactField::Email1, "twin@example.com");
    // Blank text, an address past the block's end, a GUID alone: no card.
    setWide(blank, ContactField::Company, QString::fromUtf8(" \t\r\n\u3000"));
    blank.set(ContactField::Email1, QByteArray(""));
    guidOnly.set(ContactField::GUID, guidBytes(9)), guidOnly->ContactID = 7;
    appendDrafts(state.contacts, hard, latin, cjk, noName, blank, companyOnly, phoneOnly, guidOnly, noteOnly, twin, latin);
    const QByteArray file = contactsVCardFile(state);
    EXPECT_EQ(contactsVCardFile(state), file);
    EXPECT_EQ(contactsVCardFile(ScanState()), QByteArray());
    expectContentLines(file);
    Golden("contacts.txt").add("contacts.vcf", file);

    // Every value of the hard card comes back as written, each exactly once
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
    for (const auto& f : kEveryField)
        EXPECT_EQ(values.count(lf(hardName(f.name))), 1) << f.name;
    EXPECT_TRUE(values.contains(lf(hardName("FirstName") + ' ' + hardName("LastName"))));
}

TEST(PortableItems, CalendarAndNotesReadBackWithEveryText)
{
    const QList<QStringList> texts = hardTexts();
    ScanState state;
    auto event = [&state](const QList<Property>& props) { decoded(state, BlockTag::CLRC, &ScanState::events, props); };
    auto task = [&state](const QList<Property>& props) { decoded(state, BlockTag::TSRC, &ScanState::tasks, props); };
    auto note = [&state](const QList<Property>& props) { decoded(state, BlockTag::NTRC, &ScanState::notes, props); };
    for (const QStringList& t : texts) {
        event({wideProp(kEventSummaryTag, t[0]), wideProp(kEventLocationTag, t[1]), wideProp(kEventDescriptionTag, t[2]),
               start(2008, 5, 7, 10)});
        task({wideProp(kTaskNameTag, t[0]), wideProp(kTaskNoteTag, t[2])});
        note({wideProp(kNoteSummaryTag, t[1]), wideProp(kNoteDescriptionTag, t[2])});
    }
    // Times as stored: floating, in a zone known by either name or none, all-day dates with an exclusive end.
    const Property berlin = zone("Europe/Berlin", "W. Europe Standard Time");
    const QList<QList<Property>> times{
        {start(2008, 5, 7, 10), end(2008, 5, 7, 11, 30), berlin},
        {start(2008, 5, 7, 10), zone("", "Tokyo Standard Time")},
        {start(2008, 5, 7, 10), zone("Nowhere/Town", "W. Europe")},
        {start(2008, 5, 7, 10), end(2008, 5, 7, 11), zone("Mars/Olympus", "Olympus Mons")},
        {start(2008, 5, 7, 10), zone("../../../../usr/share/zoneinfo/UTC", "")}, // never a path
        {kAllDay, start(2008, 5, 12), end(2008, 5, 13), berlin},
        {kAllDay, start(2008, 5, 12), end(2008, 5, 13, 23, 59)},
        {kAllDay, start(2008, 12, 31)},
        {start(2008, 5, 7, 10), end(2008, 5, 7, 9)},
        {start(2008, 5, 7, 10), end(2008, 5, 7, 10)},
        {end(2008, 5, 7, 9)},
        {prop(kEventStampTag, macTime(macStamp(2008, 5, 2, 8, 15)))},
        {start(2006, 4, 1, 12), zone("", "Eastern")},
        {start(2009, 1, 5, 9), end(2009, 1, 5, 10), zone("", "W. Europe Standard Time")},
        {start(2008, 5, 7, 10), zone("Asia/Kolkata", "")},
        {start(2007, 6, 1, 9), zone("America/New_York", "")},
        {kAllDay, start(2003, 1, 1), zone("Europe/Lisbon", "")},
        // Recurrence: a valid rule, an invalid one kept aside, the rules after the first, data without a rule.
        {start(2008, 5, 9, 15), kOn, prop(kEventRecurrenceTag, rules({"FREQ=WEEKLY;BYDAY=FR"}))},
        {start(2008, 5, 9, 15), kOn, prop(kEventRecurrenceTag, rules({"FREQ=SOMETIMES;X"}))},
        {start(2008, 5, 9, 15), kOn, prop(kEventRecurrenceTag, rules({"FREQ=DAILY;COUNT=2", "FREQ=YEARLY"}))},
        {start(2008, 5, 9, 15), kOn, prop(kEventRecurrenceTag, "\x01\x02no rule")},
        {start(2008, 5, 9, 15), prop(kEventRecurrenceTag, rules({"FREQ=DAILY"}))},
        // Alarms: a trigger that is no duration, or no alarm flag: none.
        {wideProp(kEventSummaryTag, "Review"), start(2008, 5, 9, 15), kAlarmOn, prop(kEventAlarmTag, alarmData("Get ready", "-PT15M"))},
        {wideProp(kEventSummaryTag, "Review"), start(2008, 5, 9, 15), kAlarmOn, prop(kEventAlarmTag, alarmData("", "-P1DT2H"))},
        {start(2008, 5, 9, 15), kAlarmOn, prop(kEventAlarmTag, alarmData("x", "soon"))},
        {start(2008, 5, 9, 15), prop(kEventAlarmTag, alarmData("x", "-PT5M"))},
        // UIDs: a GUID twice, none twice; DTSTAMP from the modification, then the creation.
        {prop(kEventGuidTag, guidBytes(0x40)), prop(kEventStampTag, macTime(macStamp(2008, 5, 2, 8, 15)))},
        {prop(kEventGuidTag, guidBytes(0x40)), prop(kEventModifiedTag, macTime(macStamp(2008, 5, 2, 8, 15)))},
        {wideProp(kEventSummaryTag, "No GUID")},
        {wideProp(kEventSummaryTag, "No GUID")}};
    for (const QList<Property>& props : times)
        event(props);
    // Task reminders before the due date, after the start, else at their time; a start after the due date.
    const Property reminderOn = prop(kTaskHasReminderTag, QByteArray(1, '\1'));
    const Property reminder = prop(kTaskReminderDateTag, macTime(macStamp(2008, 5, 30, 9, 0)));
    task({wideProp(kTaskNameTag, "Pay"), reminderOn, reminder, prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1, 17, 0)))});
    task({reminderOn, reminder, prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 29)))});
    task({reminderOn, reminder});
    task({reminder, prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1)))});
    task({prop(kTaskStartDateTag, macTime(macStamp(2008, 6, 2))), prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1)))});
    task({prop(kTaskDueDateTag, macTime(0)), prop(kTaskGuidTag, guidBytes(0x40))}); // a zero stamp is no date
    note({prop(kNoteGuidTag, guidBytes(0xA0)), prop(kNoteStampTimeTag, macTime(macStamp(2008, 5, 2, 8, 15)))});

    // Office 2004: UTC times whatever zone is named; all-day dates from local
    // midnight stored in UTC; 8-bit text without its zero bytes, control
    // characters or Mac Roman bytes turned into replacement characters.
    ScanState old;
    old.office2004 = true;
    auto oldEvent = [&old](const QList<Property>& props) { decoded(old, BlockTag::CLRC, &ScanState::events, props); };
    oldEvent({prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 12, 0))), prop(kEventEnd2004Tag, be32(calendarStamp(2004, 3, 1, 13, 0))),
              prop(kEventTimeZoneTag, timeZone2004(4, "Europe/Berlin"))});
    oldEvent({kAllDay, prop(kEventStart2004Tag, be32(calendarStamp(2004, 7, 11, 22, 0))),
              prop(kEventEnd2004Tag, be32(calendarStamp(2004, 7, 12, 22, 0)))});
    oldEvent({wrappedProp(kEventSummaryWrappedTag, QByteArray("Re\0view\0", 8)), wrappedProp(kEventLocationWrappedTag, QByteArray("Room 7\0junk", 11))});
    oldEvent({wrappedProp(kEventSummaryWrappedTag, "Bell\x07\x1B[0m\tand\x7F tab"), wrappedProp(kEventDescriptionWrappedTag, "\x01\x02")});
    oldEvent({wrappedProp(kEventSummaryWrappedTag, "Treffen M\x9Fller"), wrappedProp(kEventLocationWrappedTag, "Caf\x8E"),
              wrappedProp(kEventDescriptionWrappedTag, "caf\xC3\xA9 stays UTF-8")});
    decoded(old, BlockTag::TSRC, &ScanState::tasks, {prop(kTaskNameTag, "\xFF\xFFM\x9Fller anrufen")});
    decoded(old, BlockTag::NTRC, &ScanState::notes, {prop(kNoteSummaryTag, "\xFF\xFFGr\xA4\x9A\xDB")});
    ScanState west;
    west.office2004 = true;
    decoded(west, BlockTag::CLRC, &ScanState::events, {kAllDay, prop(kEventStart2004Tag, be32(calendarStamp(2004, 2, 29, 5, 0)))});

    const QByteArray calendar = calendarICalendarFile(state, 3600), notes = notesICalendarFile(state);
    const QByteArray files[] = {calendar, notes, calendarICalendarFile(old, 3600), notesICalendarFile(old),
                                calendarICalendarFile(west, -5 * 3600), calendarICalendarFile(ScanState(), 0)};
    Golden golden("calendar.txt");
    const char* names[] = {"calendar.ics", "notes.ics", "calendar.ics 2004 at +0100", "notes.ics 2004",
                           "calendar.ics 2004 at -0500", "calendar.ics of nothing"};
    for (int i = 0; i < 6; ++i) {
        expectContentLines(files[i]);
        golden.add(names[i], files[i]);
    }
    EXPECT_EQ(calendarICalendarFile(state, 3600), calendar);

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
    ASSERT_EQ(items["VEVENT"].size(), texts.size() + times.size());
    ASSERT_EQ(items["VTODO"].size(), texts.size() + 6);
    ASSERT_EQ(items["VJOURNAL"].size(), texts.size() + 1);
    // A zoned time reads as the instant it stands for, also under the rules before 2007.
    EXPECT_EQ(items["VEVENT"][texts.size()]["DTSTART"], "20080507T100000?Europe/Berlin=20080507T080000Z");
    EXPECT_EQ(items["VEVENT"][texts.size() + 12]["DTSTART"], "20060401T120000?America/New_York=20060401T170000Z");
    EXPECT_EQ(items["VEVENT"][texts.size() + 14]["DTSTART"], "20080507T100000?Asia/Kolkata=20080507T043000Z");
    for (int i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items["VEVENT"][i]["SUMMARY"], lf(texts[i][0]));
        EXPECT_EQ(items["VEVENT"][i]["LOCATION"], lf(texts[i][1]));
        EXPECT_EQ(items["VEVENT"][i]["DESCRIPTION"], lf(texts[i][2]));
        EXPECT_EQ(items["VTODO"][i]["SUMMARY"], lf(texts[i][0]));
        EXPECT_EQ(items["VTODO"][i]["DESCRIPTION"], lf(texts[i][2]));
        EXPECT_EQ(items["VJOURNAL"][i]["SUMMARY"], lf(texts[i][1]));
        EXPECT_EQ(items["VJOURNAL"][i]["DESCRIPTION"], lf(texts[i][2]));
    }
}

TEST(PortableItems, RecurrenceRulesAndStoredDatesAreValidOrKeptAside)
{
    const struct {
        const char* text;
        StartForm form;
        const char* rule; // empty: not a valid rule
    } rules[] = {
        {"FREQ=WEEKLY;INTERVAL=1;BYDAY=FR", StartForm::Floating, "FREQ=WEEKLY;INTERVAL=1;BYDAY=FR"},
        {"freq=monthly;bymonthday=-1;count=12", StartForm::Floating, "FREQ=MONTHLY;BYMONTHDAY=-1;COUNT=12"},
        {"FREQ=YEARLY;BYMONTH=2;BYDAY=-1SU,2MO;WKST=MO", StartForm::Date, "FREQ=YEARLY;BYMONTH=2;BYDAY=-1SU,2MO;WKST=MO"},
        // UNTIL takes the form of DTSTART (here with the offset +01:00).
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Floating, "FREQ=DAILY;UNTIL=20090101T000000"},
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Date, "FREQ=DAILY;UNTIL=20090101"},
        {"FREQ=DAILY;UNTIL=20081231", StartForm::Floating, "FREQ=DAILY;UNTIL=20081231T235959"},
        {"FREQ=DAILY;UNTIL=20081231", StartForm::Utc, "FREQ=DAILY;UNTIL=20081231T225959Z"},
        // A start in a zone (Europe/Berlin, +02:00 in July): UNTIL in UTC,
        // a local bound moved by the zone, not by the host's offset.
        {"FREQ=DAILY;UNTIL=20080701T120000", StartForm::Zoned, "FREQ=DAILY;UNTIL=20080701T100000Z"},
        {"FREQ=DAILY;UNTIL=20080701", StartForm::Zoned, "FREQ=DAILY;UNTIL=20080701T215959Z"},
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Zoned, "FREQ=DAILY;UNTIL=20081231T230000Z"},
        {"", StartForm::Floating, ""}, {"INTERVAL=2", StartForm::Floating, ""},
        {"FREQ=FORTNIGHTLY", StartForm::Floating, ""}, {"FREQ=DAILY;COUNT=3;UNTIL=20081231", StartForm::Floating, ""},
        {"FREQ=DAILY;FREQ=WEEKLY", StartForm::Floating, ""}, {"FREQ=DAILY;COUNT=0", StartForm::Floating, ""},
        {"FREQ=DAILY;UNTIL=20081332", StartForm::Floating, ""}, {"FREQ=WEEKLY;BYDAY=XX", StartForm::Floating, ""},
        {"FREQ=MONTHLY;BYMONTHDAY=0", StartForm::Floating, ""}, {"FREQ=YEARLY;BYMONTH=13", StartForm::Floating, ""},
        {"FREQ=DAILY;X-NAME=1", StartForm::Floating, ""}, {"FREQ=DAILY\r\nDTSTART:20000101", StartForm::Floating, ""}};
    for (const auto& r : rules)
        EXPECT_EQ(validRecurrenceRule(r.text, r.form, 3600, QTimeZone("Europe/Berlin")), QByteArray(r.rule)) << r.text;

    // A stored date becomes a vCard date only when its order is certain.
    const std::pair<const char*, QDate> dates[] = {
        {"1970-05-07", {1970, 5, 7}}, {" 1970/5/7 ", {1970, 5, 7}}, {"1970.05.07", {1970, 5, 7}},
        {"19700507", {1970, 5, 7}},   {"1970-05-07T00:00:00Z", {1970, 5, 7}}, {"7.5.1970", {1970, 5, 7}},
        {"25/12/1999", {1999, 12, 25}}, {"12/25/1999", {1999, 12, 25}}, {"5/7/1970", {}}, {"1970-02-30", {}},
        {"1970-05/07", {}}, {"May 7, 1970", {}}, {"", {}}};
    for (const auto& [text, date] : dates)
        EXPECT_EQ(portableDate(QString::fromLatin1(text)), date) << text;
}
