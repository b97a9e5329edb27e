// What the host's time zone changes (CTest runs this binary once per zone):
// the offset the bundle's event files state and move Office 2004 times (in
// UTC) by, and a composed mail's Date line, in zone-<zone>.txt. The portable
// calendar and the previews (2008 times as stored, even in a gap of the
// host's zone; named zones by the zone database; 2004 all-day events on their
// day in summer and winter) are the same in every zone: zone-every.txt.

#include "../core/TestFiles.h"
#include "../core/contacts/PimGolden.h"

#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "calendar/CalendarExport.h"
#include "calendar/CalendarPreview.h"
#include "format/Clock.h"
#include "format/DatabaseFile.h"
#include "mail/MessageWriter.h"
#include "output/SaveContext.h"

#include <QLocale>
#include <QTimeZone>

using namespace er;

TEST(HostZone, OnlyTheStatedOffsetFollowsTheHost)
{
    QByteArray zone = qgetenv("ER_EXPECTED_TZ");
    ASSERT_FALSE(zone.isEmpty()) << "run through ctest, which sets TZ and ER_EXPECTED_TZ";
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), zone) << "the time zone did not take effect";
    // The host's offset on a winter day, pinned so that no change of the
    // clocks while the test runs can move it; English month names.
    pinCurrentDateTime(QDateTime(QDate(2008, 12, 31), QTime(12, 0), Qt::UTC));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Golden host(QString::fromLatin1("zone-" + zone.replace('/', '_') + ".txt")), every("zone-every.txt");
    for (const QByteArray name : {"zone.db.txt", "zone-2004.db.txt"}) {
        ertest::ScannedDatabase db(describedBytes(name));
        SaveContext context(db.dir.path());
        context.office2004 = db.state.office2004;
        const QString calendar = bundlePath(db.dir.path()) + QStringLiteral("/Calendar");
        ASSERT_TRUE(QDir().mkpath(calendar));
        writeEventFiles(db.state.events, context);
        for (const QString& file : QDir(calendar).entryList(QDir::Files, QDir::Name))
            host.add(name + ' ' + file.toLatin1(), ertest::readFile(calendar + '/' + file));
        DatabaseFile file(db.path);
        MessageWriter writer(file, db.state.mail, context);
        for (const MailRecord& mail : db.state.mail.records)
            for (const QByteArray& line : writer.composedMessage(mail).split('\r'))
                if (line.startsWith("Date: "))
                    host.add(name + " mail", line);
        every.add(name + " calendar.ics", calendarICalendarFile(db.state));
        if (!db.state.office2004) // whose previews show no times
            addEach(every, name + " preview", db.state.events, [](EventView e) { return eventPreviewLines(e); });
    }
    pinCurrentDateTime(QDateTime());
}
