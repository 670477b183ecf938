#pragma once
// Conversions between LDAP attribute values (bytes on the wire) and the
// VARIANTs automation clients see, shared by the ADO record set and the
// directory object:
//   text      <-> VT_BSTR (UTF-8 on the wire)
//   binary    <-> VT_ARRAY|VT_UI1
//   integer   <-> VT_I4 (VT_I8 when it does not fit)
//   boolean   <-> VT_BOOL ("TRUE"/"FALSE" on the wire)
// Several values are a VT_ARRAY|VT_VARIANT of the above.

#include "automation/com/Variant.h"
#include "directory/ldap/LdapSchema.h"

#include <vector>

namespace orvane
{

/// The VARIANT for one value of kind `kind`, stored in `*out` (cleared first).
HRESULT valueToVariant(QByteArrayView value, ValueKind kind, VARIANT *out);

/// The VARIANT for the `count` values of an attribute: VT_NULL when there
/// are none; a VT_ARRAY|VT_VARIANT when `asArray` is true or there are
/// several; else the single value.
HRESULT valuesToVariant(const QByteArrayView *values, size_t count, ValueKind kind, bool asArray,
                        VARIANT *out);
/// The same for values held in byte arrays.
HRESULT valuesToVariant(const std::vector<QByteArray> &values, ValueKind kind, bool asArray, VARIANT *out);

/// The wire values that `value` stands for: a VT_ARRAY|VT_UI1 is one binary
/// value; a VT_ARRAY|VT_VARIANT (or of another element type) gives one value
/// per element; VT_EMPTY and VT_NULL give none; anything else one value,
/// converted to text with COM's rules (booleans as "TRUE"/"FALSE" for a
/// boolean attribute). DISP_E_TYPEMISMATCH when an element cannot be converted.
HRESULT variantToValues(const VARIANT &value, ValueKind kind, std::vector<QByteArray> *out);

} // namespace orvane
