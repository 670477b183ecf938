#include "automation/com/SafeArray.h"

#include "automation/com/Bstr.h"
#include "automation/com/Interfaces.h"

#include <cstdlib>
#include <cstring>

namespace orvane
{

namespace
{

ULONG elementSize(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return sizeof(void *);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT featuresFor(VARTYPE vt)
{
    switch (vt) {
    case VT_BSTR:
        return FADF_BSTR | FADF_HAVEVARTYPE;
    case VT_DISPATCH:
        return FADF_DISPATCH | FADF_HAVEVARTYPE;
    case VT_UNKNOWN:
        return FADF_UNKNOWN | FADF_HAVEVARTYPE;
    case VT_VARIANT:
        return FADF_VARIANT | FADF_HAVEVARTYPE;
    default:
        return FADF_HAVEVARTYPE;
    }
}

void *elementAt(SAFEARRAY *array, ULONG offset)
{
    return static_cast<char *>(array->pvData) + std::size_t(offset) * array->cbElements;
}

// Index `*indices` as an offset from the lower bound; false when outside.
bool offsetOf(SAFEARRAY *array, const LONG *indices, ULONG *offset)
{
    const LONGLONG delta = LONGLONG(indices[0]) - array->rgsabound[0].lLbound;
    if (delta < 0 || delta >= LONGLONG(array->rgsabound[0].cElements))
        return false;
    *offset = static_cast<ULONG>(delta);
    return true;
}

void clearElements(SAFEARRAY *array)
{
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        void *element = elementAt(array, i);
        if (array->vt == VT_VARIANT) {
            VariantClear(static_cast<VARIANT *>(element));
        } else if (array->vt == VT_BSTR) {
            SysFreeString(*static_cast<BSTR *>(element));
        } else if (array->vt == VT_DISPATCH || array->vt == VT_UNKNOWN) {
            if (IUnknown *p = *static_cast<IUnknown **>(element))
                p->Release();
        }
    }
}

// Copies one element value of `array`'s type from `from` (same layout as an
// element) into `to`, owning its copy.
HRESULT copyElement(VARTYPE vt, ULONG size, void *to, const void *from)
{
    if (vt == VT_VARIANT) {
        VARIANT *dest = static_cast<VARIANT *>(to);
        VariantInit(dest);
        return VariantCopy(dest, static_cast<const VARIANT *>(from));
    }
    if (vt == VT_BSTR) {
        BSTR source = *static_cast<const BSTR *>(from);
        BSTR copy = nullptr;
        if (source) {
            copy = SysAllocStringByteLen(reinterpret_cast<const char *>(source), SysStringByteLen(source));
            if (!copy)
                return E_OUTOFMEMORY;
        }
        *static_cast<BSTR *>(to) = copy;
        return S_OK;
    }
    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        IUnknown *p = *static_cast<IUnknown *const *>(from);
        if (p)
            p->AddRef();
        *static_cast<IUnknown **>(to) = p;
        return S_OK;
    }
    std::memcpy(to, from, size);
    return S_OK;
}

} // namespace

SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND *bounds)
{
    const ULONG size = elementSize(vt);
    if (cDims != 1 || !bounds || size == 0)
        return nullptr;
    const std::size_t bytes = std::size_t(bounds[0].cElements) * size;
    auto *array = static_cast<SAFEARRAY *>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array)
        return nullptr;
    array->pvData = std::calloc(bytes ? bytes : 1, 1);
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->fFeatures = featuresFor(vt);
    array->cbElements = size;
    array->rgsabound[0] = bounds[0];
    array->vt = vt;
    return array;
}

SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements)
{
    const SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY *array)
{
    if (!array)
        return S_OK;
    if (array->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    clearElements(array);
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY *array)
{
    if (!array)
        return E_INVALIDARG;
    ++array->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY *array)
{
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY *array, void **data)
{
    if (!array || !data)
        return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(array);
    *data = SUCCEEDED(hr) ? array->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY *array)
{
    return SafeArrayUnlock(array);
}

HRESULT SafeArrayGetLBound(SAFEARRAY *array, UINT dim, LONG *bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim != 1 || array->cDims != 1)
        return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY *array, UINT dim, LONG *bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dim != 1 || array->cDims != 1)
        return DISP_E_BADINDEX;
    *bound = static_cast<LONG>(LONGLONG(array->rgsabound[0].lLbound) + array->rgsabound[0].cElements - 1);
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY *array)
{
    return array ? array->cDims : 0;
}

UINT SafeArrayGetElemsize(SAFEARRAY *array)
{
    return array ? array->cbElements : 0;
}

HRESULT SafeArrayGetVartype(SAFEARRAY *array, VARTYPE *vt)
{
    if (!array || !vt)
        return E_INVALIDARG;
    *vt = array->vt;
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY *array, const LONG *indices, const void *value)
{
    if (!array || !indices || !value)
        return E_INVALIDARG;
    ULONG offset = 0;
    if (!offsetOf(array, indices, &offset))
        return DISP_E_BADINDEX;
    void *element = elementAt(array, offset);
    if (array->vt == VT_VARIANT) {
        // PutElement is given a VARIANT*, the element is a VARIANT: copy over it.
        return VariantCopy(static_cast<VARIANT *>(element), static_cast<const VARIANT *>(value));
    }
    // For BSTR and interfaces PutElement is given the value itself, not its address.
    std::uint8_t fresh[sizeof(void *)];
    const void *source = value;
    if (array->vt == VT_BSTR || array->vt == VT_DISPATCH || array->vt == VT_UNKNOWN) {
        std::memcpy(fresh, &value, sizeof(void *));
        source = fresh;
    }
    std::uint8_t copy[sizeof(VARIANT)];
    HRESULT hr = copyElement(array->vt, array->cbElements, copy, source);
    if (FAILED(hr))
        return hr;
    if (array->vt == VT_BSTR)
        SysFreeString(*static_cast<BSTR *>(element));
    else if ((array->vt == VT_DISPATCH || array->vt == VT_UNKNOWN) && *static_cast<IUnknown **>(element))
        (*static_cast<IUnknown **>(element))->Release();
    std::memcpy(element, copy, array->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY *array, const LONG *indices, void *value)
{
    if (!array || !indices || !value)
        return E_INVALIDARG;
    ULONG offset = 0;
    if (!offsetOf(array, indices, &offset))
        return DISP_E_BADINDEX;
    return copyElement(array->vt, array->cbElements, value, elementAt(array, offset));
}

HRESULT SafeArrayCopy(SAFEARRAY *array, SAFEARRAY **copy)
{
    if (!copy)
        return E_INVALIDARG;
    *copy = nullptr;
    if (!array)
        return S_OK;
    SAFEARRAY *result = SafeArrayCreate(array->vt, 1, array->rgsabound);
    if (!result)
        return E_OUTOFMEMORY;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        HRESULT hr = copyElement(array->vt, array->cbElements, elementAt(result, i), elementAt(array, i));
        if (FAILED(hr)) {
            SafeArrayDestroy(result);
            return hr;
        }
    }
    *copy = result;
    return S_OK;
}

} // namespace orvane
