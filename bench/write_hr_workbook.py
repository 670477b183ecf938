#!/usr/bin/python3
"""The HR workbook of the whole-process benchmarks, as openpyxl writes it.

Reads the tab-separated HR columns that bench/generate_directory.py wrote (a
header line, then one user a line) and writes them as one sheet with openpyxl
in its write-only mode (texts as inline strings, as openpyxl stores them there), or, with
--header-only, a workbook holding the header alone (the export's target).

  bench/write_hr_workbook.py HR.tsv OUT.xlsx [--header-only]
"""

import sys

from openpyxl import Workbook


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    header_only = len(sys.argv) == 4 and sys.argv[3] == "--header-only"
    book = Workbook(write_only=True)
    sheet = book.create_sheet("HR")
    with open(sys.argv[1], encoding="utf-8") as source:
        for n, line in enumerate(source):
            sheet.append(line.rstrip("\n").split("\t"))
            if header_only:
                break
    book.save(sys.argv[2])


if __name__ == "__main__":
    main()
