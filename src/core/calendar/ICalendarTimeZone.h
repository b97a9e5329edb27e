#pragma once
// Time zones of the portable calendar file: the zone an Office 2008 event's
// stored names stand for, and the VTIMEZONE that defines it for readers that
// do not know the zone by its id. Both come from the zone database Qt reads;
// neither depends on the zone of the machine that writes the file.

#include "output/ICalendarFile.h"

#include <QByteArray>
#include <QTimeZone>

namespace er {

// The zone an event's stored names stand for: the IANA-style name (the
// bundle's X-ENTOURAGE-CFTIMEZONE text, e.g. "Europe/Berlin") when the zone
// database knows it, else the Windows-style name (the bundle's TZID text,
// e.g. "W. Europe") through Qt's Windows table, as stored and with
// " Standard Time" appended. Invalid when neither names a zone. A name is
// looked up only when it has the form of a zone id (letters, digits, "_",
// "+", "-" and ":" in parts joined by "/"), so no stored text reaches the
// file system as a path.
QTimeZone zoneOfStoredNames(const QByteArray& ianaName, const QByteArray& windowsName);

// The VTIMEZONE of `zone`, its TZID the zone's id, for wall-clock times from
// firstYear to lastYear with a year's margin on each side: a first
// sub-component for the offset in effect when that span begins, then one
// STANDARD or DAYLIGHT sub-component per change of offset (DAYLIGHT where
// the zone adds daylight-saving time). Where the changes go on by one yearly
// rule beyond the span (checked ten years on), the last two carry it as an
// RRULE instead of being listed, so that recurring events keep their hour
// in later years too. A zone that never changes gets one STANDARD block.
ICalendarComponent timeZoneComponent(const QTimeZone& zone, int firstYear, int lastYear);

// The TZID parameter of a time in the zone, ";TZID=<id>", the id quoted
// where it holds a character a bare parameter value cannot.
QByteArray tzidParameter(const QTimeZone& zone);

} // namespace er
