#pragma once
// SAFEARRAY: OLE Automation's self-describing array, here one-dimensional
// only (the only kind the directory and Excel stand-ins produce). Elements are
// stored contiguously at pvData, cbElements bytes each; element i (counted
// from the lower bound) sits at pvData + (i - lLbound) * cbElements.
//
// An array owns its elements: destroying it frees BSTR elements, releases
// interface elements and clears VARIANT elements. A locked array (cLocks > 0)
// cannot be destroyed. Arrays are not synchronised: one thread at a time.

#include "automation/com/Variant.h"

namespace orvane
{

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;     // always 1 in this model
    USHORT fFeatures; // FADF_* flags
    ULONG cbElements; // size of one element in bytes
    ULONG cLocks;     // lock count (SafeArrayLock / SafeArrayAccessData)
    void *pvData;     // the elements
    SAFEARRAYBOUND rgsabound[1];
    VARTYPE vt; // element type (our model keeps it here, not before the record)
};

inline constexpr USHORT FADF_BSTR = 0x0100;
inline constexpr USHORT FADF_UNKNOWN = 0x0200;
inline constexpr USHORT FADF_DISPATCH = 0x0400;
inline constexpr USHORT FADF_VARIANT = 0x0800;
inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;

/// Creates a zero-filled array of element type `vt` with `cDims` dimensions
/// given by `bounds`; only cDims 1 is supported. Null for any other cDims, an
/// element type an array cannot hold, or allocation failure. The caller owns
/// the array (SafeArrayDestroy, or hand it to a VARIANT).
SAFEARRAY *SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND *bounds);
/// One-dimensional shortcut for SafeArrayCreate.
SAFEARRAY *SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements);
/// Frees the elements and the array; S_OK on null, DISP_E_ARRAYISLOCKED when locked.
HRESULT SafeArrayDestroy(SAFEARRAY *array);
/// Raises / lowers the lock count; E_INVALIDARG on null, E_UNEXPECTED when unlocking an unlocked array.
HRESULT SafeArrayLock(SAFEARRAY *array);
HRESULT SafeArrayUnlock(SAFEARRAY *array);
/// Locks the array and gives its data pointer; undone by SafeArrayUnaccessData.
HRESULT SafeArrayAccessData(SAFEARRAY *array, void **data);
HRESULT SafeArrayUnaccessData(SAFEARRAY *array);
/// Bounds of dimension `dim` (1-based); DISP_E_BADINDEX for any dimension but 1.
HRESULT SafeArrayGetLBound(SAFEARRAY *array, UINT dim, LONG *bound);
HRESULT SafeArrayGetUBound(SAFEARRAY *array, UINT dim, LONG *bound);
/// Number of dimensions (0 for null).
UINT SafeArrayGetDim(SAFEARRAY *array);
/// Element size in bytes (0 for null).
UINT SafeArrayGetElemsize(SAFEARRAY *array);
/// Element type.
HRESULT SafeArrayGetVartype(SAFEARRAY *array, VARTYPE *vt);
/// Stores a copy of `value` at index `*indices` (one index): for VT_VARIANT
/// `value` is a VARIANT* (copied with VariantCopy), for VT_BSTR a BSTR
/// (duplicated), for interfaces an interface pointer (AddRef'd), otherwise a
/// pointer to the element's bytes. DISP_E_BADINDEX outside the bounds.
HRESULT SafeArrayPutElement(SAFEARRAY *array, const LONG *indices, const void *value);
/// Copies element `*indices` out into `value` (same forms as PutElement); the
/// caller owns the copy.
HRESULT SafeArrayGetElement(SAFEARRAY *array, const LONG *indices, void *value);
/// Deep copy of `array` into `*copy` (null gives null).
HRESULT SafeArrayCopy(SAFEARRAY *array, SAFEARRAY **copy);

} // namespace orvane
