// The user search, the count and the account-state read against the private
// slapd and the Samba DC, each result checked with an independent ldapsearch;
// and the standard-schema slapd, whose single values arrive as arrays.

#include "DirectoryRequirement.h"
#include "DirectoryOperationsFixture.h"
#include "automation/CommandEngine.h"
#include "automation/LastError.h"
#include "directory/AccountState.h"
#include "directory/AttributeWriting.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"
#include "directory/UserSearch.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/RegisterServers.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>
#include <thread>

using namespace orvane;
using test::OperationsTest;

namespace
{

constexpr HRESULT kLogonFailure = hresult(0x8007052E);

class UserSearchTest : public OperationsTest
{
  protected:
    // What the program must list for `filter`: ldapsearch's users outside the
    // child domain with an sAMAccountName, by sAMAccountName -> disabled.
    QMap<QString, int> expectedUsers(const QString &filter)
    {
        const QString child = QStringLiteral(",dc=child,") + dir.base.toLower();
        QMap<QString, int> users;
        const auto found = test::ldapsearch(
            dir, dir.base, filter, {QStringLiteral("sAMAccountName"), QStringLiteral("userAccountControl")});
        for (auto it = found.begin(); it != found.end(); ++it) {
            const auto sam = test::ldifValues(it.value(), QStringLiteral("sAMAccountName"));
            if (it.key().endsWith(child) || sam.empty() || sam.front().isEmpty())
                continue;
            const auto uac = test::ldifValues(it.value(), QStringLiteral("userAccountControl"));
            users.insert(QString::fromUtf8(sam.front()),
                         !uac.empty() && (uac.front().toLongLong() & 2) ? 1 : 0);
        }
        return users;
    }

    static QMap<QString, int> listed(const ObjectTable &table)
    {
        QMap<QString, int> users;
        for (const ObjectEntry &e : table)
            users.insert(e.sAMAccountName, e.accountDisabled);
        return users;
    }

    SearchOutcome search(const QString &pick, const QString &prefix, ObjectTable *table,
                         const DirectoryConnection &c)
    {
        return SearchUsers(c, *db, pick, prefix, QStringLiteral("displayName"), table, QStringLiteral(";"));
    }
    SearchOutcome search(const QString &pick, const QString &prefix, ObjectTable *table)
    {
        return search(pick, prefix, table, connection());
    }
};

} // namespace

TEST_P(UserSearchTest, ALetterListsExactlyTheUsersWhoseSurnameBeginsWithIt)
{
    for (const char *letter : {"A", "M", ""}) {
        ObjectTable table;
        const SearchOutcome outcome = search(QStringLiteral("sn"), QString::fromLatin1(letter), &table);
        EXPECT_FALSE(outcome.failure.failed()) << outcome.failure.reason().toStdString();
        const QMap<QString, int> expected =
            expectedUsers(QStringLiteral("(&(objectCategory=person)(objectClass=user)(sn=%1*))")
                              .arg(QLatin1String(letter)));
        EXPECT_GT(expected.size(), 0) << letter;
        EXPECT_EQ(outcome.count, table.size());
        // Same users and, for each, the account state the directory holds.
        EXPECT_EQ(listed(table), expected) << "letter " << letter;
        for (const ObjectEntry &e : table)
            EXPECT_TRUE(isGuidText(e.guid)) << e.sAMAccountName.toStdString();
    }
}

TEST_P(UserSearchTest, SpecialCharactersAreSearchedForAsThemselves)
{
    const struct {
        const char *prefix;
        const char *sam;
    } cases[] = {
        {"(", "fixture.paren"}, {"*", "fixture.star"}, {"'", "fixture.quote"}, {"\\", "fixture.backslash"}};
    for (const auto &c : cases) {
        ObjectTable table;
        const SearchOutcome outcome = search(QStringLiteral("sn"), QString::fromLatin1(c.prefix), &table);
        EXPECT_FALSE(outcome.failure.failed()) << c.prefix << ": " << outcome.failure.reason().toStdString();
        EXPECT_EQ(listed(table).keys(), QStringList{QString::fromLatin1(c.sam)}) << c.prefix;
    }
}

TEST_P(UserSearchTest, EntriesCarryJoinedValuesDisplayTextAndState)
{
    ObjectTable table;
    search(QStringLiteral("sAMAccountName"), QStringLiteral("fixture."), &table);
    QMap<QString, ObjectEntry> bySam;
    for (const ObjectEntry &e : table)
        bySam.insert(e.sAMAccountName, e);
    ASSERT_TRUE(bySam.contains(QStringLiteral("fixture.full")));
    const ObjectEntry full = bySam.value(QStringLiteral("fixture.full"));
    EXPECT_EQ(full.values.value(QStringLiteral("otherTelephone")), QStringLiteral("111;222;333"));
    EXPECT_EQ(full.values.value(QStringLiteral("givenName")), QStringLiteral("Ёлка"));
    EXPECT_EQ(full.cn, QStringLiteral("Fixture Full"));
    EXPECT_EQ(full.guid, test::guidTextOf(dir, QStringLiteral("CN=Fixture Full,") + dir.fixturesBase()));
    EXPECT_FALSE(full.displayValue.isEmpty());

    const ObjectEntry sparse = bySam.value(QStringLiteral("fixture.sparse"));
    EXPECT_EQ(sparse.displayValue, QString());
    EXPECT_EQ(sparse.values.size(), 39); // every catalogue attribute has a key
    EXPECT_EQ(sparse.values.value(QStringLiteral("otherTelephone"), QStringLiteral("absent")), QString());
    EXPECT_EQ(sparse.accountDisabled, 0);
    EXPECT_EQ(bySam.value(QStringLiteral("fixture.disabled")).accountDisabled, 1);
    EXPECT_FALSE(bySam.contains(QStringLiteral("fixture.nosam")));

    // A search that skips the account states lists the same users with the
    // same values, every one as enabled.
    ObjectTable values;
    SearchUsers(connection(), *db, QStringLiteral("sAMAccountName"), QStringLiteral("fixture."),
                QStringLiteral("displayName"), &values, QStringLiteral(";"), {}, AccountStates::Skip);
    ASSERT_EQ(values.size(), table.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].sAMAccountName, table[i].sAMAccountName);
        EXPECT_EQ(values[i].values, table[i].values) << values[i].sAMAccountName.toStdString();
        EXPECT_EQ(values[i].accountDisabled, 0) << values[i].sAMAccountName.toStdString();
    }

    // The display text is the display attribute's value, whether the
    // catalogue reads that attribute too (displayName) or not (cn).
    ObjectTable byCn;
    SearchUsers(connection(), *db, QStringLiteral("sAMAccountName"), QStringLiteral("fixture."),
                QStringLiteral("cn"), &byCn, QStringLiteral(";"), {}, AccountStates::Skip);
    ASSERT_EQ(byCn.size(), table.size());
    for (qsizetype i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].displayValue, table[i].values.value(QStringLiteral("displayName")))
            << table[i].sAMAccountName.toStdString();
        EXPECT_EQ(byCn[i].displayValue, byCn[i].cn) << byCn[i].sAMAccountName.toStdString();
    }
}

TEST_P(UserSearchTest, ABadPasswordFindsNothingAndSaysWhy)
{
    for (const QString &password : {QStringLiteral("wrong"), QStringLiteral("it's $0041 wrong")}) {
        DirectoryConnection c = connection();
        c.password = password;
        ObjectTable table;
        const SearchOutcome outcome = search(QStringLiteral("sn"), QStringLiteral("A"), &table, c);
        EXPECT_EQ(outcome.count, 0);
        EXPECT_TRUE(table.isEmpty());
        // A quote in the password reaches the server as a wrong password, not as a broken command.
        EXPECT_EQ(outcome.failure.code, kLogonFailure) << outcome.failure.engineText.toStdString();
        EXPECT_FALSE(outcome.failure.reason().isEmpty());
    }
}

TEST_P(UserSearchTest, CurrentCredentialsSendNoCredentialProperties)
{
    DirectoryConnection c = connection();
    c.useCurrentCredentials = 1;
    CommandTrace trace;
    ObjectTable table;
    search(QStringLiteral("sn"), QStringLiteral("A"), &table, c);
    ASSERT_FALSE(trace.commands().isEmpty());
    EXPECT_EQ(trace.commands().first(), QStringLiteral("Provider = 'ADsDSOObject'"));
    for (const QString &command : trace.commands())
        EXPECT_FALSE(command.startsWith(QStringLiteral("Properties('User ID')")) ||
                     command.startsWith(QStringLiteral("Properties('Password')")) ||
                     command.startsWith(QStringLiteral("OpenDSObject")))
            << command.toStdString();
}

TEST_P(UserSearchTest, CountUsersCountsWhatTheExportFilterGives)
{
    std::vector<int> counts;
    const CountOutcome outcome = CountUsers(connection(), [&](int n) { counts.push_back(n); });
    EXPECT_FALSE(outcome.failure.failed()) << outcome.failure.reason().toStdString();
    EXPECT_EQ(outcome.count, expectedUsers(kUserCountFilter).size());
    ASSERT_EQ(counts.size(), size_t(outcome.count));
    EXPECT_EQ(counts.front(), 1);
    EXPECT_EQ(counts.back(), outcome.count);
    EXPECT_EQ(outcome.statusText(), QStringLiteral("Ready"));

    // The export window runs the count on a worker thread.
    int onWorker = -1;
    std::thread worker([&] { onWorker = CountUsers(connection(), {}).count; });
    worker.join();
    EXPECT_EQ(onWorker, outcome.count);

    std::atomic_bool stop = false;
    const CountOutcome stopped = CountUsers(
        connection(), [&](int n) { stop = n == 5; }, &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.count, 5);

    DirectoryConnection nowhere = connection();
    nowhere.baseDn = QStringLiteral("OU=Nowhere,") + dir.base;
    const CountOutcome none = CountUsers(nowhere, {});
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.statusText(), QStringLiteral("Objects not found"));
}

TEST_P(UserSearchTest, AnUnreachableServerFailsWithinTheConnectTimeout)
{
    const DirectoryTimeouts saved = directoryTimeouts();
    setDirectoryTimeouts({1000, saved.operationMs});
    for (const QString &address : {QStringLiteral("127.0.0.1:1"), QStringLiteral("10.255.255.1:389")}) {
        DirectoryConnection c = connection();
        c.serverAddress = address;
        QElapsedTimer timer;
        timer.start();
        ObjectTable table;
        EXPECT_EQ(search(QStringLiteral("sn"), QStringLiteral("A"), &table, c).count, 0);
        const DirectoryReport disable = DisableAccount(c, editorGuid(6));
        EXPECT_LT(timer.elapsed(), 4000) << address.toStdString();
        EXPECT_EQ(disable.result, 0);
        ASSERT_EQ(disable.messages.size(), 1);
        EXPECT_EQ(disable.messages[0].title, QStringLiteral("Disable account error"));
        EXPECT_TRUE(disable.messages[0].text.startsWith(
            codeText(disable.failure.code) +
            QStringLiteral(" COM method error occurred while trying to open AD object.\n\n")))
            << disable.messages[0].text.toStdString();
    }
    setDirectoryTimeouts(saved);
}

TEST_P(UserSearchTest, AccountStatesFollowWritesMadeDuringTheSearch)
{
    // While the record set of a search is open, binds are answered from it;
    // a write made meanwhile must still be seen by the next read.
    ObjectTable table;
    ASSERT_EQ(search(QStringLiteral("sAMAccountName"), QStringLiteral("editor06"), &table).count, 1);
    const QString guid = table[0].guid;
    AdoSearch open;
    ASSERT_TRUE(
        open.open(connection(),
                  adoQueryText(dir.serverAddress(), dir.base, QStringLiteral("(sAMAccountName=editor06)"),
                               QStringLiteral("objectGUID,cn")),
                  100, true));
    EXPECT_EQ(ReadAccountDisabled(connection(), guid), 0);
    EXPECT_EQ(DisableAccount(connection(), guid).result, 1);
    EXPECT_EQ(ReadAccountDisabled(connection(), guid), 1);
    EXPECT_EQ(EnableAccount(connection(), guid).result, 1);
    EXPECT_EQ(ReadAccountDisabled(connection(), guid), 0);
}

TEST_P(UserSearchTest, AccountStatesReadAtAnyRecordOfTheWalkAreTheBoundUsers)
{
    // A bind for the record the walk stands on and a bind for a record it has
    // left behind read the same state, and the directory's own.
    AdoSearch open;
    ASSERT_TRUE(
        open.open(connection(),
                  adoQueryText(dir.serverAddress(), dir.base,
                               userListFilter(QStringLiteral("sAMAccountName"), QStringLiteral("fixture.")),
                               QStringLiteral("sAMAccountName,objectGUID")),
                  100, true));
    QMap<QString, QString> guidOf;
    QMap<QString, int> onItsRecord;
    for (long i = 0; i < open.recordCount(); ++i) {
        const QString sam =
            getStringProperty(open.recordSet(), QStringLiteral("Fields('sAMAccountName')\\Value"));
        VARIANT *guid = getVariantProperty(open.recordSet(), QStringLiteral("Fields('objectGUID')\\Value"));
        guidOf.insert(sam, FormatObjectGuid(guid));
        freeVariant(guid);
        onItsRecord.insert(sam, ReadAccountDisabled(connection(), guidOf.value(sam)));
        if (i + 1 < open.recordCount())
            open.moveNext();
    }
    ASSERT_GE(onItsRecord.size(), 3);
    EXPECT_EQ(onItsRecord.value(QStringLiteral("fixture.disabled")), 1);
    EXPECT_EQ(onItsRecord.value(QStringLiteral("fixture.full")), 0);
    for (auto it = guidOf.cbegin(); it != guidOf.cend(); ++it)
        EXPECT_EQ(ReadAccountDisabled(connection(), it.value()), onItsRecord.value(it.key()))
            << it.key().toStdString();
}

TEST_P(UserSearchTest, AServerWithoutTlsIsNamedWithTheTrustInForce)
{
    if (!dir.plainPort)
        GTEST_SKIP() << "no server without TLS beside this directory";
    DirectoryConnection c = connection();
    c.serverAddress = dir.host + QStringLiteral(":") + QString::number(dir.plainPort);
    ObjectTable table;
    const SearchOutcome outcome = search(QStringLiteral("sn"), QStringLiteral("A"), &table, c);
    EXPECT_EQ(outcome.count, 0);
    const QString reason = outcome.failure.reason();
    EXPECT_TRUE(reason.contains(QStringLiteral("not sent in clear text"))) << reason.toStdString();
    EXPECT_TRUE(reason.contains(QStringLiteral("checked against the name ") + dir.host))
        << reason.toStdString();
    EXPECT_TRUE(
        reason.contains(qEnvironmentVariable("LDAPTLS_CACERT") + QStringLiteral(" (from LDAPTLS_CACERT)")))
        << reason.toStdString();
    const DirectoryReport disable = DisableAccount(c, editorGuid(6));
    ASSERT_EQ(disable.messages.size(), 1);
    EXPECT_TRUE(disable.messages[0].text.endsWith(reason)) << disable.messages[0].text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Directories, UserSearchTest, ::testing::ValuesIn(test::testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });

// The standard LDAP user schema keeps givenName, sn, title, telephoneNumber...
// multi-valued; the catalogue calls most of them single-valued.
class StandardSchemaTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        registerDirectoryServers();
        const auto d = test::testDirectory(QStringLiteral("stdslapd"));
        if (!d)
            ORVANE_NO_DIRECTORY("the standard-schema slapd is not running");
        dir = *d;
        db = test::seededSettings();
        connection = {dir.serverAddress(), dir.base, 0, dir.admin, dir.password};
    }
    test::TestDirectory dir;
    std::unique_ptr<Database> db;
    DirectoryConnection connection;
};

TEST_F(StandardSchemaTest, SingleValuesKeptAsArraysReadJoined)
{
    ObjectTable table;
    const SearchOutcome outcome = SearchUsers(connection, *db, QStringLiteral("sn"), QString(),
                                              QStringLiteral("displayName"), &table, QStringLiteral(";"));
    ASSERT_EQ(outcome.count, 3) << outcome.failure.reason().toStdString();
    QMap<QString, ObjectEntry> bySam;
    for (const ObjectEntry &e : table)
        bySam.insert(e.sAMAccountName, e);
    const ObjectEntry anna = bySam.value(QStringLiteral("std.anna"));
    EXPECT_EQ(anna.displayValue, QStringLiteral("Anna Andersen"));
    EXPECT_EQ(anna.values.value(QStringLiteral("givenName")), QStringLiteral("Anna;Annie"));
    EXPECT_EQ(anna.values.value(QStringLiteral("sn")), QStringLiteral("Andersen"));
    EXPECT_EQ(anna.values.value(QStringLiteral("title")), QStringLiteral("Engineer"));
    EXPECT_EQ(anna.values.value(QStringLiteral("mail")), QStringLiteral("anna@orvane.test"));
    EXPECT_EQ(anna.values.value(QStringLiteral("telephoneNumber")), QStringLiteral("100;200"));
    EXPECT_EQ(anna.accountDisabled, 0);
    EXPECT_EQ(bySam.value(QStringLiteral("std.bob")).accountDisabled, 1);

    // The object read by itself gives the same texts.
    int index = 0;
    while (table[index].sAMAccountName != anna.sAMAccountName)
        ++index;
    table[index].values.clear();
    ReloadObject(connection, *db, anna.guid, &table, index, QStringLiteral(";"));
    EXPECT_EQ(table[index].values.value(QStringLiteral("givenName")), QStringLiteral("Anna;Annie"));
    EXPECT_EQ(table[index].values.value(QStringLiteral("title")), QStringLiteral("Engineer"));

    // Put replaces all values of such an attribute with the one given.
    const QString writer = QStringLiteral("CN=Std Writer,OU=People,") + dir.base;
    const DirectoryReport r = WriteAttribute(connection, test::guidTextOf(dir, writer),
                                             QStringLiteral("title"), 0, {QStringLiteral("Only")});
    EXPECT_EQ(r.result, 1) << (r.messages.isEmpty() ? "" : r.messages[0].text.toStdString());
    std::vector<QByteArray> titles = test::ldifValues(
        test::ldapsearchEntry(dir, writer, {QStringLiteral("title")}), QStringLiteral("title"));
    EXPECT_EQ(titles, std::vector<QByteArray>{QByteArray("Only")});
}
