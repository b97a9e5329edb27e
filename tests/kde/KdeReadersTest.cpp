// contacts.vcf, calendar.ics and notes.ics of kde.db.txt read by KDE's
// contacts and calendar libraries, second readers beside vobject and
// python3-icalendar; the calendar one also undoes a backslash before ",",
// ";" and "n" correctly, which python3-icalendar misreads.

#include "../core/contacts/PimGolden.h"

#include "archive/PortableExport.h"

#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/MemoryCalendar>
#include <KContacts/VCardConverter>

#include <QTimeZone>

using namespace er;

TEST(KdeReaders, EveryTextSurvives)
{
    ScanState state;
    scanDescribed("kde.db.txt", state);
    const KContacts::Addressee::List cards = KContacts::VCardConverter().parseVCards(contactsVCardFile(state));
    ASSERT_EQ(cards.size(), 1);
    const KContacts::Addressee& card = cards[0];
    const KContacts::Address work = card.address(KContacts::Address::Work);
    const std::pair<QString, ContactField> values[] = {
        {card.givenName(), ContactField::FirstName}, {card.familyName(), ContactField::LastName},
        {card.suffix(), ContactField::Suffix}, {card.nickName(), ContactField::Nickname},
        {card.organization(), ContactField::Company}, {card.department(), ContactField::Department},
        {card.note(), ContactField::Notes}, {card.url().url().toString(), ContactField::WorkURL},
        {work.street(), ContactField::WorkStreet}, {work.locality(), ContactField::WorkCity},
        {card.address(KContacts::Address::Home).country(), ContactField::HomeCountry}};
    for (const auto& [value, field] : values)
        EXPECT_EQ(value.toStdString(), readBackText(state.contacts[0], field).toStdString()) << int(field);
    EXPECT_TRUE(card.formattedName().startsWith(values[0].first + " Lee, Jr")) << card.formattedName().toStdString();

    // Two items of each kind without GUID, both found, with the texts of the first.
    KCalendarCore::MemoryCalendar::Ptr calendar(new KCalendarCore::MemoryCalendar(QTimeZone::utc()));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, calendarICalendarFile(state)));
    ASSERT_TRUE(KCalendarCore::ICalFormat().fromRawString(calendar, notesICalendarFile(state)));
    QStringList read;
    for (const auto& item : calendar->rawIncidences())
        read << QStringList{item->typeStr(), item->summary(), item->location(), item->description()}.join('|');
    read.sort();
    const QString event = QStringList{"Event", readBackText(state.events[0], EventField::Summary), readBackText(state.events[0], EventField::Location),
                                      readBackText(state.events[0], EventField::Description)}.join('|');
    const QString journal = "Journal|" + readBackText(state.notes[0], NoteField::Summary) + "||" + readBackText(state.notes[0], NoteField::Description);
    const QString todo = "Todo|" + readBackText(state.tasks[0], TaskField::TaskName) + "||" + readBackText(state.tasks[0], TaskField::Note);
    EXPECT_EQ(read.join('\n').toStdString(), QStringList({event, event, journal, journal, todo, todo}).join('\n').toStdString());
}
