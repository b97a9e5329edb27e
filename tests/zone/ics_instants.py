"""Reads the iCalendar files named on the command line with python3-icalendar
and prints, for each, the SUMMARY, DTSTART and DTEND of every VEVENT as JSON:
a time with a zone (a TZID the reader resolves by itself, or by the file's
VTIMEZONE when it does not know the id) as the UTC instant it stands for,
"yyyymmddThhmmssZ"; a floating time as "yyyymmddThhmmss"; a date as
"yyyymmdd". Run with Debian's /usr/bin/python3, through ertest::pythonCheck.
"""

import datetime
import json
import sys
import traceback

import icalendar


def instant(value):
    if isinstance(value, datetime.datetime):
        if value.tzinfo is None:
            return value.strftime("%Y%m%dT%H%M%S")
        return value.astimezone(datetime.timezone.utc).strftime("%Y%m%dT%H%M%SZ")
    return value.strftime("%Y%m%d")


def main():
    out = []
    for path in sys.argv[1:]:
        try:
            with open(path, "rb") as f:
                calendar = icalendar.Calendar.from_ical(f.read())
            events = []
            for event in calendar.walk("VEVENT"):
                events.append({
                    "summary": str(event.get("SUMMARY", "")),
                    "start": instant(event.decoded("DTSTART")),
                    "end": instant(event.decoded("DTEND")) if "DTEND" in event else "<none>",
                })
            out.append({"path": path, "events": events})
        except Exception:  # reported, not raised: the test says which file
            out.append({"path": path, "exception": traceback.format_exc()})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
