#include "format/TimeConversion.h"

#include "format/Clock.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <cstring>

namespace er {

namespace {

constexpr quint64 kSecondsPerCycle = 126230400; // four years, the first a leap year
constexpr quint64 kSecondsPerLeapYear = 31622400;
constexpr quint64 kSecondsPerCommonYear = 31536000;
constexpr quint64 kSecondsPerDay = 86400;
constexpr qint64 kMSecsPerCalendarUnit = 60000;

// Reads `count` ASCII digits at text[at]; false when one is not a digit.
bool readDigits(const char* text, int at, int count, int* value)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

int yearOfTwoDigits(int yy)
{
    const int start = currentDateTime().date().year() - 80;
    int year = start / 100 * 100 + yy;
    if (year < start)
        year += 100;
    return year;
}

QDateTime parseCompactDate(const char* text, size_t length)
{
    int yearDigits = 0;
    bool seconds = false;
    if (length == 15 && text[12] == '.') {
        yearDigits = 4;
        seconds = true;
    } else if (length == 12) {
        yearDigits = 4;
    } else if (length == 13 && text[10] == '.') {
        yearDigits = 2;
        seconds = true;
    } else if (length == 10) {
        yearDigits = 2;
    } else {
        return QDateTime();
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const int p = yearDigits;
    if (!readDigits(text, 0, yearDigits, &year) || !readDigits(text, p, 2, &month)
        || !readDigits(text, p + 2, 2, &day) || !readDigits(text, p + 4, 2, &hour)
        || !readDigits(text, p + 6, 2, &minute) || (seconds && !readDigits(text, p + 9, 2, &second)))
        return QDateTime();
    if (yearDigits == 2)
        year = yearOfTwoDigits(year);
    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

const char kPreviewDateFormat[] = "yyyy,MMM,dd, hh:mm:ss";

void breakDownMacStamp(BrokenDownTime* out, quint64 stamp)
{
    if (!out)
        return;
    quint64 r = stamp % kSecondsPerCycle;
    quint64 year = 1904 + 4 * (stamp / kSecondsPerCycle);
    bool leap = true;
    if (r >= kSecondsPerLeapYear) {
        ++year;
        r -= kSecondsPerLeapYear;
        leap = false;
        for (int i = 0; i < 2; ++i) {
            if (r >= kSecondsPerCommonYear) {
                ++year;
                r -= kSecondsPerCommonYear;
            }
        }
    }
    quint64 days = r / kSecondsPerDay;
    const quint64 secs = r % kSecondsPerDay;

    static const quint64 monthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int month = 1;
    for (; month <= 12; ++month) {
        const quint64 length = month == 2 && leap ? 29 : monthLengths[month - 1];
        if (days < length || month == 12)
            break;
        days -= length;
    }

    out->wYear = static_cast<quint16>(year);
    out->wMonth = static_cast<quint16>(month);
    out->wDay = static_cast<quint16>(days + 1);
    out->wHour = static_cast<quint16>(secs / 3600);
    out->wMinute = static_cast<quint16>(secs % 3600 / 60);
    out->wSecond = static_cast<quint16>(secs % 60);
}

QString macStampDigits(quint32 stamp)
{
    BrokenDownTime t;
    breakDownMacStamp(&t, stamp);
    return QString::asprintf("%.2d%.2d%.2d%.2d%.2d%.2d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

QDateTime macStampToDateTime(quint32 stamp)
{
    BrokenDownTime t;
    breakDownMacStamp(&t, stamp);
    return QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond), Qt::UTC);
}

QDateTime calendarStampToDateTime(quint32 stamp)
{
    static const QDateTime base(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    return base.addMSecs(static_cast<qint64>(stamp) * kMSecsPerCalendarUnit);
}

QString previewDateText(const QDateTime& dateTime)
{
    // The default locale: the user's, unless the application chose another.
    return QLocale().toString(dateTime, QString::fromLatin1(kPreviewDateFormat));
}

QDateTime getDate(const char* text)
{
    if (!text)
        return QDateTime();
    const size_t length = std::strlen(text);
    const QDateTime parsed = parseCompactDate(text, length);
    if (parsed.isValid())
        return parsed;
    if (qstricmp(text, "-now") == 0)
        return currentDateTime();
    return QDateTime();
}

QByteArray macStampICalendarText(quint32 stamp, bool utcMark)
{
    QByteArray text = dateTimeICalendarText(macStampToDateTime(stamp));
    if (utcMark)
        text += 'Z';
    return text;
}

QByteArray dateTimeICalendarText(const QDateTime& dateTime)
{
    // Protocol, not display: the C locale, so that no locale's digits reach
    // the file.
    return QLocale::c().toString(dateTime, QStringLiteral("yyyyMMdd'T'HHmmss")).toLatin1();
}

} // namespace er
