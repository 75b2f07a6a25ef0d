"""Compares the tables a Windows build wrote with those of the Linux build: the same file
names (without regard to case), the same bytes except the date of last update in each .dbf
header, and every .dbf readable, records and memos, by dbfread.

    python3 tools/compare_tables.py WRITTEN_DIR REFERENCE_DIR
"""
import os
import sys

import dbfread


def tables(directory):
    return sorted((f for f in os.listdir(directory) if f.lower().endswith(('.dbf', '.fpt', '.cdx'))),
                  key=str.lower)


def main(written, reference):
    mine, theirs = tables(written), tables(reference)
    if [f.lower() for f in mine] != [f.lower() for f in theirs] or not mine:
        sys.exit(f"compare: files {mine} differ from the reference's {theirs}")
    records = 0
    for a, b in zip(mine, theirs):
        x = open(os.path.join(written, a), 'rb').read()
        y = open(os.path.join(reference, b), 'rb').read()
        if a.lower().endswith('.dbf'):
            x, y = x[:1] + x[4:], y[:1] + y[4:]  # the date of last update
            records += sum(1 for _ in dbfread.DBF(os.path.join(written, a), encoding='cp1251', char_decode_errors='strict'))
        if x != y:
            sys.exit(f"compare: {a} differs from the reference's {b}")
    print(f"compare: {len(mine)} files equal to the reference, {records} records read by dbfread")


if __name__ == '__main__':
    main(*sys.argv[1:])
