#include "directory/OperationMessages.h"

#include "automation/LastError.h"
#include "directory/ldap/LdapErrors.h"

namespace orvane
{

QString DirectoryFailure::reason() const
{
    return diagnostic.isEmpty() ? engineText : diagnostic;
}

void beginDirectoryOperation()
{
    clearDirectoryError();
}

DirectoryFailure captureFailure(const QString &command)
{
    DirectoryFailure failure;
    failure.code = lastErrorCode();
    failure.engineText = lastErrorText();
    failure.command = command;
    const DirectoryError directory = lastDirectoryError();
    // A diagnostic belongs to this failure only when the directory reported
    // the same code; otherwise it is left over from an earlier call.
    if (failure.code != 0 && directory.code == failure.code)
        failure.diagnostic = directory.text;
    return failure;
}

QString codeText(HRESULT code)
{
    return QStringLiteral("<%1>").arg(static_cast<qint32>(code));
}

QString withReason(const QString &text, const DirectoryFailure &failure)
{
    const QString reason = failure.reason().trimmed();
    if (!failure.failed() || reason.isEmpty())
        return text;
    return text + QStringLiteral("\n\n") + reason;
}

OperationMessage failureMessage(const QString &title, const QString &text, const DirectoryFailure &failure)
{
    return {title, withReason(text, failure), MessageIcon::Warning};
}

} // namespace orvane
