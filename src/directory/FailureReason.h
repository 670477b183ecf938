#pragma once
// Why a directory operation found nothing, in one line an administrator can
// act on: "the server refused the bind: invalid credentials", "cannot reach
// srv01:389", "TLS failed: the certificate does not name srv01 (CA file ...)".
// Every place that shows an empty result of a failed search (the status bar
// after Find, Review all, the export window's count, orvane-sync) and the
// configuration check say it in these words.

#include <QString>

namespace orvane
{

struct DirectoryConnection;
struct DirectoryFailure;
struct ServerAddress;

/// The one-line reason of `failure` of an operation on `connection`; "" when
/// nothing failed. A TLS failure is looked into again (TlsDiagnosis) to say
/// which check refused the certificate; everything else reads from the
/// failure itself. Runs on any thread.
QString failureReason(const DirectoryFailure &failure, const DirectoryConnection &connection);

/// "TLS failed: " + what stands in the way of TLS with `server` (its
/// certificate's name, its CA, or the server's own refusal).
QString tlsFailureReason(const ServerAddress &server);

/// `count` + " — " + `reason`, or `count` alone when the reason is "".
QString withFailureReason(const QString &count, const QString &reason);

} // namespace orvane
