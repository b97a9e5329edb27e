// calendar.ics and notes.ics read by KDE's calendar library, a second reader
// beside python3-icalendar: it also undoes a backslash before ",", ";" and
// "n" correctly, which the other misreads.

#include "RecordDraft.h"

#include "archive/PortableExport.h"
#include "archive/ScanState.h"

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Journal>
#include <KCalendarCore/MemoryCalendar>
#include <KCalendarCore/Todo>

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace er;

TEST(KCalendarCoreReader, HardTextsOfItemsWithoutGuid)
{
    QString longText;
    while (longText.size() < 500)
        longText += QString::fromUtf8("José; 会議, \\ ") + QString::number(longText.size()) + '\r';
    const QString hard = QString::fromUtf8("a,b;c\\d\re 山田太郎 Ørsted \\,\\;\\n\\\\\r\\");
    ScanState state;
    for (int i = 0; i < 2; ++i) { // twice, without GUID: two items, not one
        EventDraft event;
        event.set(EventField::Summary, hard.toUtf8());
        event.set(EventField::Location, longText.toUtf8());
        event.set(EventField::Description, longText.toUtf8());
        TaskDraft task;
        task.set(TaskField::TaskName, hard.toUtf8());
        task.set(TaskField::Note, longText.toUtf8());
        NoteDraft note;
        note.set(NoteField::Summary, hard.toUtf8()), note.setLength(NoteField::Summary, quint32(hard.size() + 1));
        note.set(NoteField::Description, longText.toUtf8()), note.setLength(NoteField::Description, quint32(longText.size() + 1));
        appendDrafts(state.events, event), appendDrafts(state.tasks, task), appendDrafts(state.notes, note);
    }
    const QString read = QString(longText).replace('\r', '\n'), readHard = QString(hard).replace('\r', '\n');
    KCalendarCore::MemoryCalendar::Ptr calendar(new KCalendarCore::MemoryCalendar(QTimeZone::utc()));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, calendarICalendarFile(state)));
    ASSERT_EQ(calendar->rawEvents().size(), 2);
    ASSERT_EQ(calendar->rawTodos().size(), 2);
    for (const auto& event : calendar->rawEvents()) {
        EXPECT_EQ(event->summary(), readHard);
        EXPECT_EQ(event->location(), read);
        EXPECT_EQ(event->description(), read);
    }
    for (const auto& todo : calendar->rawTodos()) {
        EXPECT_EQ(todo->summary(), readHard);
        EXPECT_EQ(todo->description(), read);
    }
    KCalendarCore::MemoryCalendar::Ptr notes(new KCalendarCore::MemoryCalendar(QTimeZone::utc()));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(notes, notesICalendarFile(state)));
    ASSERT_EQ(notes->rawJournals().size(), 2);
    for (const auto& journal : notes->rawJournals()) {
        EXPECT_EQ(journal->summary(), readHard);
        EXPECT_EQ(journal->description(), read);
    }
}
