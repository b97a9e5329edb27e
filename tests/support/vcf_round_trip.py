"""Reads the vCard files named on the command line, each possibly holding
many cards, with vobject and prints what it saw as JSON, one object per file
in argument order: {"file", "cards": [props, ...]} where props maps each
lower-case property name to its occurrences in file order, each
{"params": {name: [values]}, "value": text or list of texts}; or
{"file", "error"} when a file does not parse. Run with Debian's
/usr/bin/python3."""

import json
import sys

import vobject

from vcard_check import structured  # the one mapping of structured values


def read_cards(text):
    cards = []
    for card in vobject.readComponents(text, validate=True):
        if card.name != "VCARD":
            raise ValueError("unexpected component %s" % card.name)
        props = {}
        for child in card.getChildren():
            props.setdefault(child.name.lower(), []).append({
                "params": {k.lower(): list(v) for k, v in child.params.items()},
                "value": structured(child.value),
            })
        cards.append(props)
    return cards


def main():
    results = []
    for path in sys.argv[1:]:
        try:
            with open(path, "rb") as f:
                text = f.read().decode("utf-8")
            results.append({"file": path, "cards": read_cards(text)})
        except Exception as e:  # every failure is a finding about that file
            results.append({"file": path, "error": "%s: %s" % (type(e).__name__, e)})
    json.dump(results, sys.stdout)


if __name__ == "__main__":
    main()
