#include "workbook/excel/ExcelSession.h"

#include "automation/com/Variant.h"

namespace orvane
{

namespace
{

// Excel's CVErr numbers (xlErrNA and the rest) for the error literals.
long cvErrNumber(const std::string &literal)
{
    if (literal == "#NULL!") {
        return 2000;
    }
    if (literal == "#DIV/0!") {
        return 2007;
    }
    if (literal == "#VALUE!") {
        return 2015;
    }
    if (literal == "#REF!") {
        return 2023;
    }
    if (literal == "#NAME?") {
        return 2029;
    }
    if (literal == "#NUM!") {
        return 2036;
    }
    return 2042; // #N/A, and errors newer than CVErr knows
}

} // namespace

HRESULT raiseExcelError(DispatchCall &call, const QString &description)
{
    return call.raise(description, kExcelError, QStringLiteral("Microsoft Excel"));
}

HRESULT raiseNoWorkbook(DispatchCall &call, const ExcelSession &session)
{
    QString text = QStringLiteral("No workbook is open.");
    if (!session.openError.isEmpty()) {
        text += QLatin1Char(' ') + session.openError;
    }
    return raiseExcelError(call, text);
}

HRESULT setCellResult(DispatchCall &call, const CellValue &value)
{
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return S_OK;
    case CellValue::Kind::Number:
        return call.setResultDouble(value.number);
    case CellValue::Kind::Text:
        return call.setResultString(QString::fromStdString(value.text));
    case CellValue::Kind::Boolean:
        return call.setResultBool(value.number != 0);
    case CellValue::Kind::Date: {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_DATE;
        v.date = value.number;
        return call.setResultVariant(v);
    }
    case CellValue::Kind::Error: {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_ERROR;
        v.scode = static_cast<SCODE>(0x800A0000u | static_cast<unsigned long>(cvErrNumber(value.text)));
        return call.setResultVariant(v);
    }
    }
    return S_OK;
}

HRESULT boundedArgument(DispatchCall &call, int index, qint64 low, qint64 high, const QString &what,
                        qint64 *out)
{
    HRESULT hr = call.integerArg(index, out);
    if (FAILED(hr)) {
        return hr;
    }
    if (*out < low || *out > high) {
        return raiseExcelError(call, QStringLiteral("%1 %2 lies outside the worksheet (%3 to %4).")
                                         .arg(what)
                                         .arg(*out)
                                         .arg(low)
                                         .arg(high));
    }
    return S_OK;
}

} // namespace orvane
