// The composed message around what the golden files cannot show: the Date
// header in any locale, and a stop request in the middle of a message.
// Whole composed messages are in the golden files (mail-bundle).

#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"
#include "archive/BlockScanner.h"
#include "mail/MessageWriter.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

TEST(MessageWriter, DateHeaderNamesStayEnglish)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(dateHeaderText(macStamp(2008, 3, 5, 10, 11, 12), -5 * 3600), "Wed, 5 Mar 2008 10:11:12 -0500");
    EXPECT_EQ(dateHeaderText(macStamp(2011, 12, 25, 23, 59, 58), 19800), "Sun, 25 Dec 2011 23:59:58 +0530");
    QLocale::setDefault(QLocale::c());
}

TEST(MessageWriter, AStopEndsTheMessageWhereItStands)
{
    ertest::ScannedDatabase scanned(describedDatabase(
        "folders\n folder 1 - Auto \"Inbox\"\nmail\n folder 1\n from \"alice@example.com\" \"Alice\"\n"
        " subject wide \"Hello\"\n date 2008-03-05T00:00:00\n body narrow \"body\"\n attachments 7\n"
        "attachment 7\n| Content-Type: text/plain\n|\n| note\n"));
    ScanState& state = scanned.state;
    DatabaseFile database;
    ASSERT_TRUE(database.open(scanned.path));
    std::atomic<bool> stop{false};
    SaveContext context(scanned.dir.path());
    context.hooks.stop = &stop;
    MessageWriter writer(database, state.mail, context);
    const MailRecord& record = state.mail.records.at(0);
    const QByteArray whole = writer.composedMessage(record);
    ASSERT_TRUE(whole.contains("\rnote\r"));

    QByteArray written;
    writer.composeMessage(record, [&](const char* data, qint64 n) {
        written.append(data, static_cast<int>(n));
        stop = true;
        return true;
    });
    EXPECT_EQ(written, whole.left(whole.indexOf('\r') + 1)) << "nothing after the line in hand";
    EXPECT_TRUE(writer.composedMessage(record).isEmpty()) << "a stop request on entry composes nothing";
}
