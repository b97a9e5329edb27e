#include "../TestFiles.h"
#include "contacts/ContactExport.h"
#include "contacts/NoteExport.h"
#include "export/BundleLayout.h"
#include "export/ItemFiles.h"
#include "scan/ByteOrder.h"

#include "../ScanTestSupport.h"
#include "SampleDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

using namespace er;

namespace {

// Text decoded from UTF-16: UTF-8, its length counting characters and the
// terminator.
#define WIDE(record, name, text) \
    (record.name = QByteArray(text), record.name##Length = quint32(QString::fromUtf8(text).size() + 1))
// 8-bit text as stored, here with a terminating zero.
#define EIGHT_BIT(record, name, text) \
    (record.name = QByteArray(text, int(sizeof(text))), record.name##Length = quint32(sizeof(text)))
// Office 2004 text after the FF FF marker.
#define MARKED(record, name, text) (record.name = QByteArray(text), record.name##Length = quint32(sizeof(text) - 1))

const QByteArray kGuid = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
const QByteArray kHead = "begin:vcard\r\nversion:3.0\r\nprodid:Microsoft-Entourage/11.1.0.071130\r\n"
                         "UID:00010203-0405-0607-0809-0A0B0C0D0E0F\r\n";

ContactInformation annLee(bool office2004)
{
    ContactInformation c;
    c.GUID = kGuid;
    c.GUIDLength = 16;
    if (office2004)
        MARKED(c, FirstName, "Ann"), MARKED(c, LastName, "Lee");
    else
        WIDE(c, FirstName, "Ann"), WIDE(c, LastName, "Lee");
    EIGHT_BIT(c, Email1, "ann@example.com");
    return c;
}

// Every field holds its own name; the 8-bit ones keep a terminating zero.
ContactInformation everyField()
{
    ContactInformation c;
    c.GUID = kGuid;
    c.GUIDLength = 16;
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

// The vCard of everyField(), line by line from the property table.
QByteArray everyFieldVCard(bool office2004)
{
    const QByteArray cs = office2004 ? "" : ";charset=utf-8";
    QByteArray v = kHead;
    auto add = [&v](const QByteArray& line) { v += line + "\r\n"; };
    add((office2004 ? QByteArray("fn") : "fn" + cs) + ":FirstName LastName");
    add("n" + cs + ":LastName;FirstName;;" + (office2004 ? "" : ";") + "Title;Suffix");
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
        add((office2004 ? QByteArray("X-MSN;type=home") + (i == 1 ? ";type=pref" : "")
                        : "X-ms-imaddress" + cs + ";type=home")
            + ":IM" + QByteArray::number(i));
    for (int i = 1; i <= 8; ++i)
        add("X-custom" + cs + ";type=" + QByteArray::number(i) + ":Custom" + QByteArray::number(i));
    add("X-customdate;type=1:CustomDate1"), add("X-customdate;type=2:CustomDate2");
    add(office2004 ? "X-anniversary:Anniversary" : "X-ms-anniversary:Anniversary");
    add((office2004 ? QByteArray("X-spouse") : "X-ms-spouse" + cs) + ":Spouse");
    add("X-interests" + cs + ":Interests");
    for (int i = 1; i <= 3; ++i)
        add("X-child" + cs + ":Child" + QByteArray::number(i));
    add("end:vcard");
    return v;
}

QStringList filesIn(const QString& dir)
{
    QStringList out;
    for (const QString& name : QDir(dir).entryList(QDir::Files, QDir::Name))
        out << dir + QLatin1Char('/') + name;
    return out;
}

// A scan state and an empty bundle with its Contacts and Notes directories.
struct Bundle {
    QTemporaryDir target;
    ScanState state;
    SaveContext context{state, target.path()};
    std::atomic<bool> stop{false};
    QStringList statuses;
    const QString contacts = bundlePath(target.path()) + QStringLiteral("/Contacts");
    const QString notes = bundlePath(target.path()) + QStringLiteral("/Notes");

    Bundle()
    {
        context.hooks.stop = &stop;
        context.hooks.status = [this](const QString& text) { statuses << text; };
        QDir().mkpath(contacts);
        QDir().mkpath(notes);
    }
};

// What vobject (vCards) and icalendar (notes) read from the files: per file
// the values of one property, structured ones joined by "|".
struct ParsedFiles {
    QJsonArray files;
    QStringList values(int file, const char* name) const
    {
        QStringList out;
        for (const QJsonValue o : files[file][QStringLiteral("props")][QLatin1String(name)].toArray()) {
            const QJsonValue v = o[QStringLiteral("value")];
            out << (v.isArray() ? v.toVariant().toStringList().join(QLatin1Char('|')) : v.toString());
        }
        return out;
    }
};

bool readersInstalled()
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QStringLiteral("import vobject, icalendar")});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

#define REQUIRE_READERS()                                                                                              \
    if (!readersInstalled())                                                                                           \
    GTEST_SKIP() << "/usr/bin/python3 with vobject and icalendar is not installed"

ParsedFiles parsedBack(const QStringList& paths)
{
    QProcess python;
    const QString checker =
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../support/vcard_check.py"));
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{checker} + paths);
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const ParsedFiles parsed{QJsonDocument::fromJson(python.readAllStandardOutput()).array()};
    EXPECT_EQ(parsed.files.size(), paths.size());
    for (const QJsonValue f : parsed.files) {
        const QString error = f[QStringLiteral("error")].toString();
        EXPECT_TRUE(error.isEmpty()) << f[QStringLiteral("file")].toString().toStdString() << ": "
                                     << error.toStdString();
    }
    return parsed;
}

QString textOf(const OptionalBytes& field)
{
    return field ? QString::fromUtf8(upToZero(*field)) : QString();
}

QStringList textsOf(std::initializer_list<const OptionalBytes*> fields)
{
    QStringList out;
    for (const OptionalBytes* f : fields)
        if (*f)
            out << textOf(*f);
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
    for (const bool office2004 : {true, false}) {
        SCOPED_TRACE(office2004 ? "Office 2004" : "Office 2008");
        const QByteArray cs = office2004 ? "" : ";charset=utf-8";

        ContactInformation lee;
        WIDE(lee, LastName, "Lee"), WIDE(lee, Company, "Acme"), WIDE(lee, MobilePhone, "555");
        WIDE(lee, WorkCity, "Springfield"); // no street: no work address
        WIDE(lee, HomeCity, "Springfield"), WIDE(lee, HomeCountry, "USA");
        EXPECT_TRUE(contactVCard(lee, office2004)
                        .endsWith("\r\nfn;charset=utf-8:Lee\r\nn" + cs + ":Lee;\r\norg" + cs + ":Acme;\r\nadr" + cs
                                  + ";type=home:;;;Springfield;USA\r\ntel" + cs + ";type=cell:555\r\nend:vcard\r\n"));

        ContactInformation ann;
        WIDE(ann, FirstName, "Ann"), WIDE(ann, LastName, "Lee"), WIDE(ann, Title, "Dr"), WIDE(ann, Suffix, "Jr");
        WIDE(ann, Department, "Sales"); // without a company: no org line
        WIDE(ann, WorkStreet, "1 Main St"), WIDE(ann, HomeStreet, "2 Elm St");
        EXPECT_TRUE(contactVCard(ann, office2004)
                        .endsWith((office2004 ? QByteArray(":Lee;Ann;;Dr;Jr") : ":Lee;Ann;;;Dr;Jr") + "\r\nadr" + cs
                                  + ";type=work;type=pref:;;1 Main St\r\nadr" + cs
                                  + ";type=home:;;2 Elm St\r\nend:vcard\r\n"));
    }
}

TEST(ContactExport, EveryFieldInTableOrderAndReadBack)
{
    const ContactInformation c = everyField();
    EXPECT_EQ(contactVCard(c, true), everyFieldVCard(true));
    EXPECT_EQ(contactVCard(c, false), everyFieldVCard(false));

    // The Office 2004 form is standard enough for a strict reader throughout;
    // the 2008 structured name has Entourage's own six parts (compared above).
    REQUIRE_READERS();
    Bundle b;
    const QString path = b.contacts + QStringLiteral("/2004");
    ASSERT_TRUE(writeItemFile(path, contactVCard(c, true), kVCardCodes, b.context.failures));
    const ParsedFiles parsed = parsedBack({path});
    EXPECT_EQ(parsed.values(0, "n"), QStringList{QStringLiteral("LastName|FirstName||Title|Suffix")});
    EXPECT_EQ(parsed.values(0, "adr"),
              QStringList({QStringLiteral("||WorkStreet|WorkCity|WorkState|WorkZip|WorkCountry"),
                           QStringLiteral("||HomeStreet|HomeCity|HomeState|HomeZip|HomeCountry")}));
    EXPECT_EQ(parsed.values(0, "org"), QStringList{QStringLiteral("Company|Department")});
    EXPECT_EQ(parsed.values(0, "email").size(), 13);
    EXPECT_EQ(parsed.values(0, "tel").size(), 14);
}

TEST(ContactExport, SavingKeepsEveryContactStopsAndCountsFailures)
{
    ContactInformation companyOnly, first, second;
    WIDE(companyOnly, Company, "Acme Supplies");
    EIGHT_BIT(first, Email2, "first@example.com");
    EIGHT_BIT(second, Email4, "second@example.com");

    Bundle b;
    b.state.ctrcList = {annLee(false), companyOnly, first, second};
    OnContactSaving(b.context);
    EXPECT_EQ(b.context.failures.count(), 0);
    EXPECT_EQ(b.statuses.size(), 3);
    EXPECT_EQ(b.statuses.count(QStringLiteral("Saving Contacts Items...")), 3);
    // One file each; the two without GUID under 26 A's and its "-2".
    EXPECT_EQ(filesIn(b.contacts).size(), 3);
    const QString none = b.contacts + QLatin1Char('/') + QString(26, QLatin1Char('A'));
    EXPECT_EQ(ertest::readFile(b.contacts + QLatin1Char('/') + guidFileName(kGuid)), contactVCard(annLee(false), false));
    EXPECT_TRUE(ertest::readFile(none).contains("\r\nemail;charset=utf-8;type=internet;type=other:first@example.com\r\n"));
    EXPECT_TRUE(ertest::readFile(none + QStringLiteral("-2")).contains(":second@example.com\r\n"));

    Bundle stopped;
    stopped.state.ctrcList = {annLee(false), first, second};
    stopped.context.hooks.status = [&stopped](const QString&) { stopped.stop = true; };
    OnContactSaving(stopped.context);
    EXPECT_EQ(filesIn(stopped.contacts).size(), 1) << "the current contact is finished, no further one begun";

    // A regular file where the directory belongs: every contact fails.
    Bundle blocked;
    ASSERT_TRUE(QDir(blocked.contacts).removeRecursively());
    QFile blocker(blocked.contacts);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    blocked.state.ctrcList = {annLee(false), first};
    OnContactSaving(blocked.context);
    EXPECT_EQ(blocked.context.failures.count(), 2);
}

// Every vCard and note file of the sample's bundle, read by independent
// parsers and compared with the scanned records.
TEST(SampleItemFiles, ReadBackWithIndependentReaders)
{
    REQUIRE_READERS();
    Bundle b;
    ASSERT_EQ(ertest::scanBytes(testdb::buildSampleDatabase(), b.state).kind, ScanOutcome::Completed);
    ASSERT_FALSE(b.state.OfficeEntourage2004);
    OnNotesSaving(b.context);
    OnContactSaving(b.context);
    EXPECT_EQ(b.context.failures.count(), 0);

    QMap<QString, const ContactInformation*> contacts; // by UID; "" without GUID
    for (const ContactInformation& c : b.state.ctrcList)
        if (isUsableContact(c))
            contacts.insert(c.GUID ? QString::fromLatin1(dashedUid(*c.GUID)) : QString(), &c);
    QMap<QString, const NotesInformation*> notes;
    for (const NotesInformation& n : b.state.ntrcList)
        notes.insert(QString::fromLatin1(dashedUid(*n.GUID)), &n);
    ASSERT_EQ(contacts.size(), int(testdb::kSampleContacts));
    ASSERT_EQ(notes.size(), int(testdb::kSampleNotes));

    const QStringList files = filesIn(b.contacts) + filesIn(b.notes);
    ASSERT_EQ(files.size(), contacts.size() + notes.size());
    const ParsedFiles parsed = parsedBack(files);
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const QByteArray bytes = ertest::readFile(files[i]);
        EXPECT_FALSE(bytes.contains('\0'));
        EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        const QString uid = parsed.values(i, "uid").value(0);
        if (files[i].startsWith(b.notes)) {
            const NotesInformation* n = notes.take(uid);
            ASSERT_TRUE(n);
            EXPECT_EQ(parsed.values(i, "method"), QStringList{QStringLiteral("PUBLISH")});
            EXPECT_EQ(parsed.values(i, "summary"), QStringList{textOf(n->Summary)});
            // The reader turns the written "\n" back into a line break.
            EXPECT_EQ(parsed.values(i, "description"),
                      QStringList{textOf(n->Description).replace(QLatin1Char('\r'), QLatin1Char('\n'))});
            continue;
        }
        const ContactInformation* c = contacts.take(uid);
        ASSERT_TRUE(c);
        EXPECT_EQ(parsed.values(i, "fn"), QStringList{textOf(c->FirstName) + QLatin1Char(' ') + textOf(c->LastName)});
        EXPECT_TRUE(bytes.contains("\r\nn;charset=utf-8:" + upToZero(*c->LastName) + ';' + upToZero(*c->FirstName)
                                   + ";;;\r\n"));
        EXPECT_EQ(parsed.values(i, "n").value(0).section(QLatin1Char('|'), 0, 1),
                  textOf(c->LastName) + QLatin1Char('|') + textOf(c->FirstName));
        EXPECT_EQ(parsed.values(i, "email"), textsOf({&c->Email1, &c->Email2, &c->Email3, &c->Email4}));
        EXPECT_EQ(parsed.values(i, "org"), textsOf({&c->Company}));
        EXPECT_EQ(parsed.values(i, "title"), textsOf({&c->JobTitle}));
        EXPECT_EQ(parsed.values(i, "tel"), textsOf({&c->MobilePhone}));
        EXPECT_EQ(parsed.values(i, "bday"), textsOf({&c->Birthday}));
        EXPECT_EQ(parsed.values(i, "note"), textsOf({&c->Notes}));
    }
    EXPECT_TRUE(contacts.isEmpty() && notes.isEmpty()) << "every record has its file";
}
