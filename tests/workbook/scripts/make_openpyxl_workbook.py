"""Writes the openpyxl test workbook: sheets Alpha, Beta, Gamma with Gamma
active; column A of Gamma holds one kind of value per row (see the rows
below), column B a few texts for Find."""
import datetime
import sys

import openpyxl
from openpyxl.styles import Font

wb = openpyxl.Workbook()
alpha = wb.active
alpha.title = "Alpha"
alpha["A1"] = "alpha"
wb.create_sheet("Beta")["A1"] = "beta"
gamma = wb.create_sheet("Gamma")
rows = [
    "plain",                                  # 1
    "00042",                                  # 2
    12,                                       # 3
    2.5,                                      # 4
    datetime.datetime(2024, 2, 29, 8, 30, 0), # 5
    datetime.date(1999, 12, 31),              # 6
    True,                                     # 7
    "#N/A",                                   # 8 an error cell
    None,                                     # 9 empty
    "\u00dcn\u00efcode",                      # 10
    "  spaced  ",                             # 11
    "line\nbreak",                            # 12
    datetime.time(6, 15, 0),                  # 13
    -0.000123,                                # 14
]
for i, value in enumerate(rows, start=1):
    gamma.cell(row=i, column=1, value=value)
gamma["B2"] = "Key"
gamma["B5"] = "key"
gamma["B7"] = "KEY "
gamma["B1"].font = Font(bold=True)
wb.active = 2
wb.save(sys.argv[1])
