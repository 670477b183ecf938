// The plan of many users against the private slapd and a generated workbook,
// its apply and undo through the journal, checked with ldapsearch.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "directory/AccountState.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "plan/JournaledEdits.h"
#include "plan/PlanApply.h"
#include "plan/PlanFiles.h"
#include "store/Journal.h"
#include "store/SettingsStore.h"
#include "workbook/SourceComparison.h"
#include "workbook/excel/RegisterServers.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <thread>

using namespace orvane;
using namespace orvane::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace
{

const QStringList kChecked{QStringLiteral("title"), QStringLiteral("department"), QStringLiteral("initials"),
                           QStringLiteral("otherTelephone")};

} // namespace

class SyncPlanTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        registerExcelServer();
        registerDirectoryServers();
        folder = freshTestFolder();
        ASSERT_NO_FATAL_FAILURE(createSettingsFile(folder, db));
        settings = loadSettings(db);
        settings.replacementMode = AlwaysReplace;
        settings.replacementRules = {{1, QStringLiteral("Street"), QStringLiteral("St.")}};
        const auto user = [&](const char *cn, const char *id, const QString &more) {
            dns << addTestUser(slapd, QString::fromLatin1(cn),
                               randomGuidLine() + QStringLiteral("\nsn: Planwb\nemployeeID: ") +
                                   QString::fromLatin1(id) + QStringLiteral("\nsAMAccountName: ") +
                                   QString::fromLatin1(id).toLower() + u'\n' + more);
        };
        user("Plan Anna", "P0001",
             QStringLiteral("title: Old\ndepartment: Отдел кадров\notherTelephone: 100\notherTelephone: 200\n"
                            "userAccountControl: 512"));
        user("Plan Boris", "P0002", QStringLiteral("title: Same\ndepartment: Sales\ninitials: AB"));
        user("Plan Clara", "P0003", QStringLiteral("title: Manager\ndepartment: Sales"));
        user("Plan Dora", "P0004", QStringLiteral("otherTelephone: 100\notherTelephone: 200"));
        user("Plan Emil", "P0005", QStringLiteral("title: Nobody"));
        workbook = folder + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(workbook.toStdString(),
                          {{1, {"ID", "Title", "Department", "Initials", "Phones"}},
                           {2, {"P0003", "manager", "Sales"}},
                           {3, {"P0001", "главный бухгалтер", "Отдел кадров", "", "200;100"}},
                           {4, {"P0002", "Same", "Street Team", "ABCDEFG"}},
                           {5, {"P0004", "", "", "", "dup;dup"}}});
        registerWorkbookWith(db, workbook, QStringLiteral("HR"),
                             {{1, attr::employeeID, true},
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

    ObjectTable listed()
    {
        ObjectTable table;
        SearchUsers(slapd.connection(), db, QStringLiteral("sn"), QStringLiteral("Planwb"),
                    QStringLiteral("displayName"), &table, QStringLiteral(";"));
        return table;
    }

    SyncPlan plan() { return BuildSyncPlan(db, settings, listed(), 0); }

    static QStringList rows(const SyncPlan &p)
    {
        QStringList r;
        for (const PlannedChange &c : p.changes)
            r << QStringList{c.cn,
                             c.attribute,
                             c.directoryValue,
                             c.preparedValue,
                             QString::number(c.sourceRow),
                             c.why.join(QStringLiteral(", "))}
                     .join(u'|');
        r.sort();
        return r;
    }

    QMap<QString, QMap<QString, QStringList>> snapshot()
    {
        return ldapEntries(slapd, QStringLiteral("(sn=Planwb)"), kChecked);
    }

    QStringList valuesOf(const char *cn, const char *attribute)
    {
        const auto all = snapshot();
        for (auto it = all.begin(); it != all.end(); ++it)
            if (it.key().startsWith(QStringLiteral("CN=") + QString::fromUtf8(cn) + u',',
                                    Qt::CaseInsensitive))
                return it.value().value(QString::fromLatin1(attribute).toLower());
        ADD_FAILURE() << "no entry " << cn << " in " << QStringList(all.keys()).join(u' ').toStdString();
        return {};
    }

    WriteSummary apply(const QList<PlannedChange> &changes, const std::atomic_bool *cancel = nullptr,
                       const WriteProgress &progress = {})
    {
        return ApplyPlanChanges(db, slapd.connection(), QStringLiteral(";"), changes,
                                QStringLiteral("tester"), kReviewApplyOrigin, progress, cancel);
    }

    Slapd slapd;
    QString folder, workbook;
    QStringList dns;
    Database db;
    Settings settings;
};

TEST_F(SyncPlanTest, ListsExactlyTheDifferencesAndAgreesWithTheSingleUserComparison)
{
    const SyncPlan p = plan();
    EXPECT_TRUE(p.problem.isEmpty()) << p.problem.toStdString();
    EXPECT_EQ(p.usersChecked, 5);
    EXPECT_EQ(p.usersWithoutRow, 1);
    EXPECT_EQ(p.usersChanged, p.userCount());
    EXPECT_EQ(p.usersChanged, changedUserCount(p.changes));
    EXPECT_EQ(
        rows(p),
        QStringList({QStringLiteral("Plan Anna|title|Old|Главный бухгалтер|3|first letter upper-cased"),
                     QStringLiteral("Plan Boris|department|Sales|St. Team|4|replacement rule \"Street\" "
                                    "-> \"St.\""),
                     QStringLiteral("Plan Boris|initials|AB|AB...|4|cut to the attribute's size of 6 "
                                    "characters"),
                     QStringLiteral("Plan Dora|otherTelephone|100;200|Dup;Dup|5|first letter upper-cased")}));
    EXPECT_EQ(planCountText(int(p.changes.size()), p.userCount()), QStringLiteral("4 changes for 3 users"));
    EXPECT_EQ(planCountText(1, 1), QStringLiteral("1 change for 1 user"));
    EXPECT_EQ(planCountText(0, 0), QStringLiteral("0 changes for 0 users"));

    // The single-user comparison of each user's row writes the same attributes.
    const ObjectTable users = listed();
    for (const ObjectEntry &user : users) {
        QStringList planned, single;
        for (const PlannedChange &c : p.changes)
            if (c.guid == user.guid)
                planned << c.attribute + u'=' + c.preparedValue;
        for (const PlannedChange &c : p.changes)
            if (c.guid == user.guid) {
                const SourceComparison cmp =
                    CompareSource(db, settings, {p.fileId, c.sourceRow, 1}, user, [](auto &, auto &) {});
                for (const SyncRecord &r : cmp.records)
                    if (r.upToDate == 0)
                        single << r.attribute + u'=' + r.value;
                break;
            }
        EXPECT_EQ(planned, single) << user.cn.toStdString();
    }
}

TEST_F(SyncPlanTest, APlanBuiltAsTheSearchHandsOverEachUserIsTheListedUsersPlan)
{
    SyncPlanBuilder builder(db, settings, 0);
    ASSERT_TRUE(builder.ready()) << builder.plan().problem.toStdString();
    QList<int> comparedAtEachRecord;
    QSet<QString> valuesRead;
    const SearchOutcome outcome = SearchUsers(
        slapd.connection(), db, QStringLiteral("sn"), QStringLiteral("Planwb"), QStringLiteral("displayName"),
        UserSink([&](ObjectEntry &user) {
            for (auto it = user.values.cbegin(); it != user.values.cend(); ++it)
                valuesRead.insert(it.key().toLower());
            builder.add(user);
        }),
        QStringLiteral(";"), [&](long, long) { comparedAtEachRecord << builder.plan().usersChecked; },
        AccountStates::Skip, builder.comparedAttributes());
    EXPECT_EQ(outcome.count, 5);
    // Only the key and the bound attributes are read for a plan.
    EXPECT_EQ(valuesRead, QSet<QString>({QStringLiteral("employeeid"), QStringLiteral("title"),
                                         QStringLiteral("department"), QStringLiteral("initials"),
                                         QStringLiteral("othertelephone")}));
    // Each user is compared before the walk reads the next record: no list of users is kept.
    EXPECT_EQ(comparedAtEachRecord, (QList<int>{1, 2, 3, 4, 5}));
    // The walk's one entry, refilled per user, carries nothing from one user to the next.
    const SyncPlan listedPlan = plan();
    const SyncPlan &walked = builder.plan();
    EXPECT_EQ(rows(walked), rows(listedPlan));
    EXPECT_EQ(QList<int>({walked.usersChecked, walked.usersChanged, walked.usersWithoutRow}),
              QList<int>({listedPlan.usersChecked, listedPlan.usersChanged, listedPlan.usersWithoutRow}));
}

TEST_F(SyncPlanTest, UsersComparedBesideTheCallerGiveTheCallersPlanInTheOrderHandedOver)
{
    // Enough users for many hand-overs, and for the caller to wait for room.
    const ObjectTable users = listed();
    SyncPlanBuilder onCaller(db, settings, 0);
    SyncPlanBuilder beside(db, settings, 0, {}, PlanComparing::Beside);
    for (int round = 0; round < 300; ++round)
        for (const ObjectEntry &user : users) {
            onCaller.add(user);
            beside.add(user);
        }
    const auto inOrder = [](const SyncPlan &p) {
        QStringList r;
        for (const PlannedChange &c : p.changes)
            r << c.cn + u'|' + c.attribute + u'|' + c.preparedValue + u'|' + QString::number(c.sourceRow);
        return r;
    };
    const SyncPlan &expected = onCaller.plan();
    const SyncPlan &got = beside.plan();
    EXPECT_EQ(got.usersChecked, 1500);
    EXPECT_EQ(inOrder(got), inOrder(expected));
    EXPECT_EQ(QList<int>({got.usersChecked, got.usersChanged, got.usersWithoutRow}),
              QList<int>({expected.usersChecked, expected.usersChanged, expected.usersWithoutRow}));
    EXPECT_EQ(got.fileId, expected.fileId);
    EXPECT_TRUE(got.problem.isEmpty()) << got.problem.toStdString();
}

TEST_F(SyncPlanTest, AWorkbookThatCannotBeOpenedIsToldOnTheCallersThreadAndNobodyIsCompared)
{
    ASSERT_TRUE(QFile::remove(workbook));
    const ObjectTable users = listed();
    for (const PlanComparing comparing : {PlanComparing::OnCaller, PlanComparing::Beside}) {
        QStringList told;
        bool onCallersThread = true;
        const std::thread::id caller = std::this_thread::get_id();
        SyncPlanBuilder builder(
            db, settings, 0,
            [&](const QString &title, const QString &text) {
                told << title + QStringLiteral(": ") + text;
                onCallersThread = onCallersThread && std::this_thread::get_id() == caller;
            },
            comparing);
        for (const ObjectEntry &user : users)
            builder.add(user);
        EXPECT_FALSE(builder.ready());
        EXPECT_EQ(builder.plan().problem, QStringLiteral("The workbook cannot be opened: ") + workbook);
        EXPECT_EQ(builder.plan().usersChecked, 0);
        EXPECT_EQ(builder.plan().fileId, 0);
        EXPECT_EQ(told, QStringList{QStringLiteral("Excel file error: Excel file ") + workbook +
                                    QStringLiteral(" not found.")});
        EXPECT_TRUE(onCallersThread);
    }
}

TEST_F(SyncPlanTest, ApplyUndoConflictAndRefusedWrite)
{
    const auto before = snapshot();
    const SyncPlan p = plan();
    const WriteSummary applied = apply(p.changes);
    EXPECT_EQ(applied.countsText(), QStringLiteral("Written: 3, failed: 1, skipped: 0"));
    ASSERT_EQ(applied.failures.size(), 1);
    EXPECT_TRUE(applied.failures[0].startsWith(QStringLiteral("Plan Dora: otherTelephone: <")))
        << applied.failures[0].toStdString();
    EXPECT_EQ(valuesOf("Plan Anna", "title"), QStringList{QStringLiteral("Главный бухгалтер")});
    EXPECT_EQ(valuesOf("Plan Boris", "initials"), QStringList{QStringLiteral("AB...")});

    // Only the refused change is left, and the journal tells why.
    EXPECT_EQ(
        rows(plan()),
        QStringList({QStringLiteral("Plan Dora|otherTelephone|100;200|Dup;Dup|5|first letter upper-cased")}));
    Journal journal(db);
    const QList<JournalSet> sets = journal.sets();
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0].operatorName, QStringLiteral("tester"));
    EXPECT_EQ(sets[0].origin, QStringLiteral("Review apply"));
    QStringList outcomes;
    for (const JournalChange &c : journal.changes(sets[0].id))
        outcomes << c.cn + u'|' + c.attribute + u'|' + c.oldValues.join(u',') + u'|' +
                        c.newValues.join(u',') + u'|' + journalOutcomeName(c.outcome) +
                        (c.outcomeText.isEmpty() ? "" : "|reason");
    outcomes.sort();
    EXPECT_EQ(outcomes,
              QStringList({QStringLiteral("Plan Anna|title|Old|Главный бухгалтер|written"),
                           QStringLiteral("Plan Boris|department|Sales|St. Team|written"),
                           QStringLiteral("Plan Boris|initials|AB|AB...|written"),
                           QStringLiteral("Plan Dora|otherTelephone|100,200|Dup,Dup|failed|reason")}));

    // Undo restores every attribute exactly; the refused write left its old values, already as before.
    WriteSummary undone = UndoChangeSet(db, slapd.connection(), QStringLiteral(";"), applied.setId, "tester");
    EXPECT_EQ(undone.countsText(), QStringLiteral("Written: 3, failed: 0, skipped: 0, already as before: 1"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(journal.sets().first().undoOf, applied.setId);

    // Another client changes one attribute between apply and undo: a conflict, left alone.
    const WriteSummary again = apply(p.changes);
    ldapTool(slapd, QStringLiteral("ldapmodify"), {},
             QStringLiteral("dn: %1\nchangetype: modify\nreplace: title\ntitle: Someone else\n")
                 .arg(dns[0])
                 .toUtf8());
    undone = UndoChangeSet(db, slapd.connection(), QStringLiteral(";"), again.setId, "tester");
    EXPECT_EQ(undone.countsText(),
              QStringLiteral("Written: 2, failed: 0, skipped: 0, conflicts: 1, already as before: 1"));
    ASSERT_EQ(undone.conflictTexts.size(), 1);
    EXPECT_EQ(undone.conflictTexts[0], QStringLiteral("Plan Anna: title: changed since; now: Someone else"));
    EXPECT_EQ(valuesOf("Plan Anna", "title"), QStringList{QStringLiteral("Someone else")});
    EXPECT_EQ(valuesOf("Plan Boris", "initials"), QStringList{QStringLiteral("AB")});
}

TEST_F(SyncPlanTest, CancelMidwayLeavesTheJournalConsistentWithTheDirectory)
{
    const SyncPlan p = plan();
    std::atomic_bool cancel = false;
    const WriteSummary s = apply(p.changes, &cancel, [&](int done, int) { cancel = done >= 1; });
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.written + s.failed, 1);
    EXPECT_EQ(s.skipped, 3);
    Journal journal(db);
    for (const JournalChange &c : journal.changes(s.setId)) {
        const QStringList now = valuesOf(c.cn.toLatin1().constData(), c.attribute.toLatin1().constData());
        const QStringList expected = c.outcome == JournalWritten ? c.newValues : c.oldValues;
        EXPECT_TRUE(sameValues(now, expected, c.multivalued))
            << c.cn.toStdString() << " " << c.attribute.toStdString() << " "
            << journalOutcomeName(c.outcome).toStdString();
        EXPECT_NE(c.outcome, JournalPending);
    }
}

TEST_F(SyncPlanTest, NoPrimaryWorkbookOrKeyPairIsAProblemNotAPlan)
{
    db.execute(QStringLiteral("UPDATE excelfiles_bind SET key_flag = '0'"));
    EXPECT_EQ(plan().problem, QStringLiteral("The workbook has no key pair: ") + workbook);
    db.execute(QStringLiteral("UPDATE excelfiles SET primary_flag = '0'"));
    EXPECT_EQ(plan().problem, QStringLiteral("No primary workbook is registered."));
}

TEST_F(SyncPlanTest, LdifAppliedWithLdapmodifyGivesWhatApplyGives)
{
    const auto before = snapshot();
    QList<PlannedChange> changes = plan().changes;
    changes.removeIf([](const PlannedChange &c) { return c.cn == QLatin1String("Plan Dora"); });
    QStringList guids;
    for (const PlannedChange &c : changes)
        guids << c.guid;
    const QString ldif =
        planLdif(changes, distinguishedNames(slapd.connection(), guids), QStringLiteral(";"));
    EXPECT_EQ(ldif.count(QStringLiteral("changetype: modify")), 2) << ldif.toStdString();

    const WriteSummary applied = apply(changes);
    const auto viaApply = snapshot();
    UndoChangeSet(db, slapd.connection(), QStringLiteral(";"), applied.setId, QStringLiteral("tester"));
    ASSERT_EQ(snapshot(), before);
    ldapTool(slapd, QStringLiteral("ldapmodify"), {}, ldif.toUtf8());
    EXPECT_EQ(snapshot(), viaApply);

    const QStringList csv = planCsv(changes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 4);
    EXPECT_TRUE(csv[2].endsWith(QStringLiteral(",4,\"replacement rule \"\"Street\"\" -> \"\"St.\"\"\"")))
        << csv[2].toStdString();
}

TEST_F(SyncPlanTest, SingleWritesAreJournaledAndUndone)
{
    const ObjectTable users = listed();
    const ObjectEntry *anna = nullptr;
    for (const ObjectEntry &e : users)
        if (e.cn == QLatin1String("Plan Anna"))
            anna = &e;
    ASSERT_TRUE(anna);
    settings.useCurrentCredentials = 0;
    const DirectoryConnection c = slapd.connection();
    settings.serverAddress = c.serverAddress;
    settings.userName = c.userName;
    settings.password = c.password;
    const auto before = snapshot();
    QFile jpeg(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-1.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    const QByteArray photo = jpeg.readAll();

    EXPECT_EQ(JournaledWriteAttribute(db, settings, anna->guid, anna->cn, QStringLiteral("title"), 0,
                                      {QStringLiteral("Old")}, {QStringLiteral("Edited")})
                  .result,
              1);
    EXPECT_EQ(JournaledAccountChange(db, settings, anna->guid, anna->cn, true, false).result, 1);
    EXPECT_EQ(JournaledPhotoChange(db, settings, anna->guid, anna->cn, photo).result, 1);
    SyncRecord record;
    record.attribute = QStringLiteral("department");
    record.value = QStringLiteral("Synced");
    EXPECT_EQ(JournaledApplyPreparedValues(db, settings, {record}, users, int(anna - users.data()),
                                           QStringLiteral("hr.xlsx row 3"))
                  .result,
              1);
    EXPECT_EQ(valuesOf("Plan Anna", "title"), QStringList{QStringLiteral("Edited")});
    EXPECT_EQ(ReadAccountDisabled(c, anna->guid), 1);

    Journal journal(db);
    QStringList origins;
    for (const JournalSet &s : journal.sets())
        origins << s.origin + u':' + QString::number(s.written);
    EXPECT_EQ(origins,
              QStringList({QStringLiteral("Synchronize:1"), QStringLiteral("Image:1"),
                           QStringLiteral("Enable/disable account:1"), QStringLiteral("Attribute edit:1")}));
    const JournalChange photoChange = journal.changes(journal.sets()[1].id).value(0);
    EXPECT_EQ(QByteArray::fromBase64(photoChange.newValues.value(0).toLatin1()), photo);
    EXPECT_TRUE(photoChange.oldValues.isEmpty());

    for (const JournalSet &s : journal.sets())
        EXPECT_EQ(UndoChangeSet(db, c, QStringLiteral(";"), s.id, QStringLiteral("tester")).countsText(),
                  QStringLiteral("Written: 1, failed: 0, skipped: 0"))
            << s.origin.toStdString();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(ReadAccountDisabled(c, anna->guid), 0);
    EXPECT_FALSE(ReadPhoto(c, anna->guid).has_value());
}

TEST_F(SyncPlanTest, APhotoWhoseImageCannotBeReadFirstIsNotWritten)
{
    const ObjectTable users = listed();
    const ObjectEntry *anna = nullptr;
    for (const ObjectEntry &e : users)
        if (e.cn == QLatin1String("Plan Anna"))
            anna = &e;
    ASSERT_TRUE(anna);
    QFile jpeg(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-1.jpg"));
    ASSERT_TRUE(jpeg.open(QIODevice::ReadOnly));
    const QByteArray photo = jpeg.readAll();
    ASSERT_EQ(SetPhoto(slapd.connection(), anna->guid, photo).result, 1);

    // The first connection is dropped (the read of the image held now), later ones pass (the write would).
    QProcess proxy;
    proxy.start(QStringLiteral("python3"),
                {QStringLiteral(ORVANE_SOURCE_DIR "/tests/tools/cut_proxy.py"),
                 qEnvironmentVariable("ORVANE_DIRECTORY_STATE"), qEnvironmentVariable("ORVANE_SLAPD_LDAPS_PORT"),
                 QStringLiteral("0"), QStringLiteral("1")});
    ASSERT_TRUE(proxy.waitForReadyRead(10000));
    settings.useCurrentCredentials = 0;
    settings.serverAddress = slapd.host + u':' + QString::fromLatin1(proxy.readLine().trimmed());
    settings.userName = slapd.admin;
    settings.password = slapd.password;
    const DirectoryReport r = JournaledPhotoChange(db, settings, anna->guid, anna->cn, QByteArray("new image"));
    proxy.kill();
    proxy.waitForFinished();
    EXPECT_EQ(r.result, 0);
    ASSERT_EQ(r.messages.size(), 1);
    EXPECT_TRUE(r.messages[0].text.contains(QStringLiteral("The current image could not be read; nothing was "
                                                           "written.")))
        << r.messages[0].text.toStdString();
    EXPECT_FALSE(r.failure.reason().isEmpty()) << "the directory's reason is kept";
    EXPECT_EQ(ReadPhoto(slapd.connection(), anna->guid).value_or(QByteArray()), photo);
    EXPECT_TRUE(Journal(db).sets().isEmpty()) << "nothing was journaled, since nothing was tried";
}
