// One HR sheet as .xlsx (libxlsxwriter), as LibreOffice's .ods and .csv copies
// of it and as Python's csv module writes it: the lookups, the primary-status
// comparison and the plan against the private slapd come out identical from
// each, with Cyrillic and accented text, leading zeros, a date, a number, a
// multi-line cell, a spanned header and an empty row in the middle.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "plan/SyncPlan.h"
#include "store/SettingsStore.h"
#include "workbook/PrimaryStatus.h"
#include "workbook/WorkbookLookup.h"
#include "workbook/excel/RegisterServers.h"

#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

// The sheet every copy holds: texts, except a number in D2 and D4 and a date in E2.
void writeHrWorkbook(const std::string &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Staff");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy-mm-dd");
    const char *header[] = {"ID", "Title", "Department", "Phone"};
    for (int c = 0; c < 4; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), header[c], nullptr);
    worksheet_merge_range(ws, 0, 4, 0, 5, "Notes", nullptr);
    worksheet_write_string(ws, 1, 0, "000123", nullptr);
    worksheet_write_string(ws, 1, 1, "médecin-chef", nullptr);
    worksheet_write_string(ws, 1, 2, "Отдел кадров", nullptr);
    worksheet_write_number(ws, 1, 3, 5551234, nullptr);
    lxw_datetime when = {2024, 3, 1, 0, 0, 0};
    worksheet_write_datetime(ws, 1, 4, &when, date);
    // Row 3 stays empty.
    worksheet_write_string(ws, 3, 0, "000456", nullptr);
    worksheet_write_string(ws, 3, 1, "Ingénieure", nullptr);
    worksheet_write_string(ws, 3, 2, "Зарплата и учёт", nullptr);
    worksheet_write_number(ws, 3, 3, 42.5, nullptr);
    worksheet_write_string(ws, 3, 4, "Line one\nLine two", nullptr);
    worksheet_write_string(ws, 4, 0, "000789", nullptr);
    worksheet_write_string(ws, 4, 1, "Same", nullptr);
    worksheet_write_string(ws, 4, 2, "Sales", nullptr);
    workbook_add_worksheet(wb, "Notes");
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

// The same rows as an HR system's export through Python's csv module: semicolons, UTF-8 with BOM.
void writePythonCsv(const QString &path)
{
    const QString script = QStringLiteral(
        "import csv,sys\n"
        "with open(sys.argv[1], 'w', newline='', encoding='utf-8-sig') as f:\n"
        "    w = csv.writer(f, delimiter=';')\n"
        "    w.writerows([['ID', 'Title', 'Department', 'Phone', 'Notes'],\n"
        "                 ['000123', 'médecin-chef', 'Отдел кадров', '5551234', '2024-03-01'], [],\n"
        "                 ['000456', 'Ingénieure', 'Зарплата и учёт', '42.5', 'Line one\\nLine two'],\n"
        "                 ['000789', 'Same', 'Sales']])\n");
    ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path}), 0);
}

// LibreOffice's copy of `xlsx` in `format` ("ods", or "csv:..." with its filter options) beside it.
void convertWithLibreOffice(const QString &xlsx, const QString &format)
{
    const QString folder = xlsx.left(xlsx.lastIndexOf(u'/'));
    ASSERT_EQ(QProcess::execute(QStringLiteral("soffice"),
                                {QStringLiteral("--headless"),
                                 QStringLiteral("-env:UserInstallation=file://") + folder + QStringLiteral("/lo"),
                                 QStringLiteral("--convert-to"), format, QStringLiteral("--outdir"), folder, xlsx}),
              0);
}

/// What the program makes of one registered copy.
struct Results {
    QStringList cells;    ///< A1:F6 as ReadCell gives them
    QStringList lookups;  ///< per user: the rows FindSources lists
    QStringList statuses; ///< per user: the primary-status check
    QStringList plan;     ///< the plan's changes
    QStringList warnings;
    friend bool operator==(const Results &, const Results &) = default;
};

void PrintTo(const Results &r, std::ostream *os)
{
    for (const QStringList *list : {&r.cells, &r.lookups, &r.statuses, &r.plan, &r.warnings})
        *os << list->join(QStringLiteral(" / ")).toStdString() << "\n";
}

} // namespace

class HrExportsTest : public ::testing::Test
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
        dns << addKeyedTestUser(slapd, "Hrfmt Anna", QStringLiteral("Hrfmt"), "000123",
                                "title: Old\ndepartment: Отдел кадров\ntelephoneNumber: 5551234")
            << addKeyedTestUser(slapd, "Hrfmt Boris", QStringLiteral("Hrfmt"), "000456",
                                "title: Ingénieure\ndepartment: Sales\ndescription: Line one")
            << addKeyedTestUser(slapd, "Hrfmt Clara", QStringLiteral("Hrfmt"), "000789",
                                "title: Same\ndepartment: Sales");
        fileId = registerWorkbookWith(db, QString(), QStringLiteral("HR"),
                                      {{1, attr::employeeID, true, true},
                                       {2, attr::title},
                                       {3, attr::department},
                                       {4, attr::telephoneNumber},
                                       {5, attr::description}},
                                      true);
    }

    void TearDown() override
    {
        for (const QString &dn : dns)
            ldapTool(slapd, QStringLiteral("ldapdelete"), {dn}, {}, false);
    }

    Results resultsFor(const QString &path)
    {
        db.execute(QStringLiteral("UPDATE excelfiles SET filename = ") + sqlQuote(path) +
                   QStringLiteral(" WHERE id = ") + sqlQuote(fileId));
        Results r;
        const WarningSink warn = [&](const QString &title, const QString &text) {
            r.warnings << title + QStringLiteral(": ") + text;
        };
        if (ExcelInstance app = OpenWorkbook(path, warn)) {
            for (int row = 1; row <= 6; ++row)
                for (int column = 1; column <= 6; ++column)
                    r.cells << ReadCell(app.get(), row, column);
        }
        ObjectTable users;
        SearchUsers(slapd.connection(), db, QStringLiteral("sn"), QStringLiteral("Hrfmt"),
                    QStringLiteral("displayName"), &users, QStringLiteral(";"));
        std::sort(users.begin(), users.end(), [](const ObjectEntry &a, const ObjectEntry &b) { return a.cn < b.cn; });
        PrimaryStatusCheck status(db, settings, warn);
        for (const ObjectEntry &user : users) {
            for (const FoundSource &found : FindSources(db, user, warn))
                r.lookups << user.cn + u'|' + found.lookupText + u'|' + QString::number(found.hit.row) + u'|' +
                                 QString::number(found.image);
            r.statuses << user.cn + u'=' + QString::number(status.check(user));
        }
        const SyncPlan plan = BuildSyncPlan(db, settings, users, 0);
        for (const PlannedChange &c : plan.changes)
            r.plan << QStringList{c.cn, c.attribute, c.directoryValue, c.preparedValue,
                                  QString::number(c.sourceRow)}
                          .join(u'|');
        r.plan.sort();
        return r;
    }

    Slapd slapd;
    QString folder;
    QStringList dns;
    Database db;
    Settings settings;
    long long fileId = 0;
};

TEST_F(HrExportsTest, XlsxOdsAndCsvCopiesGiveTheSameLookupsComparisonAndPlan)
{
    const QString xlsx = folder + QStringLiteral("/staff.xlsx");
    writeHrWorkbook(xlsx.toStdString());
    convertWithLibreOffice(xlsx, QStringLiteral("ods"));
    convertWithLibreOffice(xlsx, QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"));
    const QString python = folder + QStringLiteral("/staff-python.csv");
    writePythonCsv(python);

    const Results fromXlsx = resultsFor(xlsx);
    EXPECT_TRUE(fromXlsx.warnings.isEmpty()) << fromXlsx.warnings.join(u'\n').toStdString();
    // What the .xlsx gives, so that agreeing copies cannot agree on nothing.
    EXPECT_EQ(fromXlsx.cells.mid(6, 6),
              QStringList({"000123", "médecin-chef", "Отдел кадров", "5551234", "2024-03-01", ""}));
    EXPECT_EQ(fromXlsx.cells.mid(12, 6), QStringList(6, QString()));
    EXPECT_EQ(fromXlsx.cells.mid(18, 5),
              QStringList({"000456", "Ingénieure", "Зарплата и учёт", "42.5", "Line one\nLine two"}));
    EXPECT_EQ(fromXlsx.lookups, QStringList({"Hrfmt Anna|000123|2|0", "Hrfmt Boris|000456|4|0",
                                             "Hrfmt Clara|000789|5|0"}));
    EXPECT_EQ(fromXlsx.statuses, QStringList({"Hrfmt Anna=1", "Hrfmt Boris=1", "Hrfmt Clara=0"}));
    EXPECT_EQ(fromXlsx.plan, QStringList({"Hrfmt Anna|description||2024-03-01|2",
                                          "Hrfmt Anna|title|Old|Médecin-chef|2",
                                          "Hrfmt Boris|department|Sales|Зарплата и учёт|4",
                                          "Hrfmt Boris|description|Line one|Line one\nLine two|4",
                                          "Hrfmt Boris|telephoneNumber||42.5|4"}));

    for (const QString &copy : {folder + QStringLiteral("/staff.ods"), folder + QStringLiteral("/staff.csv"), python})
        EXPECT_EQ(resultsFor(copy), fromXlsx) << copy.toStdString();
}
