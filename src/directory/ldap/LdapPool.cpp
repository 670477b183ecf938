#include "directory/ldap/LdapPool.h"

#include "automation/com/HResult.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/ServerList.h"

#include <QCryptographicHash>
#include <ldap.h>

namespace orvane
{

namespace
{

constexpr size_t kMaxIdlePerKey = 4;
constexpr HRESULT kServerDown = hresult(0x8007203A);

std::string serverKey(const ServerAddress &server)
{
    return (server.host.toLower() + QLatin1Char(':') + QString::number(server.port)).toStdString();
}

// The pool never keeps a password: connections are told apart by a digest.
std::string connectionKey(const ServerAddress &server, const Credentials &credentials)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(credentials.user.toUtf8());
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(credentials.password.toUtf8());
    return serverKey(server) + '/' + hash.result().toHex().toStdString();
}

} // namespace

QStringList ServerInfo::searchBases() const
{
    QStringList bases;
    if (!rootDse.defaultNamingContext.isEmpty())
        bases << rootDse.defaultNamingContext;
    for (const QString &nc : rootDse.namingContexts)
        if (nc.compare(rootDse.defaultNamingContext, Qt::CaseInsensitive) != 0)
            bases << nc;
    return bases;
}

LdapLease::LdapLease(LdapLease &&other) noexcept
    : pool_(other.pool_), key_(std::move(other.key_)), connection_(std::move(other.connection_)),
      reused_(other.reused_)
{
    other.pool_ = nullptr;
}

LdapLease &LdapLease::operator=(LdapLease &&other) noexcept
{
    if (this != &other) {
        if (pool_ && connection_)
            pool_->giveBack(key_, std::move(connection_));
        pool_ = std::exchange(other.pool_, nullptr);
        key_ = std::move(other.key_);
        connection_ = std::move(other.connection_);
        reused_ = other.reused_;
    }
    return *this;
}

LdapLease::~LdapLease()
{
    if (pool_ && connection_)
        pool_->giveBack(key_, std::move(connection_));
}

void LdapLease::discard()
{
    connection_.reset();
}

LdapPool &LdapPool::instance()
{
    static LdapPool pool;
    return pool;
}

void LdapPool::reapLocked(std::chrono::steady_clock::time_point now,
                          std::vector<std::unique_ptr<LdapConnection>> *closed)
{
    for (auto it = idle_.begin(); it != idle_.end();) {
        if (now - it->since >= idleTimeout_) {
            closed->push_back(std::move(it->connection));
            it = idle_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = infos_.begin(); it != infos_.end();)
        it = now - it->second.used >= idleTimeout_ ? infos_.erase(it) : it + 1;
}

bool LdapPool::takeIdle(const std::string &key, LdapLease *lease)
{
    std::vector<std::unique_ptr<LdapConnection>> closed; // unbound outside the lock
    std::lock_guard lock(mutex_);
    reapLocked(std::chrono::steady_clock::now(), &closed);
    // The most recently returned connection first: the likeliest to be alive.
    for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
        if (it->key == key) {
            LdapLease l;
            l.pool_ = this;
            l.key_ = key;
            l.connection_ = std::move(it->connection);
            l.reused_ = true;
            idle_.erase(std::next(it).base());
            *lease = std::move(l);
            return true;
        }
    }
    return false;
}

bool LdapPool::lendIdle(const std::string &key, LdapLease *lease)
{
    if (takeIdle(key, lease))
        return true;
    *lease = LdapLease();
    return false;
}

std::string LdapPool::keyOf(const ServerAddress &server, const Credentials &credentials)
{
    return connectionKey(server, credentials);
}

HRESULT LdapPool::acquire(const ServerAddress &server, const Credentials &credentials, LdapLease *lease)
{
    return acquire(connectionKey(server, credentials), server, credentials, lease);
}

HRESULT LdapPool::acquire(const std::string &key, const ServerAddress &server, const Credentials &credentials,
                          LdapLease *lease)
{
    if (takeIdle(key, lease))
        return S_OK;
    std::unique_ptr<LdapConnection> connection;
    const HRESULT hr = openConnection(server, credentials, &connection);
    if (FAILED(hr)) {
        *lease = LdapLease();
        return hr;
    }
    LdapLease l;
    l.pool_ = this;
    l.key_ = key;
    l.connection_ = std::move(connection);
    {
        std::lock_guard lock(mutex_);
        ++opened_;
    }
    *lease = std::move(l);
    return S_OK;
}

HRESULT LdapPool::run(const ServerAddress &server, const Credentials &credentials,
                      const std::function<HRESULT(LdapConnection &)> &work)
{
    return run(connectionKey(server, credentials), server, credentials, work);
}

HRESULT LdapPool::run(const std::string &key, const ServerAddress &server, const Credentials &credentials,
                      const std::function<HRESULT(LdapConnection &)> &work)
{
    for (int attempt = 0;; ++attempt) {
        LdapLease lease;
        HRESULT hr = acquire(key, server, credentials, &lease);
        if (FAILED(hr))
            return hr;
        hr = work(*lease.get());
        if (!lease->usable())
            lease.discard();
        if (hr == kServerDown && lease.reused() && attempt == 0)
            continue; // a pooled connection the server had closed
        return hr;
    }
}

HRESULT LdapPool::openConnection(const ServerAddress &server, const Credentials &credentials,
                                 std::unique_ptr<LdapConnection> *out)
{
    if (!namesServerList(server))
        return LdapConnection::open(server, credentials, out);
    QStringList silent;
    for (const ServerAddress &candidate : candidates(server)) {
        QString why;
        if (!serverAnswers(candidate, &why)) {
            silent << serverText(candidate) + QStringLiteral(" (") + why + u')';
            continue;
        }
        // The first server that answers decides: its refusal is the answer, and names it.
        remember(server, candidate);
        return LdapConnection::open(candidate, credentials, out);
    }
    out->reset();
    setDirectoryError({kServerDown, LDAP_SERVER_DOWN,
                       QStringLiteral("No server of the list answers within the connect timeout: ") +
                           silent.join(QStringLiteral(", "))});
    return kServerDown;
}

// The list in its order, the server that answered last moved to the front.
QList<ServerAddress> LdapPool::candidates(const ServerAddress &list)
{
    QList<ServerAddress> servers = serverList(list);
    const std::string key = serverKey(list);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    for (const Answered &a : answered_) {
        if (a.list == key && now - a.when < idleTimeout_ && servers.removeOne(a.server)) {
            servers.prepend(a.server);
            break;
        }
    }
    return servers;
}

void LdapPool::remember(const ServerAddress &list, const ServerAddress &server)
{
    const std::string key = serverKey(list);
    std::lock_guard lock(mutex_);
    std::erase_if(answered_, [&](const Answered &a) { return a.list == key; });
    answered_.push_back({key, server, std::chrono::steady_clock::now()});
}

ServerAddress LdapPool::answeringServer(const ServerAddress &server) const
{
    if (!namesServerList(server))
        return server;
    const std::string key = serverKey(server);
    std::lock_guard lock(mutex_);
    for (const Answered &a : answered_)
        if (a.list == key)
            return a.server;
    return ServerAddress{QString(), server.port};
}

void LdapPool::giveBack(const std::string &key, std::unique_ptr<LdapConnection> connection)
{
    if (!connection || !connection->usable())
        return;
    std::unique_ptr<LdapConnection> surplus;
    std::lock_guard lock(mutex_);
    size_t same = 0;
    for (const Idle &i : idle_)
        same += i.key == key;
    if (same >= kMaxIdlePerKey) {
        surplus = std::move(connection);
        return;
    }
    idle_.push_back({key, std::move(connection), std::chrono::steady_clock::now()});
}

std::shared_ptr<const ServerInfo> LdapPool::serverInfo(LdapConnection &connection, HRESULT *hr)
{
    const std::string key = serverKey(connection.server());
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(mutex_);
        for (auto &[k, info] : infos_) {
            if (k == key) {
                info.used = now;
                *hr = S_OK;
                return info.info;
            }
        }
    }
    auto info = std::make_shared<ServerInfo>();
    *hr = connection.readRootDse(&info->rootDse);
    if (FAILED(*hr))
        return nullptr;
    if (!info->rootDse.subschemaSubentry.isEmpty()) {
        QList<QByteArray> types;
        *hr = connection.readAttributeTypes(info->rootDse.subschemaSubentry, &types);
        if (FAILED(*hr))
            return nullptr;
        info->schema = LdapSchema::fromAttributeTypes(types);
    }
    std::lock_guard lock(mutex_);
    infos_.emplace_back(key, Info{info, now});
    return info;
}

int LdapPool::reap()
{
    std::vector<std::unique_ptr<LdapConnection>> closed;
    std::lock_guard lock(mutex_);
    reapLocked(std::chrono::steady_clock::now(), &closed);
    return static_cast<int>(idle_.size());
}

void LdapPool::clear()
{
    std::vector<Idle> closed;
    std::lock_guard lock(mutex_);
    closed.swap(idle_);
    infos_.clear();
    answered_.clear();
}

int LdapPool::idleCount() const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(idle_.size());
}

long LdapPool::openedCount() const
{
    std::lock_guard lock(mutex_);
    return opened_;
}

void LdapPool::setIdleTimeout(std::chrono::milliseconds timeout)
{
    std::lock_guard lock(mutex_);
    idleTimeout_ = timeout;
}

} // namespace orvane
