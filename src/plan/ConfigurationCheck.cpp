#include "plan/ConfigurationCheck.h"

#include "automation/com/HResult.h"
#include "directory/DirectoryMessages.h"
#include "directory/ldap/DirectoryPaths.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/LdapPool.h"
#include "workbook/Registration.h"
#include "workbook/WorkbookColumns.h"

#include <memory>

namespace orvane
{

namespace
{

// Collects the lines and hands each to the caller's sink as it is known.
class CheckReport
{
  public:
    explicit CheckReport(const CheckSink &each) : each_(each) {}
    bool add(const QString &name, bool passed, const QString &detail)
    {
        return push({name, passed, false, detail});
    }
    void skip(const QString &name, const QString &because) { push({name, false, true, because}); }
    QList<CheckLine> lines() const { return lines_; }

  private:
    bool push(const CheckLine &line)
    {
        lines_.append(line);
        if (each_)
            each_(line);
        return line.passed;
    }
    const CheckSink &each_;
    QList<CheckLine> lines_;
};

QString directoryReason(HRESULT hr)
{
    const QString text = lastDirectoryError().text;
    return codeText(hr) + (text.isEmpty() ? QString() : QStringLiteral(" ") + text);
}

Credentials credentialsOf(const DirectoryConnection &connection)
{
    if (connection.useCurrentCredentials == 1)
        return Credentials();
    return {connection.userName, connection.password};
}

QString bindName(const DirectoryConnection &connection)
{
    return connection.useCurrentCredentials == 1 ? QStringLiteral("Bind by Kerberos (current credentials)")
                                                 : QStringLiteral("Bind as ") + connection.userName;
}

QString baseDnName(const DirectoryConnection &connection)
{
    return QStringLiteral("Base DN ") + connection.baseDn + QStringLiteral(" found");
}

bool checkBaseDn(LdapConnection &ldap, const DirectoryConnection &connection, CheckReport &report)
{
    if (connection.baseDn.isEmpty())
        return report.add(baseDnName(connection), false, QStringLiteral("No base DN is set."));
    int found = 0;
    const HRESULT hr = ldap.search(connection.baseDn, SearchScope::Base, QStringLiteral("(objectClass=*)"),
                                   {QStringLiteral("1.1")}, 0, [&](LdapEntry &&) { ++found; });
    if (FAILED(hr))
        return report.add(baseDnName(connection), false, directoryReason(hr));
    return report.add(baseDnName(connection), found == 1,
                      found == 1 ? QStringLiteral("The entry exists.") : QStringLiteral("No such entry."));
}

// Binds as the settings say and, on success, reads the base DN and the schema.
std::shared_ptr<const ServerInfo> checkDirectory(const DirectoryConnection &connection, CheckReport &report)
{
    DirectoryPath path;
    if (!parseDirectoryPath(QStringLiteral("LDAP://") + connection.serverAddress, &path) ||
        path.host.isEmpty()) {
        report.add(QStringLiteral("Server reachable"), false,
                   QStringLiteral("Not a server address (host:port): ") + connection.serverAddress);
        report.skip(bindName(connection), QStringLiteral("the server is not reachable"));
        report.skip(baseDnName(connection), QStringLiteral("the server is not reachable"));
        return nullptr;
    }
    clearDirectoryError();
    std::unique_ptr<LdapConnection> ldap;
    const HRESULT hr = LdapConnection::open({path.host, path.port}, credentialsOf(connection), &ldap);
    if (!report.add(bindName(connection), SUCCEEDED(hr), SUCCEEDED(hr) ? QString() : directoryReason(hr))) {
        report.skip(baseDnName(connection), QStringLiteral("the bind failed"));
        return nullptr;
    }
    checkBaseDn(*ldap, connection, report);
    HRESULT infoResult = S_OK;
    return LdapPool::instance().serverInfo(*ldap, &infoResult);
}

void checkWorkbooks(Database &db, const LdapSchema *schema, CheckReport &report)
{
    for (const RegisteredWorkbook &workbook : loadWorkbooks(db)) {
        const QString name = QStringLiteral("Workbook %1 opens").arg(workbook.id);
        WorkbookColumns columns = usedColumns(workbook.filename);
        report.add(name, columns.opened, columns.opened ? workbook.filename : columns.failure);
        for (const BoundColumn &bound : boundColumns(db, workbook.id)) {
            const QString columnName = QStringLiteral("Workbook %1 column %2 (%3) exists")
                                           .arg(workbook.id)
                                           .arg(bound.column)
                                           .arg(bound.column >= 1 ? QStringLiteral("?") : QString());
            if (!columns.opened)
                report.skip(columnName, QStringLiteral("the workbook does not open"));
            else
                report.add(columnName, bound.column >= 1 && bound.column <= columns.last,
                           QStringLiteral("The sheet uses columns 1 to %1.").arg(columns.last));
            Q_UNUSED(schema);
        }
    }
}

} // namespace

QList<CheckLine> CheckConfiguration(Database &db, const Settings &settings,
                                    const DirectoryConnection &connection, const CheckSink &each)
{
    Q_UNUSED(settings);
    CheckReport report(each);
    const std::shared_ptr<const ServerInfo> info = checkDirectory(connection, report);
    checkWorkbooks(db, info ? &info->schema : nullptr, report);
    return report.lines();
}

bool allChecksPassed(const QList<CheckLine> &lines)
{
    for (const CheckLine &line : lines)
        if (!line.passed && !line.skipped)
            return false;
    return true;
}

} // namespace orvane
