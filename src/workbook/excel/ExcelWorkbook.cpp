#include "workbook/excel/ExcelWorkbook.h"

#include "automation/com/ComPtr.h"
#include "workbook/excel/ExcelWorksheet.h"
#include "workbook/excel/WorkbookCache.h"

#include <QFileInfo>

namespace orvane
{

ExcelWorkbook::ExcelWorkbook(std::shared_ptr<Workbook> book)
    : DispatchObject(memberTable()), book_(std::move(book))
{
}

const MemberTable &ExcelWorkbook::memberTable()
{
    static const MemberTable table{{QStringLiteral("Name"), Name},
                                   {QStringLiteral("FullName"), FullName},
                                   {QStringLiteral("ActiveSheet"), ActiveSheet},
                                   {QStringLiteral("Save"), Save}};
    return table;
}

HRESULT ExcelWorkbook::save(DispatchCall &call, Workbook *book)
{
    WorkbookError error;
    // Whatever the outcome, the copy parsed before no longer stands for the file.
    WorkbookCache::forget(book->path());
    if (!book->save(&error)) {
        return raiseExcelError(call, QString::fromStdString(error.message));
    }
    return S_OK;
}

HRESULT ExcelWorkbook::invoke(DispatchCall &call)
{
    if (call.isPropertyPut()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const QString path = QString::fromStdString(book_->path());
    switch (call.dispid()) {
    case Name:
        return call.setResultString(QFileInfo(path).fileName());
    case FullName:
        return call.setResultString(path);
    case ActiveSheet: {
        auto sheet = ComPtr<ExcelWorksheet>::attach(new ExcelWorksheet(book_));
        return call.setResultDispatch(sheet.get());
    }
    case Save:
        return save(call, book_.get());
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace orvane
