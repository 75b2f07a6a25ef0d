"""Dumps every .dbf table of a directory as JSON, read with Debian's python3-dbfread.

Character fields are decoded from Windows-1251; memo texts are given both as their stored
bytes (upper-case hex) and decoded from code page 866, the code page they are stored in.
Also reports byte 28 of each table header (the structural index flag).

Usage: /usr/bin/python3 read_target.py DIR
"""

import datetime
import json
import os
import sys

from dbfread import DBF, FieldParser


class Parser(FieldParser):
    def parseM(self, field, data):
        memo = self.get_memo(self._parse_memo_index(data))
        if memo is None:
            return None
        raw = bytes(memo)
        return {"hex": raw.hex().upper(), "text": raw.decode("cp866")}


def plain(value):
    if isinstance(value, datetime.date):
        return value.isoformat()
    return value


def main(directory):
    out = {}
    for name in sorted(os.listdir(directory)):
        if not name.lower().endswith(".dbf"):
            continue
        path = os.path.join(directory, name)
        with open(path, "rb") as f:
            header = f.read(32)
        table = DBF(path, encoding="cp1251", parserclass=Parser, load=True)
        out[name.lower()] = {
            "file": name,
            "flags": header[28],
            "fields": [f.name for f in table.fields],
            "types": "".join(f.type for f in table.fields),
            "records": [{k: plain(v) for k, v in r.items()} for r in table.records],
        }
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main(sys.argv[1])
