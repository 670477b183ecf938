#pragma once
// Why TLS with a server does not come up, for a one-line reason where a
// connection failed. libldap reports a refused certificate only as "Connect
// error", so the handshake is repeated with no certificate check at all and
// the certificate the server then presents is looked at on its own: whether
// it names the host (as libldap checks it) and whether the CA file libldap
// trusts signed it.

#include <QString>

namespace orvane
{

struct ServerAddress;

enum class TlsProblem {
    None,         ///< the handshake succeeds now, certificate checks included
    NoTls,        ///< the server does not establish TLS even without checks
    NameMismatch, ///< the certificate does not name the host
    Untrusted,    ///< the certificate is not signed by a trusted CA
    Unknown,      ///< the certificate looks sound, yet the checked handshake fails
};

struct TlsDiagnosis {
    TlsProblem problem = TlsProblem::Unknown;
    QString why;         ///< libldap's words for NoTls ("" otherwise)
    QString checkedName; ///< the name libldap checks the certificate against
    QString trust;       ///< "CA file <path>", or "the system's trust store" when none is configured
};

/// Connects to `server` as connections do (LDAPS on 636 and 3269, StartTLS
/// elsewhere) and finds out what stands in the way of TLS. Binds nothing.
TlsDiagnosis diagnoseTls(const ServerAddress &server);

/// The name libldap checks a certificate against for `host`: the host
/// itself, except that "localhost" stands for this computer's own name.
QString certificateNameFor(const QString &host);

} // namespace orvane
