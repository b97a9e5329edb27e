// contacts.vcf read by KDE's contacts library, a second reader beside vobject.

#include "contacts/PortableVCard.h"
#include "archive/PortableExport.h"
#include "archive/BlockScanner.h"
#include "RecordDraft.h"

#include <KContacts/VCardConverter>

#include <gtest/gtest.h>

using namespace er;

namespace {

QStringList nonBlank(std::initializer_list<QString> texts)
{
    QStringList out;
    for (const QString& t : texts)
        if (!t.trimmed().isEmpty())
            out << t;
    return out;
}

} // namespace

TEST(KContactsReader, SampleContactsReadAsRecorded)
{
    ScanState state;
    ASSERT_EQ(scanDatabase(QStringLiteral(ER_SAMPLE_DATABASE), state).kind, ScanOutcome::Completed);
    const KContacts::Addressee::List cards = KContacts::VCardConverter().parseVCards(contactsVCardFile(state));

    int next = 0;
    for (const ContactView c : state.contacts) {
        if (!hasContactData(c))
            continue;
        ASSERT_LT(next, cards.size());
        const KContacts::Addressee& card = cards[next++];
        SCOPED_TRACE(card.formattedName().toStdString());
        EXPECT_EQ(card.givenName(), portableText(c.field(ContactField::FirstName)));
        EXPECT_EQ(card.familyName(), portableText(c.field(ContactField::LastName)));
        EXPECT_EQ(card.organization(), portableText(c.field(ContactField::Company)));
        EXPECT_FALSE(card.formattedName().isEmpty());
        EXPECT_EQ(card.emails(), nonBlank({portableText(c.field(ContactField::Email1)), portableText(c.field(ContactField::Email2)), portableText(c.field(ContactField::Email3)),
                                           portableText(c.field(ContactField::Email4)), portableText(c.field(ContactField::Email5))}));
        EXPECT_EQ(card.note(), portableText(c.field(ContactField::Notes)));
    }
    EXPECT_EQ(next, 4) << "the company-only contact is exported too";
    EXPECT_EQ(cards.size(), next);
    EXPECT_EQ(cards[0].birthday().date(), QDate(1970, 5, 7));
    EXPECT_EQ(cards[3].formattedName(), QString::fromUtf8("Zoë Ørsted"));
}

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
    c.set(ContactField::WorkFax, QByteArray("+1 555 0101")), c.set(ContactField::MobilePhone, QByteArray("+1 555 0102"));
    c.set(ContactField::Email1, QByteArray("a@example.com")), c.set(ContactField::Email3, QByteArray("c@example.com"));
    c.set(ContactField::Birthday, QByteArray("7.5.1970"));
    c.set(ContactField::WorkURL, QByteArray("https://example.com/a,b?x=1;y=2"));
    c.set(ContactField::Nickname, QByteArray("Ace, \"the\" Lee"));

    const KContacts::Addressee::List cards =
        KContacts::VCardConverter().parseVCards(portableVCard(c, "00112233-4455-6677-8899-AABBCCDDEEFF"));
    ASSERT_EQ(cards.size(), 1);
    const KContacts::Addressee& card = cards[0];
    EXPECT_EQ(card.uid(), "00112233-4455-6677-8899-AABBCCDDEEFF");
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
    EXPECT_EQ(card.phoneNumber(KContacts::PhoneNumber::Work | KContacts::PhoneNumber::Fax).number(), "+1 555 0101");
    EXPECT_EQ(card.phoneNumber(KContacts::PhoneNumber::Cell | KContacts::PhoneNumber::Voice).number(),
              "+1 555 0102");
    EXPECT_EQ(card.emails(), QStringList({"a@example.com", "c@example.com"}));
    EXPECT_EQ(card.preferredEmail(), "a@example.com");
    EXPECT_EQ(card.birthday().date(), QDate(1970, 5, 7));
    EXPECT_EQ(card.url().url().toString(), "https://example.com/a,b?x=1;y=2");
    EXPECT_EQ(card.nickName(), "Ace, \"the\" Lee");
}
