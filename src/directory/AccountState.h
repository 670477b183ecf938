#pragma once
// Enabling and disabling an account through the directory object's
// AccountDisabled property: read, write only when the state must change,
// "SetInfo", read again. An account already in the wanted state is a success
// without any write. Messages are titled "Disable account error" or "Enable
// account error"; nothing is shown here.

#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"

namespace orvane
{

/// result 1 when the account of `guid` ends disabled, else 0 with its message
/// (open failure or commit failure); a bad GUID gives 0 without a message.
DirectoryReport DisableAccount(const DirectoryConnection &connection, const QString &guid);

/// result 1 when the account of `guid` ends enabled; as DisableAccount.
DirectoryReport EnableAccount(const DirectoryConnection &connection, const QString &guid);

} // namespace orvane
