#pragma once
// What the objects of one "Excel.Application" instance share: the workbook
// it opened (if any), and the conventions of its answers: Excel's error code
// for failed calls, and a cell's value as the VARIANT Excel's Range.Value gives.

#include "automation/com/DispatchObject.h"
#include "workbook/engine/Workbook.h"

#include <memory>

namespace orvane
{

/// The application's state. Objects handed out keep the workbook they were
/// made for alive through their own shared pointer, as COM objects outlive
/// the call that made them.
struct ExcelSession {
    std::shared_ptr<Workbook> workbook;
    /// Why the last Workbooks\Open failed; repeated by commands that need a
    /// workbook, so that a caller who checks only Save still learns the cause.
    QString openError;
};

/// Reports that no workbook is open (with the reason `session` knows); returns DISP_E_EXCEPTION.
HRESULT raiseNoWorkbook(DispatchCall &call, const ExcelSession &session);

/// Excel's "application-defined or object-defined error" (0x800A03EC), the
/// code of every failure the stand-in reports.
inline constexpr HRESULT kExcelError = static_cast<HRESULT>(0x800A03EC);

/// Reports a failed call with `description` as the error text; returns DISP_E_EXCEPTION.
HRESULT raiseExcelError(DispatchCall &call, const QString &description);

/// Stores `value` as the call's result the way Range.Value returns it: empty,
/// VT_R8, VT_BSTR, VT_BOOL, VT_DATE, or VT_ERROR with Excel's CVErr code.
HRESULT setCellResult(DispatchCall &call, const CellValue &value);

/// Reads an integer argument that must lie in [low, high]; raises an error naming `what` otherwise.
HRESULT boundedArgument(DispatchCall &call, int index, qint64 low, qint64 high, const QString &what,
                        qint64 *out);

} // namespace orvane
