#include "calendar/CalendarPreview.h"

#include "PimBlocks.h"

#include <QLocale>

#include "RecordDraft.h"

#include <gtest/gtest.h>

using namespace er;
using testdb::be32;

namespace {

// Preview dates use the default locale's month names: pin it to English.
class PreviewLocale : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

class EventPreview : public PreviewLocale {};
class TaskPreview : public PreviewLocale {};

std::array<quint8, 8> calendarTime(quint32 stamp)
{
    const QByteArray bytes = testdb::calendarTime(stamp);
    std::array<quint8, 8> out{};
    std::copy(bytes.begin(), bytes.begin() + 8, out.begin());
    return out;
}

template <class Draft>
void put(Draft& draft, typename Draft::Field f, const QByteArray& bytes, quint32 stored)
{
    draft.set(f, bytes);
    draft.setLength(f, stored);
}

} // namespace

TEST_F(EventPreview, LinesInOrderWithDates)
{
    EventDraft e;
    put(e, decltype(e)::Field::Organizer, QByteArray("ann@example.org\0", 16), 16);
    put(e, decltype(e)::Field::Summary, "Review", 7);
    put(e, decltype(e)::Field::Location, QByteArray("Room 12\0", 8), 8);
    put(e, decltype(e)::Field::Description, "Bring notes", 12);
    e->StartTime = calendarTime(testdb::calendarStamp(2008, 5, 7, 9, 30));
    e->EndTime = calendarTime(0);
    e.set(EventField::GUID, testdb::guidBytes(0));
    e.setLength(EventField::GUID, 16);
    EXPECT_EQ(eventPreviewLines(e), (QStringList{"Organizer: ann@example.org", "Summary: Review", "Location: Room 12",
                                                 "Start: 2008,May,07, 09:30:00", "End: 1601,Jan,01, 00:00:00",
                                                 "Description: Bring notes"}));
    EXPECT_EQ(eventRowText(e), "Review ");
    EXPECT_EQ(itemKeyText(e), "000102030405060708090A0B0C0D0E0F");

    // Only what the event holds; the Office 2004 UTC times are not shown. The
    // organizer went through a 255-byte buffer: at most 254 characters.
    EventDraft few;
    put(few, decltype(few)::Field::Organizer, QByteArray(400, 'o'), 400);
    put(few, decltype(few)::Field::Summary, "Review", 7);
    few->StartTime2004 = calendarTime(testdb::calendarStamp(2008, 5, 7));
    few->EndTime2004 = calendarTime(testdb::calendarStamp(2008, 5, 8));
    EXPECT_EQ(eventPreviewLines(few), (QStringList{"Organizer: " + QString(254, 'o'), "Summary: Review"}));

    EventDraft none;
    EXPECT_TRUE(eventPreviewLines(none).isEmpty());
    EXPECT_EQ(eventRowText(none), " ");
    EXPECT_EQ(itemKeyText(none), "");
}

TEST_F(TaskPreview, LinesInOrderWithDatesAndPriority)
{
    TaskDraft t;
    put(t, decltype(t)::Field::TaskName, "Buy milk", 9);
    put(t, decltype(t)::Field::StartDate, be32(testdb::macStamp(2008, 5, 1, 8)), 8);
    put(t, decltype(t)::Field::DueDate, be32(3000000000u) + be32(0), 8);
    put(t, decltype(t)::Field::ReminderDate, be32(testdb::macStamp(1999, 1, 23, 18)) + be32(0), 8);
    put(t, decltype(t)::Field::StampTime, be32(testdb::macStamp(2008, 5, 7)), 8);
    put(t, decltype(t)::Field::Note, "Two litres\rsemi-skimmed", 24);
    t->Priority = 3;
    t.set(TaskField::GUID, testdb::guidBytes(1));
    t.setLength(TaskField::GUID, 16);
    EXPECT_EQ(taskPreviewLines(t),
              (QStringList{"Task: Buy milk", "Start: 2008,May,01, 08:00:00", "Due Date: 1999,Jan,24, 05:20:00",
                           "Reminder: 1999,Jan,23, 18:00:00", "Priority: Normal", "Note:\nTwo litres\rsemi-skimmed"}));
    EXPECT_EQ(taskRowText(t), "Buy milk ");
    EXPECT_EQ(itemKeyText(t), "0102030405060708090A0B0C0D0E0F10");

    // 1 (highest) to 5 (lowest); another non-zero value gives a bare caption,
    // 0 no line.
    const char* words[] = {"", "Highest", "High", "Normal", "Low", "Lowest"};
    TaskDraft p;
    for (qint32 priority : {1, 2, 3, 4, 5, -1}) {
        p->Priority = priority;
        EXPECT_EQ(taskPreviewLines(p), QStringList{QStringLiteral("Priority: ") + words[qMax(0, priority)]});
    }
    p->Priority = 0;
    EXPECT_TRUE(taskPreviewLines(p).isEmpty());
}

// A date needs the four bytes of its stamp: a shorter field gives no line.
// A field whose bytes lay past the block's end is the format's zero-filled
// field and shows the stamp 0, as the task's file does.
TEST_F(TaskPreview, DateFieldBounds)
{
    TaskDraft t;
    put(t, decltype(t)::Field::StartDate, be32(3000000000u), 3);
    put(t, decltype(t)::Field::DueDate, QByteArray("\xb2\xd0", 2), 2);
    put(t, decltype(t)::Field::ReminderDate, QByteArray(), 0);
    EXPECT_TRUE(taskPreviewLines(t).isEmpty());

    put(t, decltype(t)::Field::DueDate, QByteArray(), 8);
    EXPECT_EQ(taskPreviewLines(t), QStringList{"Due Date: 1904,Jan,01, 00:00:00"});
}
