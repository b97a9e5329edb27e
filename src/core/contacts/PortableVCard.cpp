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

using CI = ContactRecord;
using Field = OptionalBytes CI::*;

// A field written as one property of its own: the property's name with its
// parameters, then ":" and the field's escaped text.
struct Line {
    Field field;
    const char* name;
};

// Fields in the order of their structured value's components.
const Field kWorkAddress[] = {&CI::WorkStreet, &CI::WorkCity, &CI::WorkState, &CI::WorkZip, &CI::WorkCountry};
const Field kHomeAddress[] = {&CI::HomeStreet, &CI::HomeCity, &CI::HomeState, &CI::HomeZip, &CI::HomeCountry};

const Line kSimple[] = {
    {&CI::Nickname, "NICKNAME"},
    {&CI::JobTitle, "TITLE"},
};

// vCard 3.0 has no type for a main, assistant's or custom number: voice plus
// an x-name that keeps which one it was.
const Line kPhones[] = {
    {&CI::WorkPhone1, "TEL;TYPE=WORK,VOICE"},
    {&CI::WorkPhone2, "TEL;TYPE=WORK,VOICE"},
    {&CI::WorkFax, "TEL;TYPE=WORK,FAX"},
    {&CI::HomePhone1, "TEL;TYPE=HOME,VOICE"},
    {&CI::HomePhone2, "TEL;TYPE=HOME,VOICE"},
    {&CI::HomeFax, "TEL;TYPE=HOME,FAX"},
    {&CI::MobilePhone, "TEL;TYPE=CELL,VOICE"},
    {&CI::Pager, "TEL;TYPE=PAGER"},
    {&CI::MainPhone, "TEL;TYPE=VOICE,X-MAIN"},
    {&CI::AssistantPhone, "TEL;TYPE=VOICE,X-ASSISTANT"},
    {&CI::CustomPhone1, "TEL;TYPE=VOICE,X-CUSTOM1"},
    {&CI::CustomPhone2, "TEL;TYPE=VOICE,X-CUSTOM2"},
    {&CI::CustomPhone3, "TEL;TYPE=VOICE,X-CUSTOM3"},
    {&CI::CustomPhone4, "TEL;TYPE=VOICE,X-CUSTOM4"},
};

const Line kEmails[] = {
    {&CI::Email1, "EMAIL;TYPE=INTERNET,PREF"},
    {&CI::Email2, "EMAIL;TYPE=INTERNET"},  {&CI::Email3, "EMAIL;TYPE=INTERNET"},
    {&CI::Email4, "EMAIL;TYPE=INTERNET"},  {&CI::Email5, "EMAIL;TYPE=INTERNET"},
    {&CI::Email6, "EMAIL;TYPE=INTERNET"},  {&CI::Email7, "EMAIL;TYPE=INTERNET"},
    {&CI::Email8, "EMAIL;TYPE=INTERNET"},  {&CI::Email9, "EMAIL;TYPE=INTERNET"},
    {&CI::Email10, "EMAIL;TYPE=INTERNET"}, {&CI::Email11, "EMAIL;TYPE=INTERNET"},
    {&CI::Email12, "EMAIL;TYPE=INTERNET"}, {&CI::Email13, "EMAIL;TYPE=INTERNET"},
};

// The database does not record which service an address belongs to.
const Line kInstantMessaging[] = {
    {&CI::IM1, "X-IM"},  {&CI::IM2, "X-IM"},  {&CI::IM3, "X-IM"},  {&CI::IM4, "X-IM"},  {&CI::IM5, "X-IM"},
    {&CI::IM6, "X-IM"},  {&CI::IM7, "X-IM"},  {&CI::IM8, "X-IM"},  {&CI::IM9, "X-IM"},  {&CI::IM10, "X-IM"},
    {&CI::IM11, "X-IM"}, {&CI::IM12, "X-IM"}, {&CI::IM13, "X-IM"},
};

// URL is a URI, not text: its semicolons stay as they are (a reader may keep
// "\;" and break the link), but its commas, backslashes and line breaks are
// escaped, since readers decode those in every value and some end a value at
// a raw comma.
const Line kUrls[] = {
    {&CI::WorkURL, "URL;TYPE=WORK"},
    {&CI::HomeURL, "URL;TYPE=HOME"},
};

// Numbered names keep each field in its own slot: a second child stays the
// second even when the first is empty.
const Line kExtensions[] = {
    {&CI::Spouse, "X-SPOUSE"},
    {&CI::Child1, "X-CHILD1"},
    {&CI::Child2, "X-CHILD2"},
    {&CI::Child3, "X-CHILD3"},
    {&CI::Age, "X-AGE"},
    {&CI::AstrologySign, "X-ASTROLOGY-SIGN"},
    {&CI::BloodType, "X-BLOOD-TYPE"},
    {&CI::Interests, "X-INTERESTS"},
    {&CI::Custom1, "X-CUSTOM1"},
    {&CI::Custom2, "X-CUSTOM2"},
    {&CI::Custom3, "X-CUSTOM3"},
    {&CI::Custom4, "X-CUSTOM4"},
    {&CI::Custom5, "X-CUSTOM5"},
    {&CI::Custom6, "X-CUSTOM6"},
    {&CI::Custom7, "X-CUSTOM7"},
    {&CI::Custom8, "X-CUSTOM8"},
    {&CI::CustomDate1, "X-CUSTOM-DATE1"},
    {&CI::CustomDate2, "X-CUSTOM-DATE2"},
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
    {&CI::Birthday, "BDAY", "X-BIRTHDAY-TEXT"},
    {&CI::Anniversary, "X-ANNIVERSARY", "X-ANNIVERSARY-TEXT"},
};

// The fields of N, ORG and NOTE, which have no table of their own.
const Field kOtherFields[] = {&CI::FirstName, &CI::LastName, &CI::Title,      &CI::Suffix,
                              &CI::Company,   &CI::Department, &CI::Notes};

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
    explicit PortableCard(const ContactRecord& contact) : m_c(contact) {}

    QByteArray card(const QByteArray& uid)
    {
        put(QStringLiteral("BEGIN:VCARD"));
        put(QStringLiteral("VERSION:3.0"));
        if (!uid.isEmpty())
            put(QStringLiteral("UID:") + QString::fromLatin1(uid));
        put(QStringLiteral("FN:") + escapeTextValue(formattedName()));
        // N is required: written even when every part is empty.
        put(QStringLiteral("N:")
            + structured({text(&CI::LastName), text(&CI::FirstName), QString(), text(&CI::Title),
                          text(&CI::Suffix)}));
        lines(kSimple);
        // The organisation, then its unit when there is one.
        if (has(&CI::Department))
            put(QStringLiteral("ORG:") + structured({text(&CI::Company), text(&CI::Department)}));
        else if (has(&CI::Company))
            put(QStringLiteral("ORG:") + structured({text(&CI::Company)}));
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
        if (has(&CI::Notes))
            put(QStringLiteral("NOTE:") + escapeTextValue(text(&CI::Notes)));
        lines(kInstantMessaging);
        lines(kExtensions);
        put(QStringLiteral("END:VCARD"));
        return m_out;
    }

private:
    QString text(Field f) const { return portableText(m_c.*f); }
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
        const QString first = has(&CI::FirstName) ? text(&CI::FirstName) : QString();
        const QString last = has(&CI::LastName) ? text(&CI::LastName) : QString();
        if (!first.isEmpty() && !last.isEmpty())
            return first + QLatin1Char(' ') + last;
        if (!first.isEmpty() || !last.isEmpty())
            return first + last;
        for (Field f : {&CI::Nickname, &CI::Company})
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

    const ContactRecord& m_c;
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

bool hasContactData(const ContactRecord& contact)
{
    auto any = [&contact](const auto& list, auto field) {
        for (const auto& entry : list)
            if (!isBlank(portableText(contact.*field(entry))))
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

QByteArray portableVCard(const ContactRecord& contact, const QByteArray& uid)
{
    return PortableCard(contact).card(uid);
}

void writeContactsVCard(const std::deque<ContactRecord>& contacts, const TextSink& out)
{
    // A damaged database can hold one contact twice (an old copy beside the
    // new). Importers keep one card per UID, so a repeated GUID gets "-2",
    // "-3", ... as the bundle's file names do, and no card replaces another.
    QSet<QByteArray> taken;
    QHash<QByteArray, int> nextSuffix;
    for (const ContactRecord& contact : contacts) {
        if (!hasContactData(contact))
            continue;
        // A contact without a GUID gets a UID made from its card, so that the
        // same database gives the same UIDs in every export and an importer
        // never sees it as new twice.
        QByteArray guidUid = uidOf(contact.GUID, contact.GUIDLength);
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

QByteArray contactsVCardFile(const std::deque<ContactRecord>& contacts)
{
    QByteArray out;
    writeContactsVCard(contacts, [&out](const QByteArray& bytes) { out += bytes; });
    return out;
}

} // namespace er
