#include "automation/com/VariantChangeType.h"

#include "automation/com/Bstr.h"
#include "automation/com/Interfaces.h"
#include "automation/com/SafeArray.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <limits>

namespace orvane
{

namespace
{

// A scalar taken out of a VARIANT on its way to another type.
struct Number {
    enum Kind { Signed, Unsigned, Real } kind = Signed;
    qint64 s = 0;
    quint64 u = 0;
    double d = 0;
    bool fromBool = false;
};

constexpr double kMinDate = -657434.0; // 0100-01-01
constexpr double kMaxDate = 2958466.0; // 10000-01-01 (exclusive)
const QDate kDateEpoch(1899, 12, 30);

bool isIntegerType(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool isNumericType(VARTYPE vt)
{
    return isIntegerType(vt) || vt == VT_R4 || vt == VT_R8 || vt == VT_DATE;
}

Number numberOf(const VARIANT &v)
{
    Number n;
    switch (v.vt) {
    case VT_I1:
        n.s = v.cVal;
        break;
    case VT_UI1:
        n.s = v.bVal;
        break;
    case VT_I2:
        n.s = v.iVal;
        break;
    case VT_UI2:
        n.s = v.uiVal;
        break;
    case VT_I4:
    case VT_INT:
        n.s = v.lVal;
        break;
    case VT_UI4:
    case VT_UINT:
        n.s = v.ulVal;
        break;
    case VT_I8:
        n.s = v.llVal;
        break;
    case VT_UI8:
        if (v.ullVal > quint64(std::numeric_limits<qint64>::max())) {
            n.kind = Number::Unsigned;
            n.u = v.ullVal;
        } else {
            n.s = static_cast<qint64>(v.ullVal);
        }
        break;
    case VT_R4:
        n.kind = Number::Real;
        n.d = v.fltVal;
        break;
    case VT_R8:
    case VT_DATE:
        n.kind = Number::Real;
        n.d = v.dblVal;
        break;
    case VT_BOOL:
        n.s = v.boolVal ? -1 : 0;
        n.fromBool = true;
        break;
    default: // VT_EMPTY
        break;
    }
    return n;
}

// Rounds a real half-to-even into a signed integer; false when it does not fit.
bool roundReal(double d, qint64 *out)
{
    if (!std::isfinite(d))
        return false;
    const double r = std::nearbyint(d); // FE_TONEAREST: ties to even
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        return false;
    *out = static_cast<qint64>(r);
    return true;
}

bool roundRealUnsigned(double d, quint64 *out)
{
    if (!std::isfinite(d))
        return false;
    const double r = std::nearbyint(d);
    if (r < 0 || r >= 18446744073709551616.0)
        return false;
    *out = static_cast<quint64>(r);
    return true;
}

// Stores integer `value` as `vt` into `out`; DISP_E_OVERFLOW when outside its range.
HRESULT storeSigned(qint64 value, bool fromBool, VARTYPE vt, VARIANT *out)
{
    auto inRange = [value](qint64 lo, qint64 hi) { return value >= lo && value <= hi; };
    const bool wrapBool = fromBool && value == -1; // true converts to all ones in unsigned types
    out->vt = vt;
    switch (vt) {
    case VT_I1:
        if (!inRange(INT8_MIN, INT8_MAX))
            return DISP_E_OVERFLOW;
        out->cVal = static_cast<CHAR>(value);
        return S_OK;
    case VT_UI1:
        if (!wrapBool && !inRange(0, UINT8_MAX))
            return DISP_E_OVERFLOW;
        out->bVal = static_cast<BYTE>(value);
        return S_OK;
    case VT_I2:
        if (!inRange(INT16_MIN, INT16_MAX))
            return DISP_E_OVERFLOW;
        out->iVal = static_cast<SHORT>(value);
        return S_OK;
    case VT_UI2:
        if (!wrapBool && !inRange(0, UINT16_MAX))
            return DISP_E_OVERFLOW;
        out->uiVal = static_cast<USHORT>(value);
        return S_OK;
    case VT_I4:
    case VT_INT:
        if (!inRange(INT32_MIN, INT32_MAX))
            return DISP_E_OVERFLOW;
        out->lVal = static_cast<LONG>(value);
        return S_OK;
    case VT_UI4:
    case VT_UINT:
        if (!wrapBool && !inRange(0, UINT32_MAX))
            return DISP_E_OVERFLOW;
        out->ulVal = static_cast<ULONG>(value);
        return S_OK;
    case VT_I8:
        out->llVal = value;
        return S_OK;
    case VT_UI8:
        if (!wrapBool && value < 0)
            return DISP_E_OVERFLOW;
        out->ullVal = static_cast<quint64>(value);
        return S_OK;
    case VT_R4:
        out->fltVal = static_cast<float>(value);
        return S_OK;
    case VT_R8:
        out->dblVal = static_cast<double>(value);
        return S_OK;
    case VT_DATE:
        if (value < kMinDate || value >= kMaxDate)
            return DISP_E_OVERFLOW;
        out->date = static_cast<double>(value);
        return S_OK;
    case VT_BOOL:
        out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT storeNumber(const Number &n, VARTYPE vt, VARIANT *out)
{
    if (n.kind == Number::Signed)
        return storeSigned(n.s, n.fromBool, vt, out);
    if (n.kind == Number::Unsigned) {
        switch (vt) {
        case VT_UI8:
            out->vt = vt;
            out->ullVal = n.u;
            return S_OK;
        case VT_R4:
        case VT_R8: {
            Number real;
            real.kind = Number::Real;
            real.d = static_cast<double>(n.u);
            return storeNumber(real, vt, out);
        }
        case VT_BOOL:
            out->vt = vt;
            out->boolVal = VARIANT_TRUE;
            return S_OK;
        default:
            return DISP_E_OVERFLOW;
        }
    }
    // Real source.
    switch (vt) {
    case VT_R4:
        if (std::isfinite(n.d) && std::fabs(n.d) > FLT_MAX)
            return DISP_E_OVERFLOW;
        out->vt = vt;
        out->fltVal = static_cast<float>(n.d);
        return S_OK;
    case VT_R8:
        out->vt = vt;
        out->dblVal = n.d;
        return S_OK;
    case VT_DATE:
        if (!(n.d >= kMinDate && n.d < kMaxDate))
            return DISP_E_OVERFLOW;
        out->vt = vt;
        out->date = n.d;
        return S_OK;
    case VT_BOOL:
        out->vt = vt;
        out->boolVal = n.d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case VT_UI8: {
        quint64 u = 0;
        if (!roundRealUnsigned(n.d, &u))
            return DISP_E_OVERFLOW;
        out->vt = vt;
        out->ullVal = u;
        return S_OK;
    }
    default: {
        qint64 s = 0;
        if (!roundReal(n.d, &s))
            return DISP_E_OVERFLOW;
        return storeSigned(s, false, vt, out);
    }
    }
}

QString realText(double d, int precision)
{
    if (d == 0)
        return QStringLiteral("0");
    QString text = QString::asprintf("%.*G", precision, d);
    // "1E+020" forms never occur with glibc, but keep COM's two-digit minimum: "1E+20", "1E-05".
    return text;
}

QString dateText(double date)
{
    double whole = std::trunc(date);
    double fraction = std::fabs(date - whole);
    qint64 seconds = std::llround(fraction * 86400.0);
    // The fraction is the time of day forward from midnight on either side
    // of the epoch (-1.25 is 1899-12-29 06:00), so rounding up to midnight is
    // always the next calendar day, never the one before.
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += 1;
    }
    const QDate day = kDateEpoch.addDays(static_cast<qint64>(whole));
    const QString time =
        QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
    if (seconds == 0)
        return day.toString(QStringLiteral("yyyy-MM-dd"));
    if (whole == 0)
        return time;
    return day.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + time;
}

HRESULT numberToText(const VARIANT &v, USHORT flags, QString *text)
{
    switch (v.vt) {
    case VT_EMPTY:
        *text = QString();
        return S_OK;
    case VT_BOOL:
        if (flags & (VARIANT_LOCALBOOL | VARIANT_ALPHABOOL))
            *text = v.boolVal ? QStringLiteral("True") : QStringLiteral("False");
        else
            *text = v.boolVal ? QStringLiteral("-1") : QStringLiteral("0");
        return S_OK;
    case VT_R4:
        *text = realText(v.fltVal, 7);
        return S_OK;
    case VT_R8:
        *text = realText(v.dblVal, 15);
        return S_OK;
    case VT_DATE:
        *text = dateText(v.date);
        return S_OK;
    case VT_UI8:
        *text = QString::number(v.ullVal);
        return S_OK;
    default:
        if (!isIntegerType(v.vt))
            return DISP_E_TYPEMISMATCH;
        *text = QString::number(numberOf(v).s);
        return S_OK;
    }
}

// Parses a number as VarXxxFromStr does; false for anything else.
bool parseNumberText(const QString &raw, Number *n)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return false;
    if (text.size() > 2 && text[0] == u'&' &&
        (text[1] == u'H' || text[1] == u'h' || text[1] == u'O' || text[1] == u'o')) {
        bool ok = false;
        const int base = (text[1] == u'H' || text[1] == u'h') ? 16 : 8;
        const quint64 value = text.mid(2).toULongLong(&ok, base);
        if (!ok)
            return false;
        // Hex literals of up to 32 bits are signed 32-bit values, as in COM (&HFFFFFFFF is -1).
        n->kind = Number::Signed;
        n->s = value <= 0xFFFFFFFFull ? static_cast<qint64>(static_cast<qint32>(value))
                                      : static_cast<qint64>(value);
        return true;
    }
    int i = 0;
    if (text[i] == u'+' || text[i] == u'-')
        ++i;
    int digits = 0;
    bool real = false;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        real = true;
        ++i;
        while (i < text.size() && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        real = true;
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        int expDigits = 0;
        while (i < text.size() && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    bool ok = false;
    if (!real) {
        const qint64 s = text.toLongLong(&ok);
        if (ok) {
            n->kind = Number::Signed;
            n->s = s;
            return true;
        }
        const quint64 u = text.toULongLong(&ok);
        if (ok) {
            n->kind = Number::Unsigned;
            n->u = u;
            return true;
        }
    }
    const double d = text.toDouble(&ok);
    if (!ok && !std::isinf(d))
        return false;
    n->kind = Number::Real;
    n->d = d;
    return true;
}

bool parseDateText(const QString &raw, double *date)
{
    const QString text = raw.trimmed();
    static const char *const dateTimeForms[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm",
                                                "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd"};
    for (const char *form : dateTimeForms) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(form));
        if (dt.isValid()) {
            const qint64 days = kDateEpoch.daysTo(dt.date());
            const double fraction = dt.time().msecsSinceStartOfDay() / 86400000.0;
            // Negative dates keep a positive time fraction: -1.25 is 1899-12-29 06:00.
            *date = days >= 0 ? days + fraction : days - fraction;
            return *date >= kMinDate && *date < kMaxDate;
        }
    }
    static const char *const timeForms[] = {"HH:mm:ss", "HH:mm"};
    for (const char *form : timeForms) {
        const QTime t = QTime::fromString(text, QLatin1String(form));
        if (t.isValid()) {
            *date = t.msecsSinceStartOfDay() / 86400000.0;
            return true;
        }
    }
    return false;
}

HRESULT textToType(const QString &text, VARTYPE vt, VARIANT *out)
{
    if (vt == VT_BOOL) {
        const QString t = text.trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("#TRUE#"), Qt::CaseInsensitive) == 0) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
            return S_OK;
        }
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            t.compare(QLatin1String("#FALSE#"), Qt::CaseInsensitive) == 0) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_FALSE;
            return S_OK;
        }
    }
    if (vt == VT_DATE) {
        double date = 0;
        if (!parseDateText(text, &date))
            return DISP_E_TYPEMISMATCH;
        out->vt = VT_DATE;
        out->date = date;
        return S_OK;
    }
    Number n;
    if (!parseNumberText(text, &n))
        return DISP_E_TYPEMISMATCH;
    return storeNumber(n, vt, out);
}

// Reads the default member of `object` into `value` (owned by the caller).
HRESULT defaultValue(IDispatch *object, VARIANT *value)
{
    if (!object)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none;
    EXCEPINFO excep;
    UINT argError = 0;
    VariantInit(value);
    HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                value, &excep, &argError);
    if (hr == DISP_E_EXCEPTION && excep.pfnDeferredFillIn)
        excep.pfnDeferredFillIn(&excep);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    if (FAILED(hr))
        VariantClear(value);
    return hr;
}

HRESULT convertInterface(const VARIANT &src, VARTYPE vt, VARIANT *out)
{
    if (src.vt == VT_EMPTY) {
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    if (src.vt != VT_DISPATCH && src.vt != VT_UNKNOWN)
        return DISP_E_TYPEMISMATCH;
    if (!src.punkVal) {
        out->vt = vt;
        out->punkVal = nullptr;
        return S_OK;
    }
    void *p = nullptr;
    HRESULT hr = src.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
    if (FAILED(hr))
        return hr;
    out->vt = vt;
    out->punkVal = static_cast<IUnknown *>(p);
    return S_OK;
}

// Converts a non-byref, non-array `src` of a different type into `out` (VT_EMPTY on entry).
HRESULT convertScalar(const VARIANT &src, USHORT flags, VARTYPE vt, VARIANT *out, int depth)
{
    if (vt == VT_EMPTY)
        return S_OK;
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN)
        return convertInterface(src, vt, out);
    if (src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) {
        if (src.vt == VT_UNKNOWN || (flags & VARIANT_NOVALUEPROP) || depth > 0)
            return DISP_E_TYPEMISMATCH;
        VARIANT value;
        HRESULT hr = defaultValue(src.pdispVal, &value);
        if (FAILED(hr))
            return hr;
        if (value.vt == vt) {
            *out = value;
            return S_OK;
        }
        hr = convertScalar(value, flags, vt, out, depth + 1);
        VariantClear(&value);
        return hr;
    }
    if (src.vt == VT_NULL || vt == VT_NULL)
        return (vt == VT_NULL && src.vt == VT_EMPTY) ? (out->vt = VT_NULL, S_OK) : DISP_E_TYPEMISMATCH;
    if (src.vt == VT_ERROR || vt == VT_ERROR) {
        if (src.vt == VT_ERROR && (vt == VT_I4 || vt == VT_UI4 || vt == VT_INT || vt == VT_UINT)) {
            out->vt = vt;
            out->lVal = src.scode;
            return S_OK;
        }
        if (vt == VT_ERROR &&
            (src.vt == VT_I4 || src.vt == VT_UI4 || src.vt == VT_INT || src.vt == VT_UINT)) {
            out->vt = VT_ERROR;
            out->scode = src.lVal;
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    }
    if (vt == VT_BSTR) {
        QString text;
        HRESULT hr = numberToText(src, flags, &text);
        if (FAILED(hr))
            return hr;
        return setVariantString(out, text);
    }
    if (src.vt == VT_BSTR)
        return textToType(qStringFromBstr(src.bstrVal), vt, out);
    if (vt == VT_BOOL || isNumericType(vt)) {
        if (src.vt != VT_EMPTY && src.vt != VT_BOOL && !isNumericType(src.vt))
            return DISP_E_TYPEMISMATCH;
        return storeNumber(numberOf(src), vt, out);
    }
    return DISP_E_BADVARTYPE;
}

bool isValidTarget(VARTYPE vt)
{
    const VARTYPE base = vt & VT_TYPEMASK;
    if (vt & VT_BYREF)
        return false;
    if (vt & VT_ARRAY)
        return isSupportedVarType(base) && base != VT_EMPTY && base != VT_NULL;
    return isSupportedVarType(base) && base != VT_VARIANT;
}

} // namespace

HRESULT VariantChangeType(VARIANT *dest, const VARIANT *src, USHORT flags, VARTYPE vt)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (!isValidTarget(vt))
        return DISP_E_BADVARTYPE;
    // Work on a private copy of the value so that dest may be src.
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = VariantCopyInd(&value, src);
    if (FAILED(hr))
        return hr;
    VARIANT out;
    VariantInit(&out);
    if (value.vt == vt) {
        out = value;
        VariantInit(&value);
    } else if ((value.vt & VT_ARRAY) || (vt & VT_ARRAY)) {
        hr = DISP_E_TYPEMISMATCH;
    } else {
        hr = convertScalar(value, flags, vt, &out, 0);
    }
    VariantClear(&value);
    if (FAILED(hr)) {
        VariantClear(&out);
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&out);
        return hr;
    }
    *dest = out;
    return S_OK;
}

HRESULT VariantChangeTypeEx(VARIANT *dest, const VARIANT *src, LCID, USHORT flags, VARTYPE vt)
{
    return VariantChangeType(dest, src, flags, vt);
}

} // namespace orvane
