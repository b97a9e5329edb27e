"""Reads the iCalendar files named on the command line with python3-icalendar
and prints, for each, its parse errors and its components with their
properties as JSON. Values are given decoded: text as text, date-times as
"yyyymmddThhmmss" (with "Z" when in UTC), durations and offsets in seconds,
numbers as numbers, anything else as its iCalendar text. Run with Debian's
/usr/bin/python3."""

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
        if value.tzinfo is not None and value.utcoffset() == datetime.timedelta(0) and \
                str(value.tzinfo) == "UTC":
            text += "Z"
        return text
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
            props.append({
                "name": name,
                "params": dict(getattr(r, "params", {})),
                "value": plain(d),
            })
    return {"name": c.name, "props": props, "errors": [str(e) for e in getattr(c, "errors", [])]}


def main():
    out = []
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            data = f.read()
        try:
            cal = icalendar.Calendar.from_ical(data)
            out.append({"path": path, "components": [component(c) for c in cal.walk()]})
        except Exception:  # reported, not raised: the test says which file
            out.append({"path": path, "exception": traceback.format_exc()})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
