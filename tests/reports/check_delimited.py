#!/usr/bin/env python3
"""Reads the comma- and tab-delimited sample reports back with Python's csv module and compares them with the
header and cells the sample object holds (tests/reports/SampleReport.h)."""
import csv
import os
import sys

HEADER = ["Name", "Caption, short", 'Say "what"', "Tab\there"]
ROWS = [
    ["svchost.exe", "Host Process", "C:\\Windows\\System32\\svchost.exe", "plain"],
    ["a,b", "tab\there", ",", "\t"],
    ['say "hi"', '"', '""', "'apostrophe'"],
    ["line1\r\nline2", "lf\nonly", "cr\ronly", "\r\n"],
    ["", "", "", ""],
    [" padded ", "caf\u00e9", "\u65e5\u672c", "\U0001F600"],
    ["semi;colon", "a<b&c>d", 'end,"mixed"\r\n\tall', "last"],
]


def check(path, dialect):
    failures = []
    with open(path, "rb") as raw:
        data = raw.read()
    if data.startswith(b"\xef\xbb\xbf"):
        failures.append("starts with a byte-order mark")
    if not data.endswith(b"\r\n"):
        failures.append("does not end with CR LF")
    with open(path, newline="", encoding="utf-8") as text:
        records = list(csv.reader(text, dialect=dialect))
    expected = [HEADER] + ROWS
    if len(records) != len(expected):
        failures.append("%d records instead of %d" % (len(records), len(expected)))
    for number, (got, want) in enumerate(zip(records, expected)):
        if got != want:
            failures.append("record %d: %r instead of %r" % (number, got, want))
    for failure in failures:
        print("%s: %s" % (os.path.basename(path), failure))
    if not failures:
        print("%s: %d records read back exactly" % (os.path.basename(path), len(records)))
    return not failures


def main():
    folder = sys.argv[1]
    ok = check(os.path.join(folder, "WmiReport_Win32_Sample.csv"), "excel")
    ok = check(os.path.join(folder, "WmiReport_Win32_Sample.txt"), "excel-tab") and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
