#include "workbook/excel/ExcelWorkbooks.h"

#include "automation/com/ComPtr.h"
#include "workbook/excel/ExcelWorkbook.h"
#include "workbook/excel/WorkbookCache.h"

namespace orvane
{

ExcelWorkbooks::ExcelWorkbooks(std::shared_ptr<ExcelSession> session)
    : DispatchObject(memberTable()), session_(std::move(session))
{
}

const MemberTable &ExcelWorkbooks::memberTable()
{
    static const MemberTable table{{QStringLiteral("Open"), Open}, {QStringLiteral("Count"), Count}};
    return table;
}

HRESULT ExcelWorkbooks::invoke(DispatchCall &call)
{
    if (call.isPropertyPut()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    switch (call.dispid()) {
    case Open:
        return open(call);
    case Count:
        return call.setResultInteger(session_->workbook ? 1 : 0);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT ExcelWorkbooks::open(DispatchCall &call)
{
    QString path;
    HRESULT hr = call.stringArg(0, &path);
    if (FAILED(hr)) {
        return hr;
    }
    WorkbookError error;
    std::shared_ptr<Workbook> book = WorkbookCache::open(path.toStdString(), &error);
    if (!book) {
        session_->openError = QString::fromStdString(error.message);
        return raiseExcelError(call, session_->openError);
    }
    session_->openError.clear();
    // Later commands address the workbook opened last, as they address Excel's active one.
    session_->workbook = std::move(book);
    auto workbook = ComPtr<ExcelWorkbook>::attach(new ExcelWorkbook(session_->workbook));
    return call.setResultDispatch(workbook.get());
}

} // namespace orvane
