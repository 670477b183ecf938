// Two domain controllers in the DC server field: a second private slapd
// holding the same test users is started for this test and listed first.
// Frozen, it is passed over after the connect timeout; stopped in the middle
// of an apply, the writes after it continue on the other server; stopped,
// the Find, the plan and its apply go to the other server and the
// configuration check names both. A server that answers and refuses TLS or
// the bind is reported, not passed over.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "directory/ConnectionProbe.h"
#include "directory/FailureReason.h"
#include "directory/UserSearch.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/RegisterServers.h"
#include "directory/ldap/ServerList.h"
#include "plan/ConfigurationCheck.h"
#include "plan/PlanApply.h"
#include "plan/SyncPlan.h"
#include "store/SettingsStore.h"
#include "workbook/excel/RegisterServers.h"

#include <QFile>
#include <csignal>
#include <QProcess>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

const QString kScript = QStringLiteral(ORVANE_SOURCE_DIR "/scripts/test-directories");

// The second server's state folder, its slapd, whether it started and whether it still runs.
struct SecondServer {
    QString state;
    Slapd slapd;
    bool started = false;
    bool running = false;
};
SecondServer second;

bool runScript(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(kScript, args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void stopSecond()
{
    if (second.running)
        runScript({QStringLiteral("stop"), second.state});
    second.running = false;
}

// The value of `name` in an env file the script wrote ("export NAME='value'" or "export NAME=value").
QString envValue(const QByteArray &env, const QString &name)
{
    for (const QByteArray &line : env.split('\n')) {
        const QString text = QString::fromUtf8(line);
        const QString head = QStringLiteral("export ") + name + u'=';
        if (text.startsWith(head)) {
            const QString value = text.mid(head.size());
            return value.startsWith(u'\'') ? value.mid(1).chopped(1) : value;
        }
    }
    return QString();
}

} // namespace

class DomainControllersTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        if (!slapdFromEnvironment())
            return;
        // libldap reads its TLS trust once per process: both servers' CAs go into one file first.
        second.state = QStringLiteral(ORVANE_TEST_TMP "/second-dc");
        if (!runScript({QStringLiteral("start"), second.state, QStringLiteral("--no-samba"),
                        QStringLiteral("--no-standard"), QStringLiteral("--staff"), QStringLiteral("0"),
                        QStringLiteral("--prefix"), QStringLiteral("SECOND")}))
            return;
        second.started = second.running = true;
        QFile env(second.state + QStringLiteral("/env"));
        env.open(QIODevice::ReadOnly);
        const QByteArray text = env.readAll();
        second.slapd = {envValue(text, QStringLiteral("SECOND_SLAPD_HOST")),
                        envValue(text, QStringLiteral("SECOND_SLAPD_PORT")).toInt(),
                        envValue(text, QStringLiteral("SECOND_SLAPD_BASE")),
                        envValue(text, QStringLiteral("SECOND_SLAPD_ADMIN")),
                        envValue(text, QStringLiteral("SECOND_SLAPD_PASSWORD"))};
        QFile both(second.state + QStringLiteral("/both-ca.pem"));
        both.open(QIODevice::WriteOnly);
        for (const QString &ca : {qEnvironmentVariable("LDAPTLS_CACERT"),
                                  envValue(text, QStringLiteral("LDAPTLS_CACERT"))}) {
            QFile f(ca);
            f.open(QIODevice::ReadOnly);
            both.write(f.readAll());
        }
        both.close();
        qputenv("LDAPTLS_CACERT", both.fileName().toUtf8());
    }

    static void TearDownTestSuite() { stopSecond(); }

    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        ASSERT_TRUE(second.started) << "the second slapd did not start";
        first = *s;
        registerExcelServer();
        registerDirectoryServers();
        LdapPool::instance().clear();
        folder = freshTestFolder();
        ASSERT_NO_FATAL_FAILURE(createSettingsFile(folder, db));
        settings = loadSettings(db);
        // The same users, objectGUID included, on both servers (while the second runs).
        const char *users[][2] = {{"Twodc Anna", "T0001"}, {"Twodc Boris", "T0002"}, {"Twodc Clara", "T0003"}};
        for (const auto &[cn, id] : users) {
            const QString ldif = randomGuidLine() + QStringLiteral("\nsn: Twodc\nemployeeID: ") +
                                 QString::fromLatin1(id) + QStringLiteral("\nsAMAccountName: ") +
                                 QString::fromLatin1(id).toLower() + QStringLiteral("\ntitle: Old");
            dns << addTestUser(first, QString::fromLatin1(cn), ldif);
            if (second.running)
                addTestUser(second.slapd, QString::fromLatin1(cn), ldif);
        }
        workbook = folder + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(workbook.toStdString(), {{1, {"ID", "Title"}},
                                                   {2, {"T0001", "Nurse"}},
                                                   {3, {"T0002", "Porter"}},
                                                   {4, {"T0003", "Surgeon"}}});
        registerWorkbookWith(db, workbook, QStringLiteral("HR"), {{1, attr::employeeID, true}, {2, attr::title}},
                             true);
        // The second server first: "host:port, host" with the field's port applying to the second.
        connection = first.connection();
        connection.serverAddress = serverText({second.slapd.host, second.slapd.port}) + QStringLiteral(", ") +
                                   first.host + u':' + QString::number(first.port);
    }

    void TearDown() override
    {
        for (const QString &dn : dns)
            ldapTool(first, QStringLiteral("ldapdelete"), {dn}, {}, false);
        if (second.running)
            for (const QString &dn : dns)
                ldapTool(second.slapd, QStringLiteral("ldapdelete"),
                         {QString(dn).replace(first.base, second.slapd.base)}, {}, false);
    }

    ObjectTable find()
    {
        ObjectTable table;
        SearchUsers(connection, db, QStringLiteral("sn"), QStringLiteral("Twodc"), QStringLiteral("displayName"),
                    &table, QStringLiteral(";"));
        return table;
    }

    // cn -> title on `s`.
    static QMap<QString, QString> titles(const Slapd &s)
    {
        QMap<QString, QString> out;
        const auto entries = ldapEntries(s, QStringLiteral("(sn=Twodc)"), {QStringLiteral("title")});
        for (auto it = entries.begin(); it != entries.end(); ++it)
            out[it.key().section(u',', 0, 0).mid(3)] = it.value().value(QStringLiteral("title")).join(u';');
        return out;
    }

    Slapd first;
    QString folder, workbook;
    QStringList dns;
    Database db;
    Settings settings;
    DirectoryConnection connection;
};

TEST_F(DomainControllersTest, ServerListsSplitAtCommasAndSpaces)
{
    const auto texts = [](const QString &host, int port) {
        QStringList out;
        for (const ServerAddress &s : serverList({host, port}))
            out << serverText(s);
        return out;
    };
    EXPECT_EQ(texts(QStringLiteral("dc01.corp.example, dc02.corp.example"), 389),
              QStringList({"dc01.corp.example:389", "dc02.corp.example:389"}));
    EXPECT_EQ(texts(QStringLiteral("dc01:636 dc02,,[fe80::1]:3269\tfe80::2"), 389),
              QStringList({"dc01:636", "dc02:389", "[fe80::1]:3269", "[fe80::2]:389"}));
    EXPECT_FALSE(namesServerList({QStringLiteral("dc01"), 389}));
    EXPECT_FALSE(namesServerList({QStringLiteral(" dc01 "), 389}));
    EXPECT_TRUE(namesServerList({QStringLiteral("dc01 dc02"), 389}));
    EXPECT_EQ(answeringServer(QStringLiteral("dc01:389")), QString()); // a single server is never shown
}

TEST_F(DomainControllersTest, AHungServerIsPassedOverAndATlsRefusalIsReported)
{
    // The second slapd frozen: it accepts TCP connections but answers nothing within the connect timeout.
    QFile pids(second.state + QStringLiteral("/pids"));
    ASSERT_TRUE(pids.open(QIODevice::ReadOnly));
    const pid_t slapdPid = QString::fromLatin1(pids.readLine()).section(u' ', 1, 1).toInt();
    ASSERT_GT(slapdPid, 0);
    const DirectoryTimeouts before = directoryTimeouts();
    setDirectoryTimeouts({500, before.operationMs});
    ASSERT_EQ(::kill(slapdPid, SIGSTOP), 0);
    const qsizetype found = find().size();
    const QString answered = answeringServer(connection.serverAddress);
    ::kill(slapdPid, SIGCONT);
    setDirectoryTimeouts(before);
    EXPECT_EQ(found, 3);
    EXPECT_EQ(answered, serverText({first.host, first.port}));

    // A server that answers but offers no TLS is the answer: the search fails, naming TLS.
    const int plainPort = qEnvironmentVariableIntValue("ORVANE_SLAPD_PLAIN_PORT");
    ASSERT_GT(plainPort, 0);
    connection.serverAddress = first.host + u':' + QString::number(plainPort) + QStringLiteral(" ") + first.host +
                               u':' + QString::number(first.port);
    ObjectTable none;
    const SearchOutcome refused = SearchUsers(connection, db, QStringLiteral("sn"), QStringLiteral("Twodc"),
                                              QStringLiteral("displayName"), &none, QStringLiteral(";"));
    EXPECT_EQ(refused.count, 0);
    EXPECT_EQ(uint32_t(refused.failure.code), 0x8007202Du) << std::hex << uint32_t(refused.failure.code);
    // The reason names what the server that answered did.
    EXPECT_EQ(answeringServer(connection.serverAddress), first.host + u':' + QString::number(plainPort));
    const QString reason = failureReason(refused.failure, connection);
    EXPECT_TRUE(reason.startsWith(QStringLiteral("TLS failed: the server does not establish TLS"))) << reason.toStdString();
}

TEST_F(DomainControllersTest, StoppedMidApplyTheWritesContinueOnTheOtherServer)
{
    const ObjectTable users = find();
    ASSERT_EQ(users.size(), 3);
    EXPECT_EQ(answeringServer(connection.serverAddress), serverText({second.slapd.host, second.slapd.port}));
    const SyncPlan plan = BuildSyncPlan(db, settings, users, 0);
    ASSERT_EQ(plan.changes.size(), 3);
    bool stopped = false;
    QMap<QString, QString> onSecond;
    const WriteSummary summary =
        ApplyPlanChanges(db, connection, QStringLiteral(";"), plan.changes, QStringLiteral("tester"),
                         kReviewApplyOrigin, [&](int done, int) {
                             if (done == 1 && !stopped) {
                                 stopped = true;
                                 onSecond = titles(second.slapd);
                                 stopSecond();
                             }
                         });
    EXPECT_TRUE(stopped);
    EXPECT_EQ(summary.written, 3);
    EXPECT_EQ(summary.failed, 0);
    // The first write went to the server listed first, the other two to the one that still answers.
    const QMap<QString, QString> onFirst = titles(first);
    QStringList toSecond, toFirst;
    for (const PlannedChange &c : plan.changes) {
        if (onSecond.value(c.cn) == c.preparedValue && onFirst.value(c.cn) == QStringLiteral("Old"))
            toSecond << c.cn;
        if (onFirst.value(c.cn) == c.preparedValue && onSecond.value(c.cn) == QStringLiteral("Old"))
            toFirst << c.cn;
    }
    EXPECT_EQ(toSecond.size(), 1) << onSecond.size();
    EXPECT_EQ(toFirst.size(), 2) << onFirst.size();
    EXPECT_EQ(answeringServer(connection.serverAddress), serverText({first.host, first.port}));
}

TEST_F(DomainControllersTest, FindPlanApplyAndCheckWithTheFirstServerStopped)
{
    ASSERT_FALSE(second.running) << "runs after the mid-apply test, which stops the second server";
    const ObjectTable users = find();
    ASSERT_EQ(users.size(), 3);
    EXPECT_EQ(answeringServer(connection.serverAddress), serverText({first.host, first.port}));
    const SyncPlan plan = BuildSyncPlan(db, settings, users, 0);
    ASSERT_TRUE(plan.problem.isEmpty()) << plan.problem.toStdString();
    ASSERT_EQ(plan.changes.size(), 3);
    const WriteSummary summary = ApplyPlanChanges(db, connection, QStringLiteral(";"), plan.changes,
                                                  QStringLiteral("tester"));
    EXPECT_EQ(summary.written, 3);
    EXPECT_EQ(titles(first), (QMap<QString, QString>{{"Twodc Anna", "Nurse"},
                                                     {"Twodc Boris", "Porter"},
                                                     {"Twodc Clara", "Surgeon"}}));

    // The check: one reachability line per server, the stopped one failed; the rest on the other.
    const QList<CheckLine> lines = CheckConfiguration(db, settings, connection);
    QStringList reachable;
    for (const CheckLine &line : lines)
        if (line.name == QStringLiteral("Server reachable"))
            reachable << (line.passed ? QStringLiteral("ok ") : QStringLiteral("FAILED ")) + line.detail;
    ASSERT_EQ(reachable.size(), 2);
    EXPECT_TRUE(reachable[0].startsWith(QStringLiteral("FAILED ") +
                                        serverText({second.slapd.host, second.slapd.port}) +
                                        QStringLiteral(" does not accept connections")))
        << reachable[0].toStdString();
    EXPECT_EQ(reachable[1], QStringLiteral("ok ") + serverText({first.host, first.port}) +
                                QStringLiteral(" accepts connections."));
    for (const CheckLine &line : lines)
        if (line.name.startsWith(QStringLiteral("Bind as")) || line.name.startsWith(QStringLiteral("Base DN"))) {
            EXPECT_TRUE(line.passed) << line.name.toStdString() << ": " << line.detail.toStdString();
        }

    // A server that answers and refuses the bind is reported, not passed over.
    DirectoryConnection wrong = connection;
    wrong.serverAddress = first.host + u':' + QString::number(first.port) + QStringLiteral(", ") +
                          serverText({second.slapd.host, second.slapd.port});
    wrong.password = QStringLiteral("not-the-password");
    ObjectTable none;
    const SearchOutcome refused = SearchUsers(wrong, db, QStringLiteral("sn"), QStringLiteral("Twodc"),
                                              QStringLiteral("displayName"), &none, QStringLiteral(";"));
    EXPECT_EQ(refused.count, 0);
    EXPECT_EQ(uint32_t(refused.failure.code), 0x8007052Eu);
}
