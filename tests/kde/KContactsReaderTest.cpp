// contacts.vcf read by KDE's contacts library, a second reader beside vobject.

#include "contacts/PortableVCard.h"
#include "RecordDraft.h"

#include <KContacts/VCardConverter>

#include <gtest/gtest.h>

using namespace er;

TEST(KContactsReader, HardValuesSurviveTheSecondReader)
{
    // vCard 3.0 requires "\;" for a semicolon in any text, but this reader
    // undoes it only in the structured properties (N, ORG, ADR): semicolons
    // are checked there, and in every property by the vobject tests.
    const QString hard = QString::fromUtf8("a,b\\c\nd 山田太郎 Ørsted");
    QString longNote;
    while (longNote.size() < 500)
        longNote += QString::fromUtf8("José, 山田, \\ ") + QString::number(longNote.size()) + '\n';
    ContactDraft c;
    c.set(ContactField::GUID, QByteArray::fromHex("00112233445566778899aabbccddeeff")), c.setLength(ContactField::GUID, 16);
    c.set(ContactField::FirstName, hard.toUtf8()), c.set(ContactField::LastName, QByteArray("Lee, Jr; III")), c.set(ContactField::Suffix, QByteArray("a;b,c"));
    c.set(ContactField::Company, hard.toUtf8()), c.set(ContactField::Department, QByteArray("R&D; Tokyo"));
    c.set(ContactField::Notes, longNote.toUtf8());
    c.set(ContactField::WorkStreet, QByteArray("1 Main St\nSuite 5, Floor 2")), c.set(ContactField::WorkCity, QByteArray("Springfield"));
    c.set(ContactField::HomeCountry, QString::fromUtf8("日本").toUtf8());
    c.set(ContactField::WorkURL, QByteArray("https://example.com/a,b?x=1;y=2"));
    c.set(ContactField::Nickname, QByteArray("Ace, \"the\" Lee"));

    const KContacts::Addressee::List cards =
        KContacts::VCardConverter().parseVCards(portableVCard(c, "00112233-4455-6677-8899-AABBCCDDEEFF"));
    ASSERT_EQ(cards.size(), 1);
    const KContacts::Addressee& card = cards[0];
    EXPECT_EQ(card.givenName(), hard);
    EXPECT_EQ(card.familyName(), "Lee, Jr; III");
    EXPECT_EQ(card.suffix(), "a;b,c");
    EXPECT_TRUE(card.formattedName().startsWith(hard + " Lee, Jr")) << card.formattedName().toStdString();
    EXPECT_EQ(card.organization(), hard);
    EXPECT_EQ(card.department(), "R&D; Tokyo");
    EXPECT_EQ(card.note(), longNote);
    const KContacts::Address work = card.address(KContacts::Address::Work);
    EXPECT_EQ(work.street(), "1 Main St\nSuite 5, Floor 2");
    EXPECT_EQ(work.locality(), "Springfield");
    EXPECT_EQ(card.address(KContacts::Address::Home).country(), QString::fromUtf8("日本"));
    EXPECT_EQ(card.url().url().toString(), "https://example.com/a,b?x=1;y=2");
    EXPECT_EQ(card.nickName(), "Ace, \"the\" Lee");
}
