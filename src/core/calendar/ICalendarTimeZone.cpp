#include "calendar/ICalendarTimeZone.h"

#include "format/TimeConversion.h"

#include <QRegularExpression>

#include <algorithm>
#include <vector>

namespace er {

namespace {

const QTime kMidnight(0, 0);
const int kMarginYears = 1;
// How many years past the span a yearly rule must hold to be written as one.
const int kRuleCheckYears = 10;

// Letters, digits, "_", "+", "-" and ":" in parts joined by "/": no dot, so
// no stored text can name a path outside the zone database.
bool hasZoneIdForm(const QByteArray& name)
{
    static const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_+:-]+(/[A-Za-z0-9_+:-]+)*$"));
    return name.size() <= 64 && form.match(QString::fromLatin1(name)).hasMatch();
}

// An empty id would give the host's zone.
QTimeZone zoneNamed(const QByteArray& id)
{
    return hasZoneIdForm(id) ? QTimeZone(id) : QTimeZone();
}

// TZOFFSETFROM and TZOFFSETTO: "+hhmm", seconds appended only where the
// offset has them (local mean times).
QByteArray offsetText(int seconds)
{
    const int magnitude = qAbs(seconds);
    QString text = QString::asprintf("%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60);
    if (magnitude % 60 != 0)
        text += QString::asprintf("%02d", magnitude % 60);
    return text.toLatin1();
}

// One change of the zone's offset.
struct Onset {
    QDateTime atUtc;
    int from = 0;
    int to = 0;
    bool daylight = false;
    QString name;

    // The wall-clock time of the change in the offset before it, which is
    // how a sub-component's DTSTART gives it (held as Qt::UTC, as the stamps
    // are, so that it prints as it is).
    QDateTime local() const { return atUtc.addSecs(from); }
};

// The changes after `begin` up to `end`. Each step asks for the next change
// a second after the last one: asked at the exact time of the last change
// its table lists, Qt 5.15 answers none instead of going on by the zone's
// standing rule.
std::vector<Onset> onsetsBetween(const QTimeZone& zone, const QDateTime& begin, const QDateTime& end)
{
    std::vector<Onset> onsets;
    int offset = zone.offsetFromUtc(begin);
    for (QDateTime after = begin;;) {
        const QTimeZone::OffsetData next = zone.nextTransition(after);
        if (!next.atUtc.isValid() || next.atUtc >= end || next.atUtc <= after)
            break;
        onsets.push_back({next.atUtc, offset, next.offsetFromUtc, next.daylightTimeOffset > 0, next.abbreviation});
        offset = next.offsetFromUtc;
        after = next.atUtc.addSecs(1);
    }
    return onsets;
}

const char* const kWeekdays[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};

// The yearly rule of a run of changes, one a year: the same month, weekday,
// wall-clock time and offsets, on the first such weekday on or after one day
// of the month (any in [low, high] fits every change seen) or on the last
// such weekday of the month.
class YearlyRule {
public:
    explicit YearlyRule(const Onset& first) : m_sample(first)
    {
        const QDate day = first.local().date();
        m_year = day.year();
        fit(day);
    }

    // Takes the change one year before those taken so far; false when it does
    // not follow the rule.
    bool takeEarlier(const Onset& earlier)
    {
        const QDateTime local = earlier.local(), sample = m_sample.local();
        if (local.date().year() != m_year - 1 || local.date().month() != sample.date().month()
            || local.date().dayOfWeek() != sample.date().dayOfWeek() || local.time() != sample.time()
            || earlier.from != m_sample.from || earlier.to != m_sample.to || earlier.daylight != m_sample.daylight)
            return false;
        const int low = m_low, high = m_high;
        const bool last = m_last;
        fit(local.date());
        if (m_low > m_high && !m_last) {
            m_low = low, m_high = high, m_last = last;
            return false;
        }
        m_year = local.date().year();
        return true;
    }

    QByteArray text() const
    {
        const QDate day = m_sample.local().date();
        const QByteArray weekday = kWeekdays[day.dayOfWeek() - 1];
        QByteArray rule = "FREQ=YEARLY;BYMONTH=" + QByteArray::number(day.month()) + ";BYDAY=";
        for (int first = 1; first <= 22; first += 7)
            if (m_low <= first && first <= m_high)
                return rule + QByteArray::number((first - 1) / 7 + 1) + weekday;
        if (m_last)
            return rule + "-1" + weekday;
        rule += weekday + ";BYMONTHDAY=" + QByteArray::number(m_low);
        for (int d = m_low + 1; d <= std::min(m_low + 6, 31); ++d)
            rule += ',' + QByteArray::number(d);
        return rule;
    }

private:
    void fit(const QDate& day)
    {
        m_low = std::max(m_low, std::max(1, day.day() - 6));
        m_high = std::min(m_high, day.day());
        m_last = m_last && day.day() + 7 > day.daysInMonth();
    }

    Onset m_sample;
    int m_year = 0;
    int m_low = 1;
    int m_high = 31;
    bool m_last = true;
};

ICalendarComponent observance(const Onset& onset, const QByteArray& rule = QByteArray())
{
    ICalendarComponent c(onset.daylight ? "DAYLIGHT" : "STANDARD");
    c.line("DTSTART:" + dateTimeICalendarText(onset.local()));
    c.line("TZOFFSETFROM:" + offsetText(onset.from));
    c.line("TZOFFSETTO:" + offsetText(onset.to));
    if (!rule.isEmpty())
        c.line("RRULE:" + rule);
    c.text("TZNAME", onset.name);
    return c;
}

} // namespace

QTimeZone zoneOfStoredNames(const QByteArray& ianaName, const QByteArray& windowsName)
{
    const QTimeZone named = zoneNamed(ianaName.trimmed());
    if (named.isValid())
        return named;
    const QByteArray windows = windowsName.trimmed();
    if (windows.isEmpty() || windows.size() > 64)
        return QTimeZone();
    for (const QByteArray& id : {windows, windows + " Standard Time"}) {
        const QTimeZone mapped = zoneNamed(QTimeZone::windowsIdToDefaultIanaId(id));
        if (mapped.isValid())
            return mapped;
    }
    return QTimeZone();
}

ICalendarComponent timeZoneComponent(const QTimeZone& zone, int firstYear, int lastYear)
{
    ICalendarComponent c("VTIMEZONE");
    c.text("TZID", QString::fromLatin1(zone.id()));

    // The span's first midnight, in the zone's offset at about that time.
    const QDateTime wallStart(QDate(firstYear - kMarginYears, 1, 1), kMidnight, Qt::UTC);
    const QDateTime begin = wallStart.addSecs(-zone.offsetFromUtc(wallStart));
    const int offset = zone.offsetFromUtc(begin);
    c.nested(observance({begin, offset, offset, zone.daylightTimeOffset(begin) > 0, zone.abbreviation(begin)}));

    const int lastChecked = lastYear + kMarginYears + kRuleCheckYears;
    const QDateTime spanEnd(QDate(lastYear + kMarginYears + 1, 1, 1), kMidnight, Qt::UTC);
    const std::vector<Onset> onsets =
        onsetsBetween(zone, begin, QDateTime(QDate(lastChecked + 1, 1, 1), kMidnight, Qt::UTC));

    // The longest run of yearly changes that goes on to the last year checked,
    // found backwards from the last two: rules[0] is the rule of the
    // second-to-last change and of every second one before it, rules[1] that
    // of the others.
    const int n = int(onsets.size());
    int runStart = n;
    std::vector<YearlyRule> rules;
    if (n >= 2 && onsets.back().local().date().year() == lastChecked) {
        rules = {YearlyRule(onsets[n - 2]), YearlyRule(onsets[n - 1])};
        runStart = n - 2;
        while (runStart > 0 && rules[(n - runStart + 1) % 2].takeEarlier(onsets[runStart - 1]))
            --runStart;
        // A rule only counts when it held through every year checked.
        if (onsets[runStart].local().date().year() > lastYear + kMarginYears + 1)
            runStart = n;
    }
    if (runStart < n) {
        for (int i = 0; i < runStart; ++i)
            c.nested(observance(onsets[i]));
        c.nested(observance(onsets[runStart], rules[(n - runStart) % 2].text()));
        c.nested(observance(onsets[runStart + 1], rules[(n - runStart - 1) % 2].text()));
    } else {
        for (const Onset& onset : onsets)
            if (onset.atUtc < spanEnd)
                c.nested(observance(onset));
    }
    return c;
}

QByteArray tzidParameter(const QTimeZone& zone)
{
    const QByteArray id = zone.id();
    const bool bare = std::none_of(id.begin(), id.end(), [](char ch) { return ch == ':' || ch == ';' || ch == ','; });
    return ";TZID=" + (bare ? id : '"' + id + '"');
}

} // namespace er
