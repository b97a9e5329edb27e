// contacts.vcf of the portable export, read back by vobject.

#include "../PythonCheck.h"
#include "../ScanTestSupport.h"

#include "contacts/PortableVCard.h"
#include "output/ItemFiles.h"
#include "archive/PortableExport.h"

#include "PimBlocks.h"
#include "RecordDraft.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextCodec>

using namespace er;

namespace {

using CI = ContactDraft;

// Every field of the record but the GUID and the id.
#define ER_EVERY_FIELD(X)                                                                                              \
    X(FirstName) X(LastName) X(Title) X(Suffix) X(Nickname) X(Company) X(JobTitle) X(Department) X(WorkStreet)         \
    X(WorkCity) X(WorkState) X(WorkZip) X(WorkCountry) X(WorkURL) X(HomeStreet) X(HomeCity) X(HomeState) X(HomeZip)   \
    X(HomeCountry) X(HomeURL) X(HomePhone1) X(HomePhone2) X(HomeFax) X(WorkPhone1) X(WorkPhone2) X(WorkFax) X(Pager)  \
    X(MobilePhone) X(MainPhone) X(AssistantPhone) X(CustomPhone1) X(CustomPhone2) X(CustomPhone3) X(CustomPhone4)     \
    X(Custom1) X(Email1) X(Email2) X(Email3) X(Email4) X(Email5) X(Email6) X(Email7) X(Email8) X(Email9) X(Email10)   \
    X(Email11) X(Email12) X(Email13) X(IM1) X(IM2) X(IM3) X(IM4) X(IM5) X(IM6) X(IM7) X(IM8) X(IM9) X(IM10) X(IM11)  \
    X(IM12) X(IM13) X(Custom2) X(Custom3) X(Custom4) X(Custom5) X(Custom6) X(Custom7) X(Custom8) X(CustomDate1)       \
    X(CustomDate2) X(Birthday) X(Anniversary) X(Notes) X(Spouse) X(Child1) X(Child2) X(Child3) X(Age)                 \
    X(AstrologySign) X(BloodType) X(Interests)

struct NamedField {
    const char* name;
    ContactField field;
};
#define ER_NAMED(name) NamedField{#name, ContactField::name},
const NamedField kEveryField[] = {ER_EVERY_FIELD(ER_NAMED)};
#undef ER_NAMED

// The export reads the bytes only, never the lengths.
void set(CI& c, ContactField field, const QString& text) { c.set(field, text.toUtf8()); }

// A value every escaping rule applies to.
QString hard(const char* name) { return QString::fromLatin1(name) + ", a; b\\c\r\nd\re\nf"; }
QString withLf(QString text) { return text.replace("\r\n", "\n").replace('\r', '\n'); }

// Per card, each property's values as vobject read them, keyed by the
// lower-case name and, when present, ";" and its TYPE values; structured
// parts joined by "|".
using Card = QMap<QString, QStringList>;
QList<Card> readBack(const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("contacts.vcf");
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QList<Card> cards;
    for (const QJsonValue card : ertest::pythonCheck("vcf_round_trip.py", {path}).at(0)["cards"].toArray()) {
        Card& parsed = *cards.insert(cards.end(), {});
        const QJsonObject props = card.toObject();
        for (auto p = props.begin(); p != props.end(); ++p)
            for (const QJsonValue o : p.value().toArray()) {
                const QStringList types = o["params"]["type"].toVariant().toStringList();
                const QString key = p.key() + (types.isEmpty() ? QString() : ';' + types.join(','));
                parsed[key] << (o["value"].isArray() ? o["value"].toVariant().toStringList().join('|')
                                                     : o["value"].toString());
            }
    }
    return cards;
}

// The file's physical lines: CRLF only, none above 75 octets, each valid
// UTF-8 on its own.
void expectPhysicalLines(const QByteArray& file)
{
    EXPECT_FALSE(file.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(file.count('\n'), file.count("\r\n"));
    EXPECT_EQ(file.count('\r'), file.count("\r\n"));
    for (const QByteArray& line : file.split('\n')) {
        EXPECT_LE(line.size(), 76) << line.constData(); // with its CR
        QTextCodec::ConverterState state;
        QTextCodec::codecForMib(106)->toUnicode(line.constData(), line.size(), &state);
        EXPECT_EQ(state.invalidChars + state.remainingChars, 0) << line.toHex().constData();
    }
}

QByteArray fileOf(std::initializer_list<CI> contacts)
{
    ScanState state;
    for (const CI& c : contacts)
        state.contacts.appendCopy(c.view());
    return contactsVCardFile(state);
}

} // namespace

TEST(PortableVCard, EveryFieldReachesTheReaderWithItsValue)
{
    ERTEST_REQUIRE_PYTHON("vobject");
    CI c;
    c.set(ContactField::GUID, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f")), c.setLength(ContactField::GUID, 16);
    for (const NamedField& f : kEveryField)
        set(c, f.field, hard(f.name));
    set(c, ContactField::Birthday, "1970-05-07");
    const QByteArray file = portableVCard(c, uidOf(c.field(ContactField::GUID), c.length(ContactField::GUID)));
    ASSERT_TRUE(file.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:00010203-0405-0607-0809-0A0B0C0D0E0F\r\n"));
    expectPhysicalLines(file);

    const QList<Card> cards = readBack(file);
    ASSERT_EQ(cards.size(), 1);
    Card card = cards[0];
    auto h = [](const char* name) { return withLf(hard(name)); };
    auto take = [&card](const QString& key) { return card.take(key); };
    EXPECT_EQ(take("fn"), QStringList{h("FirstName") + ' ' + h("LastName")});
    const QStringList n{h("LastName"), h("FirstName"), "", h("Title"), h("Suffix")};
    EXPECT_EQ(take("n"), QStringList{n.join('|')});
    EXPECT_EQ(take("org"), QStringList{h("Company") + '|' + h("Department")});
    for (const char* kind : {"Work", "Home"}) {
        QStringList adr{"", ""};
        for (const char* part : {"Street", "City", "State", "Zip", "Country"})
            adr << h((QByteArray(kind) + part).constData());
        EXPECT_EQ(take(QString("adr;") + QString(kind).toUpper()), QStringList{adr.join('|')});
    }
    EXPECT_EQ(take("bday"), QStringList{"1970-05-07"});
    // Property (with its types) and the fields it holds, in file order.
    const std::pair<const char*, QList<const char*>> expected[] = {
        {"version", {}}, {"uid", {}}, {"nickname", {"Nickname"}}, {"title", {"JobTitle"}}, {"note", {"Notes"}},
        {"tel;WORK,VOICE", {"WorkPhone1", "WorkPhone2"}}, {"tel;WORK,FAX", {"WorkFax"}},
        {"tel;HOME,VOICE", {"HomePhone1", "HomePhone2"}}, {"tel;HOME,FAX", {"HomeFax"}},
        {"tel;CELL,VOICE", {"MobilePhone"}}, {"tel;PAGER", {"Pager"}}, {"tel;VOICE,X-MAIN", {"MainPhone"}},
        {"tel;VOICE,X-ASSISTANT", {"AssistantPhone"}}, {"tel;VOICE,X-CUSTOM1", {"CustomPhone1"}},
        {"tel;VOICE,X-CUSTOM2", {"CustomPhone2"}}, {"tel;VOICE,X-CUSTOM3", {"CustomPhone3"}},
        {"tel;VOICE,X-CUSTOM4", {"CustomPhone4"}}, {"email;INTERNET,PREF", {"Email1"}},
        {"email;INTERNET", {"Email2", "Email3", "Email4", "Email5", "Email6", "Email7", "Email8", "Email9", "Email10",
                            "Email11", "Email12", "Email13"}},
        {"x-im", {"IM1", "IM2", "IM3", "IM4", "IM5", "IM6", "IM7", "IM8", "IM9", "IM10", "IM11", "IM12", "IM13"}},
        {"url;WORK", {"WorkURL"}}, {"url;HOME", {"HomeURL"}}, {"x-anniversary-text", {"Anniversary"}},
        {"x-spouse", {"Spouse"}}, {"x-child1", {"Child1"}}, {"x-child2", {"Child2"}}, {"x-child3", {"Child3"}},
        {"x-age", {"Age"}}, {"x-astrology-sign", {"AstrologySign"}}, {"x-blood-type", {"BloodType"}},
        {"x-interests", {"Interests"}}, {"x-custom1", {"Custom1"}}, {"x-custom2", {"Custom2"}},
        {"x-custom3", {"Custom3"}}, {"x-custom4", {"Custom4"}}, {"x-custom5", {"Custom5"}}, {"x-custom6", {"Custom6"}},
        {"x-custom7", {"Custom7"}}, {"x-custom8", {"Custom8"}}, {"x-custom-date1", {"CustomDate1"}},
        {"x-custom-date2", {"CustomDate2"}},
    };
    for (const auto& [key, fields] : expected) {
        QStringList values;
        for (const char* f : fields)
            values << h(f);
        if (fields.isEmpty())
            EXPECT_EQ(take(key).size(), 1) << key;
        else
            EXPECT_EQ(take(key), values) << key;
    }
    EXPECT_TRUE(card.isEmpty()) << card.keys().join(' ').toStdString();
}

TEST(PortableVCard, AnyOneFieldMakesAContactAndBlankOnesDoNot)
{
    for (const NamedField& f : kEveryField) {
        CI only, blank;
        set(only, f.field, "Qz7");
        set(blank, f.field, QString::fromUtf8(" \t\r\n\u3000"));
        const QByteArray file = fileOf({only, blank});
        EXPECT_EQ(file.count("BEGIN:VCARD"), 1) << f.name;
        EXPECT_TRUE(file.contains("Qz7")) << f.name;
    }
    // Present but not held (past the block's end), and a GUID alone: no data.
    CI cut, guidOnly;
    cut.set(ContactField::Email1, QByteArray(""));
    guidOnly.set(ContactField::GUID, QByteArray(16, 'g')), guidOnly->ContactID = 7;
    EXPECT_EQ(fileOf({cut, guidOnly, CI()}), QByteArray());
}

TEST(PortableVCard, NamesInEveryScriptLongAndHardValuesRoundTrip)
{
    ERTEST_REQUIRE_PYTHON("vobject");
    CI ascii, latin, cjk, noName, companyOnly, phoneOnly, noteOnly, twin;
    set(ascii, ContactField::FirstName, "Ann"), set(ascii, ContactField::LastName, "Lee");
    set(latin, ContactField::FirstName, QString::fromUtf8("José")), set(latin, ContactField::LastName, QString::fromUtf8("Ørsted"));
    set(latin, ContactField::HomeCity, QString::fromUtf8("Århus")), set(latin, ContactField::Nickname, QString::fromUtf8("Zoë, \"Z\""));
    set(cjk, ContactField::LastName, QString::fromUtf8("山田太郎"));
    QString note;
    while (note.size() < 500)
        note += QString::fromUtf8("山田太郎, é; \\x\r\n");
    note.truncate(500);
    set(cjk, ContactField::Notes, note);
    set(cjk, ContactField::WorkStreet, QString::fromUtf8("1-2-3 丸の内;\n千代田区, 東京"));
    noName.set(ContactField::Email2, QByteArray("solo@example.com\0", 17));
    set(companyOnly, ContactField::Company, "Acme, Inc.");
    set(phoneOnly, ContactField::Pager, "+1 555 0199");
    set(noteOnly, ContactField::Notes, "just a note");
    for (CI* record : {&ascii, &twin}) {
        record->set(ContactField::GUID, QByteArray::fromHex("ffeeddccbbaa99887766554433221100"));
        record->setLength(ContactField::GUID, 16);
    }
    twin.set(ContactField::Email1, QByteArray("twin@example.com"));

    const QByteArray file =
        fileOf({ascii, latin, cjk, CI(), noName, companyOnly, phoneOnly, noteOnly, twin, latin});
    expectPhysicalLines(file);
    const QList<Card> cards = readBack(file);
    ASSERT_EQ(cards.size(), 9);
    EXPECT_EQ(cards[0]["fn"], QStringList{"Ann Lee"});
    EXPECT_EQ(cards[0]["uid"], QStringList{"FFEEDDCC-BBAA-9988-7766-554433221100"});
    EXPECT_EQ(cards[7]["uid"], QStringList{"FFEEDDCC-BBAA-9988-7766-554433221100-2"}) << "no card replaces another";
    // Without a GUID: a UID from the card's content, the same in every
    // export, and "-2" for the same contact again.
    const QString madeUid = cards[1]["uid"].value(0);
    EXPECT_TRUE(madeUid.startsWith("ENTOURAGE-REPAIR-VCARD-")) << madeUid.toStdString();
    EXPECT_EQ(cards[8]["uid"], QStringList{madeUid + "-2"});
    EXPECT_EQ(fileOf({ascii, latin, cjk, CI(), noName, companyOnly, phoneOnly, noteOnly, twin, latin}), file);
    for (const Card& card : cards)
        EXPECT_EQ(card["uid"].size(), 1);
    EXPECT_EQ(cards[1]["n"], QStringList{QString::fromUtf8("Ørsted|José|||")});
    EXPECT_EQ(cards[1]["adr;HOME"], QStringList{QString::fromUtf8("|||Århus|||")});
    EXPECT_EQ(cards[1]["nickname"], QStringList{QString::fromUtf8("Zoë, \"Z\"")});
    EXPECT_EQ(cards[2]["fn"], QStringList{QString::fromUtf8("山田太郎")});
    EXPECT_EQ(cards[2]["note"], QStringList{withLf(note)});
    EXPECT_EQ(cards[2]["adr;WORK"], QStringList{QString::fromUtf8("||1-2-3 丸の内;\n千代田区, 東京||||")});
    // Without a name FN falls back to the company, the first e-mail address, a phone.
    EXPECT_EQ(cards[3]["fn"], QStringList{"solo@example.com"});
    EXPECT_EQ(cards[3]["email;INTERNET"], QStringList{"solo@example.com"});
    EXPECT_EQ(cards[3]["n"], QStringList{"||||"});
    EXPECT_EQ(cards[4]["fn"], QStringList{"Acme, Inc."});
    EXPECT_EQ(cards[5]["fn"], QStringList{"+1 555 0199"});
    EXPECT_EQ(cards[6]["fn"], QStringList{"Unnamed Contact"});
    EXPECT_EQ(contactsVCardFile(ScanState()), QByteArray());
}

TEST(PortableVCard, EightBitTextAndControlCharacters)
{
    CI c;
    c.set(ContactField::FirstName, QByteArray("Jos\x8E")); // Mac Roman, not UTF-8
    c.set(ContactField::LastName, QByteArray("L\x01" "ee\x7F\0junk", 9));
    set(c, ContactField::Notes, "a\tb");
    const QByteArray card = portableVCard(c, QByteArray());
    EXPECT_TRUE(card.contains(QString::fromUtf8("\r\nN:Lee;José;;;\r\n").toUtf8())) << card.constData();
    EXPECT_TRUE(card.contains("\r\nNOTE:a\tb\r\n"));
}

TEST(PortableVCard, StoredDatesDecodeOnlyWhenTheirOrderIsCertain)
{
    const std::pair<const char*, QDate> cases[] = {
        {"1970-05-07", {1970, 5, 7}}, {" 1970/5/7 ", {1970, 5, 7}}, {"1970.05.07", {1970, 5, 7}},
        {"19700507", {1970, 5, 7}},   {"1970-05-07T00:00:00Z", {1970, 5, 7}}, {"7.5.1970", {1970, 5, 7}},
        {"25/12/1999", {1999, 12, 25}}, {"12/25/1999", {1999, 12, 25}}, {"5/7/1970", {}}, {"1970-02-30", {}},
        {"1970-05/07", {}}, {"May 7, 1970", {}}, {"", {}},
    };
    for (const auto& [text, date] : cases)
        EXPECT_EQ(portableDate(QString::fromLatin1(text)), date) << text;

    CI c;
    set(c, ContactField::Birthday, "5/7/1970"), set(c, ContactField::Anniversary, "25.12.1999");
    const QByteArray card = portableVCard(c, QByteArray());
    EXPECT_TRUE(card.contains("\r\nX-BIRTHDAY-TEXT:5/7/1970\r\nX-ANNIVERSARY:1999-12-25\r\n")) << card.constData();
}

// Contacts as a scan of a built database finds them, in both text forms.
TEST(PortableVCard, ScannedContactsWithoutANameAreKept)
{
    using namespace testdb;
    Database db;
    appendSamplePimBlocks(db);
    db.add(contactBlock({prop32(kContactIdTag, 105), prop(kEmail1Tag + 5, "sixth@example.com")}));
    db.add(contactBlock({prop32(kContactIdTag, 106), prop(kContactGuidTag, guidBytes(0x90))}));
    db.add(contactBlock({markedProp(kFirstNameTag, "Ren\x8E"), wideProp(kContactNotesTag, "a,b;c")}));
    ScanState state;
    ASSERT_EQ(ertest::scanBytes(db.bytes(), state).kind, ScanOutcome::Completed);
    ASSERT_EQ(state.contacts.size(), kSampleContactBlocks + 3);

    const QByteArray file = contactsVCardFile(state);
    EXPECT_EQ(file.count("BEGIN:VCARD\r\nVERSION:3.0\r\n"), int(kSampleContactBlocks) + 2);
    EXPECT_TRUE(file.contains("\r\nFN:Acme Supplies\r\nN:;;;;\r\nORG:Acme Supplies\r\n"));
    EXPECT_TRUE(file.contains("\r\nFN:sixth@example.com\r\n"));
    EXPECT_TRUE(file.contains(QString::fromUtf8("\r\nFN:René\r\nN:;René;;;\r\nNOTE:a\\,b\\;c\r\n").toUtf8()));
    EXPECT_TRUE(file.contains("\r\nBDAY:1970-05-07\r\n"));
}
