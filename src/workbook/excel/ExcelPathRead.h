#pragma once
// The reads a workbook's rows are made of, answered in one call straight from
// the cell store instead of through a worksheet and a range object per cell:
//   Cells(r, c)                       (its value, when the caller converts it)
//   Cells(r, c)\Value
//   ActiveSheet\Cells(r, c)\Value
//   ActiveSheet\Columns(n)\Find('v', #optional, #optional, 1)\Row
// and the writes an export is made of, a text put straight into the cell:
//   Cells(r, c)\Value = 'text'
//   ActiveSheet\Cells(r, c)\Value = 'text'
// Everything else, and every read or write that would fail or find nothing,
// is declined, so that the member-by-member route gives its codes and texts.

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

/// Does the write `path` = `value` on the application whose open workbook is
/// `book` as IPathWrite::WritePath does: S_OK when the text was stored,
/// S_FALSE (nothing changed) for anything but a text put into one cell.
HRESULT writeExcelPath(const std::shared_ptr<Workbook> &book, const PathMember *path, UINT count,
                       const VARIANT *value);

} // namespace orvane
