#include "DatabaseBuilder.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

using namespace er;
using namespace testdb;

namespace {

constexpr quint32 kInbox = 1;

MailRecordBlock stored(quint32 mailId, std::optional<Address> sender, std::optional<QString> subject)
{
    MailRecordBlock r;
    r.folderId = kInbox;
    r.mailId = mailId;
    r.sender = sender;
    if (subject)
        r.subject = utf16be(*subject);
    return r;
}

// A database written to a private directory and scanned; it stays on disk
// for the list's reads.
struct ListedDatabase {
    QTemporaryDir dir;
    QString path;
    ScanState state;

    explicit ListedDatabase(const QByteArray& bytes)
    {
        path = dir.filePath(QStringLiteral("Database"));
        EXPECT_TRUE(replaceFile(bytes));
        EXPECT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
    }
    bool replaceFile(const QByteArray& bytes) const
    {
        QFile out(path);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
    }
    QStringList texts(quint64 folder)
    {
        QStringList out;
        for (const MailListRow& row : mailListRows(state, folder))
            out << row.text;
        return out;
    }
};

Database inboxDatabase()
{
    Database db;
    db.add(flidBlock({{kInbox, {}, QStringLiteral("Inbox")}}));
    return db;
}

} // namespace

TEST(MailListFallback, SenderAndSubjectFromTheText)
{
    EXPECT_EQ(senderAndSubjectFromText("X: 1\rFrom: Ann Lee <ann@x>\rSubject: Hi\r\tthere\r\rbody text"),
              QStringLiteral(" Ann Lee \n Hi\r\tthere"));
    EXPECT_EQ(senderAndSubjectFromText("X: 1\rFrom: ann@x\r\rbody text of it"), QStringLiteral(" ann@x"));
    EXPECT_EQ(senderAndSubjectFromText("X: 1\rSubject: alone\r\rbody text"), QStringLiteral(" alone"));
    // The first line has no CR before it.
    EXPECT_EQ(senderAndSubjectFromText("From: first@x\rSubject: s\r\rbody text"), QStringLiteral(" s"));
    EXPECT_EQ(senderAndSubjectFromText("no headers here at all"), QString());
    EXPECT_EQ(senderAndSubjectFromText(QByteArray()), QString());
}

TEST(MailListFallback, AttachmentMarkNeedsANonBlankDescription)
{
    EXPECT_TRUE(hasAttachmentDescription("X\rContent-Description: a.pdf\r"));
    EXPECT_FALSE(hasAttachmentDescription("X\rContent-Description:  \t \r"));
    EXPECT_FALSE(hasAttachmentDescription("X\rContent-Description:"));
    EXPECT_TRUE(hasAttachmentDescription("X\rContent-Description: \rContent-Description: b\r"));
    EXPECT_FALSE(hasAttachmentDescription("Content-Description: a.pdf\r")) << "no CR before the name";
    // A view of someone else's bytes stays untouched (found by the fuzzer:
    // a trim of a raw-data view once wrote into the caller's buffer).
    char stored[] = "X\rContent-Description:  a \r";
    const QByteArray view = QByteArray::fromRawData(stored, int(sizeof stored - 1));
    EXPECT_TRUE(hasAttachmentDescription(view));
    EXPECT_STREQ(stored, "X\rContent-Description:  a \r");
    EXPECT_FALSE(hasAttachmentDescription("X\rContent-Description:" + QByteArray(255, ' ') + "late\r"))
        << "only the first 255 bytes of the value count";
}

TEST(MailList, RowTextCasesAndOrder)
{
    Database db = inboxDatabase();
    db.add(mlrcBlock(stored(1, Address{"a@x", QStringLiteral("Ann")}, QStringLiteral("Both"))));
    db.add(mlrcBlock(stored(2, {}, QStringLiteral("Subject only"))));
    db.add(mlrcBlock(stored(3, Address{"b@x", QStringLiteral("Bob")}, {})));
    db.add(mlrcBlock(stored(4, {}, {})));
    // Without stored text: listed after the summaries, read from its body.
    MailRecordBlock inRecord;
    inRecord.folderId = kInbox;
    inRecord.body = narrow("0123456789012345678\rSubject: from the record body\r\r");
    db.add(mlrcBlock(inRecord));
    db.add(msrcBlock(1, "X: 1\rSubject: not read\r\r"));
    db.add(msrcBlock(2, "X: 1\rFrom: not read\r\r"));
    db.add(msrcBlock(3, "X: 1\rX-Other: nothing to find\r\rbody"));
    db.add(msrcBlock(4, "X: 1\rFrom: Carol <c@x>\rSubject: From the text\r\rbody"));
    ListedDatabase listed(db.bytes());

    const std::vector<MailListRow> rows = mailListRows(listed.state, kInbox);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].text, QStringLiteral("Ann\nBoth"));
    EXPECT_EQ(rows[1].text, QStringLiteral("\nSubject only"));
    EXPECT_EQ(rows[2].text, QStringLiteral("BobNo Subject"));
    EXPECT_EQ(rows[3].text, QStringLiteral(" Carol \n From the text"));
    EXPECT_EQ(rows[4].text, QStringLiteral(" from the record body"));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(rows[i].summary);
        EXPECT_EQ(rows[i].offset, static_cast<qint64>(rows[i].summary->blockOffset));
        EXPECT_EQ(rows[i].size, rows[i].summary->textSize);
    }
    ASSERT_TRUE(rows[4].record);
    EXPECT_EQ(rows[4].offset, static_cast<qint64>(rows[4].record->fileOffset(rows[4].record->body)));
    EXPECT_EQ(rows[4].size, rows[4].record->body.size);

    // Other folders (and the empty orphan folder) list nothing of these.
    EXPECT_TRUE(listed.texts(100000).isEmpty());
    EXPECT_TRUE(listed.texts(77).isEmpty());
}

TEST(MailList, NamesAndSubjectsAreCutAtNulAnd128Characters)
{
    Database db = inboxDatabase();
    db.add(mlrcBlock(stored(1, Address{"a@x", QStringLiteral("Ann")}, QStringLiteral("s"))));
    db.add(msrcBlock(1, "X: 1\rSubject: s\r\r"));
    ListedDatabase listed(db.bytes());
    // Longer than the decoder keeps: set by hand.
    listed.state.mail.messages.front().subject = listed.state.mail.texts.addText(QString(200, QLatin1Char('s')));
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("Ann\n") + QString(128, QLatin1Char('s'))));
    listed.state.mail.messages.front().fromName =
        listed.state.mail.texts.addText(QStringLiteral("Ann") + QChar(0) + QStringLiteral("hidden"));
    listed.state.mail.messages.front().subject =
        listed.state.mail.texts.addText(QStringLiteral("cut") + QChar(0) + QStringLiteral("hidden"));
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("Ann\ncut")));
}

TEST(MailList, ReadPositionsOfFallbackAndAttachmentTest)
{
    // The fallback reads the text behind the 20-byte block header, so it sees
    // the text's last bytes; the attachment test reads from the block's
    // start with the same length, so it misses the text's last 20 bytes.
    Database db = inboxDatabase();
    db.add(mlrcBlock(stored(1, {}, {})));
    db.add(mlrcBlock(stored(2, {}, {})));
    db.add(mlrcBlock(stored(3, {}, QStringLiteral("s"))));
    db.add(mlrcBlock(stored(4, {}, QStringLiteral("s"))));
    db.add(msrcBlock(1, "X: 1\r" + QByteArray(40, 'x') + "\rSubject: at the end\r"));
    db.add(msrcBlock(2, "X: 1\r" + QByteArray(40, 'x') + "\rContent-Description: a\r"));
    db.add(msrcBlock(3, "X: 1\rContent-Description: a.pdf\r" + QByteArray(40, 'x')));
    db.add(msrcBlock(4, "X: 1\rContent-Description:   \r" + QByteArray(40, 'x')));
    ListedDatabase listed(db.bytes());

    const std::vector<MailListRow> rows = mailListRows(listed.state, kInbox);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].text, QStringLiteral(" at the end"));
    EXPECT_EQ(rows[1].text, QStringLiteral("No Subject"));
    EXPECT_FALSE(rows[1].hasAttachment) << "the description lies in the last 20 bytes";
    EXPECT_TRUE(rows[2].hasAttachment);
    EXPECT_FALSE(rows[3].hasAttachment) << "blank description";
}

TEST(MailList, EachTextIsReadOnceAndKeptUntilTheNextScan)
{
    Database db = inboxDatabase();
    for (quint32 id = 1; id <= 600; ++id)
        db.add(mlrcBlock(stored(id, {}, id % 2 ? std::optional<QString>() : QStringLiteral("s"))));
    for (quint32 id = 1; id <= 600; ++id)
        db.add(msrcBlock(id, "X: 1\rFrom: Sender " + QByteArray::number(id) + "\rContent-Description: f\r"
                                 + QByteArray(200, 'x')));
    ListedDatabase listed(db.bytes());

    int progressCalls = 0, lastDone = -1, lastTotal = -1;
    MailListHooks hooks;
    hooks.progress = [&](int done, int total) {
        ++progressCalls;
        lastDone = done;
        lastTotal = total;
    };
    const std::vector<MailListRow> first = mailListRows(listed.state, kInbox, hooks);
    ASSERT_EQ(first.size(), 600u);
    EXPECT_EQ(first[0].text, QStringLiteral(" Sender 1"));
    EXPECT_TRUE(first[599].hasAttachment);
    EXPECT_GE(progressCalls, 2);
    EXPECT_EQ(lastDone, 600);
    EXPECT_EQ(lastTotal, 600);

    // The file is gone: a second listing must not need it.
    ASSERT_TRUE(listed.replaceFile(QByteArray(4096, '\0')));
    const std::vector<MailListRow> second = mailListRows(listed.state, kInbox);
    ASSERT_EQ(second.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(second[i].text, first[i].text);
        EXPECT_EQ(second[i].hasAttachment, first[i].hasAttachment);
    }

    clearScanState(listed.state);
    EXPECT_TRUE(listed.state.mailListTexts.isEmpty());
}

TEST(MailList, UnreadableTextsLeaveTheFieldsEmpty)
{
    Database db = inboxDatabase();
    db.add(mlrcBlock(stored(1, Address{"a@x", QStringLiteral("Ann")}, {})));
    db.add(msrcBlock(1, "X: 1\rSubject: s\rContent-Description: a\r\r"));
    ListedDatabase listed(db.bytes());
    StoredMessage& summary = listed.state.mail.messages.front();
    const quint64 offset = summary.blockOffset;

    // Offsets as stored: beyond the file, or a length far past it.
    summary.blockOffset = quint64(1) << 40;
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("AnnNo Subject")));
    listed.state.mailListTexts.clear();
    summary.blockOffset = std::numeric_limits<quint64>::max() - 4;
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("AnnNo Subject")));

    // No database path, or one that cannot be opened: nothing is read, and
    // nothing is kept, so a later listing can still read the texts.
    listed.state.mailListTexts.clear();
    summary.blockOffset = offset;
    const QString path = listed.state.databasePath;
    listed.state.databasePath = QString();
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("AnnNo Subject")));
    listed.state.databasePath = listed.dir.filePath(QStringLiteral("missing"));
    const std::vector<MailListRow> missing = mailListRows(listed.state, kInbox);
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_FALSE(missing[0].hasAttachment);
    EXPECT_TRUE(listed.state.mailListTexts.isEmpty());

    // A stop before the reads lists nothing.
    listed.state.databasePath = path;
    std::atomic<bool> stop{true};
    MailListHooks hooks;
    hooks.stop = &stop;
    EXPECT_TRUE(mailListRows(listed.state, kInbox, hooks).empty());
}

TEST(MailList, OrphanRecordsAreListedInTheirOrphanFolder)
{
    Database db = inboxDatabase();
    MailRecordBlock lost;
    lost.folderId = 55; // no such folder
    lost.subject = utf16be(QStringLiteral("lost"));
    db.add(mlrcBlock(lost));
    ListedDatabase listed(db.bytes());
    EXPECT_TRUE(listed.texts(55).isEmpty());
    EXPECT_EQ(listed.texts(100000), QStringList(QStringLiteral("\nlost")));
}
