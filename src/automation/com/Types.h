#pragma once
// The scalar types of our small COM model, spelled as OLE Automation spells
// them so that code written against the real COM reads the same here. Sizes
// are fixed (a LONG is 32 bits on every platform, as on Windows).

#include <cstdint>

namespace orvane
{

using BYTE = std::uint8_t;
using CHAR = std::int8_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using BOOL = std::int32_t;

/// A COM status code: negative means failure.
using HRESULT = std::int32_t;
using SCODE = HRESULT;
/// Locale identifier; the engine always passes LOCALE_USER_DEFAULT.
using LCID = DWORD;
/// Identifier of a member of an IDispatch object.
using DISPID = LONG;
/// VARIANT type code (VT_*).
using VARTYPE = std::uint16_t;
/// Automation boolean: VARIANT_TRUE (-1) or VARIANT_FALSE (0).
using VARIANT_BOOL = std::int16_t;
/// Automation date: days since 1899-12-30, the fraction being the time of day.
using DATE = double;

/// One UTF-16 code unit.
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR *;
using LPCOLESTR = const OLECHAR *;
/// A length-prefixed UTF-16 string; see Bstr.h.
using BSTR = OLECHAR *;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x800;

} // namespace orvane
