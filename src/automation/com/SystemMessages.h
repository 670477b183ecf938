#pragma once
// The texts Windows gives for Win32 error numbers (FormatMessageW with
// FORMAT_MESSAGE_FROM_SYSTEM), for the numbers this program can meet: file
// and access errors, logon errors, and the directory-service errors that LDAP
// result codes map to. The command engine uses them for facility-7 HRESULTs.

#include "automation/com/Types.h"

#include <QString>

namespace orvane
{

/// The system's English text for Win32 error `error` without the trailing line
/// break ("The system cannot find the file specified."); "" when the table
/// holds no text for it.
QString systemMessage(DWORD error);

} // namespace orvane
