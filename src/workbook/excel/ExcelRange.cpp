#include "workbook/excel/ExcelRange.h"

#include "automation/com/ComPtr.h"
#include "workbook/engine/SheetParser.h"

namespace orvane
{

bool parseRangeAddress(const QString &address, ExcelRange::Area *area)
{
    QString plain = address.trimmed();
    plain.remove(QLatin1Char('$'));
    const QStringList corners = plain.split(QLatin1Char(':'));
    if (corners.isEmpty() || corners.size() > 2) {
        return false;
    }
    uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!parseCellReference(corners[0].toStdString(), &r1, &c1)) {
        return false;
    }
    r2 = r1;
    c2 = c1;
    if (corners.size() == 2 && !parseCellReference(corners[1].toStdString(), &r2, &c2)) {
        return false;
    }
    *area = {std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

ExcelRange::ExcelRange(std::shared_ptr<Workbook> book, Area cells, Area searchArea)
    : DispatchObject(memberTable()), book_(std::move(book)), cells_(cells), search_(searchArea)
{
}

const MemberTable &ExcelRange::memberTable()
{
    static const MemberTable table{{QStringLiteral("Value"), DISPID_VALUE},
                                   {QStringLiteral("Row"), Row},
                                   {QStringLiteral("Column"), Column},
                                   {QStringLiteral("Text"), Text},
                                   {QStringLiteral("Find"), Find},
                                   {QStringLiteral("Range"), RangeMember},
                                   {QStringLiteral("SpecialCells"), SpecialCells}};
    return table;
}

HRESULT ExcelRange::invoke(DispatchCall &call)
{
    if (call.isPropertyPut() && call.dispid() != DISPID_VALUE) {
        return DISP_E_MEMBERNOTFOUND;
    }
    switch (call.dispid()) {
    case DISPID_VALUE:
        return value(call);
    case Row:
        return call.setResultInteger(cells_.top);
    case Column:
        return call.setResultInteger(cells_.left);
    case Text:
        return call.setResultString(QString::fromStdString(sheet().text(cells_.top, cells_.left)));
    case Find:
        return find(call);
    case RangeMember:
        return subrange(call);
    case SpecialCells:
        return specialCells(call);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT ExcelRange::value(DispatchCall &call)
{
    if (!call.isPropertyPut()) {
        // A block of cells would give an array in Excel; the program reads single cells only.
        return setCellResult(call, sheet().value(cells_.top, cells_.left));
    }
    if (cells_.top != cells_.bottom || cells_.left != cells_.right) {
        return raiseExcelError(call, QStringLiteral("Only a single cell's value can be set."));
    }
    const VARIANT *put = call.putValue();
    if (!put) {
        return DISP_E_PARAMNOTFOUND;
    }
    QString text;
    if (put->vt != VT_EMPTY && put->vt != VT_NULL) {
        HRESULT hr = call.putString(&text);
        if (FAILED(hr)) {
            return hr;
        }
    }
    // A refused write must not read as done: the export would report a cell it never wrote.
    if (!book_->writeText(cells_.top, cells_.left, text.toStdString())) {
        return raiseExcelError(call, QStringLiteral("The sheet cannot hold any more written text."));
    }
    return S_OK;
}

HRESULT ExcelRange::find(DispatchCall &call)
{
    QString what;
    HRESULT hr = call.stringArg(0, &what);
    if (FAILED(hr)) {
        return hr;
    }
    if (call.hasArg(3)) {
        qint64 lookAt = 0;
        if (FAILED(hr = call.integerArg(3, &lookAt))) {
            return hr;
        }
        if (lookAt != 1) {
            return raiseExcelError(call, QStringLiteral("Find matches whole cells only (LookAt 1)."));
        }
    }
    if (search_.left != search_.right) {
        return raiseExcelError(call, QStringLiteral("Find searches a single column."));
    }
    // Searching a whole column starts at its top; searching from a cell goes on after it.
    uint32_t after = cells_ == search_ ? 0 : cells_.top;
    if (call.hasArg(1)) {
        const VARIANT *a = call.arg(1);
        auto *range = a->vt == VT_DISPATCH ? dynamic_cast<ExcelRange *>(a->pdispVal) : nullptr;
        if (!range) {
            return DISP_E_TYPEMISMATCH;
        }
        after = range->cells_.top;
    }
    uint32_t row = sheet().find(search_.left, what.toStdString(), after);
    if (row == 0) {
        return call.setResultDispatch(nullptr);
    }
    return newRange(call, cell(row, search_.left), search_);
}

HRESULT ExcelRange::subrange(DispatchCall &call)
{
    QString address;
    HRESULT hr = call.stringArg(0, &address);
    if (FAILED(hr)) {
        return hr;
    }
    Area area;
    if (!parseRangeAddress(address, &area)) {
        return raiseExcelError(call, QStringLiteral("'%1' is not a cell address.").arg(address));
    }
    return newRange(call, area, search_);
}

HRESULT ExcelRange::specialCells(DispatchCall &call)
{
    qint64 type = 0;
    HRESULT hr = call.integerArg(0, &type);
    if (FAILED(hr)) {
        return hr;
    }
    if (type != 11) {
        return raiseExcelError(call, QStringLiteral("SpecialCells answers only the last cell (11)."));
    }
    Area last = cell(sheet().lastUsedRow(), sheet().lastUsedColumn());
    return newRange(call, last, last);
}

HRESULT ExcelRange::newRange(DispatchCall &call, Area cells, Area searchArea)
{
    auto range = ComPtr<ExcelRange>::attach(new ExcelRange(book_, cells, searchArea));
    return call.setResultDispatch(range.get());
}

} // namespace orvane
