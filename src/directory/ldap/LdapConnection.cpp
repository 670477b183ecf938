#include "directory/ldap/LdapConnection.h"

#include "automation/com/HResult.h"
#include "directory/ldap/EntryAttributes.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/LdapHandle.h"
#include "directory/ldap/SearchAnswers.h"
#include "directory/ldap/SearchPulse.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <ldap.h>
#include <mutex>
#include <sasl/sasl.h>

namespace orvane
{

namespace
{

std::atomic<int> connectTimeoutMs{DirectoryTimeouts().connectMs};
std::atomic<int> operationTimeoutMs{DirectoryTimeouts().operationMs};

// A search sent ahead answers only a search made this soon after it: the
// caller that sent it asks within a few requests, and anything asked later
// must read what the directory holds then.
constexpr std::int64_t kAheadMs = 2000;

std::int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::uint32_t kErrorLogonFailure = 1326;
constexpr std::uint32_t kErrorConfidentialityRequired = 8237;

timeval toTimeval(int ms)
{
    timeval tv;
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return tv;
}

QString diagnosticOf(LDAP *ld)
{
    char *text = nullptr;
    if (ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS || !text)
        return QString();
    QString result = QString::fromUtf8(text);
    ldap_memfree(text);
    return result;
}

// The failure of a whole connection (as opposed to a refused request).
bool connectionLost(int code)
{
    return code == LDAP_SERVER_DOWN || code == LDAP_TIMEOUT || code == LDAP_CONNECT_ERROR;
}

HRESULT record(HRESULT hr, int ldapCode, const QString &text)
{
    setDirectoryError({hr, ldapCode, text});
    return hr;
}

QString describe(int code, const QString &diagnostic)
{
    const QString base = QString::fromUtf8(ldap_err2string(code));
    return diagnostic.isEmpty() ? base : base + QStringLiteral(": ") + diagnostic;
}

int noInteraction(LDAP *, unsigned, void *, void *prompts)
{
    // GSSAPI asks nothing; any prompt gets its default answer.
    for (auto *p = static_cast<sasl_interact_t *>(prompts); p && p->id != SASL_CB_LIST_END; ++p) {
        p->result = p->defresult ? p->defresult : "";
        p->len = static_cast<unsigned>(strlen(static_cast<const char *>(p->result)));
    }
    return LDAP_SUCCESS;
}

// libldap writes to its sockets with write(): a request on a connection the
// server has closed would raise SIGPIPE, whose default action ends the
// process. The signal is ignored instead (once, and only when nobody has
// installed a handler), so that the write fails with EPIPE and the request
// reports "server down", which the pool answers by reconnecting.
void ignoreBrokenPipes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {
        };
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            signal(SIGPIPE, SIG_IGN);
    });
}

void applyOptions(LDAP *ld)
{
    const int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval connect = toTimeval(connectTimeoutMs.load());
    const timeval operation = toTimeval(operationTimeoutMs.load());
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &connect);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &operation);
    const int restart = 1;
    ldap_set_option(ld, LDAP_OPT_RESTART, &restart);
}

void visitEntry(LDAP *ld, LDAPMessage *message, EntryVisitor &visitor)
{
    BerElement *ber = nullptr;
    berval dn{0, nullptr};
    if (ldap_get_dn_ber(ld, message, &ber, &dn) != LDAP_SUCCESS)
        return;
    visitor.beginEntry(QByteArrayView(dn.bv_val, static_cast<qsizetype>(dn.bv_len)));
    visitAttributes(ber, visitor);
    ber_free(ber, 0);
    visitor.endEntry();
}

// Collects visited entries as LdapEntry records for the callback form of search.
class EntryCollector : public EntryVisitor
{
  public:
    explicit EntryCollector(const std::function<void(LdapEntry &&)> &onEntry) : onEntry_(onEntry) {}
    void beginEntry(QByteArrayView dn) override
    {
        entry_ = LdapEntry();
        entry_.dn = QString::fromUtf8(dn);
    }
    void attribute(const AttributeView &a) override
    {
        LdapAttribute attribute;
        attribute.name = QString::fromLatin1(a.name());
        attribute.values.reserve(a.count());
        for (int i = 0; i < a.count(); ++i)
            attribute.values.emplace_back(a.value(i).toByteArray());
        entry_.attributes.push_back(std::move(attribute));
    }
    void endEntry() override { onEntry_(std::move(entry_)); }

  private:
    const std::function<void(LdapEntry &&)> &onEntry_;
    LdapEntry entry_;
};

// NULL-terminated C strings for libldap that live as long as this object.
class CStrings
{
  public:
    explicit CStrings(const QStringList &list)
    {
        for (const QString &s : list)
            storage_.push_back(s.toUtf8());
        for (QByteArray &b : storage_)
            pointers_.push_back(b.data());
        pointers_.push_back(nullptr);
    }
    char **get() { return storage_.empty() ? nullptr : pointers_.data(); }

  private:
    std::vector<QByteArray> storage_;
    std::vector<char *> pointers_;
};

int ldapScopeOf(SearchScope scope)
{
    return scope == SearchScope::Base       ? LDAP_SCOPE_BASE
           : scope == SearchScope::OneLevel ? LDAP_SCOPE_ONELEVEL
                                            : LDAP_SCOPE_SUBTREE;
}

// Hands a search sent ahead on to the caller's visitor, unless what it found
// was modified on this connection after it was sent: that entry, and what
// follows, is held back, and the search is sent again.
class FreshEntries : public EntryVisitor
{
  public:
    FreshEntries(EntryVisitor &target, const std::vector<QByteArray> &modified)
        : target_(target), modified_(modified)
    {
    }
    void beginEntry(QByteArrayView dn) override
    {
        for (const QByteArray &m : modified_)
            stale_ = stale_ || qstrnicmp(m.constData(), m.size(), dn.data(), dn.size()) == 0;
        if (!stale_) {
            target_.beginEntry(dn);
            ++handed_;
        }
    }
    void attribute(const AttributeView &a) override
    {
        if (!stale_)
            target_.attribute(a);
    }
    void endEntry() override
    {
        if (!stale_)
            target_.endEntry();
    }
    bool stale() const { return stale_; }
    int handed() const { return handed_; }

  private:
    EntryVisitor &target_;
    const std::vector<QByteArray> &modified_;
    bool stale_ = false;
    int handed_ = 0;
};

} // namespace

bool usesLdaps(int port)
{
    return port == kLdapsPort || port == 3269;
}

QByteArray ldapUri(const ServerAddress &server, bool ldaps)
{
    return QStringLiteral("%1://%2:%3")
        .arg(ldaps ? QStringLiteral("ldaps") : QStringLiteral("ldap"),
             server.host.contains(QLatin1Char(':')) ? QLatin1Char('[') + server.host + QLatin1Char(']')
                                                    : server.host)
        .arg(server.port)
        .toUtf8();
}

LDAP *newHandle(const ServerAddress &server, bool ldaps, int *rc)
{
    ignoreBrokenPipes();
    LDAP *ld = nullptr;
    *rc = ldap_initialize(&ld, ldapUri(server, ldaps).constData());
    if (*rc != LDAP_SUCCESS)
        return nullptr;
    applyOptions(ld);
    return ld;
}

// Where TLS trust came from, for messages about a refused or failed TLS
// set-up: the name the server's certificate was checked against and the CA
// file with its source (LDAPTLS_CACERT, else ldap.conf's TLS_CACERT).
QString tlsTrustText(LDAP *ld, const QString &host)
{
    char *file = nullptr;
    ldap_get_option(ld, LDAP_OPT_X_TLS_CACERTFILE, &file);
    if (!file) // the handle keeps only what was set on it; the rest is libldap's global configuration
        ldap_get_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, &file);
    const QString caFile = file ? QString::fromLocal8Bit(file) : QString();
    ldap_memfree(file);
    const QByteArray fromEnvironment = qgetenv("LDAPTLS_CACERT");
    QString source;
    if (caFile.isEmpty())
        source =
            QStringLiteral("no CA file is configured (LDAPTLS_CACERT or TLS_CACERT in ldap.conf), so the "
                           "system's default trust store is used");
    else if (!fromEnvironment.isEmpty() && QString::fromLocal8Bit(fromEnvironment) == caFile)
        source = QStringLiteral("CA file ") + caFile + QStringLiteral(" (from LDAPTLS_CACERT)");
    else
        source = QStringLiteral("CA file ") + caFile + QStringLiteral(" (from ldap.conf, ") +
                 (qEnvironmentVariableIsSet("LDAPCONF") ? qEnvironmentVariable("LDAPCONF")
                                                        : QStringLiteral("/etc/ldap/ldap.conf")) +
                 QLatin1Char(')');
    return QStringLiteral("The server's certificate was checked against the name %1; %2.").arg(host, source);
}

DirectoryTimeouts directoryTimeouts()
{
    return {connectTimeoutMs.load(), operationTimeoutMs.load()};
}

void setDirectoryTimeouts(const DirectoryTimeouts &timeouts)
{
    connectTimeoutMs = std::max(1, timeouts.connectMs);
    operationTimeoutMs = std::max(1, timeouts.operationMs);
}

const LdapAttribute *LdapEntry::find(const QString &name) const
{
    for (const LdapAttribute &a : attributes)
        if (a.name.compare(name, Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

LdapAttribute *LdapEntry::find(const QString &name)
{
    return const_cast<LdapAttribute *>(static_cast<const LdapEntry *>(this)->find(name));
}

LdapConnection::LdapConnection(ldap *handle, const ServerAddress &server) : ld_(handle), server_(server) {}

LdapConnection::~LdapConnection()
{
    ldap_unbind_ext_s(ld_, nullptr, nullptr);
}

HRESULT LdapConnection::fail(int ldapCode, const QString &text)
{
    if (connectionLost(ldapCode))
        usable_ = false;
    return record(hresultFromLdap(ldapCode), ldapCode,
                  text.isEmpty() ? describe(ldapCode, diagnosticOf(ld_)) : text);
}

HRESULT LdapConnection::open(const ServerAddress &server, const Credentials &credentials,
                             std::unique_ptr<LdapConnection> *out)
{
    out->reset();
    if (server.host.isEmpty())
        return record(hresultFromLdap(LDAP_SERVER_DOWN), LDAP_SERVER_DOWN,
                      QStringLiteral("No server name given."));
    if (!credentials.user.isEmpty() && credentials.password.isEmpty())
        return record(
            HRESULT_FROM_WIN32(kErrorLogonFailure), LDAP_INVALID_CREDENTIALS,
            QStringLiteral("A user name without a password is refused: the server would bind anonymously."));

    const bool ldaps = usesLdaps(server.port);
    int rc = LDAP_SUCCESS;
    LDAP *ld = newHandle(server, ldaps, &rc);
    if (!ld)
        return record(hresultFromLdap(rc), rc,
                      describe(rc, QStringLiteral("cannot use the address ") + ldapUri(server, ldaps)));
    std::unique_ptr<LdapConnection> connection(new LdapConnection(ld, server));

    if (credentials.current()) {
        if (ldaps) // Active Directory refuses SASL signing and sealing inside TLS.
            ldap_set_option(ld, LDAP_OPT_X_SASL_SECPROPS, const_cast<char *>("maxssf=0"));
        // The service ticket is asked for the server name as given
        // (ldap/<name>), not for whatever a reverse lookup of its address says.
        ldap_set_option(ld, LDAP_OPT_X_SASL_NOCANON, LDAP_OPT_ON);
        rc = ldap_sasl_interactive_bind_s(ld, nullptr, "GSSAPI", nullptr, nullptr, LDAP_SASL_QUIET,
                                          noInteraction, nullptr);
        if (rc != LDAP_SUCCESS) {
            if (connectionLost(rc))
                return connection->fail(rc);
            // No ticket, no service key, or a refused ticket: the logged-on
            // user could not be authenticated.
            return record(HRESULT_FROM_WIN32(kErrorLogonFailure), rc,
                          QStringLiteral("Kerberos (GSSAPI) bind failed: ") + describe(rc, diagnosticOf(ld)));
        }
    } else {
        if (!ldaps) {
            rc = ldap_start_tls_s(ld, nullptr, nullptr);
            if (rc != LDAP_SUCCESS && rc != LDAP_CONNECT_ERROR && connectionLost(rc))
                return connection->fail(rc);
            if (rc != LDAP_SUCCESS)
                return record(
                    HRESULT_FROM_WIN32(kErrorConfidentialityRequired), rc,
                    QStringLiteral("The server did not establish TLS (StartTLS: %1); the password is not "
                                   "sent in clear text. %2")
                        .arg(describe(rc, diagnosticOf(ld)), tlsTrustText(ld, server.host)));
        }
        const QByteArray user = credentials.user.toUtf8();
        QByteArray password = credentials.password.toUtf8();
        berval secret{static_cast<ber_len_t>(password.size()), password.data()};
        rc = ldap_sasl_bind_s(ld, user.constData(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr, nullptr);
        password.fill('\0');
        if (rc == LDAP_SERVER_DOWN && ldaps) // a refused certificate ends an LDAPS connect so
            return connection->fail(rc, describe(rc, diagnosticOf(ld)) +
                                            QStringLiteral(" If the server is running, the TLS handshake may "
                                                           "have failed. ") +
                                            tlsTrustText(ld, server.host));
        if (rc != LDAP_SUCCESS)
            return connection->fail(rc);
    }
    *out = std::move(connection);
    return S_OK;
}

QByteArrayView AttributeView::value(int i) const
{
    const berval &v = static_cast<const berval *>(values_)[i];
    return QByteArrayView(v.bv_val, static_cast<qsizetype>(v.bv_len));
}

HRESULT LdapConnection::search(const QString &base, SearchScope scope, const QString &filter,
                               const QStringList &attributes, int pageSize,
                               const std::function<void(LdapEntry &&)> &onEntry)
{
    EntryCollector collector(onEntry);
    return search(base, scope, filter, attributes, pageSize, collector);
}

HRESULT LdapConnection::search(const QString &base, SearchScope scope, const QString &filter,
                               const QStringList &attributes, int pageSize, EntryVisitor &visitor)
{
    HRESULT answered = S_OK;
    if (ahead_ && answerAhead(base, scope, filter, attributes, pageSize, visitor, &answered))
        return answered;
    const QByteArray baseBytes = base.toUtf8();
    const QByteArray filterBytes = filter.toUtf8();
    CStrings attrs(attributes);
    QByteArray cookie;
    const int ldapScope = ldapScopeOf(scope);
    do {
        LDAPControl *page = nullptr;
        if (pageSize > 0) {
            berval c{static_cast<ber_len_t>(cookie.size()), cookie.data()};
            const int rc = ldap_create_page_control(ld_, pageSize, cookie.isEmpty() ? nullptr : &c, 0, &page);
            if (rc != LDAP_SUCCESS)
                return fail(rc);
        }
        LDAPControl *controls[] = {page, nullptr};
        int msgid = 0;
        const int rc =
            ldap_search_ext(ld_, baseBytes.constData(), ldapScope, filterBytes.constData(), attrs.get(), 0,
                            page ? controls : nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &msgid);
        if (page)
            ldap_control_free(page);
        if (rc != LDAP_SUCCESS)
            return fail(rc);
        cookie.clear();
        const HRESULT hr = awaitSearch(msgid, visitor, pageSize > 0 ? &cookie : nullptr);
        if (FAILED(hr))
            return hr;
        pulseSearch();
    } while (!cookie.isEmpty());
    return S_OK;
}

HRESULT LdapConnection::awaitSearch(int msgid, EntryVisitor &visitor, QByteArray *cookie)
{
    for (;;) {
        timeval timeout = toTimeval(operationTimeoutMs.load());
        LDAPMessage *message = nullptr;
        const int type = ldap_result(ld_, msgid, LDAP_MSG_ONE, &timeout, &message);
        if (type == 0) {
            ldap_abandon_ext(ld_, msgid, nullptr, nullptr);
            usable_ = false; // a server this slow is not worth keeping
            return fail(LDAP_TIMEOUT, QStringLiteral("The server did not answer the search in time."));
        }
        if (type < 0) {
            int code = LDAP_SERVER_DOWN;
            ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &code);
            return fail(code);
        }
        if (type == LDAP_RES_SEARCH_ENTRY) {
            visitEntry(ld_, message, visitor);
            ldap_msgfree(message);
            continue;
        }
        if (type != LDAP_RES_SEARCH_RESULT) { // references and anything else: ignored
            ldap_msgfree(message);
            continue;
        }
        int code = LDAP_SUCCESS;
        char *diagnostic = nullptr;
        LDAPControl **controls = nullptr;
        const int rc = ldap_parse_result(ld_, message, &code, nullptr, &diagnostic, nullptr, &controls, 1);
        const QString text = diagnostic ? QString::fromUtf8(diagnostic) : QString();
        ldap_memfree(diagnostic);
        if (rc != LDAP_SUCCESS || code != LDAP_SUCCESS) {
            ldap_controls_free(controls);
            const int failure = rc != LDAP_SUCCESS ? rc : code;
            return fail(failure, describe(failure, text));
        }
        if (cookie && controls) {
            if (LDAPControl *page = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, controls, nullptr)) {
                ber_int_t estimate = 0;
                berval next{0, nullptr};
                if (ldap_parse_pageresponse_control(ld_, page, &estimate, &next) == LDAP_SUCCESS) {
                    *cookie = QByteArray(next.bv_val, static_cast<qsizetype>(next.bv_len));
                    ber_memfree(next.bv_val);
                }
            }
        }
        ldap_controls_free(controls);
        return S_OK;
    }
}

HRESULT LdapConnection::modify(const QString &dn, const std::vector<LdapModification> &changes)
{
    forgetSearches(); // a bind after this write must read the directory again
    if (ahead_)       // nor may a search sent before it answer for this object
        ahead_->modified.push_back(dn.toUtf8());
    std::vector<LDAPMod> mods(changes.size());
    std::vector<QByteArray> names;
    std::vector<std::vector<berval>> values(changes.size());
    std::vector<std::vector<berval *>> valuePointers(changes.size());
    names.reserve(changes.size());
    std::vector<LDAPMod *> modPointers;
    for (size_t i = 0; i < changes.size(); ++i) {
        const LdapModification &c = changes[i];
        names.push_back(c.attribute.toUtf8());
        for (const QByteArray &v : c.values)
            values[i].push_back({static_cast<ber_len_t>(v.size()), const_cast<char *>(v.constData())});
        for (berval &b : values[i])
            valuePointers[i].push_back(&b);
        valuePointers[i].push_back(nullptr);
        const int op = c.op == LdapModification::Op::Add      ? LDAP_MOD_ADD
                       : c.op == LdapModification::Op::Delete ? LDAP_MOD_DELETE
                                                              : LDAP_MOD_REPLACE;
        mods[i].mod_op = op | LDAP_MOD_BVALUES;
        mods[i].mod_type = names.back().data();
        mods[i].mod_bvalues = c.values.empty() ? nullptr : valuePointers[i].data();
        modPointers.push_back(&mods[i]);
    }
    modPointers.push_back(nullptr);
    const QByteArray dnBytes = dn.toUtf8();
    const int rc = ldap_modify_ext_s(ld_, dnBytes.constData(), modPointers.data(), nullptr, nullptr);
    return rc == LDAP_SUCCESS ? S_OK : fail(rc);
}

void LdapConnection::searchAhead(const QString &base, SearchScope scope, const QString &filter,
                                 const QStringList &attributes)
{
    dropAhead();
    if (!usable_)
        return;
    CStrings attrs(attributes);
    int msgid = 0;
    if (ldap_search_ext(ld_, base.toUtf8().constData(), ldapScopeOf(scope), filter.toUtf8().constData(),
                        attrs.get(), 0, nullptr, nullptr, nullptr, LDAP_NO_LIMIT, &msgid) != LDAP_SUCCESS)
        return;
    ahead_ = std::make_unique<Ahead>(Ahead{base, scope, filter, attributes, msgid, {}, steadyMs()});
}

// A search that asks what was sent ahead, soon after, takes its answer; any
// other drops it.
// When the answer failed before anything was handed over and the connection
// is still usable, or found an object modified since, the caller searches
// afresh, as though nothing had been sent ahead. A connection lost meanwhile
// is this search's failure, as it would have been had it been sent now.
bool LdapConnection::answerAhead(const QString &base, SearchScope scope, const QString &filter,
                                 const QStringList &attributes, int pageSize, EntryVisitor &visitor, HRESULT *hr)
{
    const std::unique_ptr<Ahead> ahead = std::move(ahead_);
    if (pageSize > 0 || ahead->scope != scope || ahead->base != base || ahead->filter != filter ||
        ahead->attributes != attributes || steadyMs() - ahead->sentMs > kAheadMs) {
        if (usable_)
            ldap_abandon_ext(ld_, ahead->msgid, nullptr, nullptr);
        return false;
    }
    const DirectoryError before = lastDirectoryError();
    FreshEntries fresh(visitor, ahead->modified);
    *hr = awaitSearch(ahead->msgid, fresh, nullptr);
    if (FAILED(*hr) && usable_ && fresh.handed() == 0) {
        setDirectoryError(before);
        return false;
    }
    return !(SUCCEEDED(*hr) && fresh.stale() && fresh.handed() == 0);
}

bool LdapConnection::takeAhead(const QString &base, SearchScope scope, const QString &filter,
                               const std::function<void(LdapEntry &&)> &onEntry, QStringList *asked, HRESULT *hr)
{
    if (!ahead_)
        return false;
    *asked = ahead_->attributes;
    EntryCollector collector(onEntry);
    return answerAhead(base, scope, filter, *asked, 0, collector, hr);
}

void LdapConnection::dropAhead()
{
    if (ahead_ && usable_)
        ldap_abandon_ext(ld_, ahead_->msgid, nullptr, nullptr);
    ahead_.reset();
}

HRESULT LdapConnection::readRootDse(RootDse *out)
{
    RootDse dse;
    const HRESULT hr =
        search(QString(), SearchScope::Base, QStringLiteral("(objectClass=*)"),
               {QStringLiteral("defaultNamingContext"), QStringLiteral("namingContexts"),
                QStringLiteral("subschemaSubentry")},
               0, [&](LdapEntry &&entry) {
                   for (const LdapAttribute &a : entry.attributes) {
                       const QString first =
                           a.values.empty() ? QString() : QString::fromUtf8(a.values.front());
                       if (a.name.compare(QLatin1String("defaultNamingContext"), Qt::CaseInsensitive) == 0)
                           dse.defaultNamingContext = first;
                       else if (a.name.compare(QLatin1String("subschemaSubentry"), Qt::CaseInsensitive) == 0)
                           dse.subschemaSubentry = first;
                       else if (a.name.compare(QLatin1String("namingContexts"), Qt::CaseInsensitive) == 0)
                           for (const QByteArray &v : a.values)
                               dse.namingContexts << QString::fromUtf8(v);
                   }
               });
    if (SUCCEEDED(hr))
        *out = dse;
    return hr;
}

HRESULT LdapConnection::readAttributeTypes(const QString &dn, QList<QByteArray> *out)
{
    QList<QByteArray> types;
    const HRESULT hr = search(dn, SearchScope::Base, QStringLiteral("(objectClass=subschema)"),
                              {QStringLiteral("attributeTypes")}, 0, [&](LdapEntry &&entry) {
                                  if (const LdapAttribute *a = entry.find(QStringLiteral("attributeTypes")))
                                      for (const QByteArray &v : a->values)
                                          types << v;
                              });
    if (SUCCEEDED(hr))
        *out = types;
    return hr;
}

} // namespace orvane
