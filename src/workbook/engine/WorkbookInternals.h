#pragma once
// What the workbook's open (Workbook.cpp) and its save (WorkbookSave.cpp)
// share: where the opened package keeps its parts, and the error texts.

#include "workbook/engine/Workbook.h"

#include <string>

namespace orvane
{

struct Workbook::XlsxParts {
    std::string sheetPart;
    unsigned long long sheetSize = 0; ///< what the sheet part's entry declared when it was parsed
    unsigned long sheetCrc = 0;
    std::string calcChainPart; ///< empty when the workbook has none
    std::string workbookRelsPart;
};

/// Sets `error` to `status` with its message for `path` (and `detail`);
/// always false, so that a failing step can return it.
bool failWorkbook(WorkbookError *error, WorkbookStatus status, const std::string &path, const std::string &detail);

} // namespace orvane
