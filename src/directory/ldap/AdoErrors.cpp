#include "directory/ldap/AdoErrors.h"

namespace orvane
{

namespace
{

struct Entry {
    std::uint32_t code;
    const char *text;
};

Entry entryOf(AdoError error)
{
    switch (error) {
    case AdoError::ProviderNotFound:
        return {0x800A0E7A, "Provider cannot be found. It may not be properly installed."};
    case AdoError::ObjectClosed:
        return {0x800A0E78, "Operation is not allowed when the object is closed."};
    case AdoError::ObjectOpen:
        return {0x800A0E79, "Operation is not allowed when the object is open."};
    case AdoError::InvalidConnection:
        return {0x800A0E7D, "The connection cannot be used to perform this operation. It is either closed or "
                            "invalid in this context."};
    case AdoError::ItemNotFound:
        return {0x800A0CC1,
                "Item cannot be found in the collection corresponding to the requested name or ordinal."};
    case AdoError::NoCurrentRecord:
        return {0x800A0BCD, "Either BOF or EOF is True, or the current record has been deleted. Requested "
                            "operation requires a current record."};
    case AdoError::CommandText:
        return {0x80040E14, "One or more errors occurred during processing of command."};
    }
    return {0x80004005, "Unspecified error."};
}

} // namespace

HRESULT adoErrorCode(AdoError error)
{
    return hresult(entryOf(error).code);
}

HRESULT raiseAdo(DispatchCall &call, AdoError error)
{
    const Entry e = entryOf(error);
    return call.raise(QString::fromLatin1(e.text), hresult(e.code), QStringLiteral("ADODB"));
}

} // namespace orvane
