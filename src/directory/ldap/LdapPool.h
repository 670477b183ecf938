#pragma once
// The process's pool of authenticated directory connections, keyed by server
// and credentials, so that a user search followed by one bind per listed user
// costs one connection rather than thousands of connects, TLS handshakes and
// binds. A connection is lent to one caller at a time and comes back when
// the lease ends; idle connections are closed after the idle timeout (checked
// whenever the pool is used). Per server, the pool also keeps what the root
// DSE and the schema say, read once through the first connection.
//
// Thread-safe: the user-interface thread and a worker thread may use it at
// once; each gets its own connection.

#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapSchema.h"

#include <chrono>
#include <memory>
#include <mutex>

namespace orvane
{

/// Root DSE and schema of one server.
struct ServerInfo {
    RootDse rootDse;
    LdapSchema schema;
    /// The naming contexts to search for an object, the default one first.
    QStringList searchBases() const;
};

class LdapPool;

/// A connection on loan from the pool; returned when the lease is destroyed
/// (or dropped when it broke).
class LdapLease
{
  public:
    LdapLease() = default;
    LdapLease(LdapLease &&other) noexcept;
    LdapLease &operator=(LdapLease &&other) noexcept;
    ~LdapLease();

    LdapConnection *operator->() const { return connection_.get(); }
    LdapConnection *get() const { return connection_.get(); }
    explicit operator bool() const { return connection_ != nullptr; }
    /// True when the connection had been used before (it may have gone stale).
    bool reused() const { return reused_; }
    /// Closes the connection instead of returning it.
    void discard();

  private:
    friend class LdapPool;
    LdapPool *pool_ = nullptr;
    std::string key_;
    std::unique_ptr<LdapConnection> connection_;
    bool reused_ = false;
};

class LdapPool
{
  public:
    /// The process's pool.
    static LdapPool &instance();

    /// Lends a connection to `server` bound with `credentials`: an idle one
    /// when there is one, else a new one (LdapConnection::open, whose HRESULT
    /// is returned on failure, `*lease` then empty). When `server` names a
    /// list of servers (ServerList.h), a new connection goes to the first
    /// that answers, trying the one that answered last before the others;
    /// 0x8007203A (server down) naming every server when none answers.
    HRESULT acquire(const ServerAddress &server, const Credentials &credentials, LdapLease *lease);

    /// Lends an idle connection of `key` (keyOf a server and credentials),
    /// never opening one: false (and `*lease` empty) when none is idle.
    bool lendIdle(const std::string &key, LdapLease *lease);

    /// Runs `work` on a connection for `server` and `credentials`. When a
    /// reused connection turns out to be gone (the server closed it), the
    /// work is run once more on a fresh connection. Returns `work`'s result.
    HRESULT run(const ServerAddress &server, const Credentials &credentials,
                const std::function<HRESULT(LdapConnection &)> &work);
    /// run() for a caller that keeps `key`, keyOf(server, credentials), so
    /// that each request does not digest the credentials again.
    HRESULT run(const std::string &key, const ServerAddress &server, const Credentials &credentials,
                const std::function<HRESULT(LdapConnection &)> &work);

    /// The name the pool gives connections to `server` bound with
    /// `credentials` (a digest: it holds no password).
    static std::string keyOf(const ServerAddress &server, const Credentials &credentials);

    /// Root DSE and schema of the server of `connection`, read through it on
    /// first need and kept for the process (refreshed after the idle timeout
    /// when nothing used them). Null on failure, with the HRESULT in `*hr`.
    std::shared_ptr<const ServerInfo> serverInfo(LdapConnection &connection, HRESULT *hr);

    /// The server that last answered for `server` (the address itself when it
    /// names one server), whether its bind then succeeded or not; an empty
    /// host when no server of the list has answered since the pool was cleared. Answers are preferred by new
    /// connections for the idle timeout only, so a server that comes back is
    /// used again in its turn.
    ServerAddress answeringServer(const ServerAddress &server) const;

    /// Closes idle connections older than the timeout; returns how many remain idle.
    int reap();
    /// Closes every idle connection and forgets the server information.
    void clear();
    /// Number of idle connections.
    int idleCount() const;
    /// Number of connections opened since start (for tests and the benchmark).
    long openedCount() const;
    void setIdleTimeout(std::chrono::milliseconds timeout);

  private:
    friend class LdapLease;
    struct Idle {
        std::string key;
        std::unique_ptr<LdapConnection> connection;
        std::chrono::steady_clock::time_point since;
    };
    struct Info {
        std::shared_ptr<const ServerInfo> info;
        std::chrono::steady_clock::time_point used;
    };
    struct Answered {
        std::string list;
        ServerAddress server;
        std::chrono::steady_clock::time_point when;
    };
    bool takeIdle(const std::string &key, LdapLease *lease);
    HRESULT acquire(const std::string &key, const ServerAddress &server, const Credentials &credentials,
                    LdapLease *lease);
    HRESULT openConnection(const ServerAddress &server, const Credentials &credentials,
                           std::unique_ptr<LdapConnection> *out);
    QList<ServerAddress> candidates(const ServerAddress &list);
    void remember(const ServerAddress &list, const ServerAddress &server);
    void giveBack(const std::string &key, std::unique_ptr<LdapConnection> connection);
    void reapLocked(std::chrono::steady_clock::time_point now,
                    std::vector<std::unique_ptr<LdapConnection>> *closed);

    mutable std::mutex mutex_;
    std::vector<Idle> idle_;
    std::vector<std::pair<std::string, Info>> infos_;
    std::vector<Answered> answered_;
    std::chrono::milliseconds idleTimeout_{30000};
    long opened_ = 0;
};

} // namespace orvane
