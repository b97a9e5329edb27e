"""Reads .eml files with Python's email package (default policy) and prints,
per file, as JSON: the decoded subject, whether every line ends in CR LF,
the parser's defects, and the decoded text of the first text/plain part.
Run with Debian's /usr/bin/python3."""

import email
import email.policy
import re
import sys

from mbox_check import report_each

BARE_LINE_END = re.compile(rb"\r(?!\n)|(?<!\r)\n")


def read(path):
    with open(path, "rb") as f:
        data = f.read()
    parsed = email.message_from_bytes(data, policy=email.policy.default)
    defects = [type(d).__name__ for part in parsed.walk() for d in part.defects]
    if parsed["Subject"] is not None:
        defects += [type(d).__name__ for d in parsed["Subject"].defects]
    text = parsed.get_body(preferencelist=("plain",))
    return {
        "path": path,
        "subject": str(parsed["Subject"] or ""),
        "crlf": data.endswith(b"\r\n") and BARE_LINE_END.search(data) is None,
        "defects": defects,
        "parts": sum(1 for _ in parsed.walk()),
        "text": text.get_content() if text is not None else "",
    }


if __name__ == "__main__":
    report_each(read, sys.argv[1:])
