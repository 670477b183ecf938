// Writes cut off halfway, with real processes: orvane-sync killed in the
// middle of an apply, the directory server killed (and started again, or
// not), and a proxy that drops the connection between a clear and its set.
// Each time no value is lost: recovery or the run itself puts back what a
// clear took, and undo of every change set leaves the directory as before.

#include "DirectoryRequirement.h"
#include "InterruptedSyncSetup.h"
#include "automation/com/Guid.h"
#include "directory/ldap/RegisterServers.h"
#include "store/Journal.h"

#include <QProcess>
#include <QRegularExpression>
#include <csignal>

using namespace orvane;
using namespace orvane::test;

namespace
{

class InterruptedSync : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
    }

    void TearDown() override
    {
        if (!dns.isEmpty())
            deleteUsers(slapd, dns);
    }

    void prepare(const QString &surname, int count)
    {
        this->surname = surname;
        dns = addBulkUsers(slapd, surname, count);
        folder = prepareSyncFolder(slapd, db, count);
    }

    SyncToolRun tool(QStringList args, const QMap<QString, QString> &env = {})
    {
        return runSyncTool(args << QStringLiteral("--data-dir") << folder, slapd.password, env);
    }

    QStringList applyArgs(int retrySeconds) const
    {
        // --force: these runs are about interruptions, not the change threshold.
        return {QStringLiteral("apply"), QStringLiteral("--letter"), surname, QStringLiteral("--yes"),
                QStringLiteral("--force"), QStringLiteral("--retry-seconds"), QString::number(retrySeconds)};
    }

    QString dbPath() const { return folder + QStringLiteral("/data.db3"); }

    // Undoes every change set that is no undo, newest first; each must end
    // without a conflict or failure.
    void undoEverySet()
    {
        for (const JournalSet &s : Journal(db).sets()) {
            if (s.undoOf != 0 || s.undoneBy != 0)
                continue;
            const SyncToolRun undo = tool({QStringLiteral("undo"), QString::number(s.id)});
            EXPECT_EQ(undo.exitCode, 0) << "undo " << s.id << ": " << undo.out.toStdString()
                                        << undo.err.toStdString();
            EXPECT_FALSE(undo.out.contains(QStringLiteral("conflicts"))) << undo.out.toStdString();
        }
    }

    // The users of the surname in the order their writes go (by GUID text): DN and objectGUID bytes.
    QList<std::pair<QString, QByteArray>> usersInWriteOrder() const
    {
        QList<std::pair<QString, QByteArray>> users;
        const QByteArray out = ldapTool(slapd, QStringLiteral("ldapsearch"),
                                        {QStringLiteral("-LLL"), QStringLiteral("-o"), QStringLiteral("ldif-wrap=no"),
                                         QStringLiteral("-b"), slapd.base, QStringLiteral("(sn=%1)").arg(surname),
                                         QStringLiteral("objectGUID")});
        for (const QByteArray &line : out.split('\n')) {
            if (line.startsWith("dn: "))
                users.append({QString::fromUtf8(line.mid(4)), QByteArray()});
            else if (line.startsWith("objectGUID:: ") && !users.isEmpty())
                users.last().second = QByteArray::fromBase64(line.mid(13));
        }
        const auto text = [](const QByteArray &b) {
            return guidToString(guidFromBytes(reinterpret_cast<const std::uint8_t *>(b.constData()))).toUpper();
        };
        std::sort(users.begin(), users.end(), [&](const auto &a, const auto &b) { return text(a.second) < text(b.second); });
        return users;
    }

    // Every attribute holds its old or its new value: none left empty.
    int emptyValues(const QMap<QString, QString> &now) const
    {
        int empty = 0;
        for (const QString &pair : now)
            empty += pair.startsWith(u'|') || pair.endsWith(u'|') ? 1 : 0;
        return empty;
    }

    Slapd slapd;
    QString surname, folder;
    QStringList dns;
    Database db;
};

} // namespace

TEST_F(InterruptedSync, KilledApplyIsRecoveredAndEveryUndoRestoresTheDirectory)
{
    prepare(QStringLiteral("Killed"), 1000);
    const auto before = titlesAndDepartments(slapd, surname);
    ASSERT_EQ(before.size(), 1000);

    QProcess apply;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("ORVANE_PASSWORD"), slapd.password);
    apply.setProcessEnvironment(e);
    apply.start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-sync"),
                applyArgs(30) << QStringLiteral("--data-dir") << folder);
    ASSERT_TRUE(apply.waitForStarted());
    ASSERT_TRUE(waitForJournal(dbPath(), QStringLiteral("SELECT count(*) FROM journal_changes WHERE outcome = 1"),
                               1));
    QThread::msleep(150);
    ::kill(pid_t(apply.processId()), SIGKILL);
    apply.waitForFinished();
    ASSERT_EQ(apply.exitStatus(), QProcess::CrashExit);

    const auto killed = titlesAndDepartments(slapd, surname);
    const int leftEmpty = emptyValues(killed);
    EXPECT_LE(leftEmpty, 1) << "one write at most is between its clear and its set";
    const SyncToolRun plan = tool({QStringLiteral("plan"), QStringLiteral("--letter"), surname});
    EXPECT_TRUE(plan.err.contains(QStringLiteral("writes of an interrupted synchronization are waiting")))
        << plan.err.toStdString();

    const SyncToolRun recover = tool({QStringLiteral("recover"), QStringLiteral("--yes")});
    EXPECT_EQ(recover.exitCode, 0) << recover.out.toStdString() << recover.err.toStdString();
    if (leftEmpty > 0) {
        EXPECT_TRUE(recover.out.contains(
            QStringLiteral("1 attribute value was left empty by an interrupted synchronization (change set 1, ")))
            << recover.out.toStdString();
    }
    const auto recovered = titlesAndDepartments(slapd, surname);
    EXPECT_EQ(emptyValues(recovered), 0);
    for (auto it = recovered.begin(); it != recovered.end(); ++it) {
        const QString n = it.key().section(u' ', 2, 2).section(u',', 0, 0);
        const int i = n.toInt();
        const QString title = it.value().section(u'|', 0, 0), dept = it.value().section(u'|', 1, 1);
        EXPECT_TRUE(title == QStringLiteral("Old title %1").arg(i) || title == QStringLiteral("New title %1").arg(i))
            << it.key().toStdString() << ": " << title.toStdString();
        EXPECT_TRUE(dept == QStringLiteral("Old dept %1").arg(i) || dept == QStringLiteral("New dept %1").arg(i))
            << it.key().toStdString() << ": " << dept.toStdString();
    }
    // The journal now says what happened to each write: none is pending or started any more.
    EXPECT_EQ(journalCount(dbPath(), QStringLiteral("SELECT count(*) FROM journal_changes WHERE outcome IN (0, 5)")),
              0);
    EXPECT_EQ(journalCount(dbPath(), QStringLiteral("SELECT count(*) FROM journal_sets WHERE running = 1")), 0);

    undoEverySet();
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
}

TEST_F(InterruptedSync, ConnectionCutBetweenClearAndSetIsWrittenOnReconnectOrLeftForRecovery)
{
    prepare(QStringLiteral("Cut"), 1);
    const auto before = titlesAndDepartments(slapd, surname);
    const QString state = qEnvironmentVariable("ORVANE_DIRECTORY_STATE");
    const int ldaps = qEnvironmentVariableIntValue("ORVANE_SLAPD_LDAPS_PORT");
    {
        // Back within the retry time: the cut write is made once the directory answers again.
        const CutProxy proxy(state, ldaps, 2);
        ASSERT_NE(proxy.port, 0);
        db.setOption(QStringLiteral("dcserverport"), QString::number(proxy.port));
        const SyncToolRun run = tool(applyArgs(20));
        EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("Written: 2, failed: 0, skipped: 0"))) << run.out.toStdString();
        EXPECT_EQ(titlesAndDepartments(slapd, surname).values(), QStringList{QStringLiteral("New title 0|New dept 0")});
        const QString written = QStringLiteral("SELECT count(*) FROM journal_changes WHERE set_id = 1 AND outcome = 1");
        EXPECT_EQ(journalCount(dbPath(), written), 2);
    }
    db.setOption(QStringLiteral("dcserverport"), QString::number(slapd.port));
    ASSERT_EQ(tool({QStringLiteral("undo"), QStringLiteral("1")}).exitCode, 0);
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
    {
        // Gone for longer than the run waits: the cut attribute is left for recovery, the rest skipped.
        const CutProxy proxy(state, ldaps, 60);
        db.setOption(QStringLiteral("dcserverport"), QString::number(proxy.port));
        const SyncToolRun run = tool(applyArgs(0));
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.contains(QStringLiteral("Written: 0, failed: 0, skipped: 1, left for recovery: 1")))
            << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("the directory server is unavailable"))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("left empty, for \"orvane-sync recover\": Intr Cut 0000: ")))
            << run.err.toStdString();
    }
    const QString cutState = titlesAndDepartments(slapd, surname).values().value(0);
    EXPECT_TRUE(cutState == QStringLiteral("|Old dept 0") || cutState == QStringLiteral("Old title 0|"))
        << cutState.toStdString();
    db.setOption(QStringLiteral("dcserverport"), QString::number(slapd.port));
    const SyncToolRun recover = tool({QStringLiteral("recover"), QStringLiteral("--yes")});
    EXPECT_EQ(recover.exitCode, 0) << recover.out.toStdString() << recover.err.toStdString();
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
    EXPECT_EQ(tool(applyArgs(0)).exitCode, 0);
    undoEverySet();
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
}

// The read of the next user's values goes out while the current user's
// writes are made; a cut with that read unanswered loses nothing either, and
// every outcome is the one of the user it belongs to.
TEST_F(InterruptedSync, ConnectionCutWithTheNextUsersReadInFlightLosesNothing)
{
    prepare(QStringLiteral("Ahead"), 3);
    const auto before = titlesAndDepartments(slapd, surname);
    const auto users = usersInWriteOrder();
    ASSERT_EQ(users.size(), 3);
    const QString second = QString::fromLatin1(users[1].second.toHex());
    const QString state = qEnvironmentVariable("ORVANE_DIRECTORY_STATE");
    const int ldaps = qEnvironmentVariableIntValue("ORVANE_SLAPD_LDAPS_PORT");
    {
        CutProxy proxy(state, ldaps, 2, 0, second);
        ASSERT_NE(proxy.port, 0);
        db.setOption(QStringLiteral("dcserverport"), QString::number(proxy.port));
        const SyncToolRun run = tool(applyArgs(20));
        EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("Written: 6, failed: 0, skipped: 0"))) << run.out.toStdString();
        EXPECT_TRUE(proxy.heldAtCut()) << "the second user's read was not in flight at the cut";
        for (const QString &pair : titlesAndDepartments(slapd, surname))
            EXPECT_TRUE(pair.startsWith(QStringLiteral("New title "))) << pair.toStdString();
        EXPECT_EQ(journalCount(dbPath(), QStringLiteral("SELECT count(*) FROM journal_changes WHERE set_id = 1 "
                                                        "AND outcome = 1")),
                  6);
    }
    db.setOption(QStringLiteral("dcserverport"), QString::number(slapd.port));
    ASSERT_EQ(tool({QStringLiteral("undo"), QStringLiteral("1")}).exitCode, 0);
    ASSERT_EQ(titlesAndDepartments(slapd, surname), before);
    {
        CutProxy proxy(state, ldaps, 60, 0, second);
        db.setOption(QStringLiteral("dcserverport"), QString::number(proxy.port));
        const SyncToolRun run = tool(applyArgs(0));
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.out.contains(QStringLiteral("Written: 0, failed: 0, skipped: 5, left for recovery: 1")))
            << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(proxy.heldAtCut());
    }
    // Only the first user's attribute between its clear and its set is touched.
    const auto cut = titlesAndDepartments(slapd, surname);
    EXPECT_EQ(emptyValues(cut), 1);
    EXPECT_TRUE(cut.value(users[0].first).startsWith(u'|')) << cut.value(users[0].first).toStdString();
    EXPECT_EQ(cut.value(users[1].first), before.value(users[1].first));
    EXPECT_EQ(cut.value(users[2].first), before.value(users[2].first));
    const QString outcomes = QStringLiteral("SELECT count(*) FROM journal_changes WHERE set_id = 3 AND outcome = %1");
    EXPECT_EQ(journalCount(dbPath(), outcomes.arg(JournalCleared)), 1);
    EXPECT_EQ(journalCount(dbPath(), outcomes.arg(JournalSkipped)), 5);
    db.setOption(QStringLiteral("dcserverport"), QString::number(slapd.port));
    const SyncToolRun recover = tool({QStringLiteral("recover"), QStringLiteral("--yes")});
    EXPECT_EQ(recover.exitCode, 0) << recover.out.toStdString() << recover.err.toStdString();
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
}

TEST_F(InterruptedSync, UndoAgainSaysTheSetWasUndoneAndHistoryMarksIt)
{
    prepare(QStringLiteral("Again"), 2);
    const auto before = titlesAndDepartments(slapd, surname);
    const SyncToolRun applied = tool(applyArgs(0));
    ASSERT_EQ(applied.exitCode, 0) << applied.out.toStdString() << applied.err.toStdString();
    const SyncToolRun first = tool({QStringLiteral("undo"), QStringLiteral("1")});
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_TRUE(first.out.contains(QStringLiteral("Change set 2 (undo of change set 1): Written: 4, failed: 0, "
                                                  "skipped: 0.")))
        << first.out.toStdString();
    const SyncToolRun again = tool({QStringLiteral("undo"), QStringLiteral("1")});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, QStringLiteral("Change set 1 was already undone by change set 2; nothing written.\n"));
    EXPECT_TRUE(tool({QStringLiteral("history")}).out.contains(QRegularExpression(QStringLiteral("\\n1 .* by 2 "))));
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
    // Undo of the undo writes the new values again; the first set counts as undone no more.
    EXPECT_EQ(tool({QStringLiteral("undo"), QStringLiteral("2")}).exitCode, 0);
    EXPECT_EQ(Journal(db).undoneBy(1), 0);
    // A change set whose values are already back: "already as before", not conflicts.
    ldapTool(slapd, QStringLiteral("ldapmodify"), {},
             QStringLiteral("dn: %1\nchangetype: modify\nreplace: title\ntitle: Old title 0\n").arg(dns.first()).toUtf8());
    const SyncToolRun partly = tool({QStringLiteral("undo"), QStringLiteral("3")});
    EXPECT_EQ(partly.exitCode, 0) << partly.err.toStdString();
    EXPECT_TRUE(partly.out.contains(QStringLiteral("Written: 3, failed: 0, skipped: 0, already as before: 1")))
        << partly.out.toStdString();
    EXPECT_EQ(titlesAndDepartments(slapd, surname), before);
}

TEST(InterruptedSyncOwnSlapd, ServerKilledMidApplyAndStartedAgainOrNot)
{
    if (!slapdFromEnvironment())
        GTEST_SKIP() << "the test directories are not running";
    // Beside the test's folder, which prepareSyncFolder makes afresh.
    const QString state = QStringLiteral(ORVANE_TEST_TMP "/own-directory");
    OwnSlapd own(state);
    ASSERT_TRUE(own.running());
    const QByteArray sharedCa = qgetenv("LDAPTLS_CACERT");
    qputenv("LDAPTLS_CACERT", own.caFile.toUtf8());
    const Slapd &s = own.slapd;
    const QString surname = QStringLiteral("Gone");
    addBulkUsers(s, surname, 400);
    Database db;
    const QString folder = prepareSyncFolder(s, db, 400);
    const QString path = folder + QStringLiteral("/data.db3");
    const auto before = titlesAndDepartments(s, surname);
    const auto apply = [&](int retrySeconds) {
        auto *p = new QProcess;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("ORVANE_PASSWORD"), s.password);
        p->setProcessEnvironment(e);
        p->start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-sync"),
                 {QStringLiteral("apply"), QStringLiteral("--yes"), QStringLiteral("--force"),
                  QStringLiteral("--retry-seconds"), QString::number(retrySeconds), QStringLiteral("--data-dir"),
                  folder});
        return p;
    };
    const auto tool = [&](const QStringList &args) {
        return runSyncTool(args + QStringList{QStringLiteral("--data-dir"), folder}, s.password);
    };
    const QString written = QStringLiteral("SELECT count(*) FROM journal_changes WHERE outcome = 1 AND set_id = %1");

    {
        // Started again within the retry time: every change is written.
        std::unique_ptr<QProcess> run(apply(30));
        ASSERT_TRUE(waitForJournal(path, written.arg(1), 1));
        own.kill();
        QThread::msleep(1500);
        ASSERT_TRUE(own.restart());
        ASSERT_TRUE(run->waitForFinished(90000));
        EXPECT_EQ(run->exitCode(), 0) << run->readAllStandardError().toStdString();
        EXPECT_TRUE(run->readAllStandardOutput().contains("Written: 800, failed: 0, skipped: 0"));
        const auto after = titlesAndDepartments(s, surname);
        for (auto it = after.begin(); it != after.end(); ++it)
            EXPECT_TRUE(it.value().startsWith(QStringLiteral("New title "))) << it.key().toStdString();
        EXPECT_EQ(tool({QStringLiteral("undo"), QStringLiteral("1")}).exitCode, 0);
        EXPECT_EQ(titlesAndDepartments(s, surname), before);
    }
    {
        // Not started again: the run stops, the rest is skipped, nothing is lost that recovery cannot restore.
        std::unique_ptr<QProcess> run(apply(2));
        ASSERT_TRUE(waitForJournal(path, written.arg(3), 1));
        own.kill();
        ASSERT_TRUE(run->waitForFinished(60000));
        EXPECT_EQ(run->exitCode(), 2);
        const QString out = QString::fromUtf8(run->readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral(", left for recovery: "))) << out.toStdString();
        EXPECT_TRUE(QString::fromUtf8(run->readAllStandardError())
                        .contains(QStringLiteral("the directory server is unavailable")));
        EXPECT_GT(journalCount(path, QStringLiteral("SELECT count(*) FROM journal_changes WHERE set_id = 3 AND "
                                                    "outcome = 3 AND outcome_text = 'the directory server is "
                                                    "unavailable'")),
                  0);
        EXPECT_EQ(journalCount(path, QStringLiteral("SELECT count(*) FROM journal_changes WHERE set_id = 3 AND "
                                                    "outcome IN (0, 5)")),
                  0);
        ASSERT_TRUE(own.restart());
        EXPECT_EQ(tool({QStringLiteral("recover"), QStringLiteral("--yes")}).exitCode, 0);
        const SyncToolRun rest = tool({QStringLiteral("apply"), QStringLiteral("--yes"), QStringLiteral("--force")});
        EXPECT_EQ(rest.exitCode, 0) << rest.err.toStdString();
        const auto after = titlesAndDepartments(s, surname);
        for (auto it = after.begin(); it != after.end(); ++it)
            EXPECT_TRUE(it.value().startsWith(QStringLiteral("New title "))) << it.key().toStdString();
        for (const JournalSet &set : Journal(db).sets())
            if (set.undoOf == 0 && set.undoneBy == 0) {
                EXPECT_EQ(tool({QStringLiteral("undo"), QString::number(set.id)}).exitCode, 0) << set.id;
            }
        EXPECT_EQ(titlesAndDepartments(s, surname), before);
    }
    qputenv("LDAPTLS_CACERT", sharedCa);
}
