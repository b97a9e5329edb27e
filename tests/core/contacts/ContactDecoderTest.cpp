#include "PimBlocks.h"

#include "contacts/ContactRecords.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

using namespace testdb;

namespace {

const er::ContactRecord& decode(er::ScanState& state, const QByteArray& block)
{
    er::decodeBlock(state, er::BlockTag::CTRC, er::BlockView::whole(block));
    return state.contacts.back();
}

QByteArray withDescriptorLength(QByteArray block, int k, quint32 length)
{
    block.replace(32 + 8 * k + 4, 4, be32(length));
    return block;
}

} // namespace

TEST(ContactDecoder, TextFormsAndTheirLengths)
{
    er::ScanState state;
    const QString last = QString::fromUtf8("Ørsted-李 \U0001F600");
    const auto& c = decode(state, contactBlock({wideProp(kFirstNameTag, "Ann"), markedProp(kTitleTag, "Dr"),
                                                wideProp(kLastNameTag, last),
                                                wideProp(kCompanyTag, QString("Acme") + QChar(0)),
                                                prop(kEmail1Tag, QByteArray("ann@example.com\0", 16))}));
    EXPECT_EQ(*c.FirstName, "Ann");
    EXPECT_EQ(c.FirstNameLength, 4u); // three characters and the terminating zero
    EXPECT_EQ(*c.Title, "Dr");
    EXPECT_EQ(c.TitleLength, 2u); // no terminating zero after the marker
    EXPECT_EQ(*c.LastName, last.toUtf8());
    EXPECT_EQ(c.LastNameLength, quint32(last.size() + 1)); // characters, not UTF-8 bytes
    EXPECT_EQ(*c.Company, "Acme");
    EXPECT_EQ(c.CompanyLength, 6u);
    EXPECT_EQ(*c.Email1, QByteArray("ann@example.com\0", 16)); // 8-bit text as stored
    EXPECT_EQ(c.Email1Length, 16u);
    EXPECT_FALSE(c.Suffix);
    EXPECT_EQ(c.SuffixLength, 0u);
}

TEST(ContactDecoder, TagsLandInTheirFields)
{
    using CI = er::ContactRecord;
    // The irregular corners of the tag table and the ends of each range.
    const std::pair<quint32, er::OptionalBytes CI::*> expected[] = {
        {0x1F3F, &CI::Title},         {0x1F40, &CI::Suffix},       {0x1F3E, &CI::Nickname},
        {0x1F1B, &CI::Department},    {0x1F17, &CI::WorkCity},     {0x1F20, &CI::WorkURL},
        {0x1F06, &CI::HomeStreet},    {0x1F0E, &CI::HomeURL},      {0x1F0B, &CI::HomePhone1},
        {0x1F0F, &CI::HomePhone2},    {0x1F0C, &CI::HomeFax},      {0x1F1D, &CI::WorkPhone1},
        {0x1F22, &CI::WorkPhone2},    {0x1F1E, &CI::WorkFax},      {0x1F1F, &CI::Pager},
        {0x1F21, &CI::MobilePhone},   {0x1F23, &CI::MainPhone},    {0x1F25, &CI::AssistantPhone},
        {0x1F5A, &CI::CustomPhone1},  {0x1F5D, &CI::CustomPhone4}, {0x1F41, &CI::Custom1},
        {0x1D66, &CI::Email1},        {0x1D72, &CI::Email13},      {0x1D78, &CI::IM1},
        {0x1D84, &CI::IM13},          {0x1F42, &CI::Custom2},      {0x1F48, &CI::Custom8},
        {0x1F49, &CI::CustomDate1},   {0x1F4A, &CI::CustomDate2},  {0x1F4B, &CI::Birthday},
        {0x1F4C, &CI::Anniversary},   {0x1F04, &CI::Notes},        {0x1FC8, &CI::Spouse},
        {0x1FC9, &CI::Child1},        {0x1FCB, &CI::Child3},       {0x1FD6, &CI::Age},
        {0x1FD5, &CI::AstrologySign}, {0x1FE6, &CI::Interests},
    };
    QList<Property> props{prop32(0x0301, 4711), prop(0x4800, guidBytes(1))};
    for (const auto& [tagCode, field] : expected) {
        const QByteArray text = QByteArray::number(tagCode, 16);
        props << ((tagCode >> 8) == 0x1D ? prop(tagCode, text) : wideProp(tagCode, QString::fromLatin1(text)));
    }
    er::ScanState state;
    const CI& c = decode(state, contactBlock(props));
    EXPECT_EQ(c.ContactID, 4711u);
    EXPECT_EQ(*c.GUID, guidBytes(1));
    EXPECT_EQ(c.GUIDLength, 16u);
    for (const auto& [tagCode, field] : expected) {
        ASSERT_TRUE(c.*field) << std::hex << tagCode;
        EXPECT_EQ(*(c.*field), QByteArray::number(tagCode, 16));
    }
    EXPECT_FALSE(c.BloodType);
}

TEST(ContactDecoder, CountsOnlyNamedOrMailedContacts)
{
    er::ScanState state;
    decode(state, contactBlock({wideProp(kCompanyTag, "Acme")}));
    EXPECT_EQ(state.contactCount, 0u);
    decode(state, contactBlock({wideProp(kLastNameTag, "Lee")}));
    decode(state, contactBlock({prop(kEmail1Tag + 3, "fourth@example.com")}));
    decode(state, contactBlock({prop(kEmail1Tag + 4, "fifth@example.com")}));
    // A later occurrence replaces the earlier one, also when it is empty.
    decode(state, contactBlock({wideProp(kFirstNameTag, "Ann"), prop(kFirstNameTag, {})}));
    EXPECT_EQ(state.contacts.size(), 5u);
    EXPECT_EQ(state.contactCount, 2u);
}

TEST(ContactDecoder, DataPastTheBlockEndLeaveFieldsPresentAndEmpty)
{
    er::ScanState state;
    const QByteArray block = contactBlock({wideProp(kFirstNameTag, "Ann"), wideProp(kTitleTag, "Dr"),
                                           wideProp(kLastNameTag, "Lee"), prop(kEmail1Tag, "a@b")});
    // The title claims 600 bytes of a 256-byte block; the data after it, at
    // their running offsets, lie past the end too.
    const auto& c = decode(state, withDescriptorLength(block, 1, 600));
    EXPECT_EQ(*c.FirstName, "Ann");
    ASSERT_TRUE(c.Title && c.LastName && c.Email1);
    EXPECT_TRUE(c.Title->isEmpty() && c.LastName->isEmpty() && c.Email1->isEmpty());
    EXPECT_EQ(c.TitleLength, 301u);
    EXPECT_EQ(c.LastNameLength, 4u);
    EXPECT_EQ(c.Email1Length, 3u);
    EXPECT_EQ(state.contactCount, 1u);

    // A length near 4 GiB sizes nothing.
    const auto& huge = decode(state, withDescriptorLength(block, 0, 0xFFFFFFFFu));
    EXPECT_TRUE(huge.FirstName->isEmpty());
    EXPECT_EQ(huge.FirstNameLength, 0x80000000u);
}
