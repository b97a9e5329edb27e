// A composed message's Date line carries the stored wall-clock time as it is
// and the host's current offset from UTC, in every zone.

#include "../core/ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "output/SaveContext.h"
#include "mail/MessageWriter.h"
#include "format/Clock.h"
#include "format/DatabaseFile.h"

#include <QTimeZone>

using namespace er;

TEST(ComposedDateInZone, WallClockKeptAndLocalOffsetWritten)
{
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), qgetenv("ER_EXPECTED_TZ")) << "the zone did not take effect";

    testdb::Database db;
    db.add(testdb::flidBlock({{1, {}, QStringLiteral("Inbox")}}));
    testdb::MailRecordBlock r;
    r.folderId = 1;
    r.subject = testdb::utf16be(QStringLiteral("Spring forward"));
    r.date = testdb::macStamp(2008, 3, 30, 2, 30, 0); // in the Berlin gap
    r.body = testdb::narrow("Body");
    db.add(testdb::mlrcBlock(r));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    ASSERT_TRUE(db.writeTo(path));
    ScanState state;
    ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);

    SaveContext context(dir.path());
    context.office2004 = state.office2004;
    DatabaseFile file(path);
    MessageWriter writer(file, state.mail, context);
    // The host's offset on a winter day, pinned so that no change of the
    // clocks while the test runs can move it.
    pinCurrentDateTime(QDateTime(QDate(2008, 12, 31), QTime(12, 0), Qt::UTC));
    const QByteArray message = writer.composedMessage(state.mail.records.front());
    pinCurrentDateTime(QDateTime());
    const QByteArray zone = qgetenv("ER_EXPECTED_TZ") == "UTC" ? "+0000" : qgetenv("ER_EXPECTED_TZ") == "Asia/Kolkata" ? "+0530" : "+0100";
    EXPECT_TRUE(message.contains("\rDate: Sun, 30 Mar 2008 02:30:00 " + zone + "\r")) << message.left(300).toStdString();
}
