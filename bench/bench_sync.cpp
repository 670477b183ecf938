// Workbook-side benchmark: the export of every user, the Find with the status
// icon of every listed user against a primary workbook of one row per user,
// and opening a user (FindSources over three lookup pairs plus the comparison
// of its key-confirmed row), cold (workbooks not yet parsed in the process)
// and warm.
//
// Needs a private slapd with bulk users:
//   scripts/test-directories start build/bench-sync --no-samba --no-standard --bulk 10000 --staff 0
//   set -a; . build/bench-sync/env; set +a
//   build/bench/orvane_bench_sync [rounds] [letter]
// The export writes the primary workbook the other measurements use.

#include "BenchSupport.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "store/Database.h"
#include "store/SettingsStore.h"
#include "workbook/ExportUsers.h"
#include "workbook/PrimaryStatus.h"
#include "workbook/SourceComparison.h"
#include "workbook/excel/RegisterServers.h"
#include "workbook/excel/WorkbookCache.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <xlsxwriter.h>

using namespace orvane;
using namespace orvane::bench;

namespace
{

void writeHeaderWorkbook(const QString &path)
{
    lxw_workbook *wb = workbook_new(path.toUtf8().constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    const char *titles[] = {"ID",    "Surname", "Given name", "Title",  "Department",
                            "Phone", "Mail",    "Phones",     "Account"};
    for (int c = 0; c < 9; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), titles[c], nullptr);
    workbook_close(wb);
}

// Column -> catalogue id of the bound attributes.
const std::vector<std::pair<int, int>> kBindings{{1, 16}, {2, 2}, {3, 1},  {4, 9}, {5, 10},
                                                 {6, 6},  {7, 7}, {8, 14}, {9, 13}};

long long registerWorkbook(Database &db, const QString &path, bool primary, bool exportTag, int lookupColumn)
{
    db.execute(QStringLiteral("INSERT INTO excelfiles(filename, desc, primary_flag, export_flag) VALUES(") +
               sqlQuote(path) + QStringLiteral(", 'bench', ") + sqlQuote(primary ? 1 : 0) + u',' +
               sqlQuote(exportTag ? 1 : 0) + u')');
    const long long id = db.lastInsertId();
    for (const auto &[column, attribute] : kBindings) {
        db.execute(QStringLiteral("INSERT INTO excelfiles_bind VALUES(") + sqlQuote(id) + u',' +
                   sqlQuote(column) + u',' + sqlQuote(attribute) + u',' + sqlQuote(column == 1 ? 1 : 0) +
                   u',' + sqlQuote(column == lookupColumn ? 1 : 0) + QStringLiteral(", 0)"));
    }
    return id;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString letter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("A");
    const BenchDirectory d = BenchDirectory::fromEnvironment();
    if (!d.isSet()) {
        std::fprintf(stderr,
                     "set the ORVANE_SLAPD_* variables (scripts/test-directories start ... --bulk N)\n");
        return 2;
    }
    registerDirectoryServers();
    registerExcelServer();
    QTemporaryDir dir;
    const QString dbPath = dir.filePath(QStringLiteral("data.db3"));
    createIfMissing(dbPath, seedCharacterLists());
    Database db;
    db.open(dbPath);
    Settings settings = loadSettings(db);
    const DirectoryConnection connection = d.connection();
    settings.multivaluedDelimiter = QStringLiteral(";");
    settings.firstUpperCase = 0; // exported values then compare equal: every binding of a row is read

    // Export of every user, into a workbook holding only a header.
    const QString exported = dir.filePath(QStringLiteral("export.xlsx"));
    registerWorkbook(db, exported, false, true, 0);
    const ExportJob job{connection, settings.multivaluedDelimiter, exported, LoadExportBindings(db)};
    ExportCallbacks callbacks;
    callbacks.warn = [](const QString &, const QString &text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    };
    int written = 0;
    report("export of every user (search, cells, save)", measure(rounds, [&] {
               writeHeaderWorkbook(exported);
               written = ExportUsers(job, callbacks).written;
           }));
    std::printf("  users written: %d\n", written);

    // Three registered copies: the primary one and two more, each with a lookup pair on the account.
    db.execute(QStringLiteral("UPDATE excelfiles SET export_flag = 0"));
    for (int i = 0; i < 3; ++i) {
        const QString copy = dir.filePath(QStringLiteral("source%1.xlsx").arg(i));
        QFile::copy(exported, copy);
        registerWorkbook(db, copy, i == 0, false, 9);
    }

    ObjectTable table;
    const ObjectListAttributes names = objectListAttributes(db);
    int listed = 0, upToDate = 0;
    report("Find: search, fields, binds (no workbook)", measure(rounds, [&] {
               table.clear();
               listed = SearchUsers(connection, db, names.pick, letter, names.display, &table,
                                    settings.multivaluedDelimiter)
                            .count;
           }));
    report("status icons of the listed users, workbook not parsed yet", measure(rounds, [&] {
               WorkbookCache::clear();
               PrimaryStatusCheck check(db, settings, callbacks.warn);
               upToDate = 0;
               for (const ObjectEntry &entry : table)
                   upToDate += check.check(entry) == StatusUpToDate;
           }));
    report("status icons of the listed users, workbook parsed before", measure(rounds, [&] {
               PrimaryStatusCheck check(db, settings, callbacks.warn);
               for (const ObjectEntry &entry : table)
                   check.check(entry);
           }));
    std::printf("  listed: %d, up to date: %d\n", listed, upToDate);

    // Opening users: FindSources over the three lookup pairs plus the key-confirmed comparison.
    int hits = 0;
    auto open = [&](const ObjectEntry &entry) {
        const QList<FoundSource> found = FindSources(db, entry, callbacks.warn);
        hits += found.size();
        for (const FoundSource &f : found) {
            if (f.hit.keyConfirmed == 1)
                CompareSource(db, settings, f.hit, entry, callbacks.warn);
        }
    };
    const int users = std::min<int>(20, table.size());
    int next = 0;
    report("open a user, workbooks not parsed yet", measure(rounds, [&] {
               WorkbookCache::clear();
               open(table[next++ % users]);
           }));
    report("open a user, workbooks parsed before", measure(users, [&] { open(table[next++ % users]); }));
    std::printf("  workbook rows found per user: %.1f\n", double(hits) / (rounds + users));
    return 0;
}
