#pragma once
// Excel's Workbooks collection: Open(path) loads a workbook and makes it the
// one the application's later commands address; Count.

#include "workbook/excel/ExcelSession.h"

namespace orvane
{

class ExcelWorkbooks : public DispatchObject
{
  public:
    explicit ExcelWorkbooks(std::shared_ptr<ExcelSession> session);

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:
    enum : DISPID { Open = 1, Count };
    static const MemberTable &memberTable();
    HRESULT open(DispatchCall &call);

    std::shared_ptr<ExcelSession> session_;
};

} // namespace orvane
