#include "automation/com/HResult.h"

namespace orvane
{

QString hresultName(HRESULT hr)
{
    struct Entry {
        HRESULT code;
        const char *name;
    };
    static const Entry names[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_ABORT, "E_ABORT"},
        {E_FAIL, "E_FAIL"},
        {E_UNEXPECTED, "E_UNEXPECTED"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_HANDLE, "E_HANDLE"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {DISP_E_UNKNOWNINTERFACE, "DISP_E_UNKNOWNINTERFACE"},
        {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
        {DISP_E_PARAMNOTFOUND, "DISP_E_PARAMNOTFOUND"},
        {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
        {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME"},
        {DISP_E_NONAMEDARGS, "DISP_E_NONAMEDARGS"},
        {DISP_E_BADVARTYPE, "DISP_E_BADVARTYPE"},
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
        {DISP_E_BADINDEX, "DISP_E_BADINDEX"},
        {DISP_E_UNKNOWNLCID, "DISP_E_UNKNOWNLCID"},
        {DISP_E_ARRAYISLOCKED, "DISP_E_ARRAYISLOCKED"},
        {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
        {DISP_E_PARAMNOTOPTIONAL, "DISP_E_PARAMNOTOPTIONAL"},
        {DISP_E_BADCALLEE, "DISP_E_BADCALLEE"},
        {DISP_E_NOTACOLLECTION, "DISP_E_NOTACOLLECTION"},
        {DISP_E_DIVBYZERO, "DISP_E_DIVBYZERO"},
        {TYPE_E_ELEMENTNOTFOUND, "TYPE_E_ELEMENTNOTFOUND"},
        {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CONNECT_E_ADVISELIMIT, "CONNECT_E_ADVISELIMIT"},
        {MK_E_UNAVAILABLE, "MK_E_UNAVAILABLE"},
        {MK_E_SYNTAX, "MK_E_SYNTAX"},
        {MK_E_NOOBJECT, "MK_E_NOOBJECT"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
        {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"},
        {CO_E_SERVER_EXEC_FAILURE, "CO_E_SERVER_EXEC_FAILURE"},
        {RPC_E_WRONG_THREAD, "RPC_E_WRONG_THREAD"},
        {STG_E_FILENOTFOUND, "STG_E_FILENOTFOUND"},
    };
    for (const Entry &e : names) {
        if (e.code == hr)
            return QString::fromLatin1(e.name);
    }
    return QString();
}

QString hresultHex(HRESULT hr)
{
    return QStringLiteral("0x%1")
        .arg(static_cast<std::uint32_t>(hr), 8, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

} // namespace orvane
