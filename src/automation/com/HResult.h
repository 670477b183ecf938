#pragma once
// HRESULT values with the names and numbers that OLE defines for them, the
// SUCCEEDED/FAILED tests and the Win32 facility. Everything in this COM model
// and in the command engine reports through these codes; nothing throws.

#include "automation/com/Types.h"

#include <QString>

namespace orvane
{

constexpr HRESULT hresult(std::uint32_t code)
{
    return static_cast<HRESULT>(code);
}

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

inline constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
inline constexpr HRESULT E_POINTER = hresult(0x80004003);
inline constexpr HRESULT E_ABORT = hresult(0x80004004);
inline constexpr HRESULT E_FAIL = hresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
inline constexpr HRESULT E_HANDLE = hresult(0x80070006);
inline constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = hresult(0x80070057);

inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = hresult(0x80020001);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = hresult(0x80020003);
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = hresult(0x80020004);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = hresult(0x80020005);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = hresult(0x80020006);
inline constexpr HRESULT DISP_E_NONAMEDARGS = hresult(0x80020007);
inline constexpr HRESULT DISP_E_BADVARTYPE = hresult(0x80020008);
inline constexpr HRESULT DISP_E_EXCEPTION = hresult(0x80020009);
inline constexpr HRESULT DISP_E_OVERFLOW = hresult(0x8002000A);
inline constexpr HRESULT DISP_E_BADINDEX = hresult(0x8002000B);
inline constexpr HRESULT DISP_E_UNKNOWNLCID = hresult(0x8002000C);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = hresult(0x8002000D);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = hresult(0x8002000E);
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = hresult(0x8002000F);
inline constexpr HRESULT DISP_E_BADCALLEE = hresult(0x80020010);
inline constexpr HRESULT DISP_E_NOTACOLLECTION = hresult(0x80020011);
inline constexpr HRESULT DISP_E_DIVBYZERO = hresult(0x80020012);

inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = hresult(0x8002802B);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = hresult(0x80040201);
inline constexpr HRESULT MK_E_UNAVAILABLE = hresult(0x800401E3);
inline constexpr HRESULT MK_E_SYNTAX = hresult(0x800401E4);
inline constexpr HRESULT MK_E_NOOBJECT = hresult(0x800401E5);
inline constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
inline constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = hresult(0x80080005);
inline constexpr HRESULT RPC_E_WRONG_THREAD = hresult(0x8001010E);
inline constexpr HRESULT STG_E_FILENOTFOUND = hresult(0x80030002);

inline constexpr int FACILITY_WIN32 = 7;
inline constexpr int FACILITY_DISPATCH = 2;
inline constexpr int FACILITY_ITF = 4;

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}
/// The facility field (bits 16..28).
constexpr int HRESULT_FACILITY(HRESULT hr)
{
    return (static_cast<std::uint32_t>(hr) >> 16) & 0x1FFF;
}
/// The code field (low 16 bits).
constexpr int HRESULT_CODE(HRESULT hr)
{
    return static_cast<std::uint32_t>(hr) & 0xFFFF;
}
/// Wraps a Win32 error number as a failure of facility 7 (0 stays S_OK).
constexpr HRESULT HRESULT_FROM_WIN32(std::uint32_t error)
{
    return error == 0 ? S_OK : hresult((error & 0xFFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}
/// Builds a code from its parts, as MAKE_HRESULT does.
constexpr HRESULT MAKE_HRESULT(bool failure, int facility, int code)
{
    return hresult((failure ? 0x80000000u : 0u) | (static_cast<std::uint32_t>(facility) << 16) |
                   static_cast<std::uint32_t>(code & 0xFFFF));
}

/// Returns the OLE name of a code ("E_INVALIDARG"), or "" when it has none in
/// this model. For diagnostics (orvane-probe, test output) only.
QString hresultName(HRESULT hr);
/// Returns the code as "0x80070057".
QString hresultHex(HRESULT hr);

} // namespace orvane
