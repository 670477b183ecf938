#include "plan/ConfigurationCheck.h"

#include "automation/com/HResult.h"
#include "directory/ConnectionProbe.h"
#include "directory/FailureReason.h"
#include "directory/OperationMessages.h"
#include "directory/ldap/DirectoryPaths.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/LdapHandle.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/ServerList.h"
#include "workbook/Registration.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/WorkbookColumns.h"
#include "workbook/WorkbookLookup.h"

#include <QSet>
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

// As connections do: no user name and no password mean the logged-on user's ticket.
bool bindsByKerberos(const DirectoryConnection &connection)
{
    return credentialsOf(connection).current();
}

QString bindName(const DirectoryConnection &connection)
{
    return bindsByKerberos(connection) ? QStringLiteral("Bind by Kerberos (current credentials)")
                                       : QStringLiteral("Bind as ") + connection.userName;
}

QString baseDnName(const DirectoryConnection &connection)
{
    return QStringLiteral("Base DN ") + connection.baseDn + QStringLiteral(" found");
}

const QString kReachable = QStringLiteral("Server reachable");
const QString kTls = QStringLiteral("TLS established");

// The directory lines after `failed`, each reported skipped because of `why`.
void skipDirectoryAfter(const QString &failed, const DirectoryConnection &connection, const QString &why,
                        CheckReport &report)
{
    const QStringList order{kReachable, kTls, bindName(connection), baseDnName(connection)};
    for (qsizetype i = order.indexOf(failed) + 1; i < order.size(); ++i)
        report.skip(order[i], why);
}

bool checkReachable(const DirectoryConnection &connection, ServerAddress *server, CheckReport &report)
{
    DirectoryPath path;
    if (!parseDirectoryPath(QStringLiteral("LDAP://") + connection.serverAddress, &path) ||
        path.host.isEmpty())
        return report.add(
            kReachable, false,
            QStringLiteral("Not a server address (host:port): \"%1\"").arg(connection.serverAddress));
    // One line per domain controller of a list; the first that answers is checked further.
    bool answered = false;
    for (const ServerAddress &candidate : serverList({path.host, path.port})) {
        const ProbeResult probe = probeReachable(candidate);
        if (report.add(kReachable, probe.passed, probe.detail) && !answered) {
            *server = candidate;
            answered = true;
        }
    }
    return answered;
}

// Stored credentials always travel inside TLS; a Kerberos bind uses it only on an LDAPS port.
bool checkTls(const DirectoryConnection &connection, const ServerAddress &server, CheckReport &report)
{
    if (bindsByKerberos(connection) && !usesLdaps(server.port))
        return report.add(kTls, true,
                          QStringLiteral("Not used on port %1: the Kerberos bind (SASL GSSAPI) protects the "
                                         "connection itself.")
                              .arg(server.port));
    const ProbeResult probe = probeTls(server);
    // A failure leads with the one-line reason that a failed search shows too.
    return report.add(kTls, probe.passed,
                      probe.passed ? probe.detail : tlsFailureReason(server) + QStringLiteral(". ") + probe.detail);
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

// The directory's attribute names, or why they are not known.
struct SchemaView {
    std::shared_ptr<const ServerInfo> info;
    QString missing; ///< why there is no schema to check against
    bool readable() const { return info && info->schema.size() > 0; }
};

// Server, TLS, bind and base DN, each needing the one before; the bound
// connection then reads the schema.
SchemaView checkDirectory(const DirectoryConnection &connection, CheckReport &report)
{
    ServerAddress server;
    if (!checkReachable(connection, &server, report)) {
        skipDirectoryAfter(kReachable, connection, QStringLiteral("the server is not reachable"), report);
        return {nullptr, QStringLiteral("the server is not reachable")};
    }
    if (!checkTls(connection, server, report)) {
        skipDirectoryAfter(kTls, connection, QStringLiteral("TLS is not established"), report);
        return {nullptr, QStringLiteral("TLS is not established")};
    }
    clearDirectoryError();
    std::unique_ptr<LdapConnection> ldap;
    const HRESULT hr = LdapConnection::open(server, credentialsOf(connection), &ldap);
    const auto bindFailure = [&] {
        const DirectoryFailure failure{hr, QString(), lastDirectoryError().text, QString()};
        return failureReason(failure, connection) + QStringLiteral(" (") + directoryReason(hr) + u')';
    };
    if (!report.add(bindName(connection), SUCCEEDED(hr),
                    SUCCEEDED(hr) ? QStringLiteral("The server accepted the bind.") : bindFailure())) {
        skipDirectoryAfter(bindName(connection), connection, QStringLiteral("the bind failed"), report);
        return {nullptr, QStringLiteral("the bind failed")};
    }
    checkBaseDn(*ldap, connection, report);
    HRESULT infoResult = S_OK;
    SchemaView schema{LdapPool::instance().serverInfo(*ldap, &infoResult), QString()};
    if (!schema.readable())
        schema.missing = QStringLiteral("the directory's schema could not be read");
    return schema;
}

QString columnText(const WorkbookBinding &bound, bool within, int last)
{
    const QString attribute = bound.inCatalogue ? bound.attribute : QString::number(bound.attributeId);
    if (last < 1)
        return QStringLiteral("Bound to %1, but the sheet is empty.").arg(attribute);
    return QStringLiteral("Bound to %1; the sheet uses columns A to %2 (%3)%4.")
        .arg(attribute, ColumnLetters(last))
        .arg(last)
        .arg(within ? QString() : QStringLiteral(", so this column is beyond them"));
}

// One line per binding of an opened (or unopened) workbook.
void checkColumns(const RegisteredWorkbook &workbook, const WorkbookColumns &columns,
                  const QList<WorkbookBinding> &bindings, CheckReport &report)
{
    for (const WorkbookBinding &bound : bindings) {
        const QString name = QStringLiteral("Workbook %1 column %2 (%3) exists")
                                 .arg(workbook.id)
                                 .arg(bound.column)
                                 .arg(ColumnLetters(bound.column));
        const bool within = bound.column >= 1 && bound.column <= columns.last;
        if (!columns.opened)
            report.skip(name, QStringLiteral("the workbook does not open"));
        else
            report.add(name, within, columnText(bound, within, columns.last));
    }
}

// A bound attribute: where it is bound first, and its catalogue row.
struct UsedAttribute {
    WorkbookBinding binding;
    long long fileId = 0;
};

QList<UsedAttribute> checkWorkbooks(Database &db, CheckReport &report)
{
    QList<UsedAttribute> used;
    QSet<long long> seen;
    for (const RegisteredWorkbook &workbook : loadWorkbooks(db)) {
        const WorkbookColumns columns = usedColumns(workbook.filename);
        report.add(QStringLiteral("Workbook %1 opens").arg(workbook.id), columns.opened,
                   columns.opened ? workbook.filename : columns.failure);
        const QList<WorkbookBinding> bindings =
            loadWorkbookBindings(db, BindingStatement::CheckedBindings, workbook.id);
        checkColumns(workbook, columns, bindings, report);
        for (const WorkbookBinding &bound : bindings)
            if (!seen.contains(bound.attributeId)) {
                seen.insert(bound.attributeId);
                used.append({bound, workbook.id});
            }
    }
    return used;
}

void checkAttribute(const UsedAttribute &used, const SchemaView &schema, CheckReport &report)
{
    const WorkbookBinding &b = used.binding;
    const QString where = QStringLiteral("bound to workbook %1 column %2").arg(used.fileId).arg(b.column);
    if (!b.inCatalogue) {
        report.add(QStringLiteral("Attribute %1 exists").arg(b.attributeId), false,
                   QStringLiteral("No attribute with id %1 in the attribute catalogue (%2).")
                       .arg(b.attributeId)
                       .arg(where));
        return;
    }
    const QString name = QStringLiteral("Attribute %1 exists").arg(b.attribute);
    if (!schema.info) {
        report.skip(
            name,
            QStringLiteral("in the attribute catalogue as \"%1\"; %2, so the directory's schema was not read")
                .arg(b.fld, schema.missing));
        return;
    }
    if (!schema.readable()) {
        report.add(name, true,
                   QStringLiteral("In the attribute catalogue as \"%1\"; %2.").arg(b.fld, schema.missing));
        return;
    }
    const bool known = schema.info->schema.find(b.attribute) != nullptr;
    report.add(
        name, known,
        known
            ? QStringLiteral("In the attribute catalogue as \"%1\" and in the directory's schema.").arg(b.fld)
            : QStringLiteral("In the attribute catalogue as \"%1\" but not in the directory's schema (%2).")
                  .arg(b.fld, where));
}

} // namespace

QList<CheckLine> CheckConfiguration(Database &db, const Settings &settings,
                                    const DirectoryConnection &connection, const CheckSink &each)
{
    Q_UNUSED(settings); // the connection carries what the directory needs; the rest lives in `db`
    CheckReport report(each);
    const SchemaView schema = checkDirectory(connection, report);
    for (const UsedAttribute &used : checkWorkbooks(db, report))
        checkAttribute(used, schema, report);
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
