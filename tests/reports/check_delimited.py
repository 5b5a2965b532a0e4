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
# Delimited text keeps control characters; the UTF-8 encoder turns a surrogate alone into U+FFFD.
CONTROL_HEADER = ["Name", "Data\x1f"]
CONTROL_ROWS = [
    ["bell\x07", "start\x01"],
    ["\ufffe\uffff", "lone \ufffd"],
    ["vertical\x0btab", "tab\tand\x1bescape"],
]


def check(path, dialect, header=HEADER, rows=ROWS):
    failures = []
    with open(path, "rb") as raw:
        data = raw.read()
    if data.startswith(b"\xef\xbb\xbf"):
        failures.append("starts with a byte-order mark")
    if not data.endswith(b"\r\n"):
        failures.append("does not end with CR LF")
    with open(path, newline="", encoding="utf-8") as text:
        records = list(csv.reader(text, dialect=dialect))
    expected = [header] + rows
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
    for extension, dialect in ((".csv", "excel"), (".txt", "excel-tab")):
        path = os.path.join(folder, "WmiReport_Win32_Control" + extension)
        ok = check(path, dialect, CONTROL_HEADER, CONTROL_ROWS) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
