// orvane-sync against the private slapd and a generated workbook: the plan in
// JSON, apply and undo through the journal (checked with ldapsearch), the
// journal rows beside the review window's, and the exit codes of errors.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "SyncToolSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "plan/PlanApply.h"
#include "store/Journal.h"
#include "store/SettingsStore.h"
#include "workbook/excel/RegisterServers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

using namespace orvane;
using namespace orvane::test;

namespace
{

const QString kPrefix = QStringLiteral("Synccli");
const QStringList kChecked{QStringLiteral("title"), QStringLiteral("department"), QStringLiteral("initials"),
                           QStringLiteral("otherTelephone")};

// The known differences of the fixture: cn|attribute|directory value|prepared value.
const QStringList kDifferences{QStringLiteral("Sync Anna|title|Old|Главный бухгалтер"),
                               QStringLiteral("Sync Boris|department|Sales|Marketing"),
                               QStringLiteral("Sync Boris|initials|AB|AB...")};

class SyncTool : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        registerDirectoryServers();
        registerExcelServer();
        folder = freshTestFolder() + QStringLiteral("/data");
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_NO_FATAL_FAILURE(createSettingsFile(folder, db));
        storeConnectionOptions(db, slapd);
        const auto user = [&](const char *cn, const char *id, const char *more) {
            dns << addKeyedTestUser(slapd, cn, QStringLiteral("Synccli"), id, more);
        };
        user("Sync Anna", "S0001", "title: Old\notherTelephone: 100\notherTelephone: 200");
        user("Sync Boris", "S0002", "title: Same\ndepartment: Sales\ninitials: AB");
        user("Sync Clara", "S0003", "title: Manager");
        workbook = folder + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(workbook.toStdString(), {{1, {"ID", "Title", "Department", "Initials", "Phones"}},
                                                   {2, {"S0001", "главный бухгалтер", "", "", "200;100"}},
                                                   {3, {"S0002", "Same", "Marketing", "ABCDEFG"}},
                                                   {4, {"S0003", "manager"}}});
        registerWorkbookWith(db, workbook, QStringLiteral("HR"),
                             {{1, attr::employeeID, true, true},
                              {2, attr::title},
                              {3, attr::department},
                              {4, attr::initials},
                              {5, attr::otherTelephone}},
                             true);
    }

    void TearDown() override
    {
        for (const QString &dn : dns)
            ldapTool(slapd, QStringLiteral("ldapdelete"), {dn}, {}, false);
    }

    SyncToolRun tool(QStringList args, const QMap<QString, QString> &env = {})
    {
        return runSyncTool(args << QStringLiteral("--data-dir") << folder, slapd.password, env);
    }

    // The plan of the fixture's users only (other tests' users begin with S too).
    SyncToolRun plan(const QString &format = QStringLiteral("json"))
    {
        return tool({QStringLiteral("plan"), QStringLiteral("--letter"), kPrefix, QStringLiteral("--format"),
                     format});
    }

    QStringList valuesOf(const char *cn, const char *attribute)
    {
        const auto all = snapshot();
        for (auto it = all.begin(); it != all.end(); ++it)
            if (it.key().startsWith(QStringLiteral("CN=") + QString::fromUtf8(cn) + u',',
                                    Qt::CaseInsensitive))
                return it.value().value(QString::fromLatin1(attribute).toLower());
        ADD_FAILURE() << "no entry " << cn;
        return {};
    }

    static QStringList differences(const QString &json)
    {
        QStringList rows;
        for (const QJsonValue &v :
             QJsonDocument::fromJson(json.toUtf8())[QStringLiteral("changes")].toArray()) {
            const QJsonObject c = v.toObject();
            rows << QStringList{c[QStringLiteral("cn")].toString(), c[QStringLiteral("attribute")].toString(),
                                c[QStringLiteral("directoryValue")].toString(),
                                c[QStringLiteral("preparedValue")].toString()}
                        .join(u'|');
        }
        rows.sort();
        return rows;
    }

    QMap<QString, QMap<QString, QStringList>> snapshot()
    {
        return ldapEntries(slapd, QStringLiteral("(sn=Synccli)"), kChecked);
    }

    QStringList journalRows(long long setId)
    {
        return resultRows(
            db,
            QStringLiteral("SELECT guid, cn, attribute, multivalued, binary, old_values, new_values, "
                           "source, outcome, outcome_text FROM journal_changes WHERE set_id = %1 "
                           "ORDER BY guid, attribute")
                .arg(setId),
            10);
    }

    Slapd slapd;
    QString folder, workbook;
    QStringList dns;
    Database db;
};

} // namespace

TEST_F(SyncTool, PlanApplyPlanAgainAndUndoRestoreTheDirectory)
{
    const auto before = snapshot();
    const SyncToolRun first = plan();
    ASSERT_EQ(first.exitCode, 1) << first.err.toStdString();
    EXPECT_EQ(differences(first.out), kDifferences);
    const QJsonObject json = QJsonDocument::fromJson(first.out.toUtf8()).object();
    EXPECT_EQ(json[QStringLiteral("usersChecked")].toInt(), 3);
    EXPECT_EQ(json[QStringLiteral("workbook")].toString(), workbook);
    const QString text = plan(QStringLiteral("text")).out;
    EXPECT_TRUE(text.contains(QStringLiteral("  title: \"Old\" -> \"Главный бухгалтер\"  (row 2)\n"
                                             "      Workbook cell: главный бухгалтер\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("cut to the attribute's size of 6"))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("3 changes for 2 users (3 users compared).\n")));
    EXPECT_TRUE(plan(QStringLiteral("ldif"))
                    .out.contains(QStringLiteral(
                        "changetype: modify\nreplace: department\ndepartment: Marketing\n-\n")));

    const SyncToolRun apply =
        tool({QStringLiteral("apply"), QStringLiteral("--letter"), kPrefix, QStringLiteral("--yes")});
    ASSERT_EQ(apply.exitCode, 0) << apply.err.toStdString();
    EXPECT_TRUE(apply.out.contains(QStringLiteral("Written: 3, failed: 0, skipped: 0")))
        << apply.out.toStdString();
    EXPECT_EQ(valuesOf("Sync Boris", "department"), QStringList{QStringLiteral("Marketing")});
    EXPECT_EQ(valuesOf("Sync Anna", "title"), QStringList{QStringLiteral("Главный бухгалтер")});

    const SyncToolRun again = plan();
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(differences(again.out).isEmpty());

    const QList<JournalSet> sets = Journal(db).sets();
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0].origin, QStringLiteral("orvane-sync apply"));
    EXPECT_EQ(sets[0].operatorName, slapd.admin);
    EXPECT_TRUE(tool({QStringLiteral("history")}).out.contains(QStringLiteral("orvane-sync apply")));

    const SyncToolRun undo = tool({QStringLiteral("undo"), QString::number(sets[0].id)});
    EXPECT_EQ(undo.exitCode, 0) << undo.err.toStdString();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(differences(plan().out), kDifferences);
}

TEST_F(SyncTool, JournalRowsAreTheReviewWindowsAndOnlyAttributesLimitsTheWrites)
{
    const SyncToolRun some =
        tool({QStringLiteral("apply"), QStringLiteral("--letter"), kPrefix, QStringLiteral("--yes"),
              QStringLiteral("--only-attributes"), QStringLiteral("department,Initials")});
    ASSERT_EQ(some.exitCode, 0) << some.err.toStdString();
    EXPECT_EQ(differences(plan().out), kDifferences.mid(0, 1));
    const long long toolSet = Journal(db).sets().value(0).id;
    ASSERT_EQ(tool({QStringLiteral("undo"), QString::number(toolSet)}).exitCode, 0);

    // The review window's road: the users its Find lists, its plan, its apply.
    Settings settings = loadSettings(db);
    settings.password = slapd.password;
    ObjectTable users;
    const ObjectListAttributes pick = objectListAttributes(db);
    SearchUsers(slapd.connection(), db, pick.pick, kPrefix, pick.display, &users, QStringLiteral(";"));
    QList<PlannedChange> changes;
    for (const PlannedChange &c : BuildSyncPlan(db, settings, users, 0).changes)
        if (c.attribute != QLatin1String("title"))
            changes << c;
    const WriteSummary window = ApplyPlanChanges(db, slapd.connection(), settings.multivaluedDelimiter,
                                                 changes, journalOperator(settings));
    ASSERT_EQ(window.written, 2);
    EXPECT_EQ(journalRows(window.setId), journalRows(toolSet));
    EXPECT_EQ(resultRows(db,
                         QStringLiteral("SELECT operator, undo_of FROM journal_sets WHERE id IN (%1, %2)")
                             .arg(toolSet)
                             .arg(window.setId),
                         2),
              QStringList({slapd.admin + QStringLiteral("|0"), slapd.admin + QStringLiteral("|0")}));
}

TEST_F(SyncTool, ConfigurationAndConnectionErrorsSayWhyInOneLineAndWriteNothing)
{
    const auto before = snapshot();
    struct Case {
        const char *name;
        std::function<void()> arrange;
        QStringList extra;
        QMap<QString, QString> env;
        QString says;
    };
    const QString missingFolder = folder + QStringLiteral("/nowhere");
    const QList<Case> cases{
        {"wrong password",
         {},
         {},
         {{QStringLiteral("ORVANE_PASSWORD"), QStringLiteral("not-the-password")}},
         QStringLiteral("the directory search failed: the server refused the bind: invalid credentials "
                        "(<-2147023570>)")},
        {"unreadable password file",
         {},
         {QStringLiteral("--password-file"), folder + QStringLiteral("/none")},
         {},
         QStringLiteral("cannot read the password file")},
        {"missing data folder",
         {},
         {QStringLiteral("--data-dir"), missingFolder},
         {},
         QStringLiteral("does not exist")},
        {"missing workbook",
         [&] {
             db.execute(QStringLiteral("UPDATE excelfiles SET filename = ") +
                        sqlQuote(folder + QStringLiteral("/gone.xlsx")));
         },
         {},
         {},
         QStringLiteral("gone.xlsx")},
        {"unreachable server",
         [&] { db.setOption(QStringLiteral("dcserverport"), QStringLiteral("1")); },
         {},
         {},
         QStringLiteral("the directory search failed: cannot reach ")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.arrange)
            c.arrange();
        for (const char *command : {"plan", "apply"}) {
            // The last --data-dir wins, so a case can name another folder.
            QStringList args{QString::fromLatin1(command), QStringLiteral("--yes"),
                             QStringLiteral("--data-dir"), folder};
            if (QLatin1String(command) == QLatin1String("plan"))
                args.removeAt(1);
            const SyncToolRun run = runSyncTool(args + c.extra, slapd.password, c.env);
            EXPECT_EQ(run.exitCode, 3) << command << ": " << run.err.toStdString();
            EXPECT_TRUE(run.err.startsWith(QStringLiteral("orvane-sync: ")));
            EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
            EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(missingFolder));
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(Journal(db).sets().isEmpty());
}

TEST_F(SyncTool, APlanOverTheChangeThresholdIsRefusedWithNothingWrittenUnlessForced)
{
    // Two of the three users would change: over the default 10 % of the users checked.
    db.setOption(QStringLiteral("maxchangedpercent"), QStringLiteral("10"));
    const auto before = snapshot();
    const QStringList apply{QStringLiteral("apply"), QStringLiteral("--letter"), kPrefix, QStringLiteral("--yes")};

    const SyncToolRun planned = plan(QStringLiteral("text"));
    EXPECT_EQ(planned.exitCode, 1);
    EXPECT_TRUE(planned.err.contains("over the change threshold, apply would refuse: 66 % of the users checked "
                                     "would change (2 of 3), more than the 10 % allowed."))
        << planned.err.toStdString();

    const SyncToolRun refused = tool(apply);
    EXPECT_EQ(refused.exitCode, 5) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("orvane-sync: threshold exceeded: nothing written"));
    EXPECT_TRUE(refused.err.contains("(2 of 3)"));
    EXPECT_TRUE(refused.err.contains("--max-changes N or --max-percent P, or give --force"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(resultRows(db, QStringLiteral("SELECT count(*) FROM journal_sets"), 1), QStringList({"0"}));

    EXPECT_EQ(tool(apply + QStringList{QStringLiteral("--max-percent"), QStringLiteral("abc")}).exitCode, 4);
    EXPECT_EQ(tool(apply + QStringList{QStringLiteral("--max-changes"), QStringLiteral("1")}).exitCode, 5);
    const SyncToolRun forced = tool(apply + QStringList{QStringLiteral("--force")});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(valuesOf("Sync Anna", "title"), QStringList({QStringLiteral("Главный бухгалтер")}));
    EXPECT_EQ(resultRows(db, QStringLiteral("SELECT count(*) FROM journal_sets"), 1), QStringList({"1"}));
}

TEST_F(SyncTool, BadUsageAndApplyWithoutYesOffATerminalAreRefused)
{
    const auto before = snapshot();
    const QList<QStringList> cases{
        {QStringLiteral("apply")},
        {QStringLiteral("apply"), QStringLiteral("--only-attributes"), QStringLiteral("title")},
        {QStringLiteral("plan"), QStringLiteral("--format"), QStringLiteral("xml")},
        {QStringLiteral("plan"), QStringLiteral("--letter"), QStringLiteral("S"), QStringLiteral("--all")},
        {QStringLiteral("plan"), QStringLiteral("--password"), QStringLiteral("x")},
        {QStringLiteral("undo"), QStringLiteral("last")},
        {QStringLiteral("apply"), QStringLiteral("--yes"), QStringLiteral("--letter"),
         QStringLiteral("--all")},
        {QStringLiteral("plan"), QStringLiteral("stray")},
        {QStringLiteral("frobnicate")}};
    for (const QStringList &args : cases) {
        const SyncToolRun run = tool(args);
        EXPECT_EQ(run.exitCode, 4) << args.join(u' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("orvane-sync: "))) << run.err.toStdString();
    }
    EXPECT_TRUE(tool({QStringLiteral("apply")}).err.contains(QStringLiteral("--yes")));
    EXPECT_EQ(tool({QStringLiteral("apply"), QStringLiteral("--only-attributes"), QStringLiteral("nosuch"),
                    QStringLiteral("--yes")})
                  .exitCode,
              4);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(Journal(db).sets().isEmpty());
    const SyncToolRun help = tool({QStringLiteral("apply"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("4  bad usage")));
}

TEST_F(SyncTool, CheckNamesEachFailingPieceOfAMisconfiguredDataFolder)
{
    const SyncToolRun sound = tool({QStringLiteral("check")});
    EXPECT_EQ(sound.exitCode, 0) << sound.out.toStdString() << sound.err.toStdString();
    db.setOption(QStringLiteral("dcbasedn"), QStringLiteral("DC=nowhere,DC=test"));
    db.execute(QStringLiteral("UPDATE excelfiles SET filename = ") +
               sqlQuote(folder + QStringLiteral("/gone.xlsx")));
    const SyncToolRun run = tool({QStringLiteral("check")});
    EXPECT_EQ(run.exitCode, 3);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    const auto has = [&](const QString &state, const QString &piece) {
        return std::any_of(lines.begin(), lines.end(), [&](const QString &line) {
            return line.startsWith(state.leftJustified(8)) && line.contains(piece);
        });
    };
    EXPECT_TRUE(has(QStringLiteral("ok"), QStringLiteral("Bind"))) << run.out.toStdString();
    EXPECT_TRUE(has(QStringLiteral("FAILED"), QStringLiteral("DC=nowhere,DC=test"))) << run.out.toStdString();
    EXPECT_TRUE(has(QStringLiteral("FAILED"), QStringLiteral("gone.xlsx"))) << run.out.toStdString();
}

TEST_F(SyncTool, PasswordComesFromTheFileTheEnvironmentOrTheSettingsFile)
{
    const QString file = folder + QStringLiteral("/password");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(slapd.password.toUtf8() + "\n");
    out.close();
    const QMap<QString, QString> noEnvironment{{QStringLiteral("ORVANE_PASSWORD"), QString()}};
    const QStringList plan{QStringLiteral("plan"), QStringLiteral("--letter"), kPrefix};
    EXPECT_EQ(tool(plan + QStringList{QStringLiteral("--password-file"), file}, noEnvironment).exitCode, 1);
    EXPECT_EQ(tool(plan).exitCode, 1);
    const SyncToolRun none = tool(plan, noEnvironment);
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_TRUE(none.err.contains(QStringLiteral("no directory password"))) << none.err.toStdString();
    ASSERT_TRUE(savePassword(db, slapd.password)); // no keyring answers: the scrambled column
    EXPECT_EQ(tool(plan, noEnvironment).exitCode, 1);
}
