// calendar.ics and notes.ics read by KDE's calendar library, a second reader
// beside python3-icalendar.

#include "calendar/CalendarExport.h"
#include "calendar/PortableICalendar.h"
#include "format/TimeConversion.h"
#include "output/ItemFiles.h"
#include "archive/PortableExport.h"
#include "RecordDraft.h"
#include "archive/BlockScanner.h"
#include "format/ByteOrder.h"

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Journal>
#include <KCalendarCore/MemoryCalendar>
#include <KCalendarCore/Todo>

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace er;

namespace {

KCalendarCore::MemoryCalendar::Ptr parsed(const QByteArray& file)
{
    KCalendarCore::MemoryCalendar::Ptr calendar(new KCalendarCore::MemoryCalendar(QTimeZone::utc()));
    EXPECT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, file));
    return calendar;
}

QString uidText(const OptionalBytes& guid, quint64 length)
{
    return QString::fromLatin1(uidOf(guid, length));
}

QString textOf(const OptionalBytes& field)
{
    return field ? QString::fromUtf8(cutAtNul(withoutZeroBytes(*field))) : QString();
}

QString summaryOf(const OptionalBytes& field)
{
    return field ? QString::fromUtf8(withoutZeroBytes(*field)) : QString();
}

// The stored wall-clock time, as a reader shows a floating time.
void expectWallClock(const QDateTime& read, const std::optional<std::array<quint8, 8>>& stored)
{
    ASSERT_TRUE(stored);
    const QDateTime wall = calendarStampToDateTime(bigEndianU32(stored->data()));
    EXPECT_EQ(read.date(), wall.date());
    EXPECT_EQ(read.time(), wall.time());
    EXPECT_NE(read.timeSpec(), Qt::UTC);
}

} // namespace

TEST(KCalendarCoreReader, SampleCalendarReadsAsTheRecords)
{
    ScanState state;
    ASSERT_EQ(scanDatabase(QStringLiteral(ER_SAMPLE_DATABASE), state).kind, ScanOutcome::Completed);
    ASSERT_FALSE(state.events.empty() || state.tasks.empty() || state.notes.empty());
    const auto calendar = parsed(calendarICalendarFile(state));

    EXPECT_EQ(calendar->rawEvents().size(), int(state.events.size()));
    for (const EventView record : state.events) {
        const KCalendarCore::Event::Ptr event = calendar->event(uidText(record.field(EventField::GUID), record.length(EventField::GUID)));
        ASSERT_TRUE(event) << uidText(record.field(EventField::GUID), record.length(EventField::GUID)).toStdString();
        SCOPED_TRACE(event->summary().toStdString());
        EXPECT_EQ(event->summary(), summaryOf(record.field(EventField::Summary)));
        EXPECT_EQ(event->location(), textOf(record.field(EventField::Location)));
        EXPECT_EQ(event->description(), textOf(record.field(EventField::Description)));
        const bool allDay = record.field(EventField::AllDayData) && record.field(EventField::AllDayData)->startsWith('\1');
        EXPECT_EQ(event->allDay(), allDay);
        if (allDay) {
            const quint32 stored = bigEndianU32(record->StartTime->data());
            EXPECT_EQ(event->dtStart().date(), calendarStampToDateTime(stored).date());
        } else {
            expectWallClock(event->dtStart(), record->StartTime);
            expectWallClock(event->dtEnd(), record->EndTime);
        }
        EXPECT_EQ(event->recurs(), record->IsRecurring);
        EXPECT_EQ(event->alarms().size(), record->HasAlarm ? 1 : 0);
        if (record->IsRecurring) {
            EXPECT_EQ(event->recurrence()->recurrenceType(), KCalendarCore::Recurrence::rWeekly);
        }
        if (record->HasAlarm) {
            EXPECT_EQ(event->alarms().at(0)->startOffset().asSeconds(), -15 * 60);
        }
    }

    EXPECT_EQ(calendar->rawTodos().size(), int(state.tasks.size()));
    const int priorities[] = {0, 1, 3, 5, 7, 9};
    for (const TaskView record : state.tasks) {
        const KCalendarCore::Todo::Ptr todo = calendar->todo(uidText(record.field(TaskField::GUID), record.length(TaskField::GUID)));
        ASSERT_TRUE(todo);
        SCOPED_TRACE(todo->summary().toStdString());
        EXPECT_EQ(todo->summary(), summaryOf(record.field(TaskField::TaskName)));
        EXPECT_EQ(todo->description(), summaryOf(record.field(TaskField::Note)).replace('\r', '\n'));
        EXPECT_EQ(todo->priority(), priorities[qBound(0, record->Priority, 5)]);
        EXPECT_EQ(todo->hasDueDate(), record.field(TaskField::DueDate).has_value());
        if (record.has(TaskField::DueDate)) {
            const QDateTime due = macStampToDateTime(leadingStamp(*record.field(TaskField::DueDate)));
            EXPECT_EQ(todo->dtDue().date(), due.date());
            EXPECT_EQ(todo->dtDue().time(), due.time());
        }
        EXPECT_EQ(todo->alarms().size(), record->HasReminder && record.has(TaskField::ReminderDate) ? 1 : 0);
    }

    const auto notes = parsed(notesICalendarFile(state));
    EXPECT_EQ(notes->rawJournals().size(), int(state.notes.size()));
    EXPECT_TRUE(notes->rawEvents().isEmpty() && notes->rawTodos().isEmpty());
    for (const NoteView record : state.notes) {
        const KCalendarCore::Journal::Ptr journal =
            notes->journal(uidText(record.field(NoteField::GUID), record.length(NoteField::GUID)));
        ASSERT_TRUE(journal);
        EXPECT_EQ(journal->summary(), summaryOf(record.field(NoteField::Summary)));
        EXPECT_EQ(journal->description(), summaryOf(record.field(NoteField::Description)).replace('\r', '\n'));
    }
}

TEST(KCalendarCoreReader, HardTextsAndItemsWithoutGuid)
{
    QString longText;
    while (longText.size() < 500)
        longText += QString::fromUtf8("José; 会議, \\ ") + QString::number(longText.size()) + '\r';
    // Backslashes before ",", ";" and "n" too, which the python reader misreads.
    const QString hard = QString::fromUtf8("a,b;c\\d\re 山田太郎 Ørsted \\,\\;\\n\\\\\r\\");
    ScanState state;
    for (int i = 0; i < 2; ++i) { // twice, without GUID: two items, not one
        EventDraft event;
        event.set(EventField::Summary, hard.toUtf8());
        event.set(EventField::Location, longText.toUtf8());
        event.set(EventField::Description, longText.toUtf8());
        state.events.appendCopy(event.view());
        TaskDraft task;
        task.set(TaskField::TaskName, hard.toUtf8());
        task.set(TaskField::Note, longText.toUtf8());
        state.tasks.appendCopy(task.view());
        NoteDraft note;
        note.set(NoteField::Summary, hard.toUtf8()), note.setLength(NoteField::Summary, quint32(hard.size() + 1));
        note.set(NoteField::Description, longText.toUtf8()), note.setLength(NoteField::Description, quint32(longText.size() + 1));
        state.notes.appendCopy(note.view());
    }
    const QString read = QString(longText).replace('\r', '\n');
    const QString readHard = QString(hard).replace('\r', '\n');
    const auto calendar = parsed(calendarICalendarFile(state));
    ASSERT_EQ(calendar->rawEvents().size(), 2);
    ASSERT_EQ(calendar->rawTodos().size(), 2);
    for (const auto& event : calendar->rawEvents()) {
        EXPECT_EQ(event->summary(), readHard);
        EXPECT_EQ(event->location(), read);
        EXPECT_EQ(event->description(), read);
    }
    for (const auto& todo : calendar->rawTodos())
        EXPECT_EQ(todo->description(), read);
    const auto notes = parsed(notesICalendarFile(state));
    ASSERT_EQ(notes->rawJournals().size(), 2);
    for (const auto& journal : notes->rawJournals())
        EXPECT_EQ(journal->description(), read);
}
