#include "directory/ConnectionProbe.h"

#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/DirectoryPaths.h"
#include "directory/ldap/LdapHandle.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/ServerList.h"

#include <ldap.h>
#include <memory>

namespace orvane
{

namespace
{

struct HandleCloser {
    void operator()(LDAP *ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
using Handle = std::unique_ptr<LDAP, HandleCloser>;

QString failureText(LDAP *ld, int rc)
{
    QString text = QString::fromUtf8(ldap_err2string(rc));
    char *diagnostic = nullptr;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS &&
        diagnostic) {
        if (*diagnostic)
            text += QStringLiteral(": ") + QString::fromUtf8(diagnostic);
        ldap_memfree(diagnostic);
    }
    return text;
}

// Connects a new handle (for LDAPS that includes the TLS handshake).
int connectHandle(const ServerAddress &server, bool ldaps, Handle *out)
{
    int rc = LDAP_SUCCESS;
    out->reset(newHandle(server, ldaps, &rc));
    if (!*out)
        return rc;
    return ldap_connect(out->get());
}

} // namespace

ProbeResult probeReachable(const ServerAddress &server)
{
    const QString where = server.host + QLatin1Char(':') + QString::number(server.port);
    if (server.host.isEmpty())
        return {false, QStringLiteral("No server name given.")};
    Handle ld;
    const int rc = connectHandle(server, false, &ld);
    if (rc != LDAP_SUCCESS)
        return {false,
                QStringLiteral("%1 does not accept connections: %2").arg(where, failureText(ld.get(), rc))};
    QString why;
    if (!serverAnswers(server, &why)) // a hung server: connections, but no answers
        return {false, QStringLiteral("%1 accepts connections but does not answer within the connect timeout: %2")
                           .arg(where, why)};
    return {true, QStringLiteral("%1 accepts connections.").arg(where)};
}

ProbeResult probeTls(const ServerAddress &server)
{
    const bool ldaps = usesLdaps(server.port);
    const QString way = ldaps ? QStringLiteral("LDAPS") : QStringLiteral("StartTLS");
    Handle ld;
    int rc = connectHandle(server, ldaps, &ld);
    if (rc == LDAP_SUCCESS && !ldaps)
        rc = ldap_start_tls_s(ld.get(), nullptr, nullptr);
    const QString trust = ld ? tlsTrustText(ld.get(), server.host) : QString();
    if (rc == LDAP_CONNECT_ERROR) // libldap gives no reason for a failed handshake
        return {false,
                QStringLiteral("%1 failed (%2): the TLS handshake did not succeed, most often because the "
                               "server's certificate is not trusted or does not name the host. %3")
                    .arg(way, failureText(ld.get(), rc), trust)};
    if (rc != LDAP_SUCCESS)
        return {false, QStringLiteral("%1 failed (%2). %3").arg(way, failureText(ld.get(), rc), trust)};
    return {true, QStringLiteral("%1 established. %2").arg(way, trust)};
}

QString answeringServer(const QString &serverAddress)
{
    DirectoryPath path;
    if (!parseDirectoryPath(QStringLiteral("LDAP://") + serverAddress, &path))
        return QString();
    const ServerAddress list{path.host, path.port};
    if (!namesServerList(list))
        return QString();
    const ServerAddress server = LdapPool::instance().answeringServer(list);
    return server.host.isEmpty() ? QString() : serverText(server);
}

} // namespace orvane
