// Plan and apply benchmark.
//   orvane_bench_plan <folder> [users rows]   the plan of `users` listed users (default 2,000) against a
//                                             `rows`-row primary workbook (default 10,000); no directory
//                                             needed
//   with ORVANE_SLAPD_* set (". <statedir>/env" of scripts/test-directories) it also adds 1,000 users,
//   applies one changed attribute to each through the journal, times ldapmodify doing the same writes in
//   one process, and deletes the users again.

#include "BenchSupport.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "plan/PlanApply.h"
#include "store/Database.h"
#include "store/SettingsStore.h"
#include "workbook/excel/RegisterServers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <cstdio>
#include <xlsxwriter.h>

using namespace orvane;
using namespace orvane::bench;

namespace
{

constexpr long long kEmployeeID = 16, kTitle = 9, kDepartment = 10, kInitials = 15, kOtherTelephone = 14;

QString guidText(int n)
{
    return QStringLiteral("%1-0000-4000-8000-%2")
        .arg(n, 8, 16, QLatin1Char('0'))
        .arg(n, 12, 16, QLatin1Char('0'))
        .toUpper();
}

void writeWorkbook(const QString &path, int rows, const char *prefix, const char *title)
{
    lxw_workbook *wb = workbook_new(path.toUtf8().constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "HR");
    for (int r = 0; r < rows; ++r) {
        const QByteArray id = QByteArray(prefix) + QByteArray::number(r).rightJustified(6, '0');
        worksheet_write_string(ws, lxw_row_t(r), 0, id.constData(), nullptr);
        worksheet_write_string(ws, lxw_row_t(r), 1, r % 2 ? title : "Same title", nullptr);
        worksheet_write_string(ws, lxw_row_t(r), 2, "Sales", nullptr);
        worksheet_write_string(ws, lxw_row_t(r), 3, "ABC", nullptr);
        worksheet_write_string(ws, lxw_row_t(r), 4, "200;100", nullptr);
    }
    workbook_close(wb);
}

bool prepareStore(Database &db, const QString &folder, const QString &workbook)
{
    const QString file = folder + QStringLiteral("/data.db3");
    QFile::remove(file);
    if (createIfMissing(file, seedCharacterLists()) != CreateOutcome::Created || !db.open(file))
        return false;
    db.execute(QStringLiteral("INSERT INTO excelfiles(filename, desc, primary_flag, export_flag) VALUES(") +
               sqlQuote(workbook) + QStringLiteral(", 'HR', '1', '0')"));
    const long long id = db.lastInsertId();
    const long long bound[][2] = {
        {1, kEmployeeID}, {2, kTitle}, {3, kDepartment}, {4, kInitials}, {5, kOtherTelephone}};
    for (const auto &b : bound)
        db.execute(QStringLiteral("INSERT INTO excelfiles_bind(file_id, fld_order, attribute_id, key_flag, "
                                  "search_flag, show_flag) VALUES(") +
                   sqlQuote(id) + u',' + sqlQuote(b[0]) + u',' + sqlQuote(b[1]) + u',' +
                   sqlQuote(b[0] == 1 ? 1 : 0) + QStringLiteral(", '0', '0')"));
    return true;
}

void benchPlan(const QString &folder, int users, int rows)
{
    const QString workbook = folder + QStringLiteral("/plan-%1.xlsx").arg(rows);
    if (!QFile::exists(workbook))
        writeWorkbook(workbook, rows, "E", "New title");
    Database db;
    if (!prepareStore(db, folder, workbook)) {
        std::printf("cannot make the settings file in %s\n", qPrintable(folder));
        return;
    }
    Settings settings = loadSettings(db);
    ObjectTable table;
    for (int i = 0; i < users; ++i) {
        const int row = int((qint64(i) * 7919) % rows); // spread over the workbook
        ObjectEntry e;
        e.guid = guidText(i);
        e.cn = QStringLiteral("User %1").arg(i);
        e.sAMAccountName = QStringLiteral("user%1").arg(i);
        e.values.insert(QStringLiteral("employeeID"),
                        QStringLiteral("E%1").arg(row, 6, 10, QLatin1Char('0')));
        e.values.insert(QStringLiteral("title"), QStringLiteral("Same title"));
        e.values.insert(QStringLiteral("department"), QStringLiteral("Sales"));
        e.values.insert(QStringLiteral("initials"), QStringLiteral("ABC"));
        e.values.insert(QStringLiteral("otherTelephone"), QStringLiteral("100;200"));
        table.append(e);
    }
    double best = 1e9;
    int changes = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const SyncPlan plan = BuildSyncPlan(db, settings, table, 0);
        best = std::min(best, t.nsecsElapsed() / 1e9);
        changes = int(plan.changes.size());
    }
    std::printf("plan: %d users against %d rows: %d changes, best of 3 %.3f s (workbook opened inside)\n",
                users, rows, changes, best);
}

QProcess *ldapTool(const QString &tool, const QStringList &args)
{
    auto *p = new QProcess;
    p->start(tool, BenchDirectory::fromEnvironment().toolArguments() + args);
    return p;
}

bool runLdap(const QString &tool, const QStringList &args, const QByteArray &input)
{
    QProcess *p = ldapTool(tool, args);
    p->write(input);
    p->closeWriteChannel();
    p->waitForFinished(600000);
    const bool ok = p->exitCode() == 0;
    if (!ok)
        std::printf("%s: %s\n", qPrintable(tool), p->readAllStandardError().constData());
    delete p;
    return ok;
}

void benchApply(const QString &folder, int count)
{
    registerDirectoryServers();
    const BenchDirectory d = BenchDirectory::fromEnvironment();
    const QString base = d.base;
    const DirectoryConnection connection = d.connection();
    QByteArray add, modify, remove;
    QStringList dns;
    for (int i = 0; i < count; ++i) {
        QByteArray guid(16, '\0');
        for (char &b : guid)
            b = char(QRandomGenerator::global()->bounded(256));
        const QByteArray id = "B" + QByteArray::number(i).rightJustified(6, '0');
        const QByteArray dn = "CN=Benchplan " + id + ",OU=Fixtures," + base.toUtf8();
        add += "dn: " + dn +
               "\nobjectClass: top\nobjectClass: person\nobjectClass: organizationalPerson\n"
               "objectClass: user\nobjectCategory: person\ncn: Benchplan " +
               id +
               "\nsn: Benchplan\n"
               "sAMAccountName: bp" +
               id + "\nemployeeID: " + id +
               "\ntitle: Same title\ndepartment: Sales\n"
               "initials: ABC\notherTelephone: 100\notherTelephone: 200\nobjectGUID:: " +
               guid.toBase64() + "\n\n";
        modify += "dn: " + dn + "\nchangetype: modify\nreplace: title\ntitle: Python title\n-\n\n";
        dns << QString::fromUtf8(dn);
    }
    if (!runLdap(QStringLiteral("ldapadd"), {}, add))
        return;
    const QString workbook = folder + QStringLiteral("/apply-%1.xlsx").arg(count);
    writeWorkbook(workbook, count, "B", "Applied title");
    Database db;
    prepareStore(db, folder, workbook);
    const Settings settings = loadSettings(db);
    ObjectTable table;
    SearchUsers(connection, db, QStringLiteral("sn"), QStringLiteral("Benchplan"),
                QStringLiteral("displayName"), &table, QStringLiteral(";"));
    // Every user gets one changed title: odd rows carry a new title, so make the even ones differ too.
    for (ObjectEntry &e : table)
        e.values.insert(QStringLiteral("title"), QStringLiteral("Other"));
    const SyncPlan plan = BuildSyncPlan(db, settings, table, 0);
    QElapsedTimer t;
    t.start();
    const WriteSummary s =
        ApplyPlanChanges(db, connection, QStringLiteral(";"), plan.changes, QStringLiteral("bench"));
    const double applySeconds = t.nsecsElapsed() / 1e9;
    t.restart();
    runLdap(QStringLiteral("ldapmodify"), {}, modify);
    const double ldapmodifySeconds = t.nsecsElapsed() / 1e9;
    std::printf("apply: %d users listed, %d changes: %s in %.3f s (journal included); ldapmodify of the same "
                "writes in one process %.3f s\n",
                int(table.size()), int(plan.changes.size()), qPrintable(s.countsText()), applySeconds,
                ldapmodifySeconds);
    runLdap(QStringLiteral("ldapdelete"), {}, dns.join(u'\n').toUtf8() + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::printf("usage: %s <folder> [users rows]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    registerExcelServer();
    const int users = argc > 3 ? std::atoi(argv[2]) : 2000;
    const int rows = argc > 3 ? std::atoi(argv[3]) : 10000;
    benchPlan(folder, users, rows);
    if (!qEnvironmentVariableIsEmpty("ORVANE_SLAPD_HOST"))
        benchApply(folder, 1000);
    return 0;
}
