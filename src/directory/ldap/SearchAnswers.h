#pragma once
// Answering a bind by GUID that follows a search from what that search just
// returned, so that a user list with one bind per listed user (for its
// account state) costs one search instead of one search per user.
//
// A search whose attributes include objectGUID publishes its records here
// (with userAccountControl fetched as well). A later bind of a GUID path on
// the same thread, to the same server with the same credentials, is answered
// from the newest such record set while it is still open and no directory
// write has happened in the process since; the object then knows only its
// objectGUID and userAccountControl as that search fetched them, and reads
// the whole entry from the directory the first time anything else is asked
// of it. So each answer is what the
// directory held during that search, and a write is never answered from
// stale data.

#include "directory/ldap/LdapConnection.h"

#include <QSet>
#include <memory>

namespace orvane
{

class RecordSetData;
struct ServerInfo;

/// What a published search gives a bind.
struct SearchAnswer {
    LdapEntry entry;                        ///< the DN and the fetched attributes
    QSet<QString> attributes;               ///< lower-case names of the attributes in `entry`
    std::shared_ptr<const ServerInfo> info; ///< the server's schema
};

/// The attributes a search must fetch besides those asked, so that binds
/// can be answered from it (userAccountControl when objectGUID is asked).
QStringList answerAttributes(const QStringList &asked);

/// Publishes the records of a search just made on the calling thread.
void publishSearch(const ServerAddress &server, const Credentials &credentials,
                   std::shared_ptr<const ServerInfo> info, const std::shared_ptr<RecordSetData> &records);

/// Fills `*answer` for the object with `guid` (16 bytes) from the newest
/// usable published search; false when there is none or the GUID is not in it.
bool answerBind(const ServerAddress &server, const Credentials &credentials, QByteArrayView guid,
                SearchAnswer *answer);

/// Makes every published search unusable (called before any directory write).
void forgetSearches();

} // namespace orvane
