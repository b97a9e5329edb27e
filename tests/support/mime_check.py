"""Reads one message from standard input with Python's email package and
prints every part as JSON: content type, charset, transfer encoding, boundary,
parser defects and the decoded payload (base64). Run with Debian's
/usr/bin/python3."""

import base64
import email
import json
import sys


def main():
    data = sys.stdin.buffer.read()
    # The structure is read from the message as written (CR line ends); the
    # payloads from a CR LF copy, as the quoted-printable decoder only knows
    # LF-based line ends.
    written = list(email.message_from_bytes(data).walk())
    decoded = list(email.message_from_bytes(data.replace(b"\r", b"\r\n")).walk())
    parts = []
    for w, d in zip(written, decoded):
        parts.append({
            "type": w.get_content_type() if w.get_content_type() == d.get_content_type() else "mismatch",
            "charset": d.get_content_charset(),
            "encoding": (d.get("Content-Transfer-Encoding") or "").lower(),
            "boundary": w.get_boundary(),
            "defects": [type(x).__name__ for x in w.defects + d.defects],
            "payload": "" if d.is_multipart() else base64.b64encode(d.get_payload(decode=True) or b"").decode(),
        })
    if len(written) != len(decoded):
        parts.append({"type": "mismatch"})
    json.dump(parts, sys.stdout)


if __name__ == "__main__":
    main()
