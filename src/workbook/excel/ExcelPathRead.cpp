#include "workbook/excel/ExcelPathRead.h"

#include "automation/com/Bstr.h"
#include "workbook/excel/ExcelApplication.h"
#include "workbook/excel/ExcelRange.h"
#include "workbook/excel/ExcelWorksheet.h"

namespace orvane
{

namespace
{

// An integer argument as the servers' integer conversion reads it; false for
// any other type (a text, a real, a reference), which the slow route converts.
bool integerValue(const VARIANT &v, qint64 *out)
{
    switch (v.vt) {
    case VT_I1:
        *out = v.cVal;
        return true;
    case VT_UI1:
        *out = v.bVal;
        return true;
    case VT_I2:
        *out = v.iVal;
        return true;
    case VT_UI2:
        *out = v.uiVal;
        return true;
    case VT_I4:
    case VT_INT:
        *out = v.lVal;
        return true;
    case VT_UI4:
    case VT_UINT:
        *out = v.ulVal;
        return true;
    case VT_I8:
        *out = v.llVal;
        return true;
    default:
        return false;
    }
}

// Positional argument `i` (first written first) of `member`.
const VARIANT &argument(const PathMember &member, UINT i)
{
    return member.params.rgvarg[member.params.cArgs - 1 - i];
}

bool boundedInteger(const VARIANT &v, qint64 high, uint32_t *out)
{
    qint64 value = 0;
    if (!integerValue(v, &value) || value < 1 || value > high)
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool isMissing(const VARIANT &v)
{
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
}

// Stores the value of cell (row, column) as Range.Value gives it.
HRESULT cellValue(Workbook &book, uint32_t row, uint32_t column, VARIANT *result)
{
    const CellValue value = book.activeSheet().value(row, column);
    if (value.kind == CellValue::Kind::Text) {
        // Straight from the cell's UTF-8, as setCellResult's text would come out.
        BSTR text = bstrFromUtf8(value.text.data(), static_cast<qsizetype>(value.text.size()));
        if (!text)
            return S_FALSE;
        result->vt = VT_BSTR;
        result->bstrVal = text;
        return S_OK;
    }
    DISPPARAMS none;
    DispatchCall call(DISPID_VALUE, DISPATCH_PROPERTYGET, &none, result);
    const HRESULT hr = setCellResult(call, value);
    if (hr != S_OK) {
        VariantClear(result);
        return S_FALSE;
    }
    return S_OK;
}

// "Cells(r, c)" on `table`'s object: the cell's row and column within the sheet.
// True when `member` is named exactly `name` (the common spelling), found
// without the member table's hashing.
bool namedExactly(const PathMember &member, const char16_t *name)
{
    const char16_t *at = member.name;
    if (!at)
        return false;
    while (*at && *at == *name) {
        ++at;
        ++name;
    }
    return *at == *name;
}

bool cellMember(const MemberTable &table, DISPID cells, const PathMember &member, uint32_t *row,
                uint32_t *column)
{
    const bool named = member.params.cArgs == 2 && member.params.cNamedArgs == 0 &&
                       (namedExactly(member, u"Cells") || pathMemberId(table, member, 2) == cells);
    return named &&
           boundedInteger(argument(member, 0), Worksheet::kMaxRow, row) &&
           boundedInteger(argument(member, 1), Worksheet::kMaxColumn, column);
}

bool valueMember(const PathMember &member)
{
    // "Value" as written is the range's default member: no hashing for the common spelling.
    if (member.params.cArgs == 0 && member.params.cNamedArgs == 0 && namedExactly(member, u"Value"))
        return true;
    return pathMemberId(ExcelRange::memberTable(), member, 0) == DISPID_VALUE;
}

// "Columns(n)\Find('v', #optional, #optional, 1)\Row" on the active sheet.
HRESULT findRow(Workbook &book, const PathMember *path, VARIANT *result)
{
    uint32_t column = 0;
    if (pathMemberId(ExcelWorksheet::memberTable(), path[0], 1) != ExcelWorksheet::Columns ||
        !boundedInteger(argument(path[0], 0), Worksheet::kMaxColumn, &column) ||
        pathMemberId(ExcelRange::memberTable(), path[1], 4) != ExcelRange::Find ||
        pathMemberId(ExcelRange::memberTable(), path[2], 0) != ExcelRange::Row)
        return S_FALSE;
    const VARIANT &what = argument(path[1], 0);
    qint64 lookAt = 0;
    if (what.vt != VT_BSTR || !isMissing(argument(path[1], 1)) ||
        !(isMissing(argument(path[1], 3)) || (integerValue(argument(path[1], 3), &lookAt) && lookAt == 1)))
        return S_FALSE;
    const QByteArray text =
        QStringView(what.bstrVal, static_cast<qsizetype>(SysStringLen(what.bstrVal))).toUtf8();
    const uint32_t row =
        book.activeSheet().find(column, std::string_view(text.constData(), static_cast<size_t>(text.size())), 0);
    // No match: Find gives Nothing and Row fails on it, which the slow route says.
    if (row == 0)
        return S_FALSE;
    setVariantInteger(result, row);
    return S_OK;
}

// The UTF-8 form of `text`, in a buffer reused by the thread's next call: an
// export converts millions of cell texts, nearly all of them ASCII.
std::string_view utf8Text(BSTR text)
{
    thread_local std::string buffer;
    const auto *units = reinterpret_cast<const char16_t *>(text);
    const size_t length = SysStringLen(text);
    buffer.resize(length);
    for (size_t i = 0; i < length; ++i) {
        if (units[i] >= 0x80) {
            const QByteArray utf8 = QStringView(units, static_cast<qsizetype>(length)).toUtf8();
            buffer.assign(utf8.constData(), static_cast<size_t>(utf8.size()));
            return buffer;
        }
        buffer[i] = static_cast<char>(units[i]);
    }
    return buffer;
}

// The cell a write path names: Cells(r, c)\Value, or ActiveSheet\Cells(r, c)\Value.
bool writtenCell(const PathMember *path, UINT count, uint32_t *row, uint32_t *column)
{
    if (count == 2)
        return cellMember(ExcelApplication::memberTable(), ExcelApplication::Cells, path[0], row, column) &&
               valueMember(path[1]);
    return count == 3 &&
           pathMemberId(ExcelApplication::memberTable(), path[0], 0) == ExcelApplication::ActiveSheet &&
           cellMember(ExcelWorksheet::memberTable(), ExcelWorksheet::Cells, path[1], row, column) &&
           valueMember(path[2]);
}

} // namespace

HRESULT writeExcelPath(const std::shared_ptr<Workbook> &book, const PathMember *path, UINT count,
                       const VARIANT *value)
{
    uint32_t row = 0, column = 0;
    // Only a text: other values take the range's own conversion.
    if (!book || !value || value->vt != VT_BSTR || !writtenCell(path, count, &row, &column))
        return S_FALSE;
    // A refused text changes nothing, and the range then says why.
    return book->writeText(row, column, utf8Text(value->bstrVal)) ? S_OK : S_FALSE;
}

HRESULT readExcelPath(const std::shared_ptr<Workbook> &book, const PathMember *path, UINT count,
                      bool valueOfObject, VARIANT *result)
{
    if (!book || count < 1)
        return S_FALSE;
    uint32_t row = 0, column = 0;
    if (cellMember(ExcelApplication::memberTable(), ExcelApplication::Cells, path[0], &row, &column)) {
        if ((count == 1 && valueOfObject) || (count == 2 && valueMember(path[1])))
            return cellValue(*book, row, column, result);
        return S_FALSE;
    }
    if (count < 3 || pathMemberId(ExcelApplication::memberTable(), path[0], 0) != ExcelApplication::ActiveSheet)
        return S_FALSE;
    if (count == 3 && cellMember(ExcelWorksheet::memberTable(), ExcelWorksheet::Cells, path[1], &row, &column) &&
        valueMember(path[2]))
        return cellValue(*book, row, column, result);
    if (count == 4)
        return findRow(*book, path + 1, result);
    return S_FALSE;
}

} // namespace orvane
