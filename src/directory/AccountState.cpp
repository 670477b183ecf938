#include "directory/AccountState.h"

#include "automation/CommandEngine.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"

namespace orvane
{

namespace
{

struct AccountChange {
    bool disable;
    QString title;
    QString verb; ///< "disable" / "enable"
};

DirectoryReport changeAccount(const DirectoryConnection &connection, const QString &guid,
                              const AccountChange &change)
{
    DirectoryReport report;
    BoundObject bound;
    if (!BindForReport(connection, guid, change.title, &bound, &report))
        return report;
    const qint64 wrong = change.disable ? 0 : -1;
    const qint64 wanted = change.disable ? -1 : 0;
    if (getIntegerProperty(bound.object(), QStringLiteral("AccountDisabled")) == wrong &&
        lastErrorCode() == 0) {
        sendProperty(bound.object(), QStringLiteral("AccountDisabled = %1").arg(wanted));
        sendMethod(bound.object(), QStringLiteral("SetInfo"));
        if (lastErrorCode() != 0) {
            report.failure = captureFailure(QStringLiteral("SetInfo"));
            report.messages.append(
                failureMessage(change.title,
                               codeText(report.failure.code) +
                                   QStringLiteral(" COM method error occurred while trying to %1 AD object.")
                                       .arg(change.verb),
                               report.failure));
        }
    }
    const qint64 now = getIntegerProperty(bound.object(), QStringLiteral("AccountDisabled"));
    if (lastErrorCode() == 0 && now == wanted)
        report.result = 1;
    return report;
}

} // namespace

DirectoryReport DisableAccount(const DirectoryConnection &connection, const QString &guid)
{
    return changeAccount(connection, guid,
                         {true, QStringLiteral("Disable account error"), QStringLiteral("disable")});
}

DirectoryReport EnableAccount(const DirectoryConnection &connection, const QString &guid)
{
    return changeAccount(connection, guid,
                         {false, QStringLiteral("Enable account error"), QStringLiteral("enable")});
}

} // namespace orvane
