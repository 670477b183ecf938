#include "automation/com/Variant.h"

#include "automation/com/Bstr.h"
#include "automation/com/Interfaces.h"
#include "automation/com/SafeArray.h"

#include <cstring>

namespace orvane
{

namespace
{

bool isValidVariantType(VARTYPE vt)
{
    const VARTYPE base = vt & VT_TYPEMASK;
    const VARTYPE flags = vt & ~VT_TYPEMASK;
    if (flags & ~(VT_ARRAY | VT_BYREF))
        return false;
    if (base == VT_VARIANT)
        return flags != 0; // a VARIANT holds another only by reference or in an array
    if (!isSupportedVarType(base))
        return false;
    return flags == 0 || (base != VT_EMPTY && base != VT_NULL);
}

} // namespace

bool isSupportedVarType(VARTYPE vt)
{
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
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

QString varTypeName(VARTYPE vt)
{
    static const char *const names[] = {
        "VT_EMPTY",   "VT_NULL", "VT_I2",       "VT_I4",    "VT_R4",     "VT_R8",      "VT_CY",
        "VT_DATE",    "VT_BSTR", "VT_DISPATCH", "VT_ERROR", "VT_BOOL",   "VT_VARIANT", "VT_UNKNOWN",
        "VT_DECIMAL", "VT_15",   "VT_I1",       "VT_UI1",   "VT_UI2",    "VT_UI4",     "VT_I8",
        "VT_UI8",     "VT_INT",  "VT_UINT",     "VT_VOID",  "VT_HRESULT"};
    const VARTYPE base = vt & VT_TYPEMASK;
    QString text;
    if (vt & VT_BYREF)
        text += QLatin1String("VT_BYREF|");
    if (vt & VT_ARRAY)
        text += QLatin1String("VT_ARRAY|");
    if (base < sizeof(names) / sizeof(names[0]))
        text += QLatin1String(names[base]);
    else
        text += QStringLiteral("VT_%1").arg(base);
    return text;
}

void VariantInit(VARIANT *v)
{
    if (v)
        std::memset(v, 0, sizeof(VARIANT));
}

HRESULT VariantClear(VARIANT *v)
{
    if (!v)
        return E_INVALIDARG;
    if (!isValidVariantType(v->vt))
        return DISP_E_BADVARTYPE;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr))
                return hr;
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal) {
            v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT *dest, const VARIANT *src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    if (!isValidVariantType(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *src;
    if (!(src->vt & VT_BYREF)) {
        if (src->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
            if (FAILED(hr))
                return hr;
        } else if (src->vt == VT_BSTR && src->bstrVal) {
            copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char *>(src->bstrVal),
                                                 SysStringByteLen(src->bstrVal));
            if (!copy.bstrVal)
                return E_OUTOFMEMORY;
        } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) {
            src->punkVal->AddRef();
        }
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT *dest, const VARIANT *src)
{
    if (!dest || !src)
        return E_INVALIDARG;
    if (!(src->vt & VT_BYREF))
        return VariantCopy(dest, src);
    if (!isValidVariantType(src->vt) || !src->byref)
        return E_INVALIDARG;
    const VARTYPE vt = src->vt & ~VT_BYREF;
    if (vt == VT_VARIANT)
        return VariantCopyInd(dest, src->pvarVal);
    VARIANT value;
    VariantInit(&value);
    value.vt = vt;
    if (vt & VT_ARRAY) {
        value.parray = *src->pparray;
    } else {
        switch (vt) {
        case VT_I1:
        case VT_UI1:
            value.bVal = *src->pbVal;
            break;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            value.iVal = *src->piVal;
            break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR:
        case VT_R4:
            std::memcpy(&value.lVal, src->byref, 4);
            break;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_DATE:
            std::memcpy(&value.llVal, src->byref, 8);
            break;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            std::memcpy(&value.byref, src->byref, sizeof(void *));
            break;
        default:
            return DISP_E_BADVARTYPE;
        }
    }
    // `value` borrows the pointed-at data; VariantCopy makes dest's own copy.
    if (dest == src) {
        VARIANT copy;
        VariantInit(&copy);
        HRESULT hr = VariantCopy(&copy, &value);
        if (SUCCEEDED(hr))
            *dest = copy; // a byref VARIANT owns nothing, so nothing is lost
        return hr;
    }
    return VariantCopy(dest, &value);
}

HRESULT setVariantString(VARIANT *v, const QString &text)
{
    VariantClear(v);
    BSTR b = bstrFromQString(text);
    if (!b)
        return E_OUTOFMEMORY;
    v->vt = VT_BSTR;
    v->bstrVal = b;
    return S_OK;
}

void setVariantInteger(VARIANT *v, qint64 value)
{
    VariantClear(v);
    if (value >= INT32_MIN && value <= INT32_MAX) {
        v->vt = VT_I4;
        v->lVal = static_cast<LONG>(value);
    } else {
        v->vt = VT_I8;
        v->llVal = value;
    }
}

void setVariantBool(VARIANT *v, bool value)
{
    VariantClear(v);
    v->vt = VT_BOOL;
    v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void setVariantDouble(VARIANT *v, double value)
{
    VariantClear(v);
    v->vt = VT_R8;
    v->dblVal = value;
}

void setVariantNull(VARIANT *v)
{
    VariantClear(v);
    v->vt = VT_NULL;
}

void setVariantDispatch(VARIANT *v, IDispatch *object)
{
    VariantClear(v);
    if (object)
        object->AddRef();
    v->vt = VT_DISPATCH;
    v->pdispVal = object;
}

HRESULT setVariantBytes(VARIANT *v, const QByteArray &bytes)
{
    VariantClear(v);
    SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array)
        return E_OUTOFMEMORY;
    if (!bytes.isEmpty())
        std::memcpy(array->pvData, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = array;
    return S_OK;
}

HRESULT setVariantStringArray(VARIANT *v, const QStringList &texts)
{
    VariantClear(v);
    SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(texts.size()));
    if (!array)
        return E_OUTOFMEMORY;
    auto *elements = static_cast<VARIANT *>(array->pvData);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (FAILED(setVariantString(&elements[i], texts[i]))) {
            SafeArrayDestroy(array);
            return E_OUTOFMEMORY;
        }
    }
    v->vt = VT_ARRAY | VT_VARIANT;
    v->parray = array;
    return S_OK;
}

QString variantString(const VARIANT *v)
{
    if (!v)
        return QString();
    if (v->vt == VT_BSTR)
        return qStringFromBstr(v->bstrVal);
    if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal)
        return qStringFromBstr(*v->pbstrVal);
    return QString();
}

} // namespace orvane
