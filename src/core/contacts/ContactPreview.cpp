#include "contacts/ContactPreview.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

namespace er {

namespace {

enum class ShownWhen {
    Present,  // the field exists
    NonEmpty, // stored length above 1: more than a terminating zero
    NonZero,  // stored length other than 0
    Capped,   // non-empty, at most kPreviewBufferCharacters shown
};

struct PreviewLine {
    const char* caption;
    ContactField field;
    ShownWhen when;
};

#define ER_LINE(caption, name, when) PreviewLine{caption, ContactField::name, ShownWhen::when}

// Work city, custom phones 2 and 4, the children and the interests have never
// been part of the preview; the export writes them.
const PreviewLine kContactLines[] = {
    ER_LINE("First Name: ", FirstName, Present),
    ER_LINE("Last Name: ", LastName, Present),
    ER_LINE("Title: ", Title, NonEmpty),
    ER_LINE("Suffix: ", Suffix, NonEmpty),
    ER_LINE("Nickname: ", Nickname, NonEmpty),
    ER_LINE("Company: ", Company, NonEmpty),
    ER_LINE("Job Title: ", JobTitle, NonEmpty),
    ER_LINE("Dept: ", Department, NonEmpty),
    ER_LINE("Work Street Address: ", WorkStreet, NonEmpty),
    ER_LINE("Work State: ", WorkState, NonEmpty),
    ER_LINE("Work Zip: ", WorkZip, NonEmpty),
    ER_LINE("Work Country/Region: ", WorkCountry, NonEmpty),
    ER_LINE("Work URL: ", WorkURL, NonEmpty),
    ER_LINE("Home Street Address: ", HomeStreet, NonEmpty),
    ER_LINE("Home City: ", HomeCity, NonEmpty),
    ER_LINE("Home State: ", HomeState, NonEmpty),
    ER_LINE("Home Zip: ", HomeZip, NonEmpty),
    ER_LINE("Home Country/Region: ", HomeCountry, NonEmpty),
    ER_LINE("Home URL: ", HomeURL, NonEmpty),
    ER_LINE("Home Phone 1: ", HomePhone1, NonEmpty),
    ER_LINE("Home Phone 2: ", HomePhone2, NonEmpty),
    ER_LINE("Home Fax: ", HomeFax, NonEmpty),
    ER_LINE("Work Phone 1: ", WorkPhone1, NonEmpty),
    ER_LINE("Work Phone 2: ", WorkPhone2, NonEmpty),
    ER_LINE("Work Fax: ", WorkFax, NonEmpty),
    ER_LINE("Pager: ", Pager, NonEmpty),
    ER_LINE("Mobile Phone: ", MobilePhone, NonEmpty),
    ER_LINE("Main Phone: ", MainPhone, NonEmpty),
    ER_LINE("Assistant Phone: ", AssistantPhone, NonEmpty),
    ER_LINE("Custom Phone 1: ", CustomPhone1, NonEmpty),
    ER_LINE("Custom Phone 3: ", CustomPhone3, NonEmpty),
    ER_LINE("Email Address 1: ", Email1, Capped),
    ER_LINE("Email Address 2: ", Email2, Capped),
    ER_LINE("Email Address 3: ", Email3, NonEmpty),
    ER_LINE("Email Address 4: ", Email4, NonEmpty),
    ER_LINE("Email Address 5: ", Email5, NonEmpty),
    ER_LINE("Email Address 6: ", Email6, NonEmpty),
    ER_LINE("Email Address 7: ", Email7, NonEmpty),
    ER_LINE("Email Address 8: ", Email8, NonEmpty),
    ER_LINE("Email Address 9: ", Email9, NonEmpty),
    ER_LINE("Email Address 10: ", Email10, NonEmpty),
    ER_LINE("Email Address 11: ", Email11, NonEmpty),
    ER_LINE("Email Address 12: ", Email12, NonEmpty),
    ER_LINE("Email Address 13: ", Email13, NonEmpty),
    ER_LINE("Instant Messaging 1: ", IM1, NonEmpty),
    ER_LINE("Instant Messaging 2: ", IM2, NonEmpty),
    ER_LINE("Instant Messaging 3: ", IM3, NonEmpty),
    ER_LINE("Instant Messaging 4: ", IM4, NonEmpty),
    ER_LINE("Instant Messaging 5: ", IM5, NonEmpty),
    ER_LINE("Instant Messaging 6: ", IM6, NonEmpty),
    ER_LINE("Instant Messaging 7: ", IM7, NonEmpty),
    ER_LINE("Instant Messaging 8: ", IM8, NonEmpty),
    ER_LINE("Instant Messaging 9: ", IM9, NonEmpty),
    ER_LINE("Instant Messaging 10: ", IM10, NonEmpty),
    ER_LINE("Instant Messaging 11: ", IM11, NonEmpty),
    ER_LINE("Instant Messaging 12: ", IM12, NonEmpty),
    ER_LINE("Instant Messaging 13: ", IM13, NonEmpty),
    ER_LINE("Custom 1: ", Custom1, Present),
    ER_LINE("Custom 2: ", Custom2, Present),
    ER_LINE("Custom 3: ", Custom3, Present),
    ER_LINE("Custom 4: ", Custom4, Present),
    ER_LINE("Custom 5: ", Custom5, NonZero),
    ER_LINE("Custom 6: ", Custom6, NonZero),
    ER_LINE("Custom 7: ", Custom7, NonEmpty),
    ER_LINE("Custom 8: ", Custom8, Present),
    ER_LINE("Custom Date 1: ", CustomDate1, Present),
    ER_LINE("Custom Date 2: ", CustomDate2, Present),
    ER_LINE("Spouse: ", Spouse, NonEmpty),
    ER_LINE("Birthday: ", Birthday, NonEmpty),
    ER_LINE("Anniversary: ", Anniversary, NonEmpty),
    ER_LINE("Notes: ", Notes, NonEmpty),
    ER_LINE("Age: ", Age, Present),
    ER_LINE("Astrology sign: ", AstrologySign, NonEmpty),
    ER_LINE("Bloodtype: ", BloodType, NonEmpty),
};

#undef ER_LINE

bool isShown(const OptionalBytes& field, quint32 length, ShownWhen when)
{
    if (!field)
        return false;
    switch (when) {
    case ShownWhen::Present: return true;
    case ShownWhen::NonZero: return length != 0;
    case ShownWhen::NonEmpty:
    case ShownWhen::Capped: return length > 1;
    }
    return false;
}

} // namespace

QString contactRowText(const ContactView& contact)
{
    return previewText(contact.field(ContactField::FirstName)) + QLatin1Char(' ')
        + previewText(contact.field(ContactField::LastName));
}

QString itemKeyText(const ContactView& contact)
{
    return guidKeyText(contact.field(ContactField::GUID), contact.length(ContactField::GUID));
}

QStringList contactPreviewLines(const ContactView& contact)
{
    QStringList lines;
    for (const PreviewLine& line : kContactLines) {
        const OptionalBytes field = contact.field(line.field);
        if (!isShown(field, contact.length(line.field), line.when))
            continue;
        const QString text = line.when == ShownWhen::Capped ? cappedPreviewText(field) : previewText(field);
        lines << QLatin1String(line.caption) + text;
    }
    return lines;
}

} // namespace er
