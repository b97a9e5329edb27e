"""One message on standard input, its MIME parts printed as a JSON list:
the "mime" reader of read_back.py, for callers that pipe a message in."""

import json
import sys

from read_back import read_mime

json.dump(read_mime("-")["parts"], sys.stdout)
