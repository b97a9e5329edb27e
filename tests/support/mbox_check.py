"""Reads mbox files with Python's mailbox module and prints, per file, its
messages as JSON: the From_ line (without "From ") and the message bytes
(base64) after the mboxrd un-quoting, which the module does not do itself:
one ">" is removed from every line matching ^>+From . Run with Debian's
/usr/bin/python3."""

import base64
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
            data = box.get_bytes(key)
            messages.append({
                "from": box.get_message(key).get_from(),
                "bytes": base64.b64encode(QUOTED_FROM.sub(rb"\1", data)).decode(),
            })
    finally:
        box.close()
    return {"path": path, "messages": messages}


def main():
    out = []
    for path in sys.argv[1:]:
        try:
            out.append(read(path))
        except Exception as e:  # reported per file, so one bad file fails visibly
            out.append({"path": path, "exception": repr(e)})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
