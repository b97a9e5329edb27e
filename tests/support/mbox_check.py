"""Reads mbox files with Python's mailbox module and prints, per file, its
messages as JSON: the From_ line (without "From "), the message bytes
(base64) after the mboxrd un-quoting, which the module does not do itself:
one ">" is removed from every line matching ^>+From , and the address and
subject headers as the email package parses them (its default policy), with the
number of defects it found in them. Run with Debian's /usr/bin/python3."""

import base64
import email
import email.policy
import json
import mailbox
import re
import sys

QUOTED_FROM = re.compile(rb"^>(>*From )", re.MULTILINE)


def read(path):
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
            messages.append({
                "from": box.get_message(key).get_from(),
                "bytes": base64.b64encode(data).decode(),
                "headers": headers,
                "defects": defects,
            })
    finally:
        box.close()
    return {"path": path, "messages": messages}


def report_each(read_file, paths):
    """Prints, as one JSON list, what read_file gives for each path; a file
    that cannot be read is reported in its place, so it fails visibly.
    eml_check.py reports through it too."""
    out = []
    for path in paths:
        try:
            out.append(read_file(path))
        except Exception as e:
            out.append({"path": path, "exception": repr(e)})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    report_each(read, sys.argv[1:])
