// Binding directory objects through the "LDAP:" namespace and the GUID
// moniker, with the command strings the program sends, against the private
// slapd and the Samba domain controller: reading, failure codes, bounded
// waits, refusal of clear-text passwords, Kerberos, and connection reuse.

#include "TestDirectory.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/VariantArrays.h"
#include "automation/com/Guid.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/RegisterServers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

constexpr HRESULT kLogonFailure = hresult(0x8007052E);
constexpr HRESULT kNoSuchObject = hresult(0x80072030);
constexpr HRESULT kServerDown = hresult(0x8007203A);
constexpr HRESULT kConfidentialityRequired = hresult(0x8007202D);

class AdsBindTest : public DirectoryTest
{
  protected:
    QString fixtureDn(const char *cn) const
    {
        return QStringLiteral("CN=%1,").arg(QLatin1String(cn)) + dir.fixturesBase();
    }
    Handle bind(const char *cn, Handle *ns)
    {
        return openByGuid(dir, guidTextOf(dir, fixtureDn(cn)), dir.admin, dir.password, ns);
    }
};

// A TCP socket on 127.0.0.1 with a free port: listening (a server that
// accepts connections and never answers) or only bound (nobody answers).
class LoopbackSocket
{
  public:
    explicit LoopbackSocket(bool listening) : fd_(socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            (listening && listen(fd_, 4) != 0))
            return;
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackSocket()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    int port() const { return port_; }

  private:
    int fd_;
    int port_ = 0;
};

// Restores the directory timeouts when a test has shortened them.
struct TimeoutScope {
    DirectoryTimeouts saved = directoryTimeouts();
    explicit TimeoutScope(DirectoryTimeouts t) { setDirectoryTimeouts(t); }
    ~TimeoutScope() { setDirectoryTimeouts(saved); }
};

} // namespace

TEST_P(AdsBindTest, GoodCredentialsBindAndAttributesReadByName)
{
    Handle ns;
    Handle user = bind("Fixture Full", &ns);
    ASSERT_TRUE(user) << lastErrorText().toStdString() << " / " << lastDirectoryError().text.toStdString();
    EXPECT_EQ(lastErrorCode(), 0);
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("sAMAccountName")),
              QStringLiteral("fixture.full"));
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("givenName")), QStringLiteral("Ёлка"));
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("distinguishedName")).toLower(),
              fixtureDn("Fixture Full").toLower());
    EXPECT_EQ(getIntegerProperty(user.get(), QStringLiteral("AccountDisabled")), 0);
    EXPECT_EQ(lastErrorCode(), 0);

    VariantResult phones(getVariantProperty(user.get(), QStringLiteral("otherTelephone")));
    ASSERT_TRUE(phones);
    EXPECT_EQ(phones->vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(variantTexts(phones.get()), (QStringList{"111", "222", "333"}));
    // A multi-valued attribute with one value reads as that value.
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("description")),
              QStringLiteral("Fixture user with every attribute"));
    EXPECT_EQ(lastErrorCode(), 0);

    QFile photo(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-1.jpg"));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    VariantResult bytes(getVariantProperty(user.get(), QStringLiteral("thumbnailPhoto")));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(variantToBytes(bytes.get()).value_or(QByteArray()), photo.readAll());

    Handle disabledNs;
    Handle disabled = bind("Fixture Disabled", &disabledNs);
    ASSERT_TRUE(disabled);
    EXPECT_EQ(getIntegerProperty(disabled.get(), QStringLiteral("AccountDisabled")), -1);
}

TEST_P(AdsBindTest, UnsetAttributesReadWithoutError)
{
    Handle ns;
    Handle user = bind("Fixture Sparse", &ns);
    ASSERT_TRUE(user) << lastErrorText().toStdString();
    // A single value that is not set reads as empty text, without error.
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("title")), QString());
    EXPECT_EQ(lastErrorCode(), 0);
    // A multi-valued one reads as VT_NULL.
    VariantResult mobiles(getVariantProperty(user.get(), QStringLiteral("otherMobile")));
    ASSERT_TRUE(mobiles);
    EXPECT_EQ(mobiles->vt, VT_NULL);
    // No photo: not a byte array.
    VariantResult photo(getVariantProperty(user.get(), QStringLiteral("thumbnailPhoto")));
    ASSERT_TRUE(photo);
    EXPECT_FALSE(variantToBytes(photo.get()));
    // A name that is no attribute at all is an unknown member.
    getStringProperty(user.get(), QStringLiteral("noSuchAttributeAnywhere"));
    EXPECT_EQ(lastErrorCode(), DISP_E_UNKNOWNNAME);
}

TEST_P(AdsBindTest, AnOrdinaryUserCanBindWithItsOwnPassword)
{
    Handle ns;
    Handle user =
        openByGuid(dir, guidTextOf(dir, fixtureDn("Fixture Full")), dir.bindUser, dir.bindPassword, &ns);
    ASSERT_TRUE(user) << lastErrorText().toStdString() << " / " << lastDirectoryError().text.toStdString();
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("sAMAccountName")),
              QStringLiteral("fixture.full"));
}

TEST_P(AdsBindTest, FailuresGiveTheirCodesAndNoObject)
{
    const QString guid = guidTextOf(dir, fixtureDn("Fixture Full"));
    ASSERT_FALSE(guid.isEmpty());
    const LoopbackSocket unused(false); // bound, so nobody else takes the port, but not listening
    const int closedPort = unused.port();
    ASSERT_NE(closedPort, 0);

    struct Case {
        const char *what;
        QString path, user, password;
        HRESULT code;
    } cases[] = {
        {"wrong password", QStringLiteral("LDAP://%1/<GUID=%2>").arg(dir.serverAddress(), guid), dir.admin,
         QStringLiteral("not-the-password"), kLogonFailure},
        {"empty password", QStringLiteral("LDAP://%1/<GUID=%2>").arg(dir.serverAddress(), guid), dir.admin,
         QString(), kLogonFailure},
        {"unknown GUID",
         QStringLiteral("LDAP://%1/<GUID=0BADF00D-0000-4000-8000-00000000BEEF>").arg(dir.serverAddress()),
         dir.admin, dir.password, kNoSuchObject},
        {"closed port", QStringLiteral("LDAP://%1:%2/<GUID=%3>").arg(dir.host).arg(closedPort).arg(guid),
         dir.admin, dir.password, kServerDown},
        {"unknown DN", QStringLiteral("LDAP://%1/CN=Nobody,%2").arg(dir.serverAddress(), dir.base), dir.admin,
         dir.password, kNoSuchObject},
        {"malformed GUID", QStringLiteral("LDAP://%1/<GUID=12345>").arg(dir.serverAddress()), dir.admin,
         dir.password, hresult(0x80005000)},
    };
    for (const Case &c : cases) {
        Handle ns(getObject(QStringLiteral("LDAP:")));
        ASSERT_TRUE(ns);
        QElapsedTimer timer;
        timer.start();
        Handle object(getObjectProperty(ns.get(), QStringLiteral("OpenDSObject('") + c.path +
                                                      QStringLiteral("','") + c.user + QStringLiteral("','") +
                                                      c.password + QStringLiteral("','513')")));
        EXPECT_FALSE(object) << c.what;
        EXPECT_EQ(lastErrorCode(), c.code) << c.what << ": " << lastErrorText().toStdString();
        EXPECT_LT(timer.elapsed(), directoryTimeouts().connectMs) << c.what;
    }
}

TEST_P(AdsBindTest, ASilentServerFailsWithinTheTimeout)
{
    // A server that accepts the connection and never answers.
    const LoopbackSocket silent(true);
    ASSERT_NE(silent.port(), 0);
    TimeoutScope timeouts({1000, 1000});
    Handle ns(getObject(QStringLiteral("LDAP:")));
    QElapsedTimer timer;
    timer.start();
    Handle object(getObjectProperty(
        ns.get(),
        QStringLiteral(
            "OpenDSObject('LDAP://127.0.0.1:%1/<GUID=0BADF00D-0000-4000-8000-00000000BEEF>','%2','%3','513')")
            .arg(silent.port())
            .arg(dir.admin, dir.password)));
    EXPECT_FALSE(object);
    EXPECT_NE(lastErrorCode(), 0);
    EXPECT_LT(timer.elapsed(), 4000);
}

TEST_P(AdsBindTest, PasswordsAreRefusedWithoutTlsAndAcceptedOverStartTlsAndLdaps)
{
    const QString guid = guidTextOf(dir, fixtureDn("Fixture Full"));
    const auto open = [&](int port) {
        Handle ns(getObject(QStringLiteral("LDAP:")));
        return Handle(getObjectProperty(
            ns.get(), QStringLiteral("OpenDSObject('LDAP://%1:%2/<GUID=%3>','%4','%5','513')")
                          .arg(dir.host)
                          .arg(port)
                          .arg(guid, dir.admin, dir.password)));
    };
    Handle overStartTls = open(dir.port);
    EXPECT_TRUE(overStartTls) << lastErrorText().toStdString();
    if (dir.ldapsPort == kLdapsPort) {
        Handle overLdaps = open(dir.ldapsPort);
        EXPECT_TRUE(overLdaps) << lastErrorText().toStdString() << " / "
                               << lastDirectoryError().text.toStdString();
    }
    if (dir.plainPort) {
        // The same server without TLS: it would take the password in clear
        // text (ldapsearch shows it does), so the bind must not be tried.
        QProcess clearText;
        clearText.start(QStringLiteral("ldapsearch"),
                        {QStringLiteral("-x"), QStringLiteral("-H"),
                         QStringLiteral("ldap://%1:%2").arg(dir.host).arg(dir.plainPort),
                         QStringLiteral("-D"), dir.adminDn, QStringLiteral("-w"), dir.password,
                         QStringLiteral("-b"), dir.base, QStringLiteral("-s"), QStringLiteral("base"),
                         QStringLiteral("dn")});
        ASSERT_TRUE(clearText.waitForFinished(10000));
        ASSERT_EQ(clearText.exitCode(), 0);

        Handle refused = open(dir.plainPort);
        EXPECT_FALSE(refused);
        EXPECT_EQ(lastErrorCode(), kConfidentialityRequired) << lastErrorText().toStdString();
        EXPECT_TRUE(lastDirectoryError().text.contains(QStringLiteral("not sent in clear text")))
            << lastDirectoryError().text.toStdString();
    }
}

TEST_P(AdsBindTest, CurrentCredentialsBindByKerberos)
{
    const QString guid = guidTextOf(dir, fixtureDn("Fixture Full"));
    if (dir.clientKeytab.isEmpty()) {
        // No Kerberos here: the moniker's bind fails, in bounded time.
        QElapsedTimer timer;
        timer.start();
        Handle object(getObject(QStringLiteral("LDAP://%1/<GUID=%2>").arg(dir.serverAddress(), guid)));
        EXPECT_FALSE(object);
        EXPECT_NE(lastErrorCode(), 0);
        EXPECT_LT(timer.elapsed(), directoryTimeouts().connectMs);
        return;
    }
    qputenv("KRB5_CONFIG", dir.krb5Config.toUtf8());
    qputenv("KRB5_CLIENT_KTNAME", dir.clientKeytab.toUtf8());
    qputenv("KRB5CCNAME", QByteArray("MEMORY:orvane-directory-test"));
    Handle object(
        getObject(QStringLiteral("LDAP://%1:%2/<GUID=%3>").arg(dir.gssapiHost).arg(dir.port).arg(guid)));
    ASSERT_TRUE(object) << lastErrorText().toStdString() << " / " << lastDirectoryError().text.toStdString();
    EXPECT_EQ(getStringProperty(object.get(), QStringLiteral("sAMAccountName")),
              QStringLiteral("fixture.full"));
}

TEST_P(AdsBindTest, ASearchAndOneBindPerUserShareOneConnection)
{
    // Credentials no other test uses, so that the pool starts without them.
    const QString query =
        QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') + dir.fixturesBase() +
        QStringLiteral(">;(&(objectCategory=person)(objectClass=user));cn,objectGUID;subtree");
    const long before = LdapPool::instance().openedCount();
    AdoSearch search = openAdoSearch(dir.bindUser, dir.bindPassword, query, 100, true);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    const qint64 n = getIntegerProperty(search.records.get(), QStringLiteral("RecordCount"));
    ASSERT_GE(n, 10);
    for (qint64 i = 0; i < n; ++i) {
        VariantResult guid(
            getVariantProperty(search.records.get(), QStringLiteral("Fields('objectGUID')\\Value")));
        const QByteArray bytes = variantToBytes(guid.get()).value_or(QByteArray());
        ASSERT_EQ(bytes.size(), 16);
        const QString text =
            guidToString(guidFromBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData())));
        Handle ns;
        Handle user = openByGuid(dir, text.mid(1, 36), dir.bindUser, dir.bindPassword, &ns);
        ASSERT_TRUE(user) << lastErrorText().toStdString();
        getIntegerProperty(user.get(), QStringLiteral("AccountDisabled"));
        EXPECT_EQ(lastErrorCode(), 0);
        invoke(search.records.get(), QStringLiteral("MoveNext"));
    }
    EXPECT_LE(LdapPool::instance().openedCount() - before, 1);
}

TEST_P(AdsBindTest, IdleConnectionsAreClosedAfterTheIdleTimeout)
{
    Handle ns;
    ASSERT_TRUE(bind("Fixture Full", &ns));
    EXPECT_GE(LdapPool::instance().idleCount(), 1);
    LdapPool::instance().setIdleTimeout(std::chrono::milliseconds(100));
    usleep(200 * 1000);
    EXPECT_EQ(LdapPool::instance().reap(), 0);
    LdapPool::instance().setIdleTimeout(std::chrono::seconds(30));
}

TEST_P(AdsBindTest, AConnectionTheServerDroppedIsReplacedTransparently)
{
    if (dir.isSamba())
        GTEST_SKIP() << "Samba keeps idle connections for 15 minutes";
    // The test slapd closes connections idle for 3 s; the pool keeps them 30 s.
    Handle ns;
    ASSERT_TRUE(bind("Fixture Full", &ns));
    ns = Handle();
    sleep(4);
    const long before = LdapPool::instance().openedCount();
    Handle again = bind("Fixture Full", &ns);
    ASSERT_TRUE(again) << lastErrorText().toStdString();
    EXPECT_EQ(getStringProperty(again.get(), QStringLiteral("sAMAccountName")),
              QStringLiteral("fixture.full"));
    EXPECT_EQ(LdapPool::instance().openedCount() - before, 1);
}

INSTANTIATE_TEST_SUITE_P(Directories, AdsBindTest, ::testing::ValuesIn(testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });
