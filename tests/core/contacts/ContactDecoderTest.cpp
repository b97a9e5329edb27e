#include "PimBlocks.h"

#include "contacts/ContactRecords.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

using namespace testdb;
using er::ContactField;

namespace {

er::ContactView decode(er::ScanState& state, const QByteArray& block)
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
    EXPECT_EQ(*c.field(ContactField::FirstName), "Ann");
    EXPECT_EQ(c.length(ContactField::FirstName), 4u); // three characters and the terminating zero
    EXPECT_EQ(*c.field(ContactField::Title), "Dr");
    EXPECT_EQ(c.length(ContactField::Title), 2u); // no terminating zero after the marker
    EXPECT_EQ(*c.field(ContactField::LastName), last.toUtf8());
    EXPECT_EQ(c.length(ContactField::LastName), quint32(last.size() + 1)); // characters, not UTF-8 bytes
    EXPECT_EQ(*c.field(ContactField::Company), "Acme");
    EXPECT_EQ(c.length(ContactField::Company), 6u);
    EXPECT_EQ(*c.field(ContactField::Email1), QByteArray("ann@example.com\0", 16)); // 8-bit text as stored
    EXPECT_EQ(c.length(ContactField::Email1), 16u);
    EXPECT_FALSE(c.field(ContactField::Suffix));
    EXPECT_EQ(c.length(ContactField::Suffix), 0u);
}

TEST(ContactDecoder, TagsLandInTheirFields)
{
    using CI = er::ContactView;
    // The irregular corners of the tag table and the ends of each range.
    const std::pair<quint32, ContactField> expected[] = {
        {0x1F3F, ContactField::Title},         {0x1F40, ContactField::Suffix},       {0x1F3E, ContactField::Nickname},
        {0x1F1B, ContactField::Department},    {0x1F17, ContactField::WorkCity},     {0x1F20, ContactField::WorkURL},
        {0x1F06, ContactField::HomeStreet},    {0x1F0E, ContactField::HomeURL},      {0x1F0B, ContactField::HomePhone1},
        {0x1F0F, ContactField::HomePhone2},    {0x1F0C, ContactField::HomeFax},      {0x1F1D, ContactField::WorkPhone1},
        {0x1F22, ContactField::WorkPhone2},    {0x1F1E, ContactField::WorkFax},      {0x1F1F, ContactField::Pager},
        {0x1F21, ContactField::MobilePhone},   {0x1F23, ContactField::MainPhone},    {0x1F25, ContactField::AssistantPhone},
        {0x1F5A, ContactField::CustomPhone1},  {0x1F5D, ContactField::CustomPhone4}, {0x1F41, ContactField::Custom1},
        {0x1D66, ContactField::Email1},        {0x1D72, ContactField::Email13},      {0x1D78, ContactField::IM1},
        {0x1D84, ContactField::IM13},          {0x1F42, ContactField::Custom2},      {0x1F48, ContactField::Custom8},
        {0x1F49, ContactField::CustomDate1},   {0x1F4A, ContactField::CustomDate2},  {0x1F4B, ContactField::Birthday},
        {0x1F4C, ContactField::Anniversary},   {0x1F04, ContactField::Notes},        {0x1FC8, ContactField::Spouse},
        {0x1FC9, ContactField::Child1},        {0x1FCB, ContactField::Child3},       {0x1FD6, ContactField::Age},
        {0x1FD5, ContactField::AstrologySign}, {0x1FE6, ContactField::Interests},
    };
    QList<Property> props{prop32(0x0301, 4711), prop(0x4800, guidBytes(1))};
    for (const auto& [tagCode, field] : expected) {
        const QByteArray text = QByteArray::number(tagCode, 16);
        props << ((tagCode >> 8) == 0x1D ? prop(tagCode, text) : wideProp(tagCode, QString::fromLatin1(text)));
    }
    er::ScanState state;
    const CI& c = decode(state, contactBlock(props));
    EXPECT_EQ(c->ContactID, 4711u);
    EXPECT_EQ(*c.field(ContactField::GUID), guidBytes(1));
    EXPECT_EQ(c.length(ContactField::GUID), 16u);
    for (const auto& [tagCode, field] : expected) {
        ASSERT_TRUE(c.has(field)) << std::hex << tagCode;
        EXPECT_EQ(*c.field(field), QByteArray::number(tagCode, 16));
    }
    EXPECT_FALSE(c.field(ContactField::BloodType));
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
    EXPECT_EQ(*c.field(ContactField::FirstName), "Ann");
    ASSERT_TRUE(c.field(ContactField::Title) && c.has(ContactField::LastName) && c.has(ContactField::Email1));
    EXPECT_TRUE(c.field(ContactField::Title)->isEmpty() && c.field(ContactField::LastName)->isEmpty() && c.field(ContactField::Email1)->isEmpty());
    EXPECT_EQ(c.length(ContactField::Title), 301u);
    EXPECT_EQ(c.length(ContactField::LastName), 4u);
    EXPECT_EQ(c.length(ContactField::Email1), 3u);
    EXPECT_EQ(state.contactCount, 1u);

    // A length near 4 GiB sizes nothing.
    const auto& huge = decode(state, withDescriptorLength(block, 0, 0xFFFFFFFFu));
    EXPECT_TRUE(huge.field(ContactField::FirstName)->isEmpty());
    EXPECT_EQ(huge.length(ContactField::FirstName), 0x80000000u);
}
