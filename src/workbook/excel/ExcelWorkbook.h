#pragma once
// Excel's Workbook object: Name, FullName, ActiveSheet and Save.

#include "workbook/excel/ExcelSession.h"

namespace orvane
{

class ExcelWorkbook : public DispatchObject
{
  public:
    explicit ExcelWorkbook(std::shared_ptr<Workbook> book);

    /// Saves `book` in place, reporting a failure with the engine's message;
    /// shared by Workbook.Save and Application.Save. `book` must not be null.
    static HRESULT save(DispatchCall &call, Workbook *book);

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:
    enum : DISPID { Name = 1, FullName, ActiveSheet, Save };
    static const MemberTable &memberTable();

    std::shared_ptr<Workbook> book_;
};

} // namespace orvane
