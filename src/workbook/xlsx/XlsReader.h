#pragma once
// Reads a legacy .xls workbook (BIFF5/BIFF8) through FreeXL: the sheet names,
// the sheet the workbook window shows (its WINDOW1 record, which FreeXL does
// not report), and the cells of that sheet as a read-only Worksheet. Dates
// come out as automation dates, text as UTF-8.

#include "workbook/xlsx/Worksheet.h"

#include <memory>
#include <string>
#include <vector>

namespace orvane
{

class CompoundFile;

struct XlsContent {
    std::vector<std::string> sheetNames;
    int activeSheet = 0;
    std::unique_ptr<Worksheet> sheet;
};

enum class XlsOutcome { Ok, NotWorkbook, Damaged, Encrypted, Unreadable };

/// Reads the workbook at `path`, whose compound file `file` the caller has
/// opened already. On failure returns the reason and sets `detail`.
XlsOutcome readXlsWorkbook(const std::string &path, const CompoundFile &file, XlsContent *out,
                           std::string *detail);

} // namespace orvane
