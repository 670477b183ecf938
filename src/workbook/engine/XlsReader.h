#pragma once
// Reads a legacy .xls workbook (BIFF5/BIFF8 in a compound file) with the
// project's own record reader: the sheet names, the sheet the workbook window
// shows, and the cells of that sheet as a read-only Worksheet. Dates come out
// as automation dates, text as UTF-8, formulas as their cached results.

#include "workbook/engine/Worksheet.h"

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

/// Reads the workbook held by the compound file `file`, opened from `path`
/// (which only names it). On failure returns the reason and sets `detail`.
XlsOutcome readXlsWorkbook(const std::string &path, const CompoundFile &file, XlsContent *out,
                           std::string *detail);

} // namespace orvane
