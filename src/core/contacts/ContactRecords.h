#pragma once
// Contact ("CTRC") records: the contact id in the record, every other
// property a field of the store (format/FieldStore.h) that the record holds
// only when the block had it.

#include "format/FieldStore.h"

#include <QtGlobal>

namespace er {

enum class ContactField : quint8 {
    GUID,
    FirstName, LastName, Title, Suffix, Nickname, Company, JobTitle, Department,
    WorkStreet, WorkCity, WorkState, WorkZip, WorkCountry, WorkURL,
    HomeStreet, HomeCity, HomeState, HomeZip, HomeCountry, HomeURL,
    HomePhone1, HomePhone2, HomeFax, WorkPhone1, WorkPhone2, WorkFax, Pager, MobilePhone, MainPhone,
    AssistantPhone, CustomPhone1, CustomPhone2, CustomPhone3, CustomPhone4,
    Custom1,
    // 8-bit text.
    Email1, Email2, Email3, Email4, Email5, Email6, Email7, Email8, Email9, Email10, Email11, Email12, Email13,
    // 8-bit text.
    IM1, IM2, IM3, IM4, IM5, IM6, IM7, IM8, IM9, IM10, IM11, IM12, IM13,
    Custom2, Custom3, Custom4, Custom5, Custom6, Custom7, Custom8,
    // Dates are text like the other fields, shown and written as stored.
    CustomDate1, CustomDate2, Birthday, Anniversary,
    Notes, Spouse, Child1, Child2, Child3, Age, AstrologySign,
    // No property tag is known to fill it; the preview shows it when set.
    BloodType,
    Interests,
};

struct ContactRecord {
    quint64 ContactID = 0;
    FieldRange fields;
};

using ContactStore = FieldStore<ContactRecord, ContactField>;
using ContactView = ContactStore::View;

// A contact that carries a name or one of the first four e-mail addresses:
// counted, listed and exported. Others stay in the list only.
inline bool isUsableContact(const ContactView& c)
{
    return c.has(ContactField::FirstName) || c.has(ContactField::LastName) || c.has(ContactField::Email1)
        || c.has(ContactField::Email2) || c.has(ContactField::Email3) || c.has(ContactField::Email4);
}

} // namespace er
