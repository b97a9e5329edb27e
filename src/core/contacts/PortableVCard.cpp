#include "contacts/PortableVCard.h"

#include "output/ContentLines.h"
#include "output/ItemFiles.h"
#include "format/ByteOrder.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextCodec>

#include <cstddef>

namespace er {

namespace {

using Field = ContactField;

// A field written as one property of its own: the property's name with its
// parameters, then ":" and the field's escaped text.
struct Line {
    Field field;
    const char* name;
};

// Fields in the order of their structured value's components.
const Field kWorkAddress[] = {ContactField::WorkStreet, ContactField::WorkCity, ContactField::WorkState, ContactField::WorkZip, ContactField::WorkCountry};
const Field kHomeAddress[] = {ContactField::HomeStreet, ContactField::HomeCity, ContactField::HomeState, ContactField::HomeZip, ContactField::HomeCountry};

const Line kSimple[] = {
    {ContactField::Nickname, "NICKNAME"},
    {ContactField::JobTitle, "TITLE"},
};

// vCard 3.0 has no type for a main, assistant's or custom number: voice plus
// an x-name that keeps which one it was.
const Line kPhones[] = {
    {ContactField::WorkPhone1, "TEL;TYPE=WORK,VOICE"},
    {ContactField::WorkPhone2, "TEL;TYPE=WORK,VOICE"},
    {ContactField::WorkFax, "TEL;TYPE=WORK,FAX"},
    {ContactField::HomePhone1, "TEL;TYPE=HOME,VOICE"},
    {ContactField::HomePhone2, "TEL;TYPE=HOME,VOICE"},
    {ContactField::HomeFax, "TEL;TYPE=HOME,FAX"},
    {ContactField::MobilePhone, "TEL;TYPE=CELL,VOICE"},
    {ContactField::Pager, "TEL;TYPE=PAGER"},
    {ContactField::MainPhone, "TEL;TYPE=VOICE,X-MAIN"},
    {ContactField::AssistantPhone, "TEL;TYPE=VOICE,X-ASSISTANT"},
    {ContactField::CustomPhone1, "TEL;TYPE=VOICE,X-CUSTOM1"},
    {ContactField::CustomPhone2, "TEL;TYPE=VOICE,X-CUSTOM2"},
    {ContactField::CustomPhone3, "TEL;TYPE=VOICE,X-CUSTOM3"},
    {ContactField::CustomPhone4, "TEL;TYPE=VOICE,X-CUSTOM4"},
};

const Line kEmails[] = {
    {ContactField::Email1, "EMAIL;TYPE=INTERNET,PREF"},
    {ContactField::Email2, "EMAIL;TYPE=INTERNET"},  {ContactField::Email3, "EMAIL;TYPE=INTERNET"},
    {ContactField::Email4, "EMAIL;TYPE=INTERNET"},  {ContactField::Email5, "EMAIL;TYPE=INTERNET"},
    {ContactField::Email6, "EMAIL;TYPE=INTERNET"},  {ContactField::Email7, "EMAIL;TYPE=INTERNET"},
    {ContactField::Email8, "EMAIL;TYPE=INTERNET"},  {ContactField::Email9, "EMAIL;TYPE=INTERNET"},
    {ContactField::Email10, "EMAIL;TYPE=INTERNET"}, {ContactField::Email11, "EMAIL;TYPE=INTERNET"},
    {ContactField::Email12, "EMAIL;TYPE=INTERNET"}, {ContactField::Email13, "EMAIL;TYPE=INTERNET"},
};

// The database does not record which service an address belongs to.
const Line kInstantMessaging[] = {
    {ContactField::IM1, "X-IM"},  {ContactField::IM2, "X-IM"},  {ContactField::IM3, "X-IM"},  {ContactField::IM4, "X-IM"},  {ContactField::IM5, "X-IM"},
    {ContactField::IM6, "X-IM"},  {ContactField::IM7, "X-IM"},  {ContactField::IM8, "X-IM"},  {ContactField::IM9, "X-IM"},  {ContactField::IM10, "X-IM"},
    {ContactField::IM11, "X-IM"}, {ContactField::IM12, "X-IM"}, {ContactField::IM13, "X-IM"},
};

// URL is a URI, not text: its semicolons stay as they are (a reader may keep
// "\;" and break the link), but its commas, backslashes and line breaks are
// escaped, since readers decode those in every value and some end a value at
// a raw comma.
const Line kUrls[] = {
    {ContactField::WorkURL, "URL;TYPE=WORK"},
    {ContactField::HomeURL, "URL;TYPE=HOME"},
};

// Numbered names keep each field in its own slot: a second child stays the
// second even when the first is empty.
const Line kExtensions[] = {
    {ContactField::Spouse, "X-SPOUSE"},
    {ContactField::Child1, "X-CHILD1"},
    {ContactField::Child2, "X-CHILD2"},
    {ContactField::Child3, "X-CHILD3"},
    {ContactField::Age, "X-AGE"},
    {ContactField::AstrologySign, "X-ASTROLOGY-SIGN"},
    {ContactField::BloodType, "X-BLOOD-TYPE"},
    {ContactField::Interests, "X-INTERESTS"},
    {ContactField::Custom1, "X-CUSTOM1"},
    {ContactField::Custom2, "X-CUSTOM2"},
    {ContactField::Custom3, "X-CUSTOM3"},
    {ContactField::Custom4, "X-CUSTOM4"},
    {ContactField::Custom5, "X-CUSTOM5"},
    {ContactField::Custom6, "X-CUSTOM6"},
    {ContactField::Custom7, "X-CUSTOM7"},
    {ContactField::Custom8, "X-CUSTOM8"},
    {ContactField::CustomDate1, "X-CUSTOM-DATE1"},
    {ContactField::CustomDate2, "X-CUSTOM-DATE2"},
};

// A stored date that decodes is written as a date under the first name,
// anything else as the text it is under the second, so that a reader
// expecting a date never meets free text and nothing is lost.
struct DateLine {
    Field field;
    const char* dateName;
    const char* textName;
};

const DateLine kDates[] = {
    {ContactField::Birthday, "BDAY", "X-BIRTHDAY-TEXT"},
    {ContactField::Anniversary, "X-ANNIVERSARY", "X-ANNIVERSARY-TEXT"},
};

// The fields of N, ORG and NOTE, which have no table of their own.
const Field kOtherFields[] = {ContactField::FirstName, ContactField::LastName, ContactField::Title,      ContactField::Suffix,
                              ContactField::Company,   ContactField::Department, ContactField::Notes};

const char kUnnamed[] = "Unnamed Contact";

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

// Tab and line breaks stay: NOTE and the others escape the breaks.
bool isDroppedControl(QChar c)
{
    const ushort u = c.unicode();
    return (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F;
}

class PortableCard {
public:
    explicit PortableCard(const ContactView& contact) : m_c(contact) {}

    QByteArray card(const QByteArray& uid)
    {
        put(QStringLiteral("BEGIN:VCARD"));
        put(QStringLiteral("VERSION:3.0"));
        if (!uid.isEmpty())
            put(QStringLiteral("UID:") + QString::fromLatin1(uid));
        put(QStringLiteral("FN:") + escapeTextValue(formattedName()));
        // N is required: written even when every part is empty.
        put(QStringLiteral("N:")
            + structured({text(ContactField::LastName), text(ContactField::FirstName), QString(), text(ContactField::Title),
                          text(ContactField::Suffix)}));
        lines(kSimple);
        // The organisation, then its unit when there is one.
        if (has(ContactField::Department))
            put(QStringLiteral("ORG:") + structured({text(ContactField::Company), text(ContactField::Department)}));
        else if (has(ContactField::Company))
            put(QStringLiteral("ORG:") + structured({text(ContactField::Company)}));
        address("ADR;TYPE=WORK:", kWorkAddress);
        address("ADR;TYPE=HOME:", kHomeAddress);
        lines(kPhones);
        lines(kEmails);
        for (const Line& l : kUrls)
            if (has(l.field))
                put(QLatin1String(l.name) + QLatin1Char(':') + uriValue(text(l.field)));
        for (const DateLine& d : kDates) {
            if (!has(d.field))
                continue;
            const QDate date = portableDate(text(d.field));
            if (date.isValid())
                put(QLatin1String(d.dateName) + QLatin1Char(':') + date.toString(Qt::ISODate));
            else
                put(QLatin1String(d.textName) + QLatin1Char(':') + escapeTextValue(text(d.field)));
        }
        if (has(ContactField::Notes))
            put(QStringLiteral("NOTE:") + escapeTextValue(text(ContactField::Notes)));
        lines(kInstantMessaging);
        lines(kExtensions);
        put(QStringLiteral("END:VCARD"));
        return m_out;
    }

private:
    QString text(Field f) const { return portableText(m_c.field(f)); }
    bool has(Field f) const { return !isBlank(text(f)); }

    void put(const QString& line) { m_out += contentLine(line); }

    template <std::size_t N>
    void lines(const Line (&list)[N])
    {
        for (const Line& l : list)
            if (has(l.field))
                put(QLatin1String(l.name) + QLatin1Char(':') + escapeTextValue(text(l.field)));
    }

    // Each component escaped on its own, so that its commas and semicolons
    // stay text rather than separators.
    static QString structured(const QStringList& parts)
    {
        QStringList escaped;
        for (const QString& part : parts)
            escaped << (isBlank(part) ? QString() : escapeTextValue(part));
        return escaped.join(QLatin1Char(';'));
    }

    static QString uriValue(const QString& uri)
    {
        QStringList pieces = uri.split(QLatin1Char(';'));
        for (QString& piece : pieces)
            piece = escapeTextValue(piece);
        return pieces.join(QLatin1Char(';'));
    }

    // Post office box and extended address are not recorded: empty.
    void address(const char* name, const Field (&parts)[5])
    {
        QStringList components{QString(), QString()};
        bool any = false;
        for (Field f : parts) {
            components << text(f);
            any = any || has(f);
        }
        if (any)
            put(QLatin1String(name) + structured(components));
    }

    // vCard 3.0 requires a non-empty FN: the name, else what else names
    // the contact best.
    QString formattedName() const
    {
        const QString first = has(ContactField::FirstName) ? text(ContactField::FirstName) : QString();
        const QString last = has(ContactField::LastName) ? text(ContactField::LastName) : QString();
        if (!first.isEmpty() && !last.isEmpty())
            return first + QLatin1Char(' ') + last;
        if (!first.isEmpty() || !last.isEmpty())
            return first + last;
        for (Field f : {ContactField::Nickname, ContactField::Company})
            if (has(f))
                return text(f);
        for (const Line& l : kEmails)
            if (has(l.field))
                return text(l.field);
        for (const Line& l : kPhones)
            if (has(l.field))
                return text(l.field);
        return QLatin1String(kUnnamed);
    }

    const ContactView m_c;
    QByteArray m_out;
};

} // namespace

QString portableText(const OptionalBytes& field)
{
    if (!field)
        return QString();
    const QByteArray bytes = cutAtNul(*field);
    const QString text = eightBitText(bytes);
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : qAsConst(text))
        if (!isDroppedControl(c))
            kept += c;
    return kept;
}

bool hasContactData(const ContactView& contact)
{
    auto any = [&contact](const auto& list, auto field) {
        for (const auto& entry : list)
            if (!isBlank(portableText(contact.field(field(entry)))))
                return true;
        return false;
    };
    auto self = [](Field f) { return f; };
    auto lineField = [](const Line& l) { return l.field; };
    auto dateField = [](const DateLine& d) { return d.field; };
    return any(kOtherFields, self) || any(kWorkAddress, self) || any(kHomeAddress, self) || any(kSimple, lineField)
        || any(kPhones, lineField) || any(kEmails, lineField) || any(kUrls, lineField) || any(kDates, dateField)
        || any(kInstantMessaging, lineField) || any(kExtensions, lineField);
}

QDate portableDate(const QString& stored)
{
    static const QRegularExpression yearFirst(
        QStringLiteral("^([0-9]{4})([-/.])([0-9]{1,2})\\2([0-9]{1,2})(?:[T ].*)?$"));
    static const QRegularExpression compact(QStringLiteral("^([0-9]{4})([0-9]{2})([0-9]{2})(?:T.*)?$"));
    static const QRegularExpression dayFirst(QStringLiteral("^([0-9]{1,2})\\.([0-9]{1,2})\\.([0-9]{4})$"));
    static const QRegularExpression slashed(QStringLiteral("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})$"));

    const QString text = stored.trimmed();
    auto n = [](const QRegularExpressionMatch& m, int i) { return m.captured(i).toInt(); };
    QRegularExpressionMatch m;
    if ((m = yearFirst.match(text)).hasMatch())
        return QDate(n(m, 1), n(m, 3), n(m, 4));
    if ((m = compact.match(text)).hasMatch())
        return QDate(n(m, 1), n(m, 2), n(m, 3));
    if ((m = dayFirst.match(text)).hasMatch())
        return QDate(n(m, 3), n(m, 2), n(m, 1));
    if ((m = slashed.match(text)).hasMatch()) {
        const int a = n(m, 1), b = n(m, 2), year = n(m, 3);
        if (a > 12 && b <= 12)
            return QDate(year, b, a);
        if (b > 12 && a <= 12)
            return QDate(year, a, b);
    }
    return QDate();
}

QByteArray portableVCard(const ContactView& contact, const QByteArray& uid)
{
    return PortableCard(contact).card(uid);
}

void writeContactsVCard(const ContactStore& contacts, const TextSink& out)
{
    // A damaged database can hold one contact twice (an old copy beside the
    // new). Importers keep one card per UID, so a repeated GUID gets "-2",
    // "-3", ... as the bundle's file names do, and no card replaces another.
    QSet<QByteArray> taken;
    QHash<QByteArray, int> nextSuffix;
    for (const ContactView contact : contacts) {
        if (!hasContactData(contact))
            continue;
        // A contact without a GUID gets a UID made from its card, so that the
        // same database gives the same UIDs in every export and an importer
        // never sees it as new twice.
        QByteArray guidUid = uidOf(contact.field(ContactField::GUID), contact.length(ContactField::GUID));
        if (guidUid.isEmpty())
            guidUid = "ENTOURAGE-REPAIR-VCARD-"
                + QCryptographicHash::hash(portableVCard(contact, QByteArray()), QCryptographicHash::Sha1)
                      .toHex()
                      .toUpper()
                      .left(16);
        QByteArray uid = guidUid;
        if (!uid.isEmpty() && taken.contains(uid)) {
            int& next = nextSuffix[guidUid];
            if (next == 0)
                next = 2;
            do
                uid = guidUid + '-' + QByteArray::number(next++);
            while (taken.contains(uid));
        }
        taken.insert(uid);
        out(portableVCard(contact, uid));
    }
}

QByteArray contactsVCardFile(const ContactStore& contacts)
{
    QByteArray out;
    writeContactsVCard(contacts, [&out](const QByteArray& bytes) { out += bytes; });
    return out;
}

} // namespace er
