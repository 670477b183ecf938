#pragma once
// Taking apart the VARIANTs that directory attributes come back as, and
// building the byte-array value that a photo is written with:
// - a byte-array value is VT_ARRAY|VT_UI1, one dimension, one byte per element;
// - a multi-valued attribute is VT_ARRAY|VT_VARIANT (or VT_ARRAY|VT_BSTR).
// None of these functions records an error; each returns none, null, false or
// 0 and the caller decides.

#include "automation/com/SafeArray.h"

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace orvane
{

/// The bytes of a VT_ARRAY|VT_UI1 value (all its elements, whatever its lower
/// bound); none for any other type, a null array or an empty array. `value`
/// is not changed.
std::optional<QByteArray> variantToBytes(const VARIANT *value);

/// Makes `value` (cleared first) a VT_ARRAY|VT_UI1 value holding `length`
/// bytes of `bytes`, lower bound 0; false (and `value` untouched) when `value`
/// or `bytes` is null or `length` is not above 0, or on allocation failure.
/// The caller owns `value` and clears it with VariantClear.
bool bytesToVariant(VARIANT *value, const char *bytes, qint32 length);
/// Same for a QByteArray.
bool bytesToVariant(VARIANT *value, const QByteArray &bytes);

/// The array of a value whose type has the VT_ARRAY bit; null otherwise.
SAFEARRAY *variantArray(const VARIANT *value);

/// Bounds of the array's first dimension; 0 on failure (indistinguishable
/// from a bound of 0).
qint32 arrayLowerBound(SAFEARRAY *array);
qint32 arrayUpperBound(SAFEARRAY *array);

/// The texts of a multi-valued value: each element of a VT_ARRAY|VT_VARIANT
/// or VT_ARRAY|VT_BSTR value, from the lower to the upper bound, converted to
/// text (elements that cannot be converted give ""). The value is not changed.
/// Nothing for a value that is not such an array.
std::optional<QStringList> variantArrayTexts(const VARIANT *value);

} // namespace orvane
