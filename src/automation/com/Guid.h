#pragma once
// GUIDs as COM lays them out (Data1..Data3 as native integers, Data4 as bytes),
// the interface identifiers of this model, and the text forms: the registry
// form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
//
// Byte order: a directory's objectGUID is 16 bytes in the order Windows keeps
// a GUID in memory (Data1..Data3 little-endian). guidFromBytes reads that order
// on every host, so StringFromGUID2(guidFromBytes(bytes)) gives the text that
// Windows shows for the same object.

#include "automation/com/HResult.h"

#include <QString>
#include <array>
#include <bit>

namespace orvane
{

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};

    /// Compared as two 64-bit words: every Invoke and GetIDsOfNames compares
    /// its IID, and the member-wise form costs a loop over Data4.
    friend constexpr bool operator==(const GUID &a, const GUID &b)
    {
        using Words = std::array<std::uint64_t, 2>;
        return std::bit_cast<Words>(a) == std::bit_cast<Words>(b);
    }
};
static_assert(sizeof(GUID) == 16, "a GUID is 16 bytes without padding");
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID &;
using REFCLSID = const CLSID &;
using REFGUID = const GUID &;

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return a == b;
}

/// The all-zero GUID; passed as the riid of GetIDsOfNames and Invoke.
inline constexpr IID IID_NULL{};
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IPersistFile{0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

/// Writes the registry form of `guid` with its terminating NUL into `buffer`
/// of `cchMax` characters; returns the characters written (39) including the
/// NUL, or 0 when the buffer is too small (nothing is then written).
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax);
/// Parses the registry form (braces required, hex digits in either case) into
/// `clsid`; S_OK, or CO_E_CLASSSTRING for any other text. Whether the class is
/// registered is not checked, as COM does not check it either.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID *clsid);

/// Registry form of `guid` as a QString ("{...}").
QString guidToString(REFGUID guid);
/// Parses the registry form; false (and `guid` untouched) for any other text.
bool guidFromString(const QString &text, GUID *guid);
/// Reads 16 bytes laid out as Windows stores a GUID (Data1..Data3 little-endian).
GUID guidFromBytes(const std::uint8_t bytes[16]);
/// Writes `guid` as 16 bytes in Windows' storage order; the inverse of guidFromBytes.
void guidToBytes(REFGUID guid, std::uint8_t bytes[16]);
/// Returns the value of hexadecimal digit `c` (either case), or -1 when it is none.
int hexDigitValue(QChar c);

} // namespace orvane
