"""Compares a saved workbook with its original through openpyxl.

usage: check_saved_workbook.py ORIGINAL SAVED SHEET EDITS...
Each EDIT is ROW,COLUMN=TEXT for a cell written on SHEET. Every sheet must
keep its name and place; every cell not written must keep its value and its
style; every written cell must hold its text as a string and keep its style.
Prints the differences and exits 1 when there are any."""
import sys

import openpyxl
from openpyxl.utils.escape import unescape


def value_of(cell):
    # openpyxl leaves the "_xHHHH_" escapes of inline strings as stored; Excel decodes them.
    return unescape(cell.value) if isinstance(cell.value, str) else cell.value


def style_of(cell):
    return (cell.number_format, cell.font.b, cell.font.i, cell.fill.fgColor.rgb, cell.alignment.horizontal)


def main():
    original = openpyxl.load_workbook(sys.argv[1])
    saved = openpyxl.load_workbook(sys.argv[2])
    sheet = sys.argv[3]
    edits = {}
    for edit in sys.argv[4:]:
        place, text = edit.split("=", 1)
        row, col = place.split(",")
        edits[(int(row), int(col))] = text
    problems = []
    if original.sheetnames != saved.sheetnames:
        problems.append("sheets %r became %r" % (original.sheetnames, saved.sheetnames))
    if original.active.title != saved.active.title:
        problems.append("active sheet %r became %r" % (original.active.title, saved.active.title))
    for name in original.sheetnames:
        before, after = original[name], saved[name]
        places = set()
        for ws in (before, after):
            for row in ws.iter_rows():
                for cell in row:
                    if cell.value is not None or cell.has_style:
                        places.add((cell.row, cell.column))
        if name == sheet:
            places |= set(edits)
        for (r, c) in sorted(places):
            b, a = before.cell(row=r, column=c), after.cell(row=r, column=c)
            if name == sheet and (r, c) in edits:
                want = edits[(r, c)] or None
                if value_of(a) != want:
                    problems.append("%s!%s holds %r, not %r" % (name, a.coordinate, value_of(a), want))
            elif value_of(a) != value_of(b):
                problems.append("%s!%s changed from %r to %r" % (name, a.coordinate, value_of(b), value_of(a)))
            if style_of(a) != style_of(b):
                problems.append("%s!%s style changed from %r to %r" % (name, a.coordinate, style_of(b), style_of(a)))
    for p in problems[:20]:
        print(p)
    sys.exit(1 if problems else 0)


main()
