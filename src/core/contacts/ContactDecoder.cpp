#include "contacts/ContactDecoder.h"

#include "format/PropertyText.h"
#include "format/PropertyTable.h"

namespace er {

namespace {

enum class Stored { Wide, EightBit };

// One text property of a contact: its tag, the field it fills and how its
// data are stored.
struct ContactTextProperty {
    quint32 tag;
    ContactField field;
    Stored kind;
};

#define ER_CONTACT_TEXT(tagCode, name, kind) ContactTextProperty{tagCode, ContactField::name, Stored::kind}

const ContactTextProperty kContactTextProperties[] = {
    ER_CONTACT_TEXT(0x00001F01, FirstName, Wide),
    ER_CONTACT_TEXT(0x00001F02, LastName, Wide),
    ER_CONTACT_TEXT(0x00001F3F, Title, Wide),
    ER_CONTACT_TEXT(0x00001F40, Suffix, Wide),
    ER_CONTACT_TEXT(0x00001F3E, Nickname, Wide),
    ER_CONTACT_TEXT(0x00001F14, Company, Wide),
    ER_CONTACT_TEXT(0x00001F15, JobTitle, Wide),
    ER_CONTACT_TEXT(0x00001F1B, Department, Wide),
    ER_CONTACT_TEXT(0x00001F16, WorkStreet, Wide),
    ER_CONTACT_TEXT(0x00001F17, WorkCity, Wide),
    ER_CONTACT_TEXT(0x00001F18, WorkState, Wide),
    ER_CONTACT_TEXT(0x00001F19, WorkZip, Wide),
    ER_CONTACT_TEXT(0x00001F1A, WorkCountry, Wide),
    ER_CONTACT_TEXT(0x00001F20, WorkURL, Wide),
    ER_CONTACT_TEXT(0x00001F06, HomeStreet, Wide),
    ER_CONTACT_TEXT(0x00001F07, HomeCity, Wide),
    ER_CONTACT_TEXT(0x00001F08, HomeState, Wide),
    ER_CONTACT_TEXT(0x00001F09, HomeZip, Wide),
    ER_CONTACT_TEXT(0x00001F0A, HomeCountry, Wide),
    ER_CONTACT_TEXT(0x00001F0E, HomeURL, Wide),
    ER_CONTACT_TEXT(0x00001F0B, HomePhone1, Wide),
    ER_CONTACT_TEXT(0x00001F0F, HomePhone2, Wide),
    ER_CONTACT_TEXT(0x00001F0C, HomeFax, Wide),
    ER_CONTACT_TEXT(0x00001F1D, WorkPhone1, Wide),
    ER_CONTACT_TEXT(0x00001F22, WorkPhone2, Wide),
    ER_CONTACT_TEXT(0x00001F1E, WorkFax, Wide),
    ER_CONTACT_TEXT(0x00001F1F, Pager, Wide),
    ER_CONTACT_TEXT(0x00001F21, MobilePhone, Wide),
    ER_CONTACT_TEXT(0x00001F23, MainPhone, Wide),
    ER_CONTACT_TEXT(0x00001F25, AssistantPhone, Wide),
    ER_CONTACT_TEXT(0x00001F5A, CustomPhone1, Wide),
    ER_CONTACT_TEXT(0x00001F5B, CustomPhone2, Wide),
    ER_CONTACT_TEXT(0x00001F5C, CustomPhone3, Wide),
    ER_CONTACT_TEXT(0x00001F5D, CustomPhone4, Wide),
    ER_CONTACT_TEXT(0x00001F41, Custom1, Wide),
    ER_CONTACT_TEXT(0x00001D66, Email1, EightBit),
    ER_CONTACT_TEXT(0x00001D67, Email2, EightBit),
    ER_CONTACT_TEXT(0x00001D68, Email3, EightBit),
    ER_CONTACT_TEXT(0x00001D69, Email4, EightBit),
    ER_CONTACT_TEXT(0x00001D6A, Email5, EightBit),
    ER_CONTACT_TEXT(0x00001D6B, Email6, EightBit),
    ER_CONTACT_TEXT(0x00001D6C, Email7, EightBit),
    ER_CONTACT_TEXT(0x00001D6D, Email8, EightBit),
    ER_CONTACT_TEXT(0x00001D6E, Email9, EightBit),
    ER_CONTACT_TEXT(0x00001D6F, Email10, EightBit),
    ER_CONTACT_TEXT(0x00001D70, Email11, EightBit),
    ER_CONTACT_TEXT(0x00001D71, Email12, EightBit),
    ER_CONTACT_TEXT(0x00001D72, Email13, EightBit),
    ER_CONTACT_TEXT(0x00001D78, IM1, EightBit),
    ER_CONTACT_TEXT(0x00001D79, IM2, EightBit),
    ER_CONTACT_TEXT(0x00001D7A, IM3, EightBit),
    ER_CONTACT_TEXT(0x00001D7B, IM4, EightBit),
    ER_CONTACT_TEXT(0x00001D7C, IM5, EightBit),
    ER_CONTACT_TEXT(0x00001D7D, IM6, EightBit),
    ER_CONTACT_TEXT(0x00001D7E, IM7, EightBit),
    ER_CONTACT_TEXT(0x00001D7F, IM8, EightBit),
    ER_CONTACT_TEXT(0x00001D80, IM9, EightBit),
    ER_CONTACT_TEXT(0x00001D81, IM10, EightBit),
    ER_CONTACT_TEXT(0x00001D82, IM11, EightBit),
    ER_CONTACT_TEXT(0x00001D83, IM12, EightBit),
    ER_CONTACT_TEXT(0x00001D84, IM13, EightBit),
    ER_CONTACT_TEXT(0x00001F42, Custom2, Wide),
    ER_CONTACT_TEXT(0x00001F43, Custom3, Wide),
    ER_CONTACT_TEXT(0x00001F44, Custom4, Wide),
    ER_CONTACT_TEXT(0x00001F45, Custom5, Wide),
    ER_CONTACT_TEXT(0x00001F46, Custom6, Wide),
    ER_CONTACT_TEXT(0x00001F47, Custom7, Wide),
    ER_CONTACT_TEXT(0x00001F48, Custom8, Wide),
    ER_CONTACT_TEXT(0x00001F49, CustomDate1, Wide),
    ER_CONTACT_TEXT(0x00001F4A, CustomDate2, Wide),
    ER_CONTACT_TEXT(0x00001F4B, Birthday, Wide),
    ER_CONTACT_TEXT(0x00001F4C, Anniversary, Wide),
    ER_CONTACT_TEXT(0x00001F04, Notes, Wide),
    ER_CONTACT_TEXT(0x00001FC8, Spouse, Wide),
    ER_CONTACT_TEXT(0x00001FC9, Child1, Wide),
    ER_CONTACT_TEXT(0x00001FCA, Child2, Wide),
    ER_CONTACT_TEXT(0x00001FCB, Child3, Wide),
    ER_CONTACT_TEXT(0x00001FD6, Age, Wide),
    ER_CONTACT_TEXT(0x00001FD5, AstrologySign, Wide),
    ER_CONTACT_TEXT(0x00001FE6, Interests, Wide),
};

#undef ER_CONTACT_TEXT

constexpr quint32 kTagContactID = 0x00000301;
constexpr quint32 kTagGUID = 0x00004800;

const ContactTextProperty* contactTextProperty(quint32 tag)
{
    for (const ContactTextProperty& p : kContactTextProperties)
        if (p.tag == tag)
            return &p;
    return nullptr;
}

} // namespace

void decodeContact(const BlockView& b, ContactStore& store)
{
    ContactStore::Appended contact = store.append();

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        if (p.tag == kTagContactID) {
            if (b.contains(d, 4))
                contact.record.ContactID = b.u32(d);
        } else if (p.tag == kTagGUID) {
            contact.fields.raw(ContactField::GUID, b, d, n);
        } else if (const ContactTextProperty* text = contactTextProperty(p.tag)) {
            if (text->kind == Stored::Wide)
                contact.fields.wideText(text->field, b, d, n);
            else
                contact.fields.eightBit(text->field, b, d, n);
        }
    });
}

} // namespace er
