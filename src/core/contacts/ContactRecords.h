#pragma once
// Contact ("CTRC") records.
//
// Property fields follow the pair convention of format/PropertyText.h.

#include "format/PropertyText.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <optional>

namespace er {

struct ContactRecord {
    quint64 ContactID = 0;
    OptionalBytes GUID; quint32 GUIDLength = 0;

    OptionalBytes FirstName; quint32 FirstNameLength = 0;
    OptionalBytes LastName; quint32 LastNameLength = 0;
    OptionalBytes Title; quint32 TitleLength = 0;
    OptionalBytes Suffix; quint32 SuffixLength = 0;
    OptionalBytes Nickname; quint32 NicknameLength = 0;
    OptionalBytes Company; quint32 CompanyLength = 0;
    OptionalBytes JobTitle; quint32 JobTitleLength = 0;
    OptionalBytes Department; quint32 DepartmentLength = 0;

    OptionalBytes WorkStreet; quint32 WorkStreetLength = 0;
    OptionalBytes WorkCity; quint32 WorkCityLength = 0;
    OptionalBytes WorkState; quint32 WorkStateLength = 0;
    OptionalBytes WorkZip; quint32 WorkZipLength = 0;
    OptionalBytes WorkCountry; quint32 WorkCountryLength = 0;
    OptionalBytes WorkURL; quint32 WorkURLLength = 0;

    OptionalBytes HomeStreet; quint32 HomeStreetLength = 0;
    OptionalBytes HomeCity; quint32 HomeCityLength = 0;
    OptionalBytes HomeState; quint32 HomeStateLength = 0;
    OptionalBytes HomeZip; quint32 HomeZipLength = 0;
    OptionalBytes HomeCountry; quint32 HomeCountryLength = 0;
    OptionalBytes HomeURL; quint32 HomeURLLength = 0;

    OptionalBytes HomePhone1; quint32 HomePhone1Length = 0;
    OptionalBytes HomePhone2; quint32 HomePhone2Length = 0;
    OptionalBytes HomeFax; quint32 HomeFaxLength = 0;
    OptionalBytes WorkPhone1; quint32 WorkPhone1Length = 0;
    OptionalBytes WorkPhone2; quint32 WorkPhone2Length = 0;
    OptionalBytes WorkFax; quint32 WorkFaxLength = 0;
    OptionalBytes Pager; quint32 PagerLength = 0;
    OptionalBytes MobilePhone; quint32 MobilePhoneLength = 0;
    OptionalBytes MainPhone; quint32 MainPhoneLength = 0;
    OptionalBytes AssistantPhone; quint32 AssistantPhoneLength = 0;
    OptionalBytes CustomPhone1; quint32 CustomPhone1Length = 0;
    OptionalBytes CustomPhone2; quint32 CustomPhone2Length = 0;
    OptionalBytes CustomPhone3; quint32 CustomPhone3Length = 0;
    OptionalBytes CustomPhone4; quint32 CustomPhone4Length = 0;

    OptionalBytes Custom1; quint32 Custom1Length = 0;

    // 8-bit text.
    OptionalBytes Email1; quint32 Email1Length = 0;
    OptionalBytes Email2; quint32 Email2Length = 0;
    OptionalBytes Email3; quint32 Email3Length = 0;
    OptionalBytes Email4; quint32 Email4Length = 0;
    OptionalBytes Email5; quint32 Email5Length = 0;
    OptionalBytes Email6; quint32 Email6Length = 0;
    OptionalBytes Email7; quint32 Email7Length = 0;
    OptionalBytes Email8; quint32 Email8Length = 0;
    OptionalBytes Email9; quint32 Email9Length = 0;
    OptionalBytes Email10; quint32 Email10Length = 0;
    OptionalBytes Email11; quint32 Email11Length = 0;
    OptionalBytes Email12; quint32 Email12Length = 0;
    OptionalBytes Email13; quint32 Email13Length = 0;

    // 8-bit text.
    OptionalBytes IM1; quint32 IM1Length = 0;
    OptionalBytes IM2; quint32 IM2Length = 0;
    OptionalBytes IM3; quint32 IM3Length = 0;
    OptionalBytes IM4; quint32 IM4Length = 0;
    OptionalBytes IM5; quint32 IM5Length = 0;
    OptionalBytes IM6; quint32 IM6Length = 0;
    OptionalBytes IM7; quint32 IM7Length = 0;
    OptionalBytes IM8; quint32 IM8Length = 0;
    OptionalBytes IM9; quint32 IM9Length = 0;
    OptionalBytes IM10; quint32 IM10Length = 0;
    OptionalBytes IM11; quint32 IM11Length = 0;
    OptionalBytes IM12; quint32 IM12Length = 0;
    OptionalBytes IM13; quint32 IM13Length = 0;

    OptionalBytes Custom2; quint32 Custom2Length = 0;
    OptionalBytes Custom3; quint32 Custom3Length = 0;
    OptionalBytes Custom4; quint32 Custom4Length = 0;
    OptionalBytes Custom5; quint32 Custom5Length = 0;
    OptionalBytes Custom6; quint32 Custom6Length = 0;
    OptionalBytes Custom7; quint32 Custom7Length = 0;
    OptionalBytes Custom8; quint32 Custom8Length = 0;

    // Dates are text like the other fields, shown and written as stored.
    OptionalBytes CustomDate1; quint32 CustomDate1Length = 0;
    OptionalBytes CustomDate2; quint32 CustomDate2Length = 0;
    OptionalBytes Birthday; quint32 BirthdayLength = 0;
    OptionalBytes Anniversary; quint32 AnniversaryLength = 0;
    OptionalBytes Notes; quint32 NotesLength = 0;
    OptionalBytes Spouse; quint32 SpouseLength = 0;
    OptionalBytes Child1; quint32 Child1Length = 0;
    OptionalBytes Child2; quint32 Child2Length = 0;
    OptionalBytes Child3; quint32 Child3Length = 0;
    OptionalBytes Age; quint32 AgeLength = 0;
    OptionalBytes AstrologySign; quint32 AstrologySignLength = 0;
    // No property tag is known to fill it; the preview shows it when set.
    OptionalBytes BloodType; quint32 BloodTypeLength = 0;
    OptionalBytes Interests; quint32 InterestsLength = 0;
};

// A contact that carries a name or one of the first four e-mail addresses:
// counted, listed and exported. Others stay in the list only.
inline bool isUsableContact(const ContactRecord& c)
{
    return c.FirstName || c.LastName || c.Email1 || c.Email2 || c.Email3 || c.Email4;
}

} // namespace er
