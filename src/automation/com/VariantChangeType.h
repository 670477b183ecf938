#pragma once
// VariantChangeType with COM's conversion rules, as far as this model's types go:
// - numeric <-> numeric (VT_I1..VT_UI8, VT_INT, VT_UINT, VT_R4, VT_R8, VT_DATE):
//   a value outside the target's range gives DISP_E_OVERFLOW; reals round to
//   integers half-to-even, as COM does;
// - numeric -> VT_BSTR: decimal text ("12", "-3", "1.5", "1E+20");
//   VT_BSTR -> numeric: leading/trailing blanks allowed, sign, decimal point,
//   exponent, "&H"/"&O" prefixes; any other text DISP_E_TYPEMISMATCH;
// - VT_BOOL <-> numeric: true is -1 (0xFF.. in unsigned targets), any non-zero
//   is true; VT_BOOL -> VT_BSTR gives "-1"/"0", or "True"/"False" with
//   VARIANT_LOCALBOOL or VARIANT_ALPHABOOL; VT_BSTR -> VT_BOOL accepts
//   "True"/"False" (any case) and numbers;
// - VT_DATE <-> VT_BSTR: "yyyy-mm-dd", "yyyy-mm-dd hh:mm:ss" (time-only dates as "hh:mm:ss");
// - VT_EMPTY -> 0, "" or false; VT_NULL -> anything but VT_NULL: DISP_E_TYPEMISMATCH;
// - VT_ERROR <-> VT_I4 / VT_UI4 only;
// - VT_DISPATCH -> any other type: the object's default member (DISPID_VALUE)
//   is read with DISPATCH_PROPERTYGET and the value converted (a null object
//   gives DISP_E_TYPEMISMATCH; VARIANT_NOVALUEPROP forbids this);
//   VT_DISPATCH <-> VT_UNKNOWN through QueryInterface;
// - arrays convert only to their own type (a copy); VT_BYREF sources are read
//   through their pointer.
// Converting to the type already held copies the value.

#include "automation/com/Variant.h"

namespace orvane
{

inline constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
inline constexpr USHORT VARIANT_ALPHABOOL = 0x02;
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
inline constexpr USHORT VARIANT_LOCALBOOL = 0x10;

/// Converts `src` to type `vt` into `dest`; `dest` may be `src` (converted in
/// place). On success `dest` owns the new value (its old content is cleared);
/// on failure `dest` is unchanged and the code says why (DISP_E_TYPEMISMATCH,
/// DISP_E_OVERFLOW, DISP_E_BADVARTYPE, E_OUTOFMEMORY, or a failure of the
/// default member's Invoke).
HRESULT VariantChangeType(VARIANT *dest, const VARIANT *src, USHORT flags, VARTYPE vt);
/// Same with a locale, which this model ignores (numbers always use ".").
HRESULT VariantChangeTypeEx(VARIANT *dest, const VARIANT *src, LCID lcid, USHORT flags, VARTYPE vt);

} // namespace orvane
