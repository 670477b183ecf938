#pragma once
// The reads a workbook's rows are made of, answered in one call straight from
// the cell store instead of through a worksheet and a range object per cell:
//   Cells(r, c)                       (its value, when the caller converts it)
//   Cells(r, c)\Value
//   ActiveSheet\Cells(r, c)\Value
//   ActiveSheet\Columns(n)\Find('v', #optional, #optional, 1)\Row
// Everything else, and every read that would fail or find nothing, is
// declined, so that the member-by-member route gives its codes and texts.

#include "automation/com/Interfaces.h"
#include "workbook/engine/Workbook.h"

#include <memory>

namespace orvane
{

/// Answers `path` on the application whose open workbook is `book` (null
/// when none) as IPathRead::ReadPath does: S_OK with `*result` set, or
/// S_FALSE with `*result` left VT_EMPTY.
HRESULT readExcelPath(const std::shared_ptr<Workbook> &book, const PathMember *path, UINT count,
                      bool valueOfObject, VARIANT *result);

} // namespace orvane
