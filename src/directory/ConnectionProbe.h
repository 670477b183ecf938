#pragma once
// Single steps of a directory connection, looked at on their own so that a
// configuration check can say which one fails: the server accepting a TCP
// connection, and TLS coming up the way every connection sets it up (LDAPS on
// 636 and 3269, StartTLS on any other port) against the CA libldap trusts.
// Built on the connection's own handle set-up; nothing here binds. Also which
// server of a list of domain controllers the connections went to.

#include <QString>

namespace orvane
{

struct ServerAddress;

/// What one step gave: success, and what was found or why it failed.
struct ProbeResult {
    bool passed = false;
    QString detail;
};

/// Whether `server` accepts a TCP connection within the connect timeout and
/// answers there (serverAnswers), as a server of a list must to be used.
ProbeResult probeReachable(const ServerAddress &server);

/// Whether TLS is established with `server` as connections establish it; the
/// detail names the way (LDAPS or StartTLS), the host the certificate was
/// checked against and the CA file with its source, on success and failure.
ProbeResult probeTls(const ServerAddress &server);

/// The server of the list that `serverAddress` names (the DC server field's
/// "host, host:port") that the last new connection went to, as "host:port";
/// empty when the address names a single server or no server of the list
/// has answered yet.
QString answeringServer(const QString &serverAddress);

} // namespace orvane
