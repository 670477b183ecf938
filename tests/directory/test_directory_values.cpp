// The directory service's parts that need no server: ADsPath and query-text
// parsing, GUID text, LDAP result codes as HRESULTs, schema reading, value
// conversions, and the ADO objects' own errors.

#include "TestDirectory.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/com/SafeArray.h"
#include "directory/ldap/AttributeValues.h"
#include "directory/ldap/DirectoryPaths.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/LdapSchema.h"
#include "directory/ldap/RegisterServers.h"

#include <gtest/gtest.h>
#include <ldap.h>

using namespace orvane;
using namespace orvane::test;

TEST(DirectoryPaths, AdsPathsOfEveryForm)
{
    struct Case {
        const char *text;
        bool ok;
        const char *host;
        int port;
        const char *dn;
        bool byGuid;
    } cases[] = {
        {"LDAP:", true, "", 389, "", false},
        {"ldap:", true, "", 389, "", false},
        {"LDAP://srv01:389/<GUID=01234567-89AB-CDEF-0123-456789ABCDEF>", true, "srv01", 389, "", true},
        {"LDAP://srv01/<GUID={01234567-89ab-cdef-0123-456789abcdef}>", true, "srv01", 389, "", true},
        {"LDAP://srv01:636/<guid=67452301ab89efcd0123456789abcdef>", true, "srv01", 636, "", true},
        {"LDAP://10.0.0.5:3389/CN=A B,OU=Staff,DC=corp,DC=local", true, "10.0.0.5", 3389,
         "CN=A B,OU=Staff,DC=corp,DC=local", false},
        {"LDAP://[::1]:389/DC=x", true, "::1", 389, "DC=x", false},
        {"LDAP://srv01", true, "srv01", 389, "", false},
        {"GC://srv01/DC=x", false, "", 0, "", false},
        {"LDAP:/srv01/DC=x", false, "", 0, "", false},
        {"LDAP://srv01:0/DC=x", false, "", 0, "", false},
        {"LDAP://srv01:99999/DC=x", false, "", 0, "", false},
        {"LDAP://srv01:x/DC=x", false, "", 0, "", false},
        {"LDAP://:389/DC=x", false, "", 0, "", false},
        {"LDAP://srv01/<GUID=01234567-89AB-CDEF-0123-456789ABCDE>", false, "", 0, "", false},
        {"LDAP://srv01/<GUID=01234567-89AB-CDEF-0123-456789ABCDEG>", false, "", 0, "", false},
        {"LDAP://srv01/<GUID=01234567-89AB-CDEF-0123-456789ABCDEF", false, "", 0, "", false},
    };
    for (const Case &c : cases) {
        DirectoryPath path;
        path.port = -7;
        ASSERT_EQ(parseDirectoryPath(QString::fromLatin1(c.text), &path), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(path.port, -7) << c.text; // untouched
            continue;
        }
        EXPECT_EQ(path.host, QLatin1String(c.host)) << c.text;
        EXPECT_EQ(path.port, c.port) << c.text;
        EXPECT_EQ(path.dn, QLatin1String(c.dn)) << c.text;
        EXPECT_EQ(path.byGuid, c.byGuid) << c.text;
    }
}

TEST(DirectoryPaths, GuidTextIsStoredWithLittleEndianLeadingGroups)
{
    const std::array<std::uint8_t, 16> expected{0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                                                0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::array<std::uint8_t, 16> bytes{};
    ASSERT_TRUE(guidTextToBytes(QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF"), &bytes));
    EXPECT_EQ(bytes, expected);
    DirectoryPath storageOrder;
    ASSERT_TRUE(parseDirectoryPath(QStringLiteral("LDAP://h/<GUID=67452301AB89EFCD0123456789ABCDEF>"),
                                   &storageOrder));
    EXPECT_EQ(storageOrder.guid, expected);
    EXPECT_EQ(filterEscapeBytes(expected.data(), 3), QStringLiteral("\\67\\45\\23"));
    const std::uint8_t special[] = {0x00, 0x2A, 0x28, 0x5C, 0xFF};
    EXPECT_EQ(filterEscapeBytes(special, 5), QStringLiteral("\\00\\2a\\28\\5c\\ff"));
}

TEST(DirectoryPaths, QueryTextsOfTheProgramAndTheirVariants)
{
    QueryText q;
    ASSERT_TRUE(
        parseQueryText(QStringLiteral("<LDAP://srv01:389/DC=corp,DC=local>;(&(objectCategory=person)"
                                      "(objectClass=user)(sn=A*));givenName,sn,cn,objectGUID;subtree"),
                       &q));
    EXPECT_EQ(q.path.host, QStringLiteral("srv01"));
    EXPECT_EQ(q.path.dn, QStringLiteral("DC=corp,DC=local"));
    EXPECT_EQ(q.filter, QStringLiteral("(&(objectCategory=person)(objectClass=user)(sn=A*))"));
    EXPECT_EQ(q.attributes, (QStringList{"givenName", "sn", "cn", "objectGUID"}));
    EXPECT_EQ(q.scope, SearchScope::Subtree);
    EXPECT_TRUE(q.scopeGiven);

    // A ';' inside an assertion value belongs to the filter.
    ASSERT_TRUE(parseQueryText(QStringLiteral("<LDAP://h/DC=x>;(sn=a;b);cn;onelevel"), &q));
    EXPECT_EQ(q.filter, QStringLiteral("(sn=a;b)"));
    EXPECT_EQ(q.scope, SearchScope::OneLevel);
    // Escaped parentheses do not end the filter.
    ASSERT_TRUE(parseQueryText(QStringLiteral("<LDAP://h/DC=x>;(cn=a\\29b);cn , sn ;base"), &q));
    EXPECT_EQ(q.filter, QStringLiteral("(cn=a\\29b)"));
    EXPECT_EQ(q.attributes, (QStringList{"cn", "sn"}));
    EXPECT_EQ(q.scope, SearchScope::Base);
    // Without a scope the caller's property decides.
    ASSERT_TRUE(parseQueryText(QStringLiteral("<LDAP://h/DC=x>;(cn=*);cn"), &q));
    EXPECT_FALSE(q.scopeGiven);

    for (const char *bad :
         {"LDAP://h/DC=x;(cn=*);cn;subtree", "<LDAP://h/DC=x>;(cn=*", "<LDAP://h/DC=x>;(cn=*);cn;deep",
          "<LDAP:>;(cn=*);cn;subtree", "<LDAP://h/<GUID=01234567-89AB-CDEF-0123-456789ABCDEF>>;(cn=*);cn",
          "<LDAP://h/DC=x>;(cn=*);cn;subtree;more", ""})
        EXPECT_FALSE(parseQueryText(QString::fromLatin1(bad), &q)) << bad;
}

TEST(LdapErrors, ResultCodesBecomeTheHresultsAdsiGives)
{
    const std::pair<int, std::uint32_t> cases[] = {
        {LDAP_SUCCESS, 0},
        {LDAP_INVALID_CREDENTIALS, 0x8007052E},
        {LDAP_NO_SUCH_OBJECT, 0x80072030},
        {LDAP_SERVER_DOWN, 0x8007203A},
        {LDAP_CONSTRAINT_VIOLATION, 0x8007202F},
        {LDAP_INVALID_SYNTAX, 0x8007200B},
        {LDAP_INSUFFICIENT_ACCESS, 0x80070005},
        {LDAP_SIZELIMIT_EXCEEDED, 0x80072023},
        {LDAP_STRONG_AUTH_REQUIRED, 0x80072028},
        {LDAP_UNWILLING_TO_PERFORM, 0x80072035},
        {LDAP_ALREADY_EXISTS, 0x80071392},
        {LDAP_NO_SUCH_ATTRIBUTE, 0x8007200A},
        {LDAP_TYPE_OR_VALUE_EXISTS, 0x8007200D},
        {LDAP_UNDEFINED_TYPE, 0x8007200C},
        {LDAP_FILTER_ERROR, 0x8007203E},
        {LDAP_TIMEOUT, 0x800705B4},
        {LDAP_OTHER, 0x80072095},
    };
    for (const auto &[code, hr] : cases)
        EXPECT_EQ(static_cast<std::uint32_t>(hresultFromLdap(code)), hr) << "LDAP code " << code;
}

TEST(LdapSchema, SingleValuednessAndKindsFollowTheSchemaAndItsSupertypes)
{
    const LdapSchema schema = LdapSchema::fromAttributeTypes({
        "( 2.5.4.41 NAME 'name' EQUALITY caseIgnoreMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.15{32768} )",
        "( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )",
        "( 2.5.4.4 NAME ( 'sn' 'surname' ) SUP name SINGLE-VALUE )",
        "( 1.2.840.113556.1.4.2 NAME 'objectGUID' SYNTAX 1.3.6.1.4.1.1466.115.121.1.40 SINGLE-VALUE )",
        "( 1.2.840.113556.1.4.8 NAME 'userAccountControl' SYNTAX '1.3.6.1.4.1.1466.115.121.1.27' "
        "SINGLE-VALUE )",
        "( 1.2.840.113556.1.2.18 NAME 'otherTelephone' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' )",
        "( 9.9 NAME 'flag' SYNTAX 1.3.6.1.4.1.1466.115.121.1.7 SINGLE-VALUE )",
        "this is no description",
    });
    EXPECT_EQ(schema.size(), 7);
    ASSERT_TRUE(schema.find(QStringLiteral("SURNAME")));
    EXPECT_EQ(schema.find(QStringLiteral("surname"))->name, QStringLiteral("sn"));
    EXPECT_TRUE(schema.find(QStringLiteral("sn"))->singleValued);
    EXPECT_EQ(schema.find(QStringLiteral("sn"))->kind, ValueKind::Text);
    // cn is presented single-valued, as on Active Directory.
    EXPECT_TRUE(schema.find(QStringLiteral("commonName"))->singleValued);
    EXPECT_FALSE(schema.find(QStringLiteral("othertelephone"))->singleValued);
    EXPECT_EQ(schema.find(QStringLiteral("objectGUID"))->kind, ValueKind::Binary);
    EXPECT_EQ(schema.find(QStringLiteral("1.2.840.113556.1.4.2"))->name, QStringLiteral("objectGUID"));
    EXPECT_EQ(schema.find(QStringLiteral("userAccountControl"))->kind, ValueKind::Integer);
    EXPECT_EQ(schema.find(QStringLiteral("flag"))->kind, ValueKind::Boolean);
    EXPECT_EQ(schema.find(QStringLiteral("nothing")), nullptr);
}

TEST(AttributeValues, WireValuesBecomeVariantsAndBack)
{
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(valuesToVariant({}, ValueKind::Text, true, &v), 0);
    EXPECT_EQ(v.vt, VT_NULL);
    ASSERT_EQ(valuesToVariant({"Ёлка"}, ValueKind::Text, false, &v), 0);
    EXPECT_EQ(variantString(&v), QStringLiteral("Ёлка"));
    ASSERT_EQ(valuesToVariant({"512"}, ValueKind::Integer, false, &v), 0);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 512);
    ASSERT_EQ(valuesToVariant({"TRUE"}, ValueKind::Boolean, false, &v), 0);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    ASSERT_EQ(valuesToVariant({QByteArray("\x00\x01\xFF", 3)}, ValueKind::Binary, false, &v), 0);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(v.parray->rgsabound[0].cElements, 3u);
    ASSERT_EQ(valuesToVariant({"one"}, ValueKind::Text, true, &v), 0);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(variantTexts(&v), QStringList{"one"});
    ASSERT_EQ(valuesToVariant({"a", "b"}, ValueKind::Text, false, &v), 0);
    EXPECT_EQ(variantTexts(&v), (QStringList{"a", "b"}));

    std::vector<QByteArray> wire;
    ASSERT_EQ(variantToValues(v, ValueKind::Text, &wire), 0);
    EXPECT_EQ(wire, (std::vector<QByteArray>{"a", "b"}));
    setVariantBytes(&v, QByteArray("\x00\xFE", 2));
    ASSERT_EQ(variantToValues(v, ValueKind::Binary, &wire), 0);
    EXPECT_EQ(wire, std::vector<QByteArray>{QByteArray("\x00\xFE", 2)});
    setVariantInteger(&v, -1);
    ASSERT_EQ(variantToValues(v, ValueKind::Boolean, &wire), 0);
    EXPECT_EQ(wire, std::vector<QByteArray>{"TRUE"});
    ASSERT_EQ(variantToValues(v, ValueKind::Integer, &wire), 0);
    EXPECT_EQ(wire, std::vector<QByteArray>{"-1"});
    setVariantNull(&v);
    ASSERT_EQ(variantToValues(v, ValueKind::Text, &wire), 0);
    EXPECT_TRUE(wire.empty());
    VariantClear(&v);
}

TEST(AdoObjects, MisuseGivesAdoErrorsWithoutTouchingTheNetwork)
{
    registerDirectoryServers();
    Handle connection(createObject(QStringLiteral("ADODB.Connection")));
    Handle command(createObject(QStringLiteral("ADODB.Command")));
    Handle empty(createObject(QStringLiteral("ADODB.RecordSet")));
    ASSERT_TRUE(connection && command && empty);

    // An unknown provider.
    EXPECT_EQ(setProperty(connection.get(), QStringLiteral("Provider = 'SQLOLEDB'")), 0);
    EXPECT_NE(invoke(connection.get(), QStringLiteral("Open('Active Directory Provider')")), 0);
    EXPECT_EQ(lastErrorText(), QStringLiteral("Provider cannot be found. It may not be properly installed."));
    // Execute without an open connection.
    EXPECT_EQ(setProperty(command.get(), QStringLiteral("CommandText = '<LDAP://h/DC=x>;(cn=*);cn;subtree'")),
              0);
    EXPECT_FALSE(Handle(getObjectProperty(command.get(), QStringLiteral("Execute()"))));
    EXPECT_NE(lastErrorCode(), 0);
    // Something other than a connection as the active connection.
    EXPECT_EQ(setProperty(command.get(), QStringLiteral("ActiveConnection = ") + handleNumber(empty.get()) +
                                             QStringLiteral(" as AutomationObject")),
              DISP_E_TYPEMISMATCH);
    // An open connection with a command text the provider cannot read.
    EXPECT_EQ(setProperty(connection.get(), QStringLiteral("Provider = 'ADsDSOObject'")), 0);
    EXPECT_EQ(invoke(connection.get(), QStringLiteral("Open('Active Directory Provider')")), 0);
    EXPECT_EQ(getIntegerProperty(connection.get(), QStringLiteral("State")), 1);
    EXPECT_EQ(setProperty(command.get(), QStringLiteral("ActiveConnection = ") +
                                             handleNumber(connection.get()) +
                                             QStringLiteral(" as AutomationObject")),
              0);
    EXPECT_EQ(setProperty(command.get(), QStringLiteral("CommandText = 'SELECT cn FROM x'")), 0);
    EXPECT_FALSE(Handle(getObjectProperty(command.get(), QStringLiteral("Execute()"))));
    EXPECT_EQ(lastErrorText(), QStringLiteral("One or more errors occurred during processing of command."));
    // The properties keep what was written, in any case of the name.
    EXPECT_EQ(setProperty(command.get(), QStringLiteral("Properties('Page Size') = 1000")), 0);
    EXPECT_EQ(getIntegerProperty(command.get(), QStringLiteral("Properties('page size')")), 1000);
    // A record set that no search filled is closed.
    EXPECT_EQ(getIntegerProperty(empty.get(), QStringLiteral("State")), 0);
    getIntegerProperty(empty.get(), QStringLiteral("RecordCount"));
    EXPECT_EQ(lastErrorText(), QStringLiteral("Operation is not allowed when the object is closed."));
}

TEST(AdoObjects, EmptyPasswordsAndServerNamesAreRefusedBeforeConnecting)
{
    // A user name with an empty password: refused before connecting.
    std::unique_ptr<LdapConnection> connection;
    EXPECT_EQ(LdapConnection::open({QStringLiteral("127.0.0.1"), 1}, {QStringLiteral("cn=admin"), QString()},
                                   &connection),
              hresult(0x8007052E));
    EXPECT_FALSE(connection);
    EXPECT_FALSE(lastDirectoryError().text.isEmpty());
    EXPECT_EQ(LdapConnection::open({QString(), 389}, {QStringLiteral("u"), QStringLiteral("p")}, &connection),
              hresult(0x8007203A));
}
