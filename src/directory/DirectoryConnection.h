#pragma once
// The connection fields every directory operation is given, copied from
// Settings so that an operation (or a worker thread) holds its own copy and
// never reads the shared Settings while it runs.
//
// Contract: an operation takes a DirectoryConnection by const reference and
// uses serverAddress ("host:port"), baseDn (searches only), and either the
// logged-on user's ticket (useCurrentCredentials 1) or userName/password.

#include <QString>

namespace orvane
{

struct Settings;

struct DirectoryConnection {
    QString serverAddress;         ///< "host:port", used as typed
    QString baseDn;                ///< used as typed
    int useCurrentCredentials = 0; ///< 1: Kerberos ticket of the logged-on user
    QString userName;
    QString password; ///< plain text in memory
};

/// The connection fields of `settings`.
DirectoryConnection connectionFromSettings(const Settings &settings);

} // namespace orvane
