// The whole road as the user waits for it, against bulk users: the window's
// Find (loadObjectList into a real list, with the primary workbook's status
// check per listed user), opening one user as a double click does (attribute
// list, FindSources over three lookup pairs, comparison of the key-confirmed
// row), and the export of every user; beside the raw floors of the same run
// (ldapsearch of the same users and attributes, unzip -p of the same sheet).
//
// bench/run starts the directory and calls it; by hand:
//   scripts/test-directories start <dir> --no-samba --no-standard --no-fixtures --staff 0 --bulk 10000
//   set -a; . <dir>/env; set +a
//   QT_QPA_PLATFORM=offscreen build/bench/orvane_bench_road [rounds] [letter] [workdir]
// Prints a Markdown table: best and median of the rounds, ratio to the floor, goal.
//
// With "find" first (orvane_bench_road find [rounds] [letter] [workdir] [workbook]) it runs only
// the Find with status icons, as on a directory of a million users: the longest gap between two
// turns of the event loop during the Find, when the first row appeared, the peak memory of the
// Find, and opening a user afterwards. `workbook`, when given, is the primary workbook (columns in
// the order below) instead of one written from the directory.

#include "BenchSupport.h"
#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ObjectListLoader.h"
#include "app/ObjectView.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "store/AttributeCatalogue.h"
#include "workbook/ExportUsers.h"
#include "workbook/PrewarmTargets.h"
#include "workbook/WorkbookLookup.h"
#include "workbook/excel/RegisterServers.h"
#include "workbook/excel/WorkbookCache.h"
#include "workbook/excel/WorkbookPrewarm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>
#include <xlsxwriter.h>

using namespace orvane;
using namespace orvane::bench;

namespace
{

// Warnings would stop the run in a message box; they are printed instead.
class PrintedDialogs : public Dialogs
{
  public:
    void show(QWidget *, const QString &title, const QString &text, DialogIcon) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
    bool ask(QWidget *, const QString &, const QString &, DialogIcon) override { return false; }
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
};

// Runs a floor command with its output thrown away; returns its time in ms.
double floorRun(const QString &program, const QStringList &arguments)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    return timed([&] {
        p.start(program, arguments);
        p.waitForFinished(-1);
    });
}

// The bound columns of every registered workbook: column -> catalogue id
// (employeeID is the key, sAMAccountName the lookup column).
const std::vector<std::pair<int, const char *>> kColumns{
    {16, "employeeID"},     {2, "sn"},   {1, "givenName"},       {9, "title"},          {10, "department"},
    {6, "telephoneNumber"}, {7, "mail"}, {14, "otherTelephone"}, {13, "sAMAccountName"}};

// Writes the HR workbook: a header and one row per user that has an account
// name, the values read with ldapsearch (multiple values joined with ";").
int writeSourceWorkbook(const BenchDirectory &d, const QString &path)
{
    QStringList arguments = d.searchArguments(1000, kUserCountFilter);
    for (const auto &column : kColumns)
        arguments << QString::fromLatin1(column.second);
    QProcess p;
    p.start(QStringLiteral("ldapsearch"), arguments);
    p.waitForFinished(-1);
    lxw_workbook *wb = workbook_new(path.toUtf8().constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    for (size_t c = 0; c < kColumns.size(); ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), kColumns[c].second, nullptr);
    int rows = 0;
    QHash<QByteArray, QByteArray> values;
    auto flush = [&] {
        if (!values.value("sAMAccountName").isEmpty()) {
            ++rows;
            for (size_t c = 0; c < kColumns.size(); ++c)
                worksheet_write_string(ws, lxw_row_t(rows), lxw_col_t(c),
                                       values.value(kColumns[c].second).constData(), nullptr);
        }
        values.clear();
    };
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) {
            flush();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon);
        const bool base64 = line.size() > colon + 1 && line[colon + 1] == ':';
        QByteArray value = line.mid(colon + (base64 ? 3 : 2));
        if (base64)
            value = QByteArray::fromBase64(value);
        QByteArray &slot = values[name];
        slot = slot.isEmpty() ? value : slot + ';' + value;
    }
    flush();
    workbook_close(wb);
    return rows;
}

void writeHeaderWorkbook(const QString &path)
{
    lxw_workbook *wb = workbook_new(path.toUtf8().constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    for (size_t c = 0; c < kColumns.size(); ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), kColumns[c].second, nullptr);
    workbook_close(wb);
}

void registerWorkbook(Database &db, const QString &path, bool primary, bool exportTag, int lookupColumn)
{
    db.execute(QStringLiteral("INSERT INTO excelfiles(filename, desc, primary_flag, export_flag) VALUES(") +
               sqlQuote(path) + QStringLiteral(", 'bench', ") + sqlQuote(primary ? 1 : 0) + u',' +
               sqlQuote(exportTag ? 1 : 0) + u')');
    const long long id = db.lastInsertId();
    for (size_t c = 0; c < kColumns.size(); ++c) {
        const int column = int(c) + 1;
        db.execute(QStringLiteral("INSERT INTO excelfiles_bind VALUES(") + sqlQuote(id) + u',' +
                   sqlQuote(column) + u',' + sqlQuote(kColumns[c].first) + u',' +
                   sqlQuote(column == 1 ? 1 : 0) + u',' + sqlQuote(column == lookupColumn ? 1 : 0) +
                   QStringLiteral(", 0)"));
    }
}

struct Row {
    QString what;
    Samples samples;
    double floor = 0; ///< ms; 0: no ratio
    QString floorName;
    QString goal;
};

void printTable(const QList<Row> &rows)
{
    std::printf("\n| measurement | best | median | floor | ratio (best / floor) | goal "
                "|\n|---|---|---|---|---|---|\n");
    for (const Row &r : rows) {
        const QString floor =
            r.floor > 0 ? QStringLiteral("%1 ms (%2)").arg(r.floor, 0, 'f', 1).arg(r.floorName) : QString();
        const QString ratio =
            r.floor > 0 ? QStringLiteral("%1×").arg(r.samples.best() / r.floor, 0, 'f', 2) : QString();
        std::printf("| %s | %.1f ms | %.1f ms | %s | %s | %s |\n", qPrintable(r.what), r.samples.best(),
                    r.samples.median(), qPrintable(floor), qPrintable(ratio), qPrintable(r.goal));
    }
    std::fflush(stdout);
}

// A field of /proc/self/status in kB (VmRSS, VmHWM); 0 when unreadable.
long long memoryKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// Resets the peak resident size, so that VmHWM afterwards is the peak of what follows.
void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// What the event loop saw during one Find: a timer that fires whenever the loop turns.
struct PaintWatch {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longestGap = 0;
    qint64 longestGapEnd = 0; ///< when the longest gap ended
    int rowsAfterLongestGap = 0;
    qint64 firstRowMs = -1; ///< when the list first held a row
    int turns = 0;
    int turnsWithRows = 0; ///< turns that saw rows while the Find was still running
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const bool findOnly = argc > 1 && qstrcmp(argv[1], "find") == 0;
    if (findOnly) {
        --argc;
        ++argv;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const QString letter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("A");
    QTemporaryDir temporary;
    const QString work = argc > 3 ? QString::fromLocal8Bit(argv[3]) : temporary.path();
    const QString givenWorkbook = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    QDir().mkpath(work);
    const BenchDirectory d = BenchDirectory::fromEnvironment();
    if (!d.isSet()) {
        std::fprintf(stderr, "ORVANE_SLAPD_* not set: start a directory with scripts/test-directories\n");
        return 2;
    }
    PrintedDialogs printed;
    setDialogs(&printed);
    registerDirectoryServers();
    registerExcelServer();

    AppContext ctx;
    const QString dbPath = work + QStringLiteral("/data.db3");
    QFile::remove(dbPath);
    createIfMissing(dbPath, seedCharacterLists());
    ctx.db.open(dbPath);
    ctx.settings = loadSettings(ctx.db);
    ctx.settings.serverAddress = d.host + u':' + d.port;
    ctx.settings.baseDn = d.base;
    ctx.settings.useCurrentCredentials = 0;
    ctx.settings.userName = d.admin;
    ctx.settings.password = d.password;
    ctx.settings.multivaluedDelimiter = QStringLiteral(";");
    ctx.settings.firstUpperCase =
        0; // the workbook holds the directory's values: every bound cell is compared
    ctx.settings.showComparison = 0; // compare the key-confirmed rows on opening, as by default
    ctx.images.load();

    // The primary workbook and two more, one row per user, each with a lookup pair on the account name.
    const QString primary = givenWorkbook.isEmpty() ? work + QStringLiteral("/source0.xlsx") : givenWorkbook;
    const int users = givenWorkbook.isEmpty() ? writeSourceWorkbook(d, primary) : -1;
    for (int i = 0; i < (findOnly ? 1 : 3); ++i) {
        const QString path = i == 0 ? primary : work + QStringLiteral("/source%1.xlsx").arg(i);
        if (i > 0) {
            QFile::remove(path);
            QFile::copy(primary, path);
        }
        registerWorkbook(ctx.db, path, i == 0, false, int(kColumns.size()));
    }
    const QString exported = work + QStringLiteral("/export.xlsx");
    registerWorkbook(ctx.db, exported, false, true, 0);
    const bool large = users >= 50000;
    std::printf("users with a row in each workbook: %d; rounds: %d; letter: %s\n", users, rounds,
                qPrintable(letter));

    QWidget window;
    auto *objectList = new QTreeWidget(&window);
    auto *attributeList = new QTreeWidget(&window);
    auto *lookupList = new QTreeWidget(&window);
    auto *compareList = new QTreeWidget(&window);
    objectList->setColumnCount(4);
    attributeList->setColumnCount(3);
    lookupList->setColumnCount(3);
    compareList->setColumnCount(4);
    ObjectView view(ctx, {objectList, attributeList, lookupList, compareList, &window, {}}, &window);
    const StatusReporter quiet = [](const QString &, const QString &) {};

    // Opening a user as a double click does.
    int sourcesFound = 0;
    auto open = [&](int index) {
        for (ObjectEntry &entry : ctx.objects)
            entry.selected = 0;
        ctx.objects[index].selected = 1;
        ctx.currentObject = index;
        view.fillAttributeList();
        compareList->clear();
        lookupList->clear();
        view.findSources();
        sourcesFound += lookupList->topLevelItemCount();
    };

    if (findOnly) {
        PaintWatch watch;
        bool running = false;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = watch.clock.elapsed();
            if (now - watch.last > watch.longestGap) {
                watch.longestGap = now - watch.last;
                watch.longestGapEnd = now;
                watch.rowsAfterLongestGap = objectList->topLevelItemCount();
            }
            watch.last = now;
            ++watch.turns;
            if (running && objectList->topLevelItemCount() > 0) {
                ++watch.turnsWithRows;
                if (watch.firstRowMs < 0)
                    watch.firstRowMs = now;
            }
        });
        for (int round = 0; round < rounds; ++round) {
            WorkbookCache::clear();
            objectList->clear();
            ctx.objects.clear();
            const long long before = memoryKb("VmRSS");
            resetPeakMemory();
            watch = {};
            watch.clock.start();
            tick.start();
            running = true;
            int listed = 0;
            const double ms = timed(
                [&] { listed = loadObjectList(ctx, objectList, letter, quiet, makePrimaryStatusCheck); });
            running = false;
            tick.stop();
            const qint64 end = watch.clock.elapsed();
            watch.longestGap = std::max(watch.longestGap, end - watch.last);
            std::printf(
                "Find of %d users: %.0f ms; event loop turned %d times, longest gap %lld ms (ending at %lld "
                "ms, %d rows listed); first row at %lld ms, %d turns saw rows before the end; memory %lld MB "
                "before, peak %lld MB\n",
                listed, ms, watch.turns, static_cast<long long>(watch.longestGap),
                static_cast<long long>(watch.longestGapEnd), watch.rowsAfterLongestGap,
                static_cast<long long>(watch.firstRowMs), watch.turnsWithRows, before / 1024,
                memoryKb("VmHWM") / 1024);
            std::fflush(stdout);
            if (listed > 0) {
                WorkbookPrewarm prewarm;
                const double warm = timed([&] {
                    prewarm.start(prewarmTargets(ctx.db));
                    prewarm.wait();
                });
                const double first = timed([&] { open(listed / 2); });
                const double second = timed([&] { open(listed / 3); });
                std::printf("pre-warm %.0f ms; open a user afterwards %.1f ms, another %.1f ms\n", warm,
                            first, second);
            }
        }
        return 0;
    }

    Row find{QStringLiteral("Find with account state and status icons, first of the run"),
             {},
             0,
             {},
             large ? QStringLiteral("≤ 5 s") : QStringLiteral("≤ 0.8 s")};
    Row findAgain{QStringLiteral("Find with account state and status icons, again"), {}, 0, {}, find.goal};
    Row findBare{QStringLiteral("Find without workbooks (no status check)"),
                 {},
                 0,
                 {},
                 large ? QStringLiteral("≤ 4 s") : QStringLiteral("≤ 0.5 s")};
    Row prewarmRun{
        QStringLiteral("pre-warm after the Find (worker thread, the window stays free)"), {}, 0, {}, {}};
    Row openFirst{QStringLiteral("open a user after the Find, once the pre-warm is done"),
                  {},
                  0,
                  {},
                  large ? QStringLiteral("≤ 0.5 s") : QStringLiteral("≤ 50 ms")};
    Row openEarly{QStringLiteral("open a user as the pre-warm starts (no workbook parsed yet)"),
                  {},
                  0,
                  {},
                  openFirst.goal};
    Row openCold{
        QStringLiteral("open a user, no workbook parsed yet, no pre-warm"), {}, 0, {}, openFirst.goal};
    Row openWarm{QStringLiteral("open a user, workbooks opened before in this run"),
                 {},
                 0,
                 {},
                 QStringLiteral("≤ 10 ms")};
    Row openOne{
        QStringLiteral("of a first open: OpenWorkbook of one workbook, not parsed yet"), {}, 0, {}, {}};
    Row firstFind{QStringLiteral("of a first open: first FindFirstRow of the lookup column (its index)"),
                  {},
                  0,
                  {},
                  {}};
    Row exportAll{QStringLiteral("export of every user (search, cells, save)"),
                  {},
                  0,
                  {},
                  large ? QStringLiteral("≤ 8 s") : QStringLiteral("≤ 1.2 s")};
    Samples ldapListed, ldapExport, unzipSheet;
    int listed = 0, withIcon = 0, upToDate = 0, disabled = 0;
    int nextUser = 0;
    long long parsesFirstOpen = 0, parsesColdOpen = 0;

    const ExportJob job{connectionFromSettings(ctx.settings), ctx.settings.multivaluedDelimiter, exported,
                        LoadExportBindings(ctx.db)};
    ExportCallbacks callbacks;
    callbacks.warn = [](const QString &title, const QString &text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    };
    int written = 0;

    QStringList findAttributes;
    for (const CatalogueAttribute &a : loadCatalogue(ctx.db))
        findAttributes << a.attribute;
    findAttributes << QStringLiteral("cn") << QStringLiteral("sAMAccountName") << QStringLiteral("objectGUID")
                   << QStringLiteral("distinguishedName");
    const ObjectListAttributes names = objectListAttributes(ctx.db);
    QStringList exportAttributes;
    for (const WorkbookBinding &b : job.bindings)
        exportAttributes << b.attribute;
    exportAttributes << QStringLiteral("sAMAccountName") << QStringLiteral("distinguishedName");

    for (int round = 0; round < rounds; ++round) {
        // Floors first, then the road, each round, so that both see the same load.
        ldapListed.add(
            floorRun(QStringLiteral("ldapsearch"),
                     d.searchArguments(kUserListPageSize,
                                       QStringLiteral("(&(objectCategory=person)(objectClass=user)(") +
                                           names.pick + u'=' + letter + QStringLiteral("*))")) +
                         findAttributes));
        unzipSheet.add(floorRun(QStringLiteral("unzip"),
                                {QStringLiteral("-p"), primary, QStringLiteral("xl/worksheets/sheet1.xml"),
                                 QStringLiteral("xl/sharedStrings.xml")}));
        ldapExport.add(floorRun(QStringLiteral("ldapsearch"),
                                d.searchArguments(kUserCountPageSize, kUserCountFilter) + exportAttributes));

        WorkbookCache::clear();
        find.samples.add(
            timed([&] { listed = loadObjectList(ctx, objectList, letter, quiet, makePrimaryStatusCheck); }));
        // As the window does once its Find is done; the user picks a row meanwhile.
        WorkbookPrewarm prewarm;
        prewarmRun.samples.add(timed([&] {
            prewarm.start(prewarmTargets(ctx.db));
            prewarm.wait();
        }));
        const long long parsesBefore = WorkbookCache::parseCount();
        openFirst.samples.add(timed([&] { open(nextUser++ % listed); }));
        parsesFirstOpen = WorkbookCache::parseCount() - parsesBefore;
        openWarm.samples.add(timed([&] { open(nextUser++ % listed); }));
        findAgain.samples.add(
            timed([&] { listed = loadObjectList(ctx, objectList, letter, quiet, makePrimaryStatusCheck); }));
        for (int i = 0; i < 5; ++i)
            openWarm.samples.add(timed([&] { open(nextUser++ % listed); }));
        WorkbookCache::clear();
        prewarm.start(prewarmTargets(ctx.db));
        openEarly.samples.add(timed([&] { open(nextUser++ % listed); }));
        prewarm.wait();
        WorkbookCache::clear();
        const long long parsesBeforeCold = WorkbookCache::parseCount();
        openCold.samples.add(timed([&] { open(nextUser++ % listed); }));
        parsesColdOpen = WorkbookCache::parseCount() - parsesBeforeCold;
        {
            WorkbookCache::clear();
            ExcelInstance excel;
            openOne.samples.add(timed([&] { excel = OpenWorkbook(primary, callbacks.warn); }));
            const QString account =
                ctx.objects[nextUser % listed].values.value(QStringLiteral("sAMAccountName"));
            firstFind.samples.add(timed([&] { FindFirstRow(excel.get(), int(kColumns.size()), account); }));
        }
        findBare.samples.add(timed([&] { loadObjectList(ctx, objectList, letter, quiet, {}); }));

        writeHeaderWorkbook(exported);
        exportAll.samples.add(timed([&] { written = ExportUsers(job, callbacks).written; }));
    }
    // The icons of the last Find with status icons (the bare Find came after it: count from a fresh one).
    loadObjectList(ctx, objectList, letter, quiet, makePrimaryStatusCheck);
    for (int i = 0; i < objectList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = objectList->topLevelItem(i);
        withIcon += !item->icon(0).isNull();
        upToDate += item->icon(0).cacheKey() == ctx.images.icon(ImageUpToDate).cacheKey();
        disabled += !item->icon(2).isNull();
    }
    std::printf("listed: %d (%d with a status icon, %d of them up to date; %d disabled); workbook rows found "
                "per opened user: %.1f; users exported: %d\n",
                listed, withIcon, upToDate, disabled, double(sourcesFound) / std::max(1, nextUser), written);

    std::printf("workbook parses: %lld in the first open after a Find and its pre-warm, %lld in an open with "
                "none parsed\n",
                parsesFirstOpen, parsesColdOpen);
    const QString listedFloor =
        QStringLiteral("ldapsearch of the listed users, %1 attributes").arg(findAttributes.size());
    find.floor = findAgain.floor = findBare.floor = ldapListed.best();
    find.floorName = findAgain.floorName = findBare.floorName = listedFloor;
    // The floor is one workbook's text; a first open parses two or three workbooks.
    openFirst.floor = openEarly.floor = openCold.floor = openOne.floor = prewarmRun.floor = unzipSheet.best();
    openFirst.floorName = openEarly.floorName = openCold.floorName = openOne.floorName =
        prewarmRun.floorName = QStringLiteral("unzip -p of one workbook's sheet and shared strings");
    exportAll.floor = ldapExport.best();
    exportAll.floorName =
        QStringLiteral("ldapsearch of every user, the %1 exported attributes").arg(exportAttributes.size());
    printTable({find, findAgain, findBare, prewarmRun, openFirst, openEarly, openCold, openOne, firstFind,
                openWarm, exportAll});
    return 0;
}
