#include "workbook/excel/ExcelApplication.h"

#include "automation/com/ComPtr.h"
#include "workbook/excel/ExcelPathRead.h"
#include "workbook/excel/ExcelWorkbook.h"
#include "workbook/excel/ExcelWorkbooks.h"
#include "workbook/excel/ExcelWorksheet.h"

namespace orvane
{

ExcelApplication::ExcelApplication()
    : PathReadingObject(memberTable()), session_(std::make_shared<ExcelSession>())
{
}

HRESULT ExcelApplication::ReadPath(const PathMember *path, UINT count, bool valueOfObject, VARIANT *result)
{
    return readExcelPath(session_->workbook, path, count, valueOfObject, result);
}

HRESULT ExcelApplication::WritePath(const PathMember *path, UINT count, const VARIANT *value)
{
    return writeExcelPath(session_->workbook, path, count, value);
}

IUnknown *ExcelApplication::queryOtherInterface(REFIID iid)
{
    if (iid == IID_IPathWrite)
        return static_cast<IPathWrite *>(this);
    if (iid == IID_IOpenedWorkbook)
        return static_cast<IOpenedWorkbook *>(this);
    return PathReadingObject::queryOtherInterface(iid);
}

const MemberTable &ExcelApplication::memberTable()
{
    static const MemberTable table{{QStringLiteral("Workbooks"), Workbooks},
                                   {QStringLiteral("ActiveWorkbook"), ActiveWorkbook},
                                   {QStringLiteral("ActiveSheet"), ActiveSheet},
                                   {QStringLiteral("Cells"), Cells},
                                   {QStringLiteral("Save"), Save},
                                   {QStringLiteral("Quit"), Quit},
                                   {QStringLiteral("Name"), Name}};
    return table;
}

HRESULT ExcelApplication::invoke(DispatchCall &call)
{
    if (call.isPropertyPut()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::shared_ptr<Workbook> &book = session_->workbook;
    switch (call.dispid()) {
    case Workbooks: {
        auto workbooks = ComPtr<ExcelWorkbooks>::attach(new ExcelWorkbooks(session_));
        return call.setResultDispatch(workbooks.get());
    }
    case ActiveWorkbook: {
        // Without an open workbook Excel answers Nothing.
        auto workbook =
            book ? ComPtr<ExcelWorkbook>::attach(new ExcelWorkbook(book)) : ComPtr<ExcelWorkbook>();
        return call.setResultDispatch(workbook.get());
    }
    case ActiveSheet: {
        auto sheet =
            book ? ComPtr<ExcelWorksheet>::attach(new ExcelWorksheet(book)) : ComPtr<ExcelWorksheet>();
        return call.setResultDispatch(sheet.get());
    }
    case Cells:
        if (!book) {
            return raiseNoWorkbook(call, *session_);
        }
        return ExcelWorksheet::cells(call, book);
    case Save:
        if (!book) {
            return raiseNoWorkbook(call, *session_);
        }
        return ExcelWorkbook::save(call, book.get());
    case Quit:
        // Quitting never saves: pending writes are dropped with the workbook.
        session_->workbook.reset();
        return S_OK;
    case Name:
        return call.setResultString(QStringLiteral("Microsoft Excel"));
    }
    return DISP_E_MEMBERNOTFOUND;
}

std::shared_ptr<Workbook> openedWorkbook(AutomationObject *app)
{
    if (!app || !app->dispatch)
        return nullptr;
    IOpenedWorkbook *opened = nullptr;
    if (FAILED(app->dispatch->QueryInterface(IID_IOpenedWorkbook, reinterpret_cast<void **>(&opened))) || !opened)
        return nullptr;
    std::shared_ptr<Workbook> book = opened->OpenedWorkbook();
    opened->Release();
    return book;
}

} // namespace orvane
