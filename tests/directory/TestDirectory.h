#pragma once
// The private test directories that scripts/test-directories starts, as the
// integration tests see them: read from the environment the script's env file
// sets (ORVANE_SLAPD_* and ORVANE_SAMBA_*). A directory whose variables are
// absent is not there, and its tests skip.
//
// Also the independent check of what a directory holds: ldapsearch, run as a
// separate process with the administrator's credentials over StartTLS.

#include "DirectoryRequirement.h"
#include "automation/AutomationObject.h"
#include "automation/com/Variant.h"
#include "directory/ldap/RegisterServers.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <optional>
#include <utility>
#include <vector>

namespace orvane::test
{

struct TestDirectory {
    QString name; ///< "slapd" or "samba", for test names
    QString host;
    int port = 0;      ///< StartTLS port
    int ldapsPort = 0; ///< 0 when none
    int plainPort = 0; ///< a server on the same data without TLS; 0 when none
    QString base;      ///< base DN
    QString admin;     ///< user name the program would store
    QString adminDn;   ///< the same as a DN, for ldapsearch
    QString password;
    QString bindUser; ///< an ordinary user with a password
    QString bindPassword;
    int staff = 0;      ///< users in OU=Staff
    QString krb5Config; ///< Kerberos set-up for the current user (Samba); empty when none
    QString clientKeytab;
    QString gssapiHost;

    /// "host:port" as the program's settings hold it.
    QString serverAddress() const { return host + QLatin1Char(':') + QString::number(port); }
    QString staffBase() const { return QStringLiteral("OU=Staff,") + base; }
    QString fixturesBase() const { return QStringLiteral("OU=Fixtures,") + base; }
    bool isSamba() const { return name == QLatin1String("samba"); }
};

/// The directory `name` ("slapd" or "samba") when its variables are set.
std::optional<TestDirectory> testDirectory(const QString &name);
/// Both names, for parameterised tests.
QStringList testDirectoryNames();

/// A test run once per directory name; skipped when that directory is not
/// running. The directory servers are registered and `dir` describes it.
class DirectoryTest : public ::testing::TestWithParam<QString>
{
  protected:
    void SetUp() override
    {
        registerDirectoryServers();
        const auto d = testDirectory(GetParam());
        // A run started with --no-samba (on a machine whose ports Samba cannot have) leaves Samba out on purpose.
        if (!d && GetParam() == QLatin1String("samba") &&
            qEnvironmentVariable("ORVANE_TEST_DIRECTORY_OPTIONS").contains(QLatin1String("--no-samba")))
            GTEST_SKIP() << "samba left out by ORVANE_TEST_DIRECTORY_OPTIONS=--no-samba";
        if (!d)
            ORVANE_NO_DIRECTORY(GetParam().toStdString() + " is not running (scripts/test-directories start)");
        dir = *d;
    }

    TestDirectory dir;
};

/// Attributes of one entry as ldapsearch shows them (names as the server
/// writes them, values decoded from base64 where LDIF uses it).
using LdifEntry = QMap<QString, std::vector<QByteArray>>;

/// Runs ldapsearch against `dir` as its administrator and returns the
/// entries below `base` matching `filter` (scope subtree), keyed by DN in
/// lower case. Fails the current test (and returns nothing) when ldapsearch
/// cannot be run or reports an error.
QMap<QString, LdifEntry> ldapsearch(const TestDirectory &dir, const QString &base, const QString &filter,
                                    const QStringList &attributes = {});
/// The one entry with DN `dn` (empty when none).
LdifEntry ldapsearchEntry(const TestDirectory &dir, const QString &dn, const QStringList &attributes = {});

/// The attribute `name` of `entry` in any case (empty when absent).
std::vector<QByteArray> ldifValues(const LdifEntry &entry, const QString &name);

/// The GUID text ("XXXXXXXX-XXXX-...", upper case, no braces) of the entry
/// `dn`, read with ldapsearch.
QString guidTextOf(const TestDirectory &dir, const QString &dn);

/// The 39 attributes of the catalogue with their multi-valued flag, in
/// catalogue order.
struct CatalogueAttribute {
    const char *name;
    bool multiValued;
};
const std::vector<CatalogueAttribute> &catalogue();

/// Holds an engine handle and releases it.
class Handle
{
  public:
    explicit Handle(AutomationObject *object = nullptr) : object_(object) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Handle(Handle &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Handle &operator=(Handle &&other) noexcept
    {
        if (this != &other) {
            releaseObject(object_);
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ~Handle() { releaseObject(object_); }
    AutomationObject *get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    AutomationObject *object_;
};

/// Holds a VARIANT from getVariantProperty and frees it.
class VariantResult
{
  public:
    explicit VariantResult(VARIANT *value) : value_(value) {}
    VariantResult(const VariantResult &) = delete;
    VariantResult &operator=(const VariantResult &) = delete;
    ~VariantResult();
    const VARIANT *get() const { return value_; }
    const VARIANT *operator->() const { return value_; }
    explicit operator bool() const { return value_ != nullptr; }

  private:
    VARIANT *value_;
};

/// The texts of an array VARIANT's elements (converted to text), or of a
/// plain value as one element; nothing for VT_NULL/VT_EMPTY.
QStringList variantTexts(const VARIANT *value);

/// Opens the ADO search of the program: connection with the provider and
/// stored credentials, command with the page size (and searchscope 1 when
/// `userList`), the command text, Execute(). Returns the record set (null
/// on failure, the engine's last error telling why).
struct AdoSearch {
    Handle connection;
    Handle command;
    Handle records;
};
AdoSearch openAdoSearch(const QString &user, const QString &password, const QString &commandText,
                        int pageSize, bool userList);

/// Binds the object `guidText` on `dir` the way the program does: the "LDAP:"
/// namespace, then OpenDSObject with the path, the user, the password and
/// '513'. Returns the object (null on failure, the last error telling why);
/// `*ns` receives the namespace handle.
Handle openByGuid(const TestDirectory &dir, const QString &guidText, const QString &user,
                  const QString &password, Handle *ns);

} // namespace orvane::test
