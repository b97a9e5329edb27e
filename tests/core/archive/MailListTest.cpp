// The mail list's reads: the fallback sender and subject and the attachment
// mark found in a text, names cut for the list, texts read once, and reads
// that fail. What the list shows for many kinds of record is in the golden
// files (mail-actions/lists.txt, sample-lists).

#include "../ScanTestSupport.h"

#include "SampleDatabase.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"

#include <QFile>

#include <gtest/gtest.h>

#include <limits>

using namespace er;
using namespace testdb;

namespace {

// tests/data/cases/mail-list.db.txt: one mail in the Inbox, 600 in folder 2.
constexpr quint32 kInbox = 1, kMany = 2;

struct ListedDatabase : ertest::ScannedDatabase {
    ListedDatabase() : ScannedDatabase(describedCase(QStringLiteral("mail-list"))) {}
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

TEST(MailList, NamesAndSubjectsAreCutAtNulAnd128Characters)
{
    ListedDatabase listed;
    // Longer than the decoder keeps: set by hand, on the record the message
    // shows.
    MailStore& mail = listed.state.mail;
    MailRecord& paired = mail.records[mail.messages.front().pairedRecord - 1];
    paired.subject = mail.texts.addText(QString(200, QLatin1Char('s')));
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("Ann\n") + QString(128, QLatin1Char('s'))));
    paired.fromName = mail.texts.addText(QStringLiteral("Ann") + QChar(0) + QStringLiteral("hidden"));
    paired.subject = mail.texts.addText(QStringLiteral("cut") + QChar(0) + QStringLiteral("hidden"));
    EXPECT_EQ(listed.texts(kInbox), QStringList(QStringLiteral("Ann\ncut")));
}

TEST(MailList, EachTextIsReadOnceAndKeptUntilTheNextScan)
{
    ListedDatabase listed;

    std::vector<std::pair<int, int>> progress; // done, total
    MailListHooks hooks;
    hooks.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    const std::vector<MailListRow> first = mailListRows(listed.state, kMany, hooks);
    ASSERT_EQ(first.size(), 600u);
    EXPECT_EQ(first[0].text, QStringLiteral(" Sender 1001"));
    EXPECT_TRUE(first[599].hasAttachment);
    EXPECT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), std::make_pair(600, 600));

    // The file is gone: a second listing must not need it.
    ASSERT_TRUE(listed.replaceFile(QByteArray(4096, '\0')));
    const std::vector<MailListRow> second = mailListRows(listed.state, kMany);
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
    ListedDatabase listed;
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
