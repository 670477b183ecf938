#pragma once
// The workbook an "Excel.Application" stand-in has open, for a caller that
// reads many of its cells on the instance's thread and wants each answered
// from the parsed cells instead of through a command apiece, as ReadPath
// (ExcelPathRead.h) would answer those commands.

#include "automation/AutomationObject.h"
#include "workbook/engine/Workbook.h"

#include <memory>

namespace orvane
{

/// Offered by ExcelApplication.
inline constexpr IID IID_IOpenedWorkbook{0x3c81e9d2, 0x5af4, 0x4b67, {0x9e, 0x0d, 0x61, 0xb2, 0x7c, 0x48, 0xd5, 0x93}};
struct IOpenedWorkbook : IUnknown {
    /// The workbook the last Workbooks\Open opened; null when none is open.
    virtual std::shared_ptr<Workbook> OpenedWorkbook() = 0;
};

/// The workbook `app` has open when it is the stand-in; null for any other
/// server or when no workbook is open. Holding it keeps the workbook from
/// going back to the cache: drop it before the instance quits.
std::shared_ptr<Workbook> openedWorkbook(AutomationObject *app);

} // namespace orvane
