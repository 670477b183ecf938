#pragma once
// Several domain controllers behind one server address. The DC server
// option may name more than one server, separated by commas or white space
// ("dc01.corp.example, dc02.corp.example"); the list travels inside the host
// part of every LDAP:// path and query text unchanged, and only the
// connection pool turns it into one server: the first, in the order given,
// that answers within the connect timeout (serverAnswers). A server that
// answers and then refuses the bind or TLS is not passed over: that failure
// is reported, since the next server would most likely refuse the same way.

#include "directory/ldap/LdapConnection.h"

#include <QList>
#include <QString>

namespace orvane
{

/// The servers that `address` names, in order: its host split at commas
/// and white space, each part with its own ":port" when it carries one and
/// `address.port` otherwise ("[v6]" and "[v6]:port" for IPv6). Empty parts
/// are dropped; an empty host gives an empty list.
QList<ServerAddress> serverList(const ServerAddress &address);

/// True when `address` names more than one server.
bool namesServerList(const ServerAddress &address);

/// "host:port" as the program writes a server ("[v6]:port" for IPv6).
QString serverText(const ServerAddress &server);

/// Whether `server` answers within the connect timeout: it accepts a TCP
/// connection and, except on an LDAPS port (where TLS comes first and its
/// failure is the connection's to report), answers an anonymous read of the
/// root DSE in time, with data or a refusal alike. On failure `*why` (when
/// given) says what libldap reported.
bool serverAnswers(const ServerAddress &server, QString *why = nullptr);

} // namespace orvane
