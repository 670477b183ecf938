#pragma once
// LDAP outcomes as the HRESULTs that ADSI gives for them, and the calling
// thread's extended directory error (what ADsGetLastError is on Windows).
//
// A failed directory call returns its HRESULT through the automation server;
// the server's own diagnostic text ("0000200B: objectclass_attrs: ...") and
// the LDAP result code are kept per thread beside it, for diagnostics, since
// the command engine's error text for a facility-7 code is the system's.

#include "automation/com/Types.h"

#include <QString>

namespace orvane
{

/// The HRESULT for LDAP result code `ldapCode` (server codes 0..123 and the
/// negative client codes of libldap): facility 7 with the Win32 error that
/// LdapMapErrorToWin32 gives, e.g. 49 -> 0x8007052E, 32 -> 0x80072030,
/// -1 (server down) -> 0x8007203A, 19 -> 0x8007202F. 0 gives S_OK.
HRESULT hresultFromLdap(int ldapCode);

/// The extended error of the last failed directory call on this thread.
struct DirectoryError {
    HRESULT code = 0; ///< the HRESULT that call returned
    int ldapCode = 0; ///< the LDAP result code behind it (0 when none)
    QString text;     ///< the server's diagnostic or our own explanation; may be empty
};

/// Records `error` as this thread's extended error.
void setDirectoryError(const DirectoryError &error);
/// This thread's extended error (all zero / empty when none was recorded).
DirectoryError lastDirectoryError();
/// Forgets this thread's extended error.
void clearDirectoryError();

} // namespace orvane
