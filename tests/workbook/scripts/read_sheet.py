"""Prints a workbook as openpyxl reads it, as JSON: the sheet names in tab
order, the active sheet's title, every non-empty cell of the active sheet as
"row,column": text, and the bold cells of the active sheet.

usage: read_sheet.py WORKBOOK"""
import json
import sys

import openpyxl


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheet = book.active
    cells = {}
    bold = []
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is not None:
                cells["%d,%d" % (cell.row, cell.column)] = str(cell.value)
            if cell.font is not None and cell.font.b:
                bold.append("%d,%d" % (cell.row, cell.column))
    print(json.dumps({"sheets": book.sheetnames, "active": sheet.title, "cells": cells, "bold": bold}))


main()
