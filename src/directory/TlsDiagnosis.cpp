#include "directory/TlsDiagnosis.h"

#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapHandle.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <memory>
#include <netdb.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>
#include <unistd.h>

namespace orvane
{

namespace
{

struct HandleCloser {
    void operator()(LDAP *ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
struct CertificateFree {
    void operator()(X509 *cert) const { X509_free(cert); }
};
using Handle = std::unique_ptr<LDAP, HandleCloser>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

// A TLS path option of libldap's global configuration (a handle keeps only what was set on it).
QString globalOption(int option)
{
    char *value = nullptr;
    ldap_get_option(nullptr, option, &value);
    const QString text = value ? QString::fromLocal8Bit(value) : QString();
    ldap_memfree(value);
    return text;
}

QString ldapText(LDAP *ld, int rc)
{
    QString text = QString::fromUtf8(ldap_err2string(rc));
    char *diagnostic = nullptr;
    if (ld && ldap_get_option(ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic) == LDAP_OPT_SUCCESS && diagnostic) {
        if (*diagnostic)
            text += QStringLiteral(": ") + QString::fromUtf8(diagnostic);
        ldap_memfree(diagnostic);
    }
    return text;
}

// The certificate the server presents to a handshake that checks nothing;
// null with libldap's words in `*why` when even that handshake fails.
Certificate presentedCertificate(const ServerAddress &server, QString *why)
{
    const bool ldaps = usesLdaps(server.port);
    int rc = LDAP_SUCCESS;
    Handle ld(newHandle(server, ldaps, &rc));
    if (!ld) {
        *why = QString::fromUtf8(ldap_err2string(rc));
        return nullptr;
    }
    const int never = LDAP_OPT_X_TLS_NEVER;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_REQUIRE_CERT, &never);
    const int client = 0;
    ldap_set_option(ld.get(), LDAP_OPT_X_TLS_NEWCTX, &client);
    rc = ldaps ? ldap_connect(ld.get()) : ldap_start_tls_s(ld.get(), nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
        *why = (ldaps ? QStringLiteral("LDAPS: ") : QStringLiteral("StartTLS: ")) + ldapText(ld.get(), rc);
        return nullptr;
    }
    berval der{0, nullptr};
    if (ldap_get_option(ld.get(), LDAP_OPT_X_TLS_PEERCERT, &der) != LDAP_OPT_SUCCESS || !der.bv_val) {
        *why = QStringLiteral("the server presented no certificate");
        return nullptr;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(der.bv_val);
    Certificate cert(d2i_X509(nullptr, &bytes, static_cast<long>(der.bv_len)));
    ber_memfree(der.bv_val);
    if (!cert)
        *why = QStringLiteral("the server's certificate cannot be read");
    return cert;
}

bool namesHost(X509 *cert, const QString &name)
{
    const QByteArray n = name.toUtf8();
    unsigned char address[16];
    if (inet_pton(AF_INET, n.constData(), address) == 1 || inet_pton(AF_INET6, n.constData(), address) == 1)
        return X509_check_ip_asc(cert, n.constData(), 0) == 1;
    return X509_check_host(cert, n.constData(), static_cast<size_t>(n.size()), 0, nullptr) == 1;
}

// Whether the configured CA file (or directory, else the system's store)
// signed `cert`. Only the server's own certificate is at hand, so one issued
// by an intermediate CA the trust store lacks reads as untrusted.
bool signedByTrustedCa(X509 *cert, const QString &caFile, const QString &caDir)
{
    X509_STORE *store = X509_STORE_new();
    if (!store)
        return false;
    const QByteArray file = caFile.toLocal8Bit(), dir = caDir.toLocal8Bit();
    if (caFile.isEmpty() && caDir.isEmpty())
        X509_STORE_set_default_paths(store);
    else
        X509_STORE_load_locations(store, caFile.isEmpty() ? nullptr : file.constData(),
                                  caDir.isEmpty() ? nullptr : dir.constData());
    X509_STORE_CTX *ctx = X509_STORE_CTX_new();
    const bool ok = ctx && X509_STORE_CTX_init(ctx, store, cert, nullptr) == 1 && X509_verify_cert(ctx) == 1;
    X509_STORE_CTX_free(ctx);
    X509_STORE_free(store);
    return ok;
}

// Whether the handshake with every check libldap is configured for succeeds now.
bool checkedHandshakeSucceeds(const ServerAddress &server)
{
    const bool ldaps = usesLdaps(server.port);
    int rc = LDAP_SUCCESS;
    Handle ld(newHandle(server, ldaps, &rc));
    if (!ld)
        return false;
    rc = ldaps ? ldap_connect(ld.get()) : ldap_start_tls_s(ld.get(), nullptr, nullptr);
    return rc == LDAP_SUCCESS;
}

} // namespace

QString certificateNameFor(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return host;
    // As libldap finds its own host name: the canonical name of gethostname().
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return host;
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    addrinfo *found = nullptr;
    QString result = QString::fromLocal8Bit(name);
    if (getaddrinfo(name, nullptr, &hints, &found) == 0) {
        if (found && found->ai_canonname)
            result = QString::fromLocal8Bit(found->ai_canonname);
        freeaddrinfo(found);
    }
    return result;
}

TlsDiagnosis diagnoseTls(const ServerAddress &server)
{
    TlsDiagnosis d;
    d.checkedName = certificateNameFor(server.host);
    const QString caFile = globalOption(LDAP_OPT_X_TLS_CACERTFILE);
    const QString caDir = globalOption(LDAP_OPT_X_TLS_CACERTDIR);
    d.trust = !caFile.isEmpty()  ? QStringLiteral("CA file ") + caFile
              : !caDir.isEmpty() ? QStringLiteral("CA folder ") + caDir
                                 : QStringLiteral("the system's trust store");
    const Certificate cert = presentedCertificate(server, &d.why);
    if (!cert) {
        d.problem = TlsProblem::NoTls;
        return d;
    }
    if (!namesHost(cert.get(), d.checkedName))
        d.problem = TlsProblem::NameMismatch;
    else if (!signedByTrustedCa(cert.get(), caFile, caDir))
        d.problem = TlsProblem::Untrusted;
    else
        d.problem = checkedHandshakeSucceeds(server) ? TlsProblem::None : TlsProblem::Unknown;
    return d;
}

} // namespace orvane
