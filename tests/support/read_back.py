"""Reads written files back with readers independent of the program (run
with Debian's /usr/bin/python3, whose packages they are):
read_back.py KIND PATH... ("-" reads standard input) prints a JSON list, per
path {"path", "kind", ...} or {..., "error"}; what each kind holds is in
read_mbox, read_eml, read_vcard and read_ical below. python3-icalendar 4.0
undoes TEXT escapes twice: such values are checked by KDE's reader."""

import base64
import datetime
import email
import email.policy
import json
import mailbox
import re
import sys

QUOTED_FROM = re.compile(rb"^>(>*From )", re.MULTILINE)
BARE_LINE_END = re.compile(rb"\r(?!\n)|(?<!\r)\n")


def read_bytes(path):
    if path == "-":
        return sys.stdin.buffer.read()
    with open(path, "rb") as f:
        return f.read()


def read_mbox(path):
    box = mailbox.mbox(path, create=False)
    messages = []
    try:
        for key in box.iterkeys():
            data = QUOTED_FROM.sub(rb"\1", box.get_bytes(key))
            parsed = email.message_from_bytes(data, policy=email.policy.default)
            headers, defects = {}, 0
            for name in ("From", "To", "Cc"):
                if parsed[name] is not None:
                    headers[name] = [[a.display_name, a.addr_spec] for a in parsed[name].addresses]
                    defects += len(parsed[name].defects)
            if parsed["Subject"] is not None:
                headers["Subject"] = str(parsed["Subject"])
                defects += len(parsed["Subject"].defects)
            messages.append({"from": box.get_message(key).get_from(),
                             "bytes": base64.b64encode(data).decode(),
                             "headers": headers, "defects": defects})
    finally:
        box.close()
    return {"messages": messages}


def read_eml(path):
    data = read_bytes(path)
    parsed = email.message_from_bytes(data, policy=email.policy.default)
    defects = [type(d).__name__ for part in parsed.walk() for d in part.defects]
    if parsed["Subject"] is not None:
        defects += [type(d).__name__ for d in parsed["Subject"].defects]
    text = parsed.get_body(preferencelist=("plain",))
    return {"subject": str(parsed["Subject"] or ""),
            "crlf": data.endswith(b"\r\n") and BARE_LINE_END.search(data) is None,
            "defects": defects,
            "text": text.get_content() if text is not None else ""}


def read_vcard(path):
    import vobject

    def structured(value):
        if isinstance(value, vobject.vcard.Name):
            return [value.family, value.given, value.additional, value.prefix, value.suffix]
        if isinstance(value, vobject.vcard.Address):
            return [value.box, value.extended, value.street, value.city, value.region, value.code, value.country]
        if isinstance(value, list):
            return [str(v) for v in value]
        return str(value)

    cards = []
    for card in vobject.readComponents(read_bytes(path).decode("utf-8"), validate=True):
        if card.name != "VCARD":
            raise ValueError("unexpected component %s" % card.name)
        props = {}
        for child in card.getChildren():
            props.setdefault(child.name.lower(), []).append({
                "params": {k.lower(): list(v) for k, v in child.params.items()},
                "value": structured(child.value)})
        cards.append(props)
    return {"cards": cards}


def ical_value(value):
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


def ical_component(c):
    props = []
    for name in c.keys():
        raw, decoded = c[name], c.decoded(name)
        for r, d in zip(raw if isinstance(raw, list) else [raw], decoded if isinstance(decoded, list) else [decoded]):
            props.append({"name": name, "params": dict(getattr(r, "params", {})), "value": ical_value(d)})
    return {"name": c.name, "props": props, "errors": [str(e) for e in getattr(c, "errors", [])],
            "components": [ical_component(s) for s in c.subcomponents]}


def read_ical(path):
    import icalendar
    return {"calendar": ical_component(icalendar.Calendar.from_ical(read_bytes(path)))}


READERS = {"mbox": read_mbox, "eml": read_eml, "vcard": read_vcard, "ical": read_ical}


def read_all(kind, paths):
    out = []
    for path in paths:
        entry = {"path": path, "kind": kind}
        try:
            entry.update(READERS[kind](path))
        except Exception as e:  # every failure is a finding about that file
            entry["error"] = "%s: %s" % (type(e).__name__, e)
        out.append(entry)
    return out


def main(argv):
    if not argv or argv[0] not in READERS:
        sys.exit("usage: read_back.py {%s} PATH..." % ",".join(READERS))
    json.dump(read_all(argv[0], argv[1:]), sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1:])
