#pragma once
// The "Excel.Application" automation server: the stand-in for Microsoft
// Excel that the program drives through the command engine. It answers the
// commands the program sends, on the active sheet of the workbook it opened:
//   Workbooks\Open('path')                      open a workbook (.xlsx; .xls, .ods, .csv read-only)
//   ActiveSheet\Columns(n)\Find('v', , , 1)\Row the first row showing v
//   ActiveSheet\Columns(n)\Range('C9')\Find(...)\Row   the next one after row 9
//   Cells(r, c)                                 a cell's value (default member)
//   Cells(r,c)\Value = 'text'                   write a string cell
//   ActiveSheet\UsedRange\SpecialCells(11)\Row  the last used row
//   Save                                        save the workbook in place
//   Quit()                                      close without saving
// and a few members around them (ActiveWorkbook, Workbooks\Count, Name, ...).
// An instance and the objects it hands out belong to the thread that made it.

#include "workbook/excel/ExcelSession.h"
#include "workbook/excel/OpenedWorkbook.h"

namespace orvane
{

class ExcelApplication : public PathReadingObject, public IPathWrite, public IOpenedWorkbook
{
  public:
    ExcelApplication();

    HRESULT QueryInterface(REFIID iid, void **object) override { return DispatchObject::QueryInterface(iid, object); }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }

    /// Answers a row's cell reads and a column's first match in one call
    /// (ExcelPathRead.h); declines every other path.
    HRESULT ReadPath(const PathMember *path, UINT count, bool valueOfObject, VARIANT *result) override;
    /// Takes a text written into one cell in one call (ExcelPathRead.h);
    /// declines every other write.
    HRESULT WritePath(const PathMember *path, UINT count, const VARIANT *value) override;
    std::shared_ptr<Workbook> OpenedWorkbook() override { return session_->workbook; }

    enum : DISPID { Workbooks = 1, ActiveWorkbook, ActiveSheet, Cells, Save, Quit, Name };
    static const MemberTable &memberTable();

  protected:
    HRESULT invoke(DispatchCall &call) override;
    IUnknown *queryOtherInterface(REFIID iid) override;

  private:
    std::shared_ptr<ExcelSession> session_;
};

} // namespace orvane
