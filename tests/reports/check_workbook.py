#!/usr/bin/env python3
"""Reads the sample workbook back with Python's XML parser, which refuses any document that is not well-formed
XML 1.0, and compares the column names and cells with the sample object's (tests/reports/SampleReport.h)."""
import os
import sys
import xml.etree.ElementTree as ElementTree

from check_delimited import CONTROL_HEADER, CONTROL_ROWS, HEADER, ROWS

SPREADSHEET = "{urn:schemas-microsoft-com:office:spreadsheet}"
# The rows before the column names: Host, Date, Category, Subcategory and an empty one.
HEADER_BLOCK_ROWS = 5
# What reports_samples puts in the header block (the date aside, which is the time of writing).
HEADER_BLOCK = [["Host", "Local Machine"], ["Category", "Operating System"], ["Subcategory", "Processes"]]


def as_read(text):
    """A value as an XML reader returns it: U+FFFD where XML 1.0 holds no character, line ends normalised."""
    out = []
    for ch in text:
        code = ord(ch)
        allowed = ch in "\t\n\r" or 0x20 <= code <= 0xD7FF or 0xE000 <= code <= 0xFFFD or code >= 0x10000
        out.append(ch if allowed else "\ufffd")
    return "".join(out).replace("\r\n", "\n").replace("\r", "\n")


def check(path, header, rows_written):
    try:
        root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as error:
        print("%s: not well-formed: %s" % (os.path.basename(path), error))
        return False
    table = root.find(SPREADSHEET + "Worksheet/" + SPREADSHEET + "Table")
    all_rows = [[data.text or "" for data in row.iter(SPREADSHEET + "Data")]
                for row in table.findall(SPREADSHEET + "Row")]
    block = [cells for cells in all_rows[:HEADER_BLOCK_ROWS] if cells and cells[0] != "Date"]
    failures = [] if block == HEADER_BLOCK else ["header block %r instead of %r" % (block, HEADER_BLOCK)]
    rows = all_rows[HEADER_BLOCK_ROWS:]
    expected = [[as_read(cell) for cell in record] for record in [header] + rows_written]
    failures += ["row %d: %r instead of %r" % (n, got, want) for n, (got, want) in enumerate(zip(rows, expected))
                 if got != want]
    if len(rows) != len(expected):
        failures.append("%d rows instead of %d" % (len(rows), len(expected)))
    for failure in failures:
        print("%s: %s" % (os.path.basename(path), failure))
    if not failures:
        print("%s: well-formed, %d rows read back exactly" % (os.path.basename(path), len(rows)))
    return not failures


def main():
    folder = sys.argv[1]
    ok = check(os.path.join(folder, "WmiReport_Win32_Sample.xml"), HEADER, ROWS)
    ok = check(os.path.join(folder, "WmiReport_Win32_Control.xml"), CONTROL_HEADER, CONTROL_ROWS) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
