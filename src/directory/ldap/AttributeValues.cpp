#include "directory/ldap/AttributeValues.h"

#include "automation/com/Bstr.h"
#include "automation/com/SafeArray.h"
#include "automation/com/VariantChangeType.h"

namespace orvane
{

namespace
{

HRESULT scalarToValue(const VARIANT &value, ValueKind kind, QByteArray *out)
{
    if ((value.vt & ~VT_BYREF) == VT_BOOL && kind == ValueKind::Boolean) {
        const VARIANT_BOOL b = (value.vt & VT_BYREF) ? *value.pboolVal : value.boolVal;
        *out = b ? QByteArrayLiteral("TRUE") : QByteArrayLiteral("FALSE");
        return S_OK;
    }
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    const QString s = qStringFromBstr(text.bstrVal);
    VariantClear(&text);
    if (kind == ValueKind::Boolean) {
        const QString u = s.trimmed().toUpper();
        *out = (u == QLatin1String("TRUE") || u == QLatin1String("-1") || u == QLatin1String("1"))
                   ? QByteArrayLiteral("TRUE")
                   : QByteArrayLiteral("FALSE");
        return S_OK;
    }
    *out = s.toUtf8();
    return S_OK;
}

QByteArray bytesOf(SAFEARRAY *array)
{
    if (!array || array->rgsabound[0].cElements == 0)
        return QByteArray();
    return QByteArray(static_cast<const char *>(array->pvData),
                      static_cast<qsizetype>(array->rgsabound[0].cElements));
}

} // namespace

HRESULT valueToVariant(QByteArrayView value, ValueKind kind, VARIANT *out)
{
    switch (kind) {
    case ValueKind::Binary:
        return setVariantBytes(out, QByteArray::fromRawData(value.data(), value.size()));
    case ValueKind::Integer: {
        bool ok = false;
        const qint64 n = value.toByteArray().toLongLong(&ok);
        if (ok) {
            setVariantInteger(out, n);
            return S_OK;
        }
        break;
    }
    case ValueKind::Boolean:
        if (value.compare(QByteArrayView("TRUE"), Qt::CaseInsensitive) == 0 ||
            value.compare(QByteArrayView("FALSE"), Qt::CaseInsensitive) == 0) {
            setVariantBool(out, value.compare(QByteArrayView("TRUE"), Qt::CaseInsensitive) == 0);
            return S_OK;
        }
        break;
    case ValueKind::Text:
        break;
    }
    return setVariantString(out, QString::fromUtf8(value));
}

HRESULT valuesToVariant(const std::vector<QByteArray> &values, ValueKind kind, bool asArray, VARIANT *out)
{
    std::vector<QByteArrayView> views(values.begin(), values.end());
    return valuesToVariant(views.data(), views.size(), kind, asArray, out);
}

HRESULT valuesToVariant(const QByteArrayView *values, size_t count, ValueKind kind, bool asArray,
                        VARIANT *out)
{
    if (count == 0) {
        setVariantNull(out);
        return S_OK;
    }
    if (!asArray && count == 1)
        return valueToVariant(values[0], kind, out);
    SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
    if (!array)
        return E_OUTOFMEMORY;
    auto *elements = static_cast<VARIANT *>(array->pvData);
    for (size_t i = 0; i < count; ++i) {
        const HRESULT hr = valueToVariant(values[i], kind, &elements[i]);
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return hr;
        }
    }
    VariantClear(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array;
    return S_OK;
}

HRESULT variantToValues(const VARIANT &value, ValueKind kind, std::vector<QByteArray> *out)
{
    out->clear();
    if ((value.vt & VT_BYREF) && (value.vt & ~VT_BYREF) == VT_VARIANT && value.pvarVal)
        return variantToValues(*value.pvarVal, kind, out);
    const VARTYPE base = value.vt & VT_TYPEMASK;
    if (value.vt == VT_EMPTY || value.vt == VT_NULL)
        return S_OK;
    if (value.vt & VT_ARRAY) {
        SAFEARRAY *array = (value.vt & VT_BYREF) ? (value.pparray ? *value.pparray : nullptr) : value.parray;
        if (!array)
            return S_OK;
        if (base == VT_UI1 || base == VT_I1) {
            out->push_back(bytesOf(array));
            return S_OK;
        }
        const ULONG count = array->rgsabound[0].cElements;
        for (ULONG i = 0; i < count; ++i) {
            const LONG index = array->rgsabound[0].lLbound + static_cast<LONG>(i);
            VARIANT element;
            VariantInit(&element);
            HRESULT hr = S_OK;
            if (base == VT_VARIANT) {
                hr = SafeArrayGetElement(array, &index, &element);
            } else {
                // Arrays of plain types: wrap each element in a VARIANT.
                element.vt = base;
                hr = SafeArrayGetElement(array, &index, &element.llVal);
            }
            std::vector<QByteArray> inner;
            if (SUCCEEDED(hr))
                hr = variantToValues(element, kind, &inner);
            VariantClear(&element);
            if (FAILED(hr))
                return hr;
            for (QByteArray &v : inner)
                out->push_back(std::move(v));
        }
        return S_OK;
    }
    QByteArray single;
    const HRESULT hr = scalarToValue(value, kind, &single);
    if (FAILED(hr))
        return hr;
    out->push_back(single);
    return S_OK;
}

} // namespace orvane
