"""Reads the iCalendar files named on the command line with python3-icalendar
and prints, for each, its components (nested ones inside their parent) as
JSON: every property with its parameters and its decoded value. Text comes
out as text, a date-time as "yyyymmddThhmmss" followed by "Z" in UTC, by
nothing when floating, and in any other zone by "?", the zone's name, "="
and the UTC instant it stands for ("yyyymmddThhmmssZ"); a date as
"yyyymmdd", a duration in seconds, a rule as its iCalendar text. Run with Debian's /usr/bin/python3.

python3-icalendar 4.0 undoes TEXT escapes twice, so that a backslash written
before ",", ";" or "n" ("\\\\,") is read as an escape of its own: values that
hold such pairs are checked with the C++ reader instead."""

import datetime
import json
import sys
import traceback

import icalendar


def plain(value):
    if isinstance(value, bytes):
        return value.decode("utf-8")
    if isinstance(value, datetime.datetime):
        text = value.strftime("%Y%m%dT%H%M%S")
        if value.tzinfo is not None:
            if value.utcoffset() == datetime.timedelta(0):
                text += "Z"
            else:
                utc = value.astimezone(datetime.timezone.utc).strftime("%Y%m%dT%H%M%SZ")
                text += "?" + str(value.tzinfo) + "=" + utc
        return text
    if isinstance(value, datetime.date):
        return value.strftime("%Y%m%d")
    if isinstance(value, datetime.timedelta):
        return int(value.total_seconds())
    if isinstance(value, (int, float, str)):
        return value
    return value.to_ical().decode("utf-8")


def component(c):
    props = []
    for name in c.keys():
        raw = c[name]
        decoded = c.decoded(name)
        for r, d in zip(raw if isinstance(raw, list) else [raw],
                        decoded if isinstance(decoded, list) else [decoded]):
            props.append({"name": name, "params": dict(getattr(r, "params", {})), "value": plain(d)})
    return {
        "name": c.name,
        "props": props,
        "errors": [str(e) for e in getattr(c, "errors", [])],
        "components": [component(s) for s in c.subcomponents],
    }


def main():
    out = []
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            data = f.read()
        try:
            out.append({"path": path, "calendar": component(icalendar.Calendar.from_ical(data))})
        except Exception:  # reported, not raised: the test says which file
            out.append({"path": path, "exception": traceback.format_exc()})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
