#pragma once
// The database's two time stamps, converted without any time zone: both hold
// a wall-clock time, and the results carry that time in a QDateTime held as
// Qt::UTC so that no zone rule (daylight-saving gaps, historical offsets) can
// move it. Read them with date()/time() or format them; never convert them
// to local time.
//
//  - Mac stamp: unsigned seconds since 1904-01-01 00:00:00.
//  - Calendar stamp: unsigned minutes since 1601-01-01 00:00:00.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

namespace er {

// The broken-down time that breakDownMacStamp fills (the Win32 layout).
struct BrokenDownTime {
    quint16 wYear = 0;
    quint16 wMonth = 0;
    quint16 wDayOfWeek = 0;
    quint16 wDay = 0;
    quint16 wHour = 0;
    quint16 wMinute = 0;
    quint16 wSecond = 0;
    quint16 wMilliseconds = 0;
};

// Breaks a Mac stamp down by plain arithmetic (every fourth year from 1904 is
// a leap year, which is Gregorian for every 32-bit stamp). wDayOfWeek and
// wMilliseconds are left as they were.
void breakDownMacStamp(BrokenDownTime* out, quint64 stamp);

// The 14-digit printed form "yyyyMMddhhmmss" of a Mac stamp.
QString macStampDigits(quint32 stamp);
QDateTime macStampToDateTime(quint32 stamp);

QDateTime calendarStampToDateTime(quint32 stamp);

// The date and time as iCalendar writes it, "yyyyMMddThhmmss", whatever the
// locale.
QByteArray dateTimeICalendarText(const QDateTime& dateTime);
// A Mac stamp the same way, with "Z" appended when utcMark is set.
QByteArray macStampICalendarText(quint32 stamp, bool utcMark);

// The date format of the event and task previews, with the system locale's
// abbreviated month name.
extern const char kPreviewDateFormat[];
QString previewDateText(const QDateTime& dateTime);

// Parses a compact date argument: "yyyyMMddHHmm.ss", "yyyyMMddHHmm",
// "yyMMddHHmm.ss" or "yyMMddHHmm" (a two-digit year lies within the 80 years
// before and the 20 after the current one). The result is the wall-clock time
// as written (held as Qt::UTC, like the stamps). Any other text gives an invalid
// QDateTime, except "-now" in any case, which gives the current time.
QDateTime getDate(const char* text);

} // namespace er
