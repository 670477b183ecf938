#include "directory/ldap/ServerList.h"

#include "directory/ldap/LdapHandle.h"

#include <QRegularExpression>
#include <ldap.h>

namespace orvane
{

namespace
{

// One part of the list: "host", "host:port", "[v6]" or "[v6]:port"; a bare
// IPv6 address (more than one colon) is a host without a port.
ServerAddress serverOf(const QString &part, int defaultPort)
{
    ServerAddress server{part, defaultPort};
    const int colon = part.lastIndexOf(QLatin1Char(':'));
    const bool bracketed = part.startsWith(QLatin1Char('['));
    if (colon > 0 && (bracketed ? part.at(colon - 1) == QLatin1Char(']') : part.count(QLatin1Char(':')) == 1)) {
        bool ok = false;
        const int port = part.mid(colon + 1).toInt(&ok);
        if (ok && port > 0 && port <= 65535) {
            server.host = part.left(colon);
            server.port = port;
        }
    }
    if (server.host.startsWith(QLatin1Char('[')) && server.host.endsWith(QLatin1Char(']')))
        server.host = server.host.mid(1, server.host.size() - 2);
    return server;
}

} // namespace

QList<ServerAddress> serverList(const ServerAddress &address)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QList<ServerAddress> servers;
    for (const QString &part : address.host.split(separators, Qt::SkipEmptyParts))
        servers.append(serverOf(part, address.port));
    return servers;
}

bool namesServerList(const ServerAddress &address)
{
    for (const QChar c : address.host)
        if (c == QLatin1Char(',') || c.isSpace())
            return serverList(address).size() > 1;
    return false;
}

QString serverText(const ServerAddress &server)
{
    const bool v6 = server.host.contains(QLatin1Char(':'));
    return (v6 ? QLatin1Char('[') + server.host + QLatin1Char(']') : server.host) + QLatin1Char(':') +
           QString::number(server.port);
}

bool serverAnswers(const ServerAddress &server, QString *why)
{
    int rc = LDAP_SUCCESS;
    LDAP *ld = newHandle(server, false, &rc); // no TLS and no bind: those failures belong to the connection
    if (ld)
        rc = ldap_connect(ld);
    if (ld && rc == LDAP_SUCCESS && !usesLdaps(server.port)) {
        // A hung server still accepts the TCP connection: it must also answer one request in time.
        // Any answer counts, a refusal of anonymous reads included.
        const int ms = directoryTimeouts().connectMs;
        timeval limit{ms / 1000, (ms % 1000) * 1000};
        char noAttributes[] = "1.1";
        char *attributes[] = {noAttributes, nullptr};
        LDAPMessage *result = nullptr;
        rc = ldap_search_ext_s(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0, nullptr, nullptr,
                               &limit, 1, &result);
        ldap_msgfree(result);
        if (rc != LDAP_SERVER_DOWN && rc != LDAP_TIMEOUT && rc != LDAP_CONNECT_ERROR)
            rc = LDAP_SUCCESS;
    }
    if (rc != LDAP_SUCCESS && why)
        *why = QString::fromUtf8(ldap_err2string(rc));
    if (ld)
        ldap_unbind_ext_s(ld, nullptr, nullptr);
    return rc == LDAP_SUCCESS;
}

} // namespace orvane
