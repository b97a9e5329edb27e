#include "../PythonCheck.h"
#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "contacts/ContactExport.h"
#include "notes/NoteExport.h"
#include "archive/BundleLayout.h"
#include "output/ItemFiles.h"
#include "format/ByteOrder.h"

#include "PimBlocks.h"
#include "RecordDraft.h"
#include "SampleDatabase.h"

#include <QJsonObject>

using namespace er;

namespace {

// Text decoded from UTF-16: UTF-8, its length counting characters and the terminator.
#define WIDE(record, name, text)                                                                               \
    (record.set(ContactField::name, QByteArray(text)),                                                         \
     record.setLength(ContactField::name, quint32(QString::fromUtf8(text).size() + 1)))
// 8-bit text as stored, here with a terminating zero.
#define EIGHT_BIT(record, name, text)                                                                          \
    (record.set(ContactField::name, QByteArray(text, int(sizeof(text)))),                                      \
     record.setLength(ContactField::name, quint32(sizeof(text))))

const QByteArray kGuid = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
const QByteArray kHead = "begin:vcard\r\nversion:3.0\r\nprodid:Microsoft-Entourage/11.1.0.071130\r\n"
                         "UID:00010203-0405-0607-0809-0A0B0C0D0E0F\r\n";

ContactDraft annLee(bool form2004)
{
    ContactDraft c;
    c.set(ContactField::GUID, kGuid), c.setLength(ContactField::GUID, 16);
    if (form2004) // the 2004 form's text after its FF FF marker: no terminator
        c.set(ContactField::FirstName, "Ann"), c.setLength(ContactField::FirstName, 3), c.set(ContactField::LastName, "Lee"), c.setLength(ContactField::LastName, 3);
    else
        WIDE(c, FirstName, "Ann"), WIDE(c, LastName, "Lee");
    EIGHT_BIT(c, Email1, "ann@example.com");
    return c;
}

// Every field holds its own name; the 8-bit ones keep a terminating zero.
ContactDraft everyField()
{
    ContactDraft c;
    c.set(ContactField::GUID, kGuid), c.setLength(ContactField::GUID, 16);
#define W(name) WIDE(c, name, #name)
    W(FirstName), W(LastName), W(Title), W(Suffix), W(Nickname), W(Company), W(JobTitle), W(Department);
    W(WorkStreet), W(WorkCity), W(WorkState), W(WorkZip), W(WorkCountry), W(WorkURL), W(HomeStreet), W(HomeCity);
    W(HomeState), W(HomeZip), W(HomeCountry), W(HomeURL), W(HomePhone1), W(HomePhone2), W(HomeFax), W(WorkPhone1);
    W(WorkPhone2), W(WorkFax), W(Pager), W(MobilePhone), W(MainPhone), W(AssistantPhone), W(CustomPhone1);
    W(CustomPhone2), W(CustomPhone3), W(CustomPhone4), W(Custom1), W(Custom2), W(Custom3), W(Custom4), W(Custom5);
    W(Custom6), W(Custom7), W(Custom8), W(CustomDate1), W(CustomDate2), W(Birthday), W(Anniversary), W(Notes);
    W(Spouse), W(Child1), W(Child2), W(Child3), W(Age), W(AstrologySign), W(BloodType), W(Interests);
#undef W
#define E(name) EIGHT_BIT(c, name, #name)
    E(Email1), E(Email2), E(Email3), E(Email4), E(Email5), E(Email6), E(Email7), E(Email8), E(Email9), E(Email10);
    E(Email11), E(Email12), E(Email13), E(IM1), E(IM2), E(IM3), E(IM4), E(IM5), E(IM6), E(IM7), E(IM8), E(IM9);
    E(IM10), E(IM11), E(IM12), E(IM13);
#undef E
    return c;
}

// The vCard of everyField(), line by line in the writer's property order.
QByteArray everyFieldVCard(bool form2004)
{
    const QByteArray cs = form2004 ? "" : ";charset=utf-8";
    QByteArray v = kHead;
    auto add = [&v](const QByteArray& line) { v += line + "\r\n"; };
    add((form2004 ? QByteArray("fn") : "fn" + cs) + ":FirstName LastName");
    add("n" + cs + ":LastName;FirstName;;" + (form2004 ? "" : ";") + "Title;Suffix");
    add("nickname" + cs + ":Nickname"), add("title" + cs + ":JobTitle"), add("org" + cs + ":Company;Department");
    add("note" + cs + ":Notes"), add("url" + cs + ";type=home:HomeURL"), add("url" + cs + ";type=work:WorkURL");
    add("bday:Birthday");
    add("adr" + cs + ";type=work;type=pref:;;WorkStreet;WorkCity;WorkState;WorkZip;WorkCountry");
    add("adr" + cs + ";type=home:;;HomeStreet;HomeCity;HomeState;HomeZip;HomeCountry");
    for (const char* tel : {"type=home:HomePhone1", "type=home:HomePhone2", "type=home;type=fax:HomeFax",
                            "type=work:WorkPhone1", "type=work:WorkPhone2", "type=work;type=fax:WorkFax",
                            "type=pager:Pager", "type=cell:MobilePhone", "type=main:MainPhone",
                            "type=assistant:AssistantPhone", "type=custom:CustomPhone1", "type=custom:CustomPhone2",
                            "type=custom:CustomPhone3", "type=custom:CustomPhone4"})
        add("tel" + cs + ";" + tel);
    for (int i = 1; i <= 13; ++i)
        add("email" + cs + ";type=internet;" + (i == 1 ? "type=pref;" : "") + "type=other:Email"
            + QByteArray::number(i));
    for (int i = 1; i <= 13; ++i)
        add((form2004 ? QByteArray("X-MSN;type=home") + (i == 1 ? ";type=pref" : "")
                      : "X-ms-imaddress" + cs + ";type=home")
            + ":IM" + QByteArray::number(i));
    for (int i = 1; i <= 8; ++i)
        add("X-custom" + cs + ";type=" + QByteArray::number(i) + ":Custom" + QByteArray::number(i));
    add("X-customdate;type=1:CustomDate1"), add("X-customdate;type=2:CustomDate2");
    add(form2004 ? "X-anniversary:Anniversary" : "X-ms-anniversary:Anniversary");
    add((form2004 ? QByteArray("X-spouse") : "X-ms-spouse" + cs) + ":Spouse");
    add("X-interests" + cs + ":Interests");
    for (int i = 1; i <= 3; ++i)
        add("X-child" + cs + ":Child" + QByteArray::number(i));
    add("end:vcard");
    return v;
}

// Per file, each property's values as vobject or icalendar read them; the
// parts of structured ones joined by "|".
QList<QMap<QString, QStringList>> parsedFiles(const QStringList& paths)
{
    QList<QMap<QString, QStringList>> out;
    for (const QJsonValue file : ertest::pythonCheck("vcard_check.py", paths)) {
        QMap<QString, QStringList>& props = *out.insert(out.end(), {});
        const QJsonObject all = file["props"].toObject();
        for (auto p = all.begin(); p != all.end(); ++p)
            for (const QJsonValue o : p.value().toArray())
                props[p.key()] << (o["value"].isArray() ? o["value"].toVariant().toStringList().join('|')
                                                        : o["value"].toString());
    }
    return out;
}

} // namespace

TEST(ContactExport, AnnLeeInBothForms)
{
    EXPECT_EQ(contactVCard(annLee(false), false),
              kHead + "fn;charset=utf-8:Ann Lee\r\nn;charset=utf-8:Lee;Ann;;;\r\n"
                      "email;charset=utf-8;type=internet;type=pref;type=other:ann@example.com\r\nend:vcard\r\n");
    EXPECT_EQ(contactVCard(annLee(true), true),
              kHead + "fn:Ann Lee\r\nn:Lee;Ann;;\r\nemail;type=internet;type=pref;type=other:ann@example.com\r\n"
                      "end:vcard\r\n");
}

TEST(ContactExport, NameOrgAndAddressRules)
{
    for (const bool form2004 : {true, false}) {
        SCOPED_TRACE(form2004);
        const QByteArray cs = form2004 ? "" : ";charset=utf-8";
        // Last name only: fn stays utf-8 in both forms. A city without a
        // street gives no work address; any home part gives the home line.
        ContactDraft lee;
        WIDE(lee, LastName, "Lee"), WIDE(lee, Company, "Acme"), WIDE(lee, MobilePhone, "555");
        WIDE(lee, WorkCity, "Springfield"), WIDE(lee, HomeCity, "Springfield"), WIDE(lee, HomeCountry, "USA");
        EXPECT_TRUE(contactVCard(lee, form2004)
                        .endsWith("\r\nfn;charset=utf-8:Lee\r\nn" + cs + ":Lee;\r\norg" + cs + ":Acme;\r\nadr" + cs
                                  + ";type=home:;;;Springfield;USA\r\ntel" + cs + ";type=cell:555\r\nend:vcard\r\n"));
        // A department without a company: no org line. Street-only addresses.
        ContactDraft ann;
        WIDE(ann, FirstName, "Ann"), WIDE(ann, LastName, "Lee"), WIDE(ann, Title, "Dr"), WIDE(ann, Suffix, "Jr");
        WIDE(ann, Department, "Sales"), WIDE(ann, WorkStreet, "1 Main St"), WIDE(ann, HomeStreet, "2 Elm St");
        EXPECT_TRUE(contactVCard(ann, form2004)
                        .endsWith((form2004 ? QByteArray(":Lee;Ann;;Dr;Jr") : ":Lee;Ann;;;Dr;Jr") + "\r\nadr" + cs
                                  + ";type=work;type=pref:;;1 Main St\r\nadr" + cs
                                  + ";type=home:;;2 Elm St\r\nend:vcard\r\n"));
    }
}

TEST(ContactExport, EveryFieldInOrderAndTheStrictForm)
{
    const ContactDraft c = everyField();
    EXPECT_EQ(contactVCard(c, true), everyFieldVCard(true));
    EXPECT_EQ(contactVCard(c, false), everyFieldVCard(false));

    // The 2004 form suits a strict reader throughout; the 2008 name has six parts (compared above).
    ERTEST_REQUIRE_PYTHON("vobject, icalendar");
    QTemporaryDir dir;
    QFile file(dir.filePath("2004"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contactVCard(c, true)) > 0);
    file.close();
    const QMap<QString, QStringList> parsed = parsedFiles({file.fileName()}).value(0);
    EXPECT_EQ(parsed["n"], QStringList{"LastName|FirstName||Title|Suffix"});
    EXPECT_EQ(parsed["adr"], QStringList({"||WorkStreet|WorkCity|WorkState|WorkZip|WorkCountry",
                                          "||HomeStreet|HomeCity|HomeState|HomeZip|HomeCountry"}));
    EXPECT_EQ(parsed["org"], QStringList{"Company|Department"});
    EXPECT_EQ(parsed["email"].size(), 13);
    EXPECT_EQ(parsed["tel"].size(), 14);
}

TEST(ContactExport, SavingKeepsEveryContactStopsAndCountsFailures)
{
    ContactDraft companyOnly, first, second;
    WIDE(companyOnly, Company, "Acme Supplies");
    EIGHT_BIT(first, Email2, "first@example.com");
    EIGHT_BIT(second, Email4, "second@example.com");
    QTemporaryDir target;
    const QString dir = bundlePath(target.path()) + "/Contacts", none = dir + '/' + QString(26, 'A');
    ScanState state;
    appendDrafts(state.contacts, annLee(false), companyOnly, first, second);
    QStringList statuses;
    std::atomic<bool> stop{false};
    auto run = [&](bool stopAtFirst) {
        statuses.clear();
        SaveContext context(target.path());
        context.office2004 = state.office2004;
        context.hooks.stop = &stop;
        context.hooks.status = [&](const QString& text) {
            statuses << text;
            stop = stopAtFirst;
        };
        writeContactFiles(state.contacts, context);
        return context.failures.count();
    };
    auto files = [&] { return QDir(dir).entryList(QDir::Files).size(); };

    // The company-only contact is skipped; the two without GUID keep both their files.
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_EQ(run(false), 0);
    EXPECT_EQ(statuses.count("Saving Contacts Items..."), 3);
    EXPECT_EQ(files(), 3);
    EXPECT_EQ(ertest::readFile(dir + '/' + guidFileName(kGuid)), contactVCard(annLee(false), false));
    EXPECT_TRUE(
        ertest::readFile(none).contains("\r\nemail;charset=utf-8;type=internet;type=other:first@example.com\r\n"));
    EXPECT_TRUE(ertest::readFile(none + "-2").contains(":second@example.com\r\n"));

    ASSERT_TRUE(QDir(dir).removeRecursively() && QDir().mkpath(dir));
    EXPECT_EQ(run(true), 0);
    EXPECT_EQ(files(), 1) << "the current contact is finished, no further one begun";

    // A regular file where the directory belongs: every contact written fails.
    stop = false;
    ASSERT_TRUE(QDir(dir).removeRecursively() && QFile(dir).open(QIODevice::WriteOnly));
    EXPECT_EQ(run(false), 3);
}

