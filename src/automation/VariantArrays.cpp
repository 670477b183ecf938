#include "automation/VariantArrays.h"

#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <cstring>

namespace orvane
{

std::optional<QByteArray> variantToBytes(const VARIANT *value)
{
    if (!value || value->vt != (VT_ARRAY | VT_UI1) || !value->parray)
        return std::nullopt;
    SAFEARRAY *array = value->parray;
    // Every element, whatever the lower bound: counting "elements minus lower
    // bound" would drop bytes, or read past the data for a negative bound.
    const ULONG count = array->rgsabound[0].cElements;
    if (count == 0 || count > 0x7FFFFFFFu)
        return std::nullopt;
    if (FAILED(SafeArrayLock(array)))
        return std::nullopt;
    QByteArray bytes(static_cast<const char *>(array->pvData), static_cast<qsizetype>(count));
    SafeArrayUnlock(array);
    return bytes;
}

bool bytesToVariant(VARIANT *value, const char *bytes, qint32 length)
{
    if (!value || !bytes || length <= 0)
        return false;
    SAFEARRAY *array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(length));
    if (!array)
        return false;
    if (FAILED(SafeArrayLock(array))) {
        SafeArrayDestroy(array);
        return false;
    }
    std::memcpy(array->pvData, bytes, static_cast<std::size_t>(length));
    SafeArrayUnlock(array);
    VariantClear(value);
    value->vt = VT_ARRAY | VT_UI1;
    value->parray = array;
    return true;
}

bool bytesToVariant(VARIANT *value, const QByteArray &bytes)
{
    if (bytes.size() > 0x7FFFFFFF)
        return false;
    return bytesToVariant(value, bytes.constData(), static_cast<qint32>(bytes.size()));
}

SAFEARRAY *variantArray(const VARIANT *value)
{
    if (!value || !(value->vt & VT_ARRAY))
        return nullptr;
    return (value->vt & VT_BYREF) ? (value->pparray ? *value->pparray : nullptr) : value->parray;
}

qint32 arrayLowerBound(SAFEARRAY *array)
{
    LONG bound = 0;
    return SUCCEEDED(SafeArrayGetLBound(array, 1, &bound)) ? bound : 0;
}

qint32 arrayUpperBound(SAFEARRAY *array)
{
    LONG bound = 0;
    return SUCCEEDED(SafeArrayGetUBound(array, 1, &bound)) ? bound : 0;
}

std::optional<QStringList> variantArrayTexts(const VARIANT *value)
{
    SAFEARRAY *array = variantArray(value);
    if (!array || (array->vt != VT_VARIANT && array->vt != VT_BSTR))
        return std::nullopt;
    QStringList texts;
    const ULONG count = array->rgsabound[0].cElements;
    texts.reserve(static_cast<qsizetype>(count));
    for (ULONG i = 0; i < count; ++i) {
        if (array->vt == VT_BSTR) {
            texts.append(qStringFromBstr(static_cast<BSTR *>(array->pvData)[i]));
            continue;
        }
        const VARIANT *element = static_cast<const VARIANT *>(array->pvData) + i;
        // A text element (a multi-valued attribute's values) is read as it is:
        // converting it to text would only copy it first.
        if (element->vt == VT_BSTR) {
            texts.append(qStringFromBstr(element->bstrVal));
            continue;
        }
        VARIANT text;
        VariantInit(&text);
        texts.append(SUCCEEDED(VariantChangeType(&text, element, 0, VT_BSTR)) ? qStringFromBstr(text.bstrVal)
                                                                              : QString());
        VariantClear(&text);
    }
    return texts;
}

} // namespace orvane
