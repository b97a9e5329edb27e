#include "contacts/ContactExport.h"

#include "output/ItemFiles.h"
#include "format/ByteOrder.h"

#include <cstddef>

namespace er {

namespace {

using TextField = ContactField;

#define ER_FIELD(name) ContactField::name

// A property written as prefix + the field's text when the field is present.
struct SimpleLine {
    TextField field;
    const char* office2004;
    const char* office2008;
};

#define ER_SAME(name, prefix) SimpleLine{ER_FIELD(name), prefix, prefix}
#define ER_UTF8(name, prefix, params, rest)                                                                            \
    SimpleLine{ER_FIELD(name), prefix params rest, prefix ";charset=utf-8" params rest}

const SimpleLine kAfterName[] = {
    ER_UTF8(Nickname, "nickname", "", ":"),
    ER_UTF8(JobTitle, "title", "", ":"),
};

const SimpleLine kBeforeAddress[] = {
    ER_UTF8(Notes, "note", "", ":"),
    ER_UTF8(HomeURL, "url", ";type=home", ":"),
    ER_UTF8(WorkURL, "url", ";type=work", ":"),
    ER_SAME(Birthday, "bday:"),
};

#define ER_EMAIL(name) ER_UTF8(name, "email", ";type=internet;type=other", ":")
#define ER_IM(name) SimpleLine{ER_FIELD(name), "X-MSN;type=home:", "X-ms-imaddress;charset=utf-8;type=home:"}
#define ER_CUSTOM(n) ER_UTF8(Custom##n, "X-custom", ";type=" #n, ":")

const SimpleLine kAfterAddress[] = {
    ER_UTF8(HomePhone1, "tel", ";type=home", ":"),
    ER_UTF8(HomePhone2, "tel", ";type=home", ":"),
    ER_UTF8(HomeFax, "tel", ";type=home;type=fax", ":"),
    ER_UTF8(WorkPhone1, "tel", ";type=work", ":"),
    ER_UTF8(WorkPhone2, "tel", ";type=work", ":"),
    ER_UTF8(WorkFax, "tel", ";type=work;type=fax", ":"),
    ER_UTF8(Pager, "tel", ";type=pager", ":"),
    ER_UTF8(MobilePhone, "tel", ";type=cell", ":"),
    ER_UTF8(MainPhone, "tel", ";type=main", ":"),
    ER_UTF8(AssistantPhone, "tel", ";type=assistant", ":"),
    ER_UTF8(CustomPhone1, "tel", ";type=custom", ":"),
    ER_UTF8(CustomPhone2, "tel", ";type=custom", ":"),
    ER_UTF8(CustomPhone3, "tel", ";type=custom", ":"),
    ER_UTF8(CustomPhone4, "tel", ";type=custom", ":"),
    ER_UTF8(Email1, "email", ";type=internet;type=pref;type=other", ":"),
    ER_EMAIL(Email2), ER_EMAIL(Email3), ER_EMAIL(Email4), ER_EMAIL(Email5), ER_EMAIL(Email6),
    ER_EMAIL(Email7), ER_EMAIL(Email8), ER_EMAIL(Email9), ER_EMAIL(Email10), ER_EMAIL(Email11),
    ER_EMAIL(Email12), ER_EMAIL(Email13),
    SimpleLine{ER_FIELD(IM1), "X-MSN;type=home;type=pref:", "X-ms-imaddress;charset=utf-8;type=home:"},
    ER_IM(IM2), ER_IM(IM3), ER_IM(IM4), ER_IM(IM5), ER_IM(IM6), ER_IM(IM7),
    ER_IM(IM8), ER_IM(IM9), ER_IM(IM10), ER_IM(IM11), ER_IM(IM12), ER_IM(IM13),
    ER_CUSTOM(1), ER_CUSTOM(2), ER_CUSTOM(3), ER_CUSTOM(4),
    ER_CUSTOM(5), ER_CUSTOM(6), ER_CUSTOM(7), ER_CUSTOM(8),
    ER_SAME(CustomDate1, "X-customdate;type=1:"),
    ER_SAME(CustomDate2, "X-customdate;type=2:"),
    SimpleLine{ER_FIELD(Anniversary), "X-anniversary:", "X-ms-anniversary:"},
    SimpleLine{ER_FIELD(Spouse), "X-spouse:", "X-ms-spouse;charset=utf-8:"},
    ER_UTF8(Interests, "X-interests", "", ":"),
    ER_UTF8(Child1, "X-child", "", ":"),
    ER_UTF8(Child2, "X-child", "", ":"),
    ER_UTF8(Child3, "X-child", "", ":"),
};

#undef ER_CUSTOM
#undef ER_IM
#undef ER_EMAIL
#undef ER_UTF8
#undef ER_SAME

const TextField kWorkAddress[] = {ER_FIELD(WorkStreet), ER_FIELD(WorkCity), ER_FIELD(WorkState),
                                  ER_FIELD(WorkZip), ER_FIELD(WorkCountry)};
const TextField kHomeAddress[] = {ER_FIELD(HomeStreet), ER_FIELD(HomeCity), ER_FIELD(HomeState),
                                  ER_FIELD(HomeZip), ER_FIELD(HomeCountry)};

#undef ER_FIELD

// The vCard of one contact, built line by line.
class VCardWriter {
public:
    VCardWriter(const ContactView& contact, bool office2004) : m_c(contact), m_2004(office2004) {}

    QByteArray vcard()
    {
        line("begin:vcard");
        line("version:3.0");
        line("prodid:Microsoft-Entourage/11.1.0.071130");
        if (has(ContactField::GUID))
            line("UID:", uidOf(m_c.field(ContactField::GUID), m_c.length(ContactField::GUID)));
        names();
        simpleLines(kAfterName);
        if (has(ContactField::Company))
            line(m_2004 ? "org:" : "org;charset=utf-8:",
                 text(ContactField::Company) + ';' + text(ContactField::Department));
        simpleLines(kBeforeAddress);
        addresses();
        simpleLines(kAfterAddress);
        line("end:vcard");
        return m_out;
    }

private:
    bool has(ContactField f) const { return m_c.has(f) && m_c.length(f) != 0; }
    // Up to the terminating zero: text decoded from UTF-16 has none, but 8-bit
    // text may carry one, and a zero byte must never reach the file.
    QByteArray text(ContactField f) const { return has(f) ? cutAtNul(*m_c.field(f)) : QByteArray(); }

    void line(const char* prefix, const QByteArray& value = QByteArray())
    {
        m_out += prefix;
        m_out += value;
        m_out += "\r\n";
    }

    template <std::size_t N>
    void simpleLines(const SimpleLine (&lines)[N])
    {
        for (const SimpleLine& l : lines)
            if (has(l.field))
                line(m_2004 ? l.office2004 : l.office2008, text(l.field));
    }

    void names()
    {
        const bool first = has(ContactField::FirstName);
        const bool last = has(ContactField::LastName);
        const QByteArray firstName = text(ContactField::FirstName);
        const QByteArray lastName = text(ContactField::LastName);
        line(m_2004 && first && last ? "fn:" : "fn;charset=utf-8:",
             first && last ? firstName + ' ' + lastName : firstName + lastName);

        QByteArray n;
        if (last)
            n += lastName + ';';
        if (first)
            n += firstName + (m_2004 ? ";;" : ";;;");
        if (has(ContactField::Title))
            n += text(ContactField::Title) + ';';
        n += text(ContactField::Suffix);
        line(m_2004 ? "n:" : "n;charset=utf-8:", n);
    }

    // ";;" and the street, then each further part that is present behind its
    // own ";" (a missing part takes no place of its own).
    QByteArray addressValue(const TextField (&parts)[5]) const
    {
        QByteArray value = ";;" + text(parts[0]);
        for (int i = 1; i < 5; ++i)
            if (has(parts[i]))
                value += ';' + text(parts[i]);
        return value;
    }

    void addresses()
    {
        if (has(kWorkAddress[0]))
            line(m_2004 ? "adr;type=work;type=pref:" : "adr;charset=utf-8;type=work;type=pref:",
                 addressValue(kWorkAddress));
        for (const TextField& part : kHomeAddress) {
            if (has(part)) {
                line(m_2004 ? "adr;type=home:" : "adr;charset=utf-8;type=home:", addressValue(kHomeAddress));
                break;
            }
        }
    }

    const ContactView m_c;
    const bool m_2004;
    QByteArray m_out;
};

} // namespace

QByteArray contactVCard(const ContactView& contact, bool office2004)
{
    return VCardWriter(contact, office2004).vcard();
}

void writeContactFiles(const ContactStore& contacts, SaveContext& context)
{
    writeItemFiles(contacts, context, "Contacts", "Saving Contacts Items...", kVCardCodes, isUsableContact,
                   [&](const ContactView& contact) { return contactVCard(contact, context.office2004); });
}

} // namespace er
