"""Writes the legacy .xls test workbook with xlwt: sheets S1, S2, S3 with S2
shown; column A of S2 holds one kind of value per row."""
import datetime
import sys

import xlwt

wb = xlwt.Workbook()
wb.add_sheet("S1").write(0, 0, "first")
s2 = wb.add_sheet("S2")
wb.add_sheet("S3").write(0, 0, "third")
date_style = xlwt.easyxf(num_format_str="YYYY-MM-DD")
stamp_style = xlwt.easyxf(num_format_str="YYYY-MM-DD hh:mm:ss")
s2.write(0, 0, "text")
s2.write(1, 0, 12)
s2.write(2, 0, 2.5)
s2.write(3, 0, datetime.date(2024, 1, 5), date_style)
s2.write(4, 0, True)
s2.write(5, 0, "00042")
s2.write(6, 0, datetime.datetime(2024, 1, 5, 13, 4, 5), stamp_style)
s2.write(7, 0, "Z\u00fcrich")
s2.row(8).set_cell_error(0, 0x2A)
s2.write(12, 0, False)
s2.write(9, 1, "Key")
s2.write(11, 1, "key")
wb.active_sheet = 1
s2.set_selected(True)
wb.get_sheet(0).set_selected(False)
wb.save(sys.argv[1])
