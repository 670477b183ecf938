#pragma once
// Excel's Worksheet object for the active sheet of an opened workbook.
// Members: Name, Cells(row, column), Columns(column), UsedRange, Range(address).

#include "workbook/excel/ExcelSession.h"

namespace orvane
{

class ExcelWorksheet : public DispatchObject
{
  public:
    explicit ExcelWorksheet(std::shared_ptr<Workbook> book);

    /// The range of `book`'s cell (row, column) taken from the call's first
    /// two arguments; shared by Worksheet.Cells and Application.Cells.
    static HRESULT cells(DispatchCall &call, const std::shared_ptr<Workbook> &book);

    enum : DISPID { Name = 1, Cells, Columns, UsedRange, RangeMember };
    static const MemberTable &memberTable();

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:

    std::shared_ptr<Workbook> book_;
};

} // namespace orvane
