#pragma once
// One authenticated connection to a directory server over libldap.
//
// Security rules, fixed here for every caller:
// - stored credentials (a user name and password) are sent by a simple bind
//   only over TLS: LDAPS on port 636 (and 3269), StartTLS on any other port.
//   A server that offers no TLS, or whose certificate is not trusted, is
//   refused with ERROR_DS_CONFIDENTIALITY_REQUIRED and an explanation; there
//   is no clear-text fallback. TLS trust follows libldap's configuration
//   (ldap.conf, LDAPTLS_CACERT).
// - a user name with an empty password is refused as a logon failure (an LDAP
//   server would otherwise treat it as an anonymous bind and "succeed");
// - current credentials (no user name and no password, as ADSI reads them)
//   bind by SASL GSSAPI with the user's Kerberos ticket.
// - every network wait is bounded: the connect by the network timeout, each
//   request by the operation timeout (directoryTimeouts()).
//
// - SIGPIPE is ignored by the process (unless a handler is installed), so
//   that writing to a connection the server has closed is an error, not the
//   end of the program.
//
// Every failing call returns an HRESULT (LdapErrors.h) and records the
// thread's extended directory error with the server's diagnostic text.
// A connection is used by one thread at a time (the pool hands it out so).

#include "automation/com/Types.h"
#include "directory/ldap/DirectoryPaths.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct ldap;

namespace orvane
{

/// Where a connection goes.
struct ServerAddress {
    QString host;
    int port = kLdapPort;
    friend bool operator==(const ServerAddress &, const ServerAddress &) = default;
};

/// Who a connection binds as. Empty user and password mean the current
/// (logged-on) user, as with ADSI.
struct Credentials {
    QString user;
    QString password;
    bool current() const { return user.isEmpty() && password.isEmpty(); }
    friend bool operator==(const Credentials &, const Credentials &) = default;
};

/// Timeouts of all directory traffic in milliseconds.
struct DirectoryTimeouts {
    int connectMs = 5000;    ///< TCP connect (and TLS handshake start)
    int operationMs = 30000; ///< any one request: bind, StartTLS, a search page, a modify
};
/// The timeouts in force for new connections and requests.
DirectoryTimeouts directoryTimeouts();
/// Changes them (for tests and tools); values below 1 ms are taken as 1 ms.
void setDirectoryTimeouts(const DirectoryTimeouts &timeouts);

struct LdapAttribute {
    QString name; ///< as the server returned it
    std::vector<QByteArray> values;
};

/// One entry of a search result.
struct LdapEntry {
    QString dn;
    std::vector<LdapAttribute> attributes;
    /// The attribute `name` in any case; null when the entry has none.
    const LdapAttribute *find(const QString &name) const;
    LdapAttribute *find(const QString &name);
};

/// One attribute of an entry as a search hands it to an EntryVisitor: views
/// into the server's message, valid only during the call.
class AttributeView
{
  public:
    /// `values` is libldap's berval array of `count` values.
    AttributeView(QByteArrayView name, const void *values, int count)
        : name_(name), values_(values), count_(count)
    {
    }
    QByteArrayView name() const { return name_; }
    int count() const { return count_; }
    QByteArrayView value(int i) const;

  private:
    QByteArrayView name_;
    const void *values_;
    int count_;
};

/// Receives the entries of a search without copies: beginEntry, then each
/// attribute, then endEntry, for every entry in the order the server sends.
class EntryVisitor
{
  public:
    virtual ~EntryVisitor() = default;
    virtual void beginEntry(QByteArrayView dn) = 0;
    virtual void attribute(const AttributeView &attribute) = 0;
    virtual void endEntry() = 0;
};

/// One change of a modify request.
struct LdapModification {
    enum class Op { Add, Delete, Replace };
    Op op = Op::Replace;
    QString attribute;
    std::vector<QByteArray> values; ///< none with Replace removes the attribute (and is no error when absent)
};

/// What the root DSE says about the server.
struct RootDse {
    QString defaultNamingContext; ///< empty when the server has none (slapd)
    QStringList namingContexts;
    QString subschemaSubentry;
};

class LdapConnection
{
  public:
    ~LdapConnection();
    LdapConnection(const LdapConnection &) = delete;
    LdapConnection &operator=(const LdapConnection &) = delete;

    /// Connects to `server` and binds with `credentials` under the rules of
    /// the file comment. On success `*out` holds the connection and S_OK is
    /// returned; on failure `*out` is empty and the HRESULT says why
    /// (0x8007203A server down, 0x8007052E logon failure, 0x8007202D no TLS...).
    static HRESULT open(const ServerAddress &server, const Credentials &credentials,
                        std::unique_ptr<LdapConnection> *out);

    /// Searches below `base`; each entry is handed to `onEntry` as it
    /// arrives (search references are skipped). `pageSize` > 0 asks for the
    /// simple paged results control with that page size and follows it to the
    /// last page. An empty `attributes` asks for all user attributes.
    HRESULT search(const QString &base, SearchScope scope, const QString &filter,
                   const QStringList &attributes, int pageSize,
                   const std::function<void(LdapEntry &&)> &onEntry);
    /// The same search handing each entry to `visitor` as views, for callers
    /// that keep many entries and want no intermediate copies.
    HRESULT search(const QString &base, SearchScope scope, const QString &filter,
                   const QStringList &attributes, int pageSize, EntryVisitor &visitor);

    /// Applies `changes` to `dn` as one modify request.
    HRESULT modify(const QString &dn, const std::vector<LdapModification> &changes);

    /// Sends the search for one object (no paging) without waiting for it, so
    /// that its answer travels while the caller's next requests are made; the
    /// next search on this connection, when it asks exactly the same within a
    /// moment, is answered from it (and any other search abandons it), unless
    /// the object it found was modified on this connection since. Any search
    /// sent ahead before is abandoned. Meant for reads of one object. Nothing
    /// is reported: a failure to send leaves the next search to go as usual.
    void searchAhead(const QString &base, SearchScope scope, const QString &filter,
                     const QStringList &attributes);
    /// Answers a search of `base`, `scope` and `filter` from the one sent
    /// ahead whatever attributes it asked (`*asked`; empty: all), under the
    /// rules above: true, with the outcome in `*hr`, when it did; false when
    /// there is none to take, and the caller searches as usual.
    bool takeAhead(const QString &base, SearchScope scope, const QString &filter,
                   const std::function<void(LdapEntry &&)> &onEntry, QStringList *asked, HRESULT *hr);

    /// Reads the root DSE.
    HRESULT readRootDse(RootDse *out);
    /// Reads the attributeTypes descriptions of the subschema entry `dn`.
    HRESULT readAttributeTypes(const QString &dn, QList<QByteArray> *out);

    /// False once a request failed because the connection is gone; the pool
    /// then drops it instead of handing it out again.
    bool usable() const { return usable_; }
    const ServerAddress &server() const { return server_; }

  private:
    /// A search sent by searchAhead and not yet collected.
    struct Ahead {
        QString base;
        SearchScope scope = SearchScope::Base;
        QString filter;
        QStringList attributes;
        int msgid = 0;
        std::vector<QByteArray> modified; ///< DNs this connection modified since it was sent
        std::int64_t sentMs = 0;          ///< steady clock
    };
    LdapConnection(ldap *handle, const ServerAddress &server);
    HRESULT fail(int ldapCode, const QString &text = QString());
    HRESULT awaitSearch(int msgid, EntryVisitor &visitor, QByteArray *cookie);
    bool answerAhead(const QString &base, SearchScope scope, const QString &filter,
                     const QStringList &attributes, int pageSize, EntryVisitor &visitor, HRESULT *hr);
    void dropAhead();

    ldap *ld_;
    ServerAddress server_;
    bool usable_ = true;
    std::unique_ptr<Ahead> ahead_;
};

} // namespace orvane
