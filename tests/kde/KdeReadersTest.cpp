// contacts.vcf, calendar.ics and notes.ics read by KDE's contacts and
// calendar libraries, second readers beside vobject and python3-icalendar;
// the calendar one also undoes a backslash before ",", ";" and "n"
// correctly, which python3-icalendar misreads.

#include "../core/ScanTestSupport.h"

#include "DescribedDatabase.h"
#include "archive/PortableExport.h"

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Journal>
#include <KCalendarCore/MemoryCalendar>
#include <KCalendarCore/Todo>
#include <KContacts/VCardConverter>

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

using namespace er;

namespace {

// The records of tests/data/golden/pim-items/kde.db.txt.
class KdeReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        const QByteArray bytes = testdb::describedDatabaseFile(
            QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../data/golden/pim-items/kde.db.txt")), &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_EQ(ertest::scanBytes(bytes, state).kind, ScanOutcome::Completed);
    }
    // A text as stored, with its line breaks as a reader gives them back.
    template <typename View, typename Field>
    static QString text(const View& record, Field f)
    {
        return QString::fromUtf8(record.field(f).value_or(QByteArray())).replace('\r', '\n');
    }
    ScanState state;
};

} // namespace

TEST_F(KdeReaders, ContactValuesSurvive)
{
    const KContacts::Addressee::List cards = KContacts::VCardConverter().parseVCards(contactsVCardFile(state));
    ASSERT_EQ(cards.size(), 1);
    const KContacts::Addressee& card = cards[0];
    const ContactView c = state.contacts[0];
    EXPECT_EQ(card.givenName(), text(c, ContactField::FirstName));
    EXPECT_EQ(card.familyName(), text(c, ContactField::LastName));
    EXPECT_EQ(card.suffix(), text(c, ContactField::Suffix));
    EXPECT_TRUE(card.formattedName().startsWith(text(c, ContactField::FirstName) + " Lee, Jr")) << card.formattedName().toStdString();
    EXPECT_EQ(card.organization(), text(c, ContactField::Company));
    EXPECT_EQ(card.department(), text(c, ContactField::Department));
    EXPECT_EQ(card.note(), text(c, ContactField::Notes));
    EXPECT_EQ(card.address(KContacts::Address::Work).street(), text(c, ContactField::WorkStreet));
    EXPECT_EQ(card.address(KContacts::Address::Work).locality(), text(c, ContactField::WorkCity));
    EXPECT_EQ(card.address(KContacts::Address::Home).country(), text(c, ContactField::HomeCountry));
    EXPECT_EQ(card.url().url().toString(), text(c, ContactField::WorkURL));
    EXPECT_EQ(card.nickName(), text(c, ContactField::Nickname));
}

TEST_F(KdeReaders, CalendarTextsOfItemsWithoutGuidSurvive)
{
    KCalendarCore::MemoryCalendar::Ptr calendar(new KCalendarCore::MemoryCalendar(QTimeZone::utc()));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, calendarICalendarFile(state)));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, notesICalendarFile(state)));
    ASSERT_EQ(calendar->rawEvents().size(), 2);
    ASSERT_EQ(calendar->rawTodos().size(), 2);
    ASSERT_EQ(calendar->rawJournals().size(), 2);
    for (const auto& event : calendar->rawEvents()) {
        EXPECT_EQ(event->summary(), text(state.events[0], EventField::Summary));
        EXPECT_EQ(event->location(), text(state.events[0], EventField::Location));
        EXPECT_EQ(event->description(), text(state.events[0], EventField::Description));
    }
    for (const auto& todo : calendar->rawTodos()) {
        EXPECT_EQ(todo->summary(), text(state.tasks[0], TaskField::TaskName));
        EXPECT_EQ(todo->description(), text(state.tasks[0], TaskField::Note));
    }
    for (const auto& journal : calendar->rawJournals()) {
        EXPECT_EQ(journal->summary(), text(state.notes[0], NoteField::Summary));
        EXPECT_EQ(journal->description(), text(state.notes[0], NoteField::Description));
    }
}
