#include "directory/FailureReason.h"

#include "automation/com/HResult.h"
#include "directory/ConnectionProbe.h"
#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"
#include "directory/TlsDiagnosis.h"
#include "directory/ldap/DirectoryPaths.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapHandle.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/ServerList.h"

namespace orvane
{

namespace
{

// Win32 errors behind the directory's HRESULTs (LdapErrors.cpp maps LDAP codes to them).
enum : std::uint32_t {
    kConnectionRefused = 1225,
    kLogonFailure = 1326,
    kTimeout = 1460,
    kConfidentialityRequired = 8237,
    kNoSuchObject = 8240,
    kServerDown = 8250,
};

bool is(HRESULT code, std::uint32_t win32)
{
    return code == HRESULT_FROM_WIN32(win32);
}

QString oneLine(const QString &text)
{
    return text.simplified();
}

bool serverOf(const DirectoryConnection &connection, ServerAddress *server)
{
    DirectoryPath path;
    if (!parseDirectoryPath(QStringLiteral("LDAP://") + connection.serverAddress, &path) || path.host.isEmpty())
        return false;
    *server = {path.host, path.port};
    if (namesServerList(*server)) { // of a list of domain controllers: the one that answered, else the first
        const ServerAddress answered = LdapPool::instance().answeringServer(*server);
        *server = answered.host.isEmpty() ? serverList(*server).value(0) : answered;
    }
    return true;
}

QString bindReason(const DirectoryFailure &failure, const DirectoryConnection &connection)
{
    const QString kerberos = QStringLiteral("Kerberos (GSSAPI) bind failed: ");
    if (failure.diagnostic.startsWith(kerberos))
        return QStringLiteral("the Kerberos bind failed: ") + oneLine(failure.diagnostic.mid(kerberos.size()));
    if (failure.diagnostic.startsWith(QLatin1String("A user name without a password")))
        return QStringLiteral("no password is set for ") + connection.userName;
    return QStringLiteral("the server refused the bind: invalid credentials");
}

QString unreachableReason(const DirectoryFailure &failure, const DirectoryConnection &connection)
{
    if (failure.diagnostic == QLatin1String("No server name given."))
        return QStringLiteral("no server is set");
    ServerAddress server;
    // A refused certificate ends an LDAPS connect as "server down" too: a
    // port that accepts TCP connections is reached, and TLS is what failed.
    if (serverOf(connection, &server) && usesLdaps(server.port) && probeReachable(server).passed)
        return tlsFailureReason(server);
    return QStringLiteral("cannot reach ") + connection.serverAddress;
}

} // namespace

QString tlsFailureReason(const ServerAddress &server)
{
    const TlsDiagnosis d = diagnoseTls(server);
    const QString head = QStringLiteral("TLS failed: ");
    switch (d.problem) {
    case TlsProblem::NoTls:
        return head + QStringLiteral("the server does not establish TLS (%1)").arg(oneLine(d.why));
    case TlsProblem::NameMismatch:
        if (d.checkedName != server.host)
            return head + QStringLiteral("the certificate does not name %1 (checked as this computer's name, "
                                         "%2; %3)")
                              .arg(server.host, d.checkedName, d.trust);
        return head + QStringLiteral("the certificate does not name %1 (%2)").arg(server.host, d.trust);
    case TlsProblem::Untrusted:
        return head + QStringLiteral("the certificate is not signed by a trusted CA (%1)").arg(d.trust);
    case TlsProblem::None:
    case TlsProblem::Unknown:
        break;
    }
    return head + QStringLiteral("the handshake with %1 did not succeed (%2)").arg(server.host, d.trust);
}

QString failureReason(const DirectoryFailure &failure, const DirectoryConnection &connection)
{
    if (!failure.failed())
        return QString();
    // An empty address fails before any connection, with whatever error the provider gives.
    if (connection.serverAddress.trimmed().isEmpty())
        return QStringLiteral("no server is set");
    const HRESULT code = failure.code;
    if (is(code, kLogonFailure))
        return bindReason(failure, connection);
    if (is(code, kServerDown) || is(code, kConnectionRefused) || is(code, kTimeout))
        return unreachableReason(failure, connection);
    if (is(code, kConfidentialityRequired)) {
        ServerAddress server;
        if (serverOf(connection, &server))
            return tlsFailureReason(server);
    }
    if (is(code, kNoSuchObject))
        return QStringLiteral("the base DN %1 was not found").arg(connection.baseDn);
    const QString reason = oneLine(failure.reason());
    return reason.isEmpty() ? codeText(code) : codeText(code) + u' ' + reason;
}

QString withFailureReason(const QString &count, const QString &reason)
{
    return reason.isEmpty() ? count : count + QStringLiteral(" — ") + reason;
}

} // namespace orvane
