#pragma once
// Finding the directory's users through the ADO directory provider, with the
// command strings the program always sends:
// - AdoSearch: the shared "open an ADO search" sequence (connection, command,
//   Execute, RecordCount) and its close; the export walks recordSet() itself.
// - SearchUsers: the user list of the Find button, filling an ObjectTable or
//   handing each user to a sink as the walk reaches it (a plan of a million
//   users then holds its changes, not the users).
// - CountUsers: the export window's count, runnable on a worker thread.
//
// Every value put into a command string goes through quoteArgument; the
// search prefix is also escaped for LDAP filters (RFC 4515), so "(", "*",
// "\" and "'" are searched for as themselves. Nothing here shows a message:
// failures are silent by design and come back as a DirectoryFailure so that
// the window can show "0 objects" and say why.

#include "directory/DirectoryConnection.h"
#include "directory/DomainExclusion.h"
#include "directory/OperationMessages.h"
#include "directory/ObjectTable.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace orvane
{

struct AutomationObject;
class Database;

inline constexpr int kUserListPageSize = 100;
inline constexpr int kUserCountPageSize = 1000;
/// Filter and attributes of the count; the export searches with the same.
inline const QString kUserCountFilter = QStringLiteral("(objectCategory=User)");
inline const QString kUserCountAttributes = QStringLiteral("sAMAccountName,distinguishedName");

/// "<LDAP://" + server + "/" + base DN + ">;" + filter + ";" + attributes + ";subtree".
QString adoQueryText(const QString &serverAddress, const QString &baseDn, const QString &filter,
                     const QString &attributes);

/// `value` escaped for an LDAP filter assertion (RFC 4515: "*", "(", ")",
/// "\" and NUL as "\xx").
QString escapeFilterValue(const QString &value);

/// "(&(objectCategory=person)(objectClass=user)(" + pick + "=" + escaped prefix + "*))".
QString userListFilter(const QString &pickAttribute, const QString &prefix);

/// An open ADO search. open() runs the shared sequence; on success the record
/// set is positioned on the first of recordCount() records. close() (also run
/// by the destructor) sends "Close" to the record set and releases the record
/// set, the command and the connection.
class AdoSearch
{
  public:
    AdoSearch() = default;
    ~AdoSearch();
    AdoSearch(const AdoSearch &) = delete;
    AdoSearch &operator=(const AdoSearch &) = delete;

    /// Runs the sequence with `queryText`, the page size and, when
    /// `sendSearchScope`, "Properties('searchscope') = 1". True when a record
    /// set was obtained; false with failure() set otherwise (nothing left open).
    bool open(const DirectoryConnection &connection, const QString &queryText, int pageSize,
              bool sendSearchScope);
    /// The walked record set (owned by this search); null before a successful open.
    AutomationObject *recordSet() const { return recordSet_; }
    /// RecordCount read right after Execute().
    long recordCount() const { return recordCount_; }
    /// Sends "MoveNext" (its result is not tested).
    void moveNext();
    void close();
    const DirectoryFailure &failure() const { return failure_; }

  private:
    AutomationObject *connection_ = nullptr;
    AutomationObject *command_ = nullptr;
    AutomationObject *recordSet_ = nullptr;
    long recordCount_ = 0;
    DirectoryFailure failure_;
};

/// The pick and display attribute names of the object list (options
/// `selectobjby` and `displayobjby`); empty when the option has no attribute.
struct ObjectListAttributes {
    QString pick;
    QString display;
};
ObjectListAttributes objectListAttributes(Database &db);

/// Called after every visited record with the records visited and the total,
/// so that a window can show progress and keep painting.
using SearchProgress = std::function<void(long visited, long total)>;

struct SearchOutcome {
    int count = 0;                 ///< entries appended to the table
    DirectoryFailure failure;      ///< why nothing was found (code 0 when the search ran)
    DirectoryFailure stateFailure; ///< the first account-state read that failed (listed as enabled)
};

/// Whether SearchUsers reads each listed user's account state: the window
/// shows it, a plan compares attribute values only and leaves it unread.
enum class AccountStates { Read, Skip };

/// Receives each accepted entry as the walk reaches it. The entry is the
/// walk's own and is refilled for the next user: a sink keeps what it needs
/// (it may move the entry away).
using UserSink = std::function<void(ObjectEntry &entry)>;

/// Hands to `sink`, in directory order, the users whose `pickAttribute`
/// begins with `prefix`, read as the table form below reads them; `count` is
/// the number handed over. When `onlyValues` (lower-case attribute names) is
/// not empty, only those catalogue values are read into each entry's values:
/// the search still asks for every catalogue attribute, a job that compares
/// a few of them just leaves the others unread.
SearchOutcome SearchUsers(const DirectoryConnection &connection, Database &db, const QString &pickAttribute,
                          const QString &prefix, const QString &displayAttribute, const UserSink &sink,
                          const QString &delimiter, const SearchProgress &progress = {},
                          AccountStates states = AccountStates::Read, const QSet<QString> &onlyValues = {});

/// Appends to `table` the users whose `pickAttribute` begins with `prefix`
/// (every user with the attribute when `prefix` is empty), skipping child
/// domains and records without sAMAccountName; values of every catalogue
/// attribute of `db`, multiple values joined with `delimiter`; account state
/// from ReadAccountDisabled unless `states` is Skip (then every entry reads
/// as enabled). Returns the count appended (0 on any failure, the failure
/// recorded).
SearchOutcome SearchUsers(const DirectoryConnection &connection, Database &db, const QString &pickAttribute,
                          const QString &prefix, const QString &displayAttribute, ObjectTable *table,
                          const QString &delimiter, const SearchProgress &progress = {},
                          AccountStates states = AccountStates::Read);

/// Status texts of the count, as the export window shows them.
inline const QString kCountingText = QStringLiteral("Please wait... looking for objects");
inline const QString kCountReadyText = QStringLiteral("Ready");
inline const QString kCountNoneText = QStringLiteral("Objects not found");

struct CountOutcome {
    int count = 0;
    bool stopped = false;     ///< `stop` ended the walk early
    DirectoryFailure failure; ///< why the search gave nothing
    /// "Ready" when count > 0, else "Objects not found".
    QString statusText() const { return count > 0 ? kCountReadyText : kCountNoneText; }
};

/// Counts the users that the export would write: filter kUserCountFilter,
/// child domains and empty sAMAccountName skipped. `onCount` (may be empty)
/// gets the climbing count after each counted user; `stop` (may be null) is
/// read before each record and ends the walk when true. Safe on a worker
/// thread: it uses only its own automation objects and `connection`.
CountOutcome CountUsers(const DirectoryConnection &connection, const std::function<void(int count)> &onCount,
                        const std::atomic_bool *stop = nullptr);

} // namespace orvane
