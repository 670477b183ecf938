#pragma once
// The libldap handle set-up that every connection shares, for directory code
// that looks at one step of a connection on its own (the TCP connect, the TLS
// handshake) without binding: the same address form, options and trust text.

#include <QByteArray>
#include <QString>

struct ldap;

namespace orvane
{

struct ServerAddress;

/// True for the ports on which connections speak LDAPS from the first byte (636, 3269).
bool usesLdaps(int port);

/// "ldap://host:port" or "ldaps://host:port", an IPv6 host in brackets.
QByteArray ldapUri(const ServerAddress &server, bool ldaps);

/// A new, not yet connected handle for `server` with the options of every
/// connection (LDAPv3, no referrals, the directory timeouts); null on failure
/// with libldap's code in `*rc`.
ldap *newHandle(const ServerAddress &server, bool ldaps, int *rc);

/// The sentence naming the host the server's certificate is checked against
/// and the CA file with where it comes from (or the system's trust store).
QString tlsTrustText(ldap *ld, const QString &host);

} // namespace orvane
