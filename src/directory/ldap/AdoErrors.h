#pragma once
// The errors ADO itself raises (as opposed to directory errors, which pass
// through as the HRESULTs of LdapErrors.h): reported as a server exception
// with ADO's code and English description, as ADO does.

#include "automation/com/DispatchObject.h"

namespace orvane
{

enum class AdoError {
    ProviderNotFound,  ///< 0x800A0E7A
    ObjectClosed,      ///< 0x800A0E78
    ObjectOpen,        ///< 0x800A0E79
    InvalidConnection, ///< 0x800A0E7D
    ItemNotFound,      ///< 0x800A0CC1
    NoCurrentRecord,   ///< 0x800A0BCD
    CommandText,       ///< 0x80040E14, a query text the provider cannot read
};

/// The code ADO gives for `error`.
HRESULT adoErrorCode(AdoError error);
/// Reports `error` on `call` (DISP_E_EXCEPTION with ADO's description and
/// code, source "ADODB"); returns DISP_E_EXCEPTION.
HRESULT raiseAdo(DispatchCall &call, AdoError error);

} // namespace orvane
