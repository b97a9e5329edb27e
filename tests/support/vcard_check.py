"""Reads the vCard and iCalendar files named on the command line, vCards with
vobject and iCalendar files with icalendar, and prints what the parsers saw as
JSON, one object per file in argument order: {"file", "kind", "props"} where
props maps each lower-case property name to its occurrences in file order,
each {"params": {name: [values]}, "value": text or list of texts}; or
{"file", "error"} when a file does not parse. Run with Debian's
/usr/bin/python3."""

import json
import sys

import icalendar
import vobject


def structured(value):
    if isinstance(value, vobject.vcard.Name):
        return [value.family, value.given, value.additional, value.prefix, value.suffix]
    if isinstance(value, vobject.vcard.Address):
        return [value.box, value.extended, value.street, value.city, value.region, value.code, value.country]
    if isinstance(value, list):
        return [str(v) for v in value]
    return str(value)


def read_vcard(text):
    cards = list(vobject.readComponents(text, validate=True))
    if len(cards) != 1 or cards[0].name != "VCARD":
        raise ValueError("expected exactly one vCard, found %d" % len(cards))
    props = {}
    for child in cards[0].getChildren():
        props.setdefault(child.name.lower(), []).append({
            "params": {k.lower(): list(v) for k, v in child.params.items()},
            "value": structured(child.value),
        })
    return "vcard", props


def read_journal(text):
    calendar = icalendar.Calendar.from_ical(text)
    journals = [c for c in calendar.walk() if c.name == "VJOURNAL"]
    if len(journals) != 1 or calendar.errors or journals[0].errors:
        raise ValueError("expected one clean VJOURNAL, found %d" % len(journals))
    props = {"method": [{"params": {}, "value": str(calendar.get("METHOD", ""))}]}
    for name, value in journals[0].property_items(recursive=False):
        if name not in ("BEGIN", "END"):
            props.setdefault(name.lower(), []).append({"params": {}, "value": str(value)})
    return "vjournal", props


def main():
    results = []
    for path in sys.argv[1:]:
        try:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8")
            reader = read_journal if text.startswith("BEGIN:VCALENDAR") else read_vcard
            kind, props = reader(text)
            results.append({"file": path, "kind": kind, "props": props})
        except Exception as e:  # every failure is a finding about that file
            results.append({"file": path, "error": "%s: %s" % (type(e).__name__, e)})
    json.dump(results, sys.stdout)


if __name__ == "__main__":
    main()
