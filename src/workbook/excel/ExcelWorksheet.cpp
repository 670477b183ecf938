#include "workbook/excel/ExcelWorksheet.h"

#include "automation/com/ComPtr.h"
#include "workbook/excel/ExcelRange.h"

namespace orvane
{

namespace
{

HRESULT rangeResult(DispatchCall &call, const std::shared_ptr<Workbook> &book, ExcelRange::Area cells,
                    ExcelRange::Area search)
{
    auto range = ComPtr<ExcelRange>::attach(new ExcelRange(book, cells, search));
    return call.setResultDispatch(range.get());
}

} // namespace

ExcelWorksheet::ExcelWorksheet(std::shared_ptr<Workbook> book)
    : DispatchObject(memberTable()), book_(std::move(book))
{
}

const MemberTable &ExcelWorksheet::memberTable()
{
    static const MemberTable table{{QStringLiteral("Name"), Name},
                                   {QStringLiteral("Cells"), Cells},
                                   {QStringLiteral("Columns"), Columns},
                                   {QStringLiteral("UsedRange"), UsedRange},
                                   {QStringLiteral("Range"), RangeMember}};
    return table;
}

HRESULT ExcelWorksheet::cells(DispatchCall &call, const std::shared_ptr<Workbook> &book)
{
    if (call.argCount() != 2) {
        return DISP_E_BADPARAMCOUNT;
    }
    qint64 row = 0, column = 0;
    HRESULT hr = boundedArgument(call, 0, 1, Worksheet::kMaxRow, QStringLiteral("Row"), &row);
    if (SUCCEEDED(hr)) {
        hr = boundedArgument(call, 1, 1, Worksheet::kMaxColumn, QStringLiteral("Column"), &column);
    }
    if (FAILED(hr)) {
        return hr;
    }
    auto cell = ExcelRange::cell(static_cast<uint32_t>(row), static_cast<uint32_t>(column));
    return rangeResult(call, book, cell, cell);
}

HRESULT ExcelWorksheet::invoke(DispatchCall &call)
{
    if (call.isPropertyPut()) {
        return DISP_E_MEMBERNOTFOUND;
    }
    Worksheet &sheet = book_->activeSheet();
    switch (call.dispid()) {
    case Name:
        return call.setResultString(QString::fromStdString(sheet.name()));
    case Cells:
        return cells(call, book_);
    case Columns: {
        qint64 column = 0;
        HRESULT hr = boundedArgument(call, 0, 1, Worksheet::kMaxColumn, QStringLiteral("Column"), &column);
        if (FAILED(hr)) {
            return hr;
        }
        auto area = ExcelRange::column(static_cast<uint32_t>(column));
        return rangeResult(call, book_, area, area);
    }
    case UsedRange: {
        ExcelRange::Area used{1, 1, sheet.lastUsedRow(), sheet.lastUsedColumn()};
        return rangeResult(call, book_, used, used);
    }
    case RangeMember: {
        QString address;
        HRESULT hr = call.stringArg(0, &address);
        if (FAILED(hr)) {
            return hr;
        }
        ExcelRange::Area area;
        if (!parseRangeAddress(address, &area)) {
            return raiseExcelError(call, QStringLiteral("'%1' is not a cell address.").arg(address));
        }
        return rangeResult(call, book_, area, area);
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace orvane
