#pragma once
// VARIANT: OLE Automation's tagged value, 16 bytes (a 2-byte type, three
// reserved words, an 8-byte value), so that an array of VARIANTs can be walked
// in steps of 16 bytes as the directory code does.
//
// Ownership: a VARIANT owns what its value points to unless VT_BYREF is set:
// a BSTR (freed), an interface (one reference, released), a SAFEARRAY
// (destroyed with its elements). VariantClear gives all of it back and leaves
// VT_EMPTY; VariantCopy duplicates it (new BSTR, AddRef, deep array copy).
// A VT_BYREF VARIANT points at a variable of the base type that the VARIANT
// does not own.
//
// VariantChangeType follows COM's conversion rules; see VariantChangeType.h.

#include "automation/com/HResult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvane
{

struct IUnknown;
struct IDispatch;
struct SAFEARRAY;

// VARTYPE codes (the base types this model supports plus the flags).
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_CY = 6;
inline constexpr VARTYPE VT_DATE = 7;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_ERROR = 10;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_UNKNOWN = 13;
inline constexpr VARTYPE VT_DECIMAL = 14;
inline constexpr VARTYPE VT_I1 = 16;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_UI2 = 18;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_I8 = 20;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_INT = 22;
inline constexpr VARTYPE VT_UINT = 23;
inline constexpr VARTYPE VT_VOID = 24;
inline constexpr VARTYPE VT_HRESULT = 25;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
inline constexpr VARTYPE VT_BYREF = 0x4000;
inline constexpr VARTYPE VT_TYPEMASK = 0x0FFF;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;       // VT_I8
        LONG lVal;            // VT_I4
        BYTE bVal;            // VT_UI1
        SHORT iVal;           // VT_I2
        FLOAT fltVal;         // VT_R4
        DOUBLE dblVal;        // VT_R8
        VARIANT_BOOL boolVal; // VT_BOOL
        SCODE scode;          // VT_ERROR
        DATE date;            // VT_DATE
        BSTR bstrVal;         // VT_BSTR
        IUnknown *punkVal;    // VT_UNKNOWN
        IDispatch *pdispVal;  // VT_DISPATCH
        SAFEARRAY *parray;    // VT_ARRAY | base type
        CHAR cVal;            // VT_I1
        USHORT uiVal;         // VT_UI2
        ULONG ulVal;          // VT_UI4
        ULONGLONG ullVal;     // VT_UI8
        INT intVal;           // VT_INT
        UINT uintVal;         // VT_UINT
        // VT_BYREF | base type:
        BYTE *pbVal;
        SHORT *piVal;
        LONG *plVal;
        LONGLONG *pllVal;
        FLOAT *pfltVal;
        DOUBLE *pdblVal;
        VARIANT_BOOL *pboolVal;
        SCODE *pscode;
        DATE *pdate;
        BSTR *pbstrVal;
        IUnknown **ppunkVal;
        IDispatch **ppdispVal;
        SAFEARRAY **pparray;
        VARIANT *pvarVal;
        CHAR *pcVal;
        USHORT *puiVal;
        ULONG *pulVal;
        ULONGLONG *pullVal;
        INT *pintVal;
        UINT *puintVal;
        void *byref;
    };
};
using VARIANTARG = VARIANT;
static_assert(sizeof(VARIANT) == 16, "VARIANT arrays are walked in 16-byte steps");

/// Sets `v` to VT_EMPTY without freeing anything it held.
void VariantInit(VARIANT *v);
/// Frees what `v` owns and sets it to VT_EMPTY; DISP_E_BADVARTYPE (and `v`
/// untouched) for a type this model does not know, E_INVALIDARG for null.
HRESULT VariantClear(VARIANT *v);
/// Clears `dest`, then makes it a copy of `src` that owns its own data (BSTR
/// duplicated, interface AddRef'd, array deep-copied; a VT_BYREF value copies
/// only the pointer). `dest` == `src` is allowed and changes nothing.
HRESULT VariantCopy(VARIANT *dest, const VARIANT *src);
/// Like VariantCopy but a VT_BYREF source is dereferenced, so `dest` holds
/// the value itself (a byref VT_VARIANT yields the inner VARIANT's copy).
HRESULT VariantCopyInd(VARIANT *dest, const VARIANT *src);

/// True for the base types (without flags) that a VARIANT of this model may hold.
bool isSupportedVarType(VARTYPE vt);
/// Name of a type for diagnostics ("VT_BSTR", "VT_ARRAY|VT_UI1", "VT_BYREF|VT_I4").
QString varTypeName(VARTYPE vt);

// Conveniences for servers and tests. Each clears `v` first and leaves
// VT_EMPTY untouched on allocation failure (returning E_OUTOFMEMORY).

/// `v` = VT_BSTR copy of `text`.
HRESULT setVariantString(VARIANT *v, const QString &text);
/// `v` = VT_I4 when `value` fits in 32 bits, else VT_I8.
void setVariantInteger(VARIANT *v, qint64 value);
/// `v` = VT_BOOL (-1 / 0).
void setVariantBool(VARIANT *v, bool value);
/// `v` = VT_R8.
void setVariantDouble(VARIANT *v, double value);
/// `v` = VT_NULL (the database null: an absent attribute).
void setVariantNull(VARIANT *v);
/// `v` = VT_DISPATCH holding `object` (AddRef'd; null allowed, giving a null object).
void setVariantDispatch(VARIANT *v, IDispatch *object);
/// `v` = VT_ARRAY|VT_UI1, one dimension, lower bound 0, holding `bytes` (also when empty).
HRESULT setVariantBytes(VARIANT *v, const QByteArray &bytes);
/// `v` = VT_ARRAY|VT_VARIANT, one dimension, lower bound 0, each element a VT_BSTR.
HRESULT setVariantStringArray(VARIANT *v, const QStringList &texts);
/// Text of a VT_BSTR (or VT_BYREF|VT_BSTR) VARIANT; "" for anything else.
QString variantString(const VARIANT *v);

} // namespace orvane
