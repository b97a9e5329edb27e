#include "contacts/ContactPreview.h"
#include "notes/NotePreview.h"

#include "PimBlocks.h"
#include "RecordDraft.h"

#include <gtest/gtest.h>

using namespace er;

namespace {

// Text as decoded from UTF-16: no terminator in the bytes, the length
// counting characters and the terminator.
template <class Draft>
void putRaw(Draft& draft, typename Draft::Field f, const QByteArray& bytes, quint32 stored)
{
    draft.set(f, bytes);
    draft.setLength(f, stored);
}

template <class Draft>
void put(Draft& draft, typename Draft::Field f, const QByteArray& text)
{
    putRaw(draft, f, text, quint32(QString::fromUtf8(text).size() + 1));
}

#define PUT(record, name, text) put(record, decltype(record)::Field::name, text)

} // namespace

// Every field filled with its own name: the lines come in display order with
// their captions, and the fields the preview leaves out never appear.
TEST(ContactPreview, EveryFieldInDisplayOrder)
{
    ContactDraft c;
    QStringList expected;
    auto add = [&](ContactField field, const char* caption, const char* text) {
        put(c, field, text);
        if (caption)
            expected << QString::fromLatin1(caption) + QString::fromLatin1(text);
    };
#define LINE(name, caption) add(ContactField::name, caption, #name)
#define HIDDEN(name) add(ContactField::name, nullptr, #name)
    LINE(FirstName, "First Name: "); LINE(LastName, "Last Name: "); LINE(Title, "Title: ");
    LINE(Suffix, "Suffix: "); LINE(Nickname, "Nickname: "); LINE(Company, "Company: ");
    LINE(JobTitle, "Job Title: "); LINE(Department, "Dept: "); LINE(WorkStreet, "Work Street Address: ");
    HIDDEN(WorkCity);
    LINE(WorkState, "Work State: "); LINE(WorkZip, "Work Zip: "); LINE(WorkCountry, "Work Country/Region: ");
    LINE(WorkURL, "Work URL: "); LINE(HomeStreet, "Home Street Address: "); LINE(HomeCity, "Home City: ");
    LINE(HomeState, "Home State: "); LINE(HomeZip, "Home Zip: "); LINE(HomeCountry, "Home Country/Region: ");
    LINE(HomeURL, "Home URL: "); LINE(HomePhone1, "Home Phone 1: "); LINE(HomePhone2, "Home Phone 2: ");
    LINE(HomeFax, "Home Fax: "); LINE(WorkPhone1, "Work Phone 1: "); LINE(WorkPhone2, "Work Phone 2: ");
    LINE(WorkFax, "Work Fax: "); LINE(Pager, "Pager: "); LINE(MobilePhone, "Mobile Phone: ");
    LINE(MainPhone, "Main Phone: "); LINE(AssistantPhone, "Assistant Phone: ");
    LINE(CustomPhone1, "Custom Phone 1: "); HIDDEN(CustomPhone2);
    LINE(CustomPhone3, "Custom Phone 3: "); HIDDEN(CustomPhone4);
    LINE(Email1, "Email Address 1: "); LINE(Email2, "Email Address 2: "); LINE(Email3, "Email Address 3: ");
    LINE(Email4, "Email Address 4: "); LINE(Email5, "Email Address 5: "); LINE(Email6, "Email Address 6: ");
    LINE(Email7, "Email Address 7: "); LINE(Email8, "Email Address 8: "); LINE(Email9, "Email Address 9: ");
    LINE(Email10, "Email Address 10: "); LINE(Email11, "Email Address 11: ");
    LINE(Email12, "Email Address 12: "); LINE(Email13, "Email Address 13: ");
    LINE(IM1, "Instant Messaging 1: "); LINE(IM2, "Instant Messaging 2: "); LINE(IM3, "Instant Messaging 3: ");
    LINE(IM4, "Instant Messaging 4: "); LINE(IM5, "Instant Messaging 5: "); LINE(IM6, "Instant Messaging 6: ");
    LINE(IM7, "Instant Messaging 7: "); LINE(IM8, "Instant Messaging 8: "); LINE(IM9, "Instant Messaging 9: ");
    LINE(IM10, "Instant Messaging 10: "); LINE(IM11, "Instant Messaging 11: ");
    LINE(IM12, "Instant Messaging 12: "); LINE(IM13, "Instant Messaging 13: ");
    LINE(Custom1, "Custom 1: "); LINE(Custom2, "Custom 2: "); LINE(Custom3, "Custom 3: ");
    LINE(Custom4, "Custom 4: "); LINE(Custom5, "Custom 5: "); LINE(Custom6, "Custom 6: ");
    LINE(Custom7, "Custom 7: "); LINE(Custom8, "Custom 8: ");
    LINE(CustomDate1, "Custom Date 1: "); LINE(CustomDate2, "Custom Date 2: ");
    LINE(Spouse, "Spouse: "); HIDDEN(Child1); HIDDEN(Child2); HIDDEN(Child3);
    LINE(Birthday, "Birthday: "); LINE(Anniversary, "Anniversary: "); LINE(Notes, "Notes: ");
    LINE(Age, "Age: "); LINE(AstrologySign, "Astrology sign: "); LINE(BloodType, "Bloodtype: ");
    HIDDEN(Interests);
#undef LINE
#undef HIDDEN
    ASSERT_EQ(expected.size(), 74);
    EXPECT_EQ(contactPreviewLines(c), expected);

    // Only a first name and one address: exactly those two lines.
    ContactDraft few;
    PUT(few, FirstName, "Ann");
    PUT(few, Email1, "ann@example.org");
    EXPECT_EQ(contactPreviewLines(few), (QStringList{"First Name: Ann", "Email Address 1: ann@example.org"}));
    EXPECT_TRUE(contactPreviewLines(ContactDraft()).isEmpty());
}

// Each field has its own test: "present" shows even an empty text, "non-empty"
// needs a stored length above 1 (more than a lone terminator), "non-zero" any
// stored length.
TEST(ContactPreview, PresentNonEmptyAndNonZero)
{
    struct Case {
        quint32 length;
        bool present, nonEmpty, nonZero;
    };
    for (const Case& k : {Case{0, true, false, false}, Case{1, true, false, true}, Case{2, true, true, true}}) {
        ContactDraft c;
        putRaw(c, decltype(c)::Field::FirstName, "", k.length);  // present
        putRaw(c, decltype(c)::Field::Custom1, "", k.length);      // present
        putRaw(c, decltype(c)::Field::Title, "", k.length);          // non-empty
        putRaw(c, decltype(c)::Field::Custom7, "", k.length);      // non-empty
        putRaw(c, decltype(c)::Field::Custom5, "", k.length);      // non-zero
        QStringList expected{"First Name: "};
        if (k.nonEmpty)
            expected << "Title: ";
        expected << "Custom 1: ";
        if (k.nonZero)
            expected << "Custom 5: ";
        if (k.nonEmpty)
            expected << "Custom 7: ";
        EXPECT_EQ(contactPreviewLines(c), expected) << "stored length " << k.length;
    }
}

// Text ends at the first zero byte and is read as UTF-8; bytes that are not
// UTF-8 show as replacement characters. E-mail addresses 1 and 2 are cut to
// 254 characters, never inside a surrogate pair; the others are shown whole.
TEST(ContactPreview, TextRulesAndAddressCap)
{
    ContactDraft c;
    putRaw(c, decltype(c)::Field::FirstName, QByteArray("Ann\0Junk", 8), 8);
    putRaw(c, decltype(c)::Field::LastName, "L\xc3\xa9\xff\xfe", 6);
    const QByteArray longAddress(300, 'a');
    PUT(c, Email1, longAddress);
    PUT(c, Email2, QByteArray(253, 'b') + "\xf0\x9f\x98\x80" + "tail");
    PUT(c, Email3, longAddress);

    const QStringList lines = contactPreviewLines(c);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "First Name: Ann");
    // Not UTF-8 as a whole: every byte is read as Mac Roman, none is lost.
    EXPECT_EQ(lines[1], QString::fromUtf8("Last Name: L\xe2\x88\x9a\xc2\xa9\xcb\x87\xcb\x9b"));
    EXPECT_EQ(lines[2], "Email Address 1: " + QString(254, 'a'));
    EXPECT_EQ(lines[3], "Email Address 2: " + QString(253, 'b'));
    EXPECT_EQ(lines[4], "Email Address 3: " + QString::fromLatin1(longAddress));
}

// List rows and the keys of the hidden column.
TEST(ContactPreview, RowTextAndKey)
{
    ContactDraft c;
    EXPECT_EQ(contactRowText(c), " ");
    EXPECT_EQ(itemKeyText(c), "");
    PUT(c, FirstName, "Ann");
    EXPECT_EQ(contactRowText(c), "Ann ");
    PUT(c, LastName, "Lee");
    EXPECT_EQ(contactRowText(c), "Ann Lee");
    putRaw(c, decltype(c)::Field::GUID, testdb::guidBytes(0xF0), 16);
    EXPECT_EQ(itemKeyText(c), "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF");
    // A GUID whose bytes lay past the block's end reads as zeros.
    putRaw(c, decltype(c)::Field::GUID, QByteArray(), 16);
    EXPECT_EQ(itemKeyText(c), QString(32, '0'));
}

TEST(NotePreview, LinesAndRow)
{
    NoteDraft n;
    EXPECT_EQ(notePreviewLines(n), QStringList{"Description: "});
    EXPECT_EQ(noteRowText(n), " ");
    PUT(n, Summary, "Shopping");
    putRaw(n, decltype(n)::Field::Description, QByteArray("milk\rbread\0x", 12), 12);
    EXPECT_EQ(notePreviewLines(n), (QStringList{"Summary: Shopping", "Description: milk\rbread"}));
    EXPECT_EQ(noteRowText(n), "Shopping ");
}
