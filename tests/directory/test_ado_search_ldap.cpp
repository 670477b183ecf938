// The ADO search through the command engine against the private slapd and
// the Samba domain controller, with the command strings the program sends,
// checked against an independent ldapsearch of the same directory.

#include "TestDirectory.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/VariantArrays.h"
#include "directory/ldap/RegisterServers.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

constexpr HRESULT kLogonFailure = hresult(0x8007052E);
constexpr HRESULT kSizeLimitExceeded = hresult(0x80072023);

class AdoSearchTest : public DirectoryTest
{
  protected:
    QString attributeList() const
    {
        QStringList names;
        for (const CatalogueAttribute &a : catalogue())
            names << QString::fromLatin1(a.name);
        return names.join(QLatin1Char(','));
    }

    // The user search's command text below `base` with `filter`.
    QString userQuery(const QString &base, const QString &filter) const
    {
        return QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') + base +
               QStringLiteral(">;") + filter + QLatin1Char(';') + attributeList() +
               QStringLiteral(",cn,sAMAccountName,objectGUID,distinguishedName;subtree");
    }
};

QString fieldText(AutomationObject *records, const QString &name)
{
    return getStringProperty(records, QStringLiteral("Fields('") + name + QStringLiteral("')\\Value"));
}

// The Fields(name) object's "value", as JoinValues reads it.
QStringList fieldValues(AutomationObject *records, const QString &name, VARTYPE *type)
{
    Handle field(getObjectProperty(records, QStringLiteral("Fields('") + name + QStringLiteral("')")));
    EXPECT_TRUE(field) << name.toStdString() << ": " << lastErrorText().toStdString();
    if (!field)
        return {};
    VariantResult value(getVariantProperty(field.get(), QStringLiteral("value")));
    EXPECT_TRUE(value);
    *type = value ? value->vt : VT_EMPTY;
    return variantTexts(value.get());
}

QStringList texts(const std::vector<QByteArray> &values)
{
    QStringList out;
    for (const QByteArray &v : values)
        out << QString::fromUtf8(v);
    return out;
}

} // namespace

TEST_P(AdoSearchTest, PagedUserSearchReturnsEveryStaffUserWithEveryCatalogueAttribute)
{
    const QString filter = QStringLiteral("(&(objectCategory=person)(objectClass=user))");
    const QMap<QString, LdifEntry> expected = ldapsearch(dir, dir.staffBase(), filter);
    ASSERT_EQ(expected.size(), dir.staff);

    AdoSearch search = openAdoSearch(dir.admin, dir.password, userQuery(dir.staffBase(), filter), 100, true);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    const qint64 n = getIntegerProperty(search.records.get(), QStringLiteral("RecordCount"));
    ASSERT_EQ(lastErrorCode(), 0);
    ASSERT_EQ(n, dir.staff); // three pages of at most 100

    QSet<QString> dns;
    QSet<QByteArray> guids;
    int arraysSeen = 0, nullsSeen = 0;
    for (qint64 i = 0; i < n; ++i) {
        const QString dn = fieldText(search.records.get(), QStringLiteral("distinguishedName"));
        ASSERT_TRUE(expected.contains(dn.toLower())) << dn.toStdString();
        const LdifEntry &entry = expected[dn.toLower()];
        dns.insert(dn.toLower());

        VariantResult guid(
            getVariantProperty(search.records.get(), QStringLiteral("Fields('objectGUID')\\Value")));
        ASSERT_TRUE(guid);
        ASSERT_EQ(guid->vt, VT_ARRAY | VT_UI1);
        const std::optional<QByteArray> guidBytes = variantToBytes(guid.get());
        ASSERT_TRUE(guidBytes && guidBytes->size() == 16);
        EXPECT_EQ(*guidBytes, ldifValues(entry, QStringLiteral("objectGUID")).front());
        guids.insert(*guidBytes);

        EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("cn")),
                  QString::fromUtf8(ldifValues(entry, QStringLiteral("cn")).front()));
        for (const CatalogueAttribute &a : catalogue()) {
            const QString name = QString::fromLatin1(a.name);
            const QStringList want = texts(ldifValues(entry, name));
            VARTYPE type = VT_EMPTY;
            const QStringList got = fieldValues(search.records.get(), name, &type);
            EXPECT_EQ(got, want) << dn.toStdString() << " " << a.name;
            if (want.isEmpty()) {
                EXPECT_EQ(type, VT_NULL) << a.name;
                ++nullsSeen;
            } else if (a.multiValued || want.size() > 1) {
                EXPECT_EQ(type, VT_ARRAY | VT_VARIANT) << a.name;
                ++arraysSeen;
            }
            // The program reads single values as text through Value; Active
            // Directory's schema (and the test slapd's, which follows it)
            // makes postOfficeBox multi-valued, so it is an array.
            if (!a.multiValued && !want.isEmpty() && name != QLatin1String("postOfficeBox")) {
                EXPECT_EQ(fieldText(search.records.get(), name), want.front()) << a.name;
            }
        }
        invoke(search.records.get(), QStringLiteral("MoveNext"));
    }
    EXPECT_EQ(dns.size(), dir.staff);
    EXPECT_EQ(guids.size(), dir.staff);
    EXPECT_GT(arraysSeen, 0);
    EXPECT_GT(nullsSeen, 0);
    EXPECT_TRUE(getIntegerProperty(search.records.get(), QStringLiteral("EOF")));
    EXPECT_EQ(invoke(search.records.get(), QStringLiteral("Close")), 0);
}

TEST_P(AdoSearchTest, PrefixFiltersFindTheSameUsersAsLdapsearch)
{
    for (const QString &prefix : {QStringLiteral("A"), QStringLiteral("А"), QStringLiteral("Ö"), QString()}) {
        const QString filter = QStringLiteral("(&(objectCategory=person)(objectClass=user)(sn=") + prefix +
                               QStringLiteral("*))");
        const QMap<QString, LdifEntry> expected = ldapsearch(dir, dir.base, filter, {QStringLiteral("cn")});
        AdoSearch search = openAdoSearch(dir.admin, dir.password, userQuery(dir.base, filter), 100, true);
        ASSERT_TRUE(search.records) << lastErrorText().toStdString();
        const qint64 n = getIntegerProperty(search.records.get(), QStringLiteral("RecordCount"));
        EXPECT_EQ(n, expected.size()) << prefix.toStdString();
        QSet<QString> found;
        for (qint64 i = 0; i < n; ++i) {
            found.insert(fieldText(search.records.get(), QStringLiteral("distinguishedName")).toLower());
            invoke(search.records.get(), QStringLiteral("MoveNext"));
        }
        EXPECT_EQ(found, QSet<QString>(expected.keyBegin(), expected.keyEnd())) << prefix.toStdString();
    }
}

TEST_P(AdoSearchTest, CountQueryListsChildDomainUsersWithTheirDistinguishedNames)
{
    const QString text = QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') + dir.base +
                         QStringLiteral(">;(objectCategory=User);sAMAccountName,distinguishedName;subtree");
    const QMap<QString, LdifEntry> expected = ldapsearch(
        dir, dir.base, QStringLiteral("(objectCategory=User)"), {QStringLiteral("sAMAccountName")});
    AdoSearch search = openAdoSearch(dir.admin, dir.password, text, 1000, false);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    const qint64 n = getIntegerProperty(search.records.get(), QStringLiteral("RecordCount"));
    EXPECT_EQ(n, expected.size());
    int child = 0, withoutSam = 0;
    for (qint64 i = 0; i < n; ++i) {
        const QString dn = fieldText(search.records.get(), QStringLiteral("distinguishedName"));
        EXPECT_TRUE(expected.contains(dn.toLower())) << dn.toStdString();
        child += dn.endsWith(QStringLiteral(",DC=child,") + dir.base, Qt::CaseInsensitive);
        withoutSam += fieldText(search.records.get(), QStringLiteral("sAMAccountName")).isEmpty();
        invoke(search.records.get(), QStringLiteral("MoveNext"));
    }
    EXPECT_GT(child, 0);
    // Active Directory gives every user an account name; slapd's test data
    // has users without one.
    if (dir.isSamba())
        EXPECT_EQ(withoutSam, 0);
    else
        EXPECT_GT(withoutSam, 0);
}

TEST_P(AdoSearchTest, FixtureValuesArriveExactlyIncludingCyrillicArraysAndPhoto)
{
    const QString filter = QStringLiteral("(sAMAccountName=fixture.full)");
    AdoSearch search =
        openAdoSearch(dir.admin, dir.password,
                      QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') +
                          dir.fixturesBase() + QStringLiteral(">;") + filter +
                          QStringLiteral(";givenName,sn,title,otherTelephone,description,"
                                         "thumbnailPhoto,objectGUID,mobile,streetAddress,street;subtree"),
                      100, false);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    ASSERT_EQ(getIntegerProperty(search.records.get(), QStringLiteral("RecordCount")), 1);
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("givenName")), QStringLiteral("Ёлка"));
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("SN")), QStringLiteral("Аксёнова-Núñez"));
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("title")), QStringLiteral("Главный инженер"));
    // streetAddress and street are two attributes, as on Active Directory.
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("streetAddress")),
              QStringLiteral("1 Main Street"));
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("street")), QStringLiteral("Bahnhofstraße 5"));
    VARTYPE type = VT_EMPTY;
    EXPECT_EQ(fieldValues(search.records.get(), QStringLiteral("otherTelephone"), &type),
              (QStringList{QStringLiteral("111"), QStringLiteral("222"), QStringLiteral("333")}));
    EXPECT_EQ(type, VT_ARRAY | VT_VARIANT);
    // A multi-valued attribute with one value is still an array.
    EXPECT_EQ(fieldValues(search.records.get(), QStringLiteral("description"), &type),
              QStringList{QStringLiteral("Fixture user with every attribute")});
    EXPECT_EQ(type, VT_ARRAY | VT_VARIANT);

    QFile photo(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-1.jpg"));
    ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
    VariantResult bytes(
        getVariantProperty(search.records.get(), QStringLiteral("Fields('thumbnailPhoto')\\Value")));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(variantToBytes(bytes.get()).value_or(QByteArray()), photo.readAll());
}

TEST_P(AdoSearchTest, AbsentAttributesAreNullAndReadAsEmptyText)
{
    AdoSearch search = openAdoSearch(
        dir.admin, dir.password,
        QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') + dir.fixturesBase() +
            QStringLiteral(">;(sAMAccountName=fixture.sparse);title,otherMobile,cn;subtree"),
        100, false);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    ASSERT_EQ(getIntegerProperty(search.records.get(), QStringLiteral("RecordCount")), 1);
    VARTYPE type = VT_EMPTY;
    EXPECT_TRUE(fieldValues(search.records.get(), QStringLiteral("otherMobile"), &type).isEmpty());
    EXPECT_EQ(type, VT_NULL);
    VariantResult title(getVariantProperty(search.records.get(), QStringLiteral("Fields('title')\\Value")));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->vt, VT_NULL);
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("title")), QString());
    // A name the query did not ask for is not a field.
    EXPECT_EQ(fieldText(search.records.get(), QStringLiteral("mail")), QString());
    EXPECT_NE(lastErrorCode(), 0);
}

TEST_P(AdoSearchTest, NoMatchGivesAnEmptyRecordSet)
{
    AdoSearch search = openAdoSearch(
        dir.admin, dir.password,
        userQuery(dir.base, QStringLiteral("(&(objectCategory=person)(sn=Nobody-Has-This*))")), 100, true);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    EXPECT_EQ(getIntegerProperty(search.records.get(), QStringLiteral("RecordCount")), 0);
    EXPECT_EQ(lastErrorCode(), 0);
    EXPECT_TRUE(getIntegerProperty(search.records.get(), QStringLiteral("EOF")));
}

TEST_P(AdoSearchTest, FailuresLeaveNoRecordSet)
{
    const QString query = userQuery(dir.staffBase(), QStringLiteral("(objectCategory=person)"));
    struct Case {
        const char *what;
        QString user, password, text;
        HRESULT code; // 0: any failure
    } cases[] = {
        {"wrong password", dir.admin, QStringLiteral("wrong-password"), query, kLogonFailure},
        {"query text without base", dir.admin, dir.password,
         QStringLiteral("(objectCategory=person);cn;subtree"), 0},
        {"filter that does not parse", dir.admin, dir.password,
         QStringLiteral("<LDAP://") + dir.serverAddress() + QLatin1Char('/') + dir.base +
             QStringLiteral(">;(cn=x;cn;subtree"),
         0},
        {"base that does not exist", dir.admin, dir.password,
         QStringLiteral("<LDAP://") + dir.serverAddress() + QStringLiteral("/OU=Nowhere,") + dir.base +
             QStringLiteral(">;(cn=*);cn;subtree"),
         hresult(0x80072030)},
    };
    for (const Case &c : cases) {
        AdoSearch search = openAdoSearch(c.user, c.password, c.text, 100, true);
        EXPECT_FALSE(search.records) << c.what;
        if (c.code)
            EXPECT_EQ(lastErrorCode(), c.code) << c.what << ": " << lastErrorText().toStdString();
        else
            EXPECT_NE(lastErrorCode(), 0) << c.what;
    }
}

TEST_P(AdoSearchTest, WithoutPagingTheServerLimitCutsTheSearchShort)
{
    if (dir.isSamba())
        GTEST_SKIP() << "Samba's page limit (1000) is above the test data";
    // The test slapd limits unpaged results of ordinary users to 100 entries,
    // as Active Directory limits them to its MaxPageSize.
    const QString query = userQuery(dir.staffBase(), QStringLiteral("(objectCategory=person)"));
    AdoSearch unpaged = openAdoSearch(dir.bindUser, dir.bindPassword, query, 0, true);
    EXPECT_FALSE(unpaged.records);
    EXPECT_EQ(lastErrorCode(), kSizeLimitExceeded) << lastErrorText().toStdString();
    AdoSearch paged = openAdoSearch(dir.bindUser, dir.bindPassword, query, 100, true);
    ASSERT_TRUE(paged.records) << lastErrorText().toStdString();
    EXPECT_EQ(getIntegerProperty(paged.records.get(), QStringLiteral("RecordCount")), dir.staff);
}

TEST_P(AdoSearchTest, WithoutStoredCredentialsTheSearchRunsAsTheCurrentUser)
{
    const QString query = userQuery(dir.staffBase(), QStringLiteral("(objectCategory=person)"));
    if (dir.clientKeytab.isEmpty()) {
        // No Kerberos ticket to be had: the search fails instead of running anonymously.
        AdoSearch search = openAdoSearch(QString(), QString(), query, 100, true);
        EXPECT_FALSE(search.records);
        EXPECT_EQ(lastErrorCode(), kLogonFailure) << lastErrorText().toStdString();
        return;
    }
    qputenv("KRB5_CONFIG", dir.krb5Config.toUtf8());
    qputenv("KRB5_CLIENT_KTNAME", dir.clientKeytab.toUtf8());
    qputenv("KRB5CCNAME", QByteArray("MEMORY:orvane-directory-test"));
    AdoSearch search = openAdoSearch(QString(), QString(),
                                     QStringLiteral("<LDAP://%1:%2/%3>;(objectCategory=person);cn;subtree")
                                         .arg(dir.gssapiHost)
                                         .arg(dir.port)
                                         .arg(dir.staffBase()),
                                     100, true);
    ASSERT_TRUE(search.records) << lastErrorText().toStdString();
    EXPECT_EQ(getIntegerProperty(search.records.get(), QStringLiteral("RecordCount")), dir.staff);
}

INSTANTIATE_TEST_SUITE_P(Directories, AdoSearchTest, ::testing::ValuesIn(testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });
