// Finding a user's rows in registered workbooks, the primary-workbook status,
// a source row compared with the user, and the stand-in's cache of parsed
// workbooks, on real .xlsx files written by libxlsxwriter.

#include "TestSupport.h"
#include "WorkbookFixtures.h"
#include "WorkbookSetup.h"
#include "automation/CommandParser.h"
#include "automation/Invocation.h"
#include "store/SettingsStore.h"
#include "workbook/PrimaryStatus.h"
#include "workbook/SourceComparison.h"
#include "workbook/excel/RegisterServers.h"
#include "workbook/excel/WorkbookCache.h"
#include "workbook/PrewarmTargets.h"
#include "workbook/excel/WorkbookPrewarm.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

struct Warning {
    QString title;
    QString text;
};

ObjectEntry user(std::initializer_list<std::pair<QString, QString>> values)
{
    ObjectEntry entry;
    entry.cn = QStringLiteral("Ann Smith");
    for (const auto &[name, value] : values)
        entry.values.insert(name, value);
    return entry;
}

} // namespace

class LookupTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        registerExcelServer();
        QDir(kTemplate).removeRecursively();
        QDir().mkpath(kTemplate);
        ASSERT_EQ(createIfMissing(kTemplate + QStringLiteral("/data.db3"), seedCharacterLists()),
                  CreateOutcome::Created);
    }

    void SetUp() override
    {
        folder = freshTestFolder();
        ASSERT_TRUE(
            QFile::copy(kTemplate + QStringLiteral("/data.db3"), folder + QStringLiteral("/data.db3")));
        ASSERT_TRUE(db.open(folder + QStringLiteral("/data.db3")));
        settings = loadSettings(db);
        warn = [this](const QString &title, const QString &text) { warnings.append({title, text}); };
    }

    QString file(const QString &name) const { return folder + u'/' + name; }

    static inline const QString kTemplate = QStringLiteral(ORVANE_TEST_TMP "/template");
    QString folder;
    Database db;
    Settings settings;
    QList<Warning> warnings;
    WarningSink warn;
};

TEST(ColumnLetters, BijectiveBase26)
{
    const std::vector<std::pair<int, const char *>> cases{{1, "A"},     {26, "Z"},  {27, "AA"},  {52, "AZ"},
                                                          {53, "BA"},   {78, "BZ"}, {100, "CV"}, {702, "ZZ"},
                                                          {703, "AAA"}, {0, ""}};
    for (const auto &[number, letters] : cases)
        EXPECT_EQ(ColumnLetters(number), QString::fromLatin1(letters)) << number;
}

TEST_F(LookupTest, RowsComeFromTheSecondMatchOnWithKeyIcons)
{
    const QString hr = file(QStringLiteral("hr.xlsx"));
    writeRowsWorkbook(
        hr.toStdString(),
        {{1, {"ID", "Surname"}}, {4, {"E1", "Smith"}}, {9, {"E7", "Smith"}}, {12, {"E9", "SMITH"}}});
    registerWorkbookWith(db, hr, QStringLiteral("HR"),
                         {{1, attr::employeeID, true, false}, {2, attr::sn, false, true}}, true);
    const QString phones = file(QStringLiteral("phones.xlsx"));
    writeRowsWorkbook(phones.toStdString(), {{3, {"Smith", "E7"}}});
    registerWorkbookWith(db, phones, QStringLiteral("Phones"),
                         {{1, attr::sn, false, true}, {2, attr::employeeID, true, false}});

    const QList<FoundSource> found = FindSources(db,
                                                 user({{QStringLiteral("sn"), QStringLiteral("Smith")},
                                                       {QStringLiteral("employeeID"), QStringLiteral("E7")}}),
                                                 warn);
    QStringList rows;
    for (const FoundSource &f : found)
        rows << QStringLiteral("%1|%2|%3|row %4|key %5|image %6")
                    .arg(f.desc, f.lookupText, QFileInfo(f.filename).fileName())
                    .arg(f.hit.row)
                    .arg(f.hit.keyConfirmed)
                    .arg(f.image);
    EXPECT_EQ(rows.join(u'\n').toStdString(),
              QStringList({QStringLiteral("HR|Smith|hr.xlsx|row 9|key 1|image 0"),
                           QStringLiteral("HR|SMITH|hr.xlsx|row 12|key 0|image 1"),
                           QStringLiteral("HR|Smith|hr.xlsx|row 4|key 0|image 1"),
                           QStringLiteral("Phones|Smith|phones.xlsx|row 3|key 0|image 13")})
                  .join(u'\n')
                  .toStdString());
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(LookupTest, ValuesWithQuotesAndDollarsAreSearchedExactly)
{
    const QString hr = file(QStringLiteral("quotes.xlsx"));
    writeRowsWorkbook(hr.toStdString(), {{2, {"O'Brien$0041"}}, {3, {"O'BrienA"}}});
    registerWorkbookWith(db, hr, QStringLiteral("Q"), {{1, attr::sn, false, true}});
    const QList<FoundSource> found =
        FindSources(db, user({{QStringLiteral("sn"), QStringLiteral("O'Brien$0041")}}), warn);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].hit.row, 2);
}

// Each lookup pair is searched on its own, so a workbook with two of them
// lists a row matching both twice, once under each pair's cell.
TEST_F(LookupTest, AWorkbookWithTwoLookupPairsIsSearchedOncePerPair)
{
    const QString hr = file(QStringLiteral("pairs.xlsx"));
    writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Surname", "First"}}, {5, {"E1", "Smith", "Ann"}}});
    registerWorkbookWith(
        db, hr, QStringLiteral("HR"),
        {{1, attr::employeeID, true, false}, {2, attr::sn, false, true}, {3, attr::givenName, false, true}},
        true);
    const ObjectEntry ann = user({{QStringLiteral("sn"), QStringLiteral("Smith")},
                                  {QStringLiteral("givenName"), QStringLiteral("Ann")},
                                  {QStringLiteral("employeeID"), QStringLiteral("E1")}});
    QStringList rows;
    for (const FoundSource &f : FindSources(db, ann, warn))
        rows << QStringLiteral("%1 row %2 key %3").arg(f.lookupText).arg(f.hit.row).arg(f.hit.keyConfirmed);
    EXPECT_EQ(rows.join(u'|'), QStringLiteral("Smith row 5 key 1|Ann row 5 key 1"));
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(LookupTest, UnreadableWorkbooksAreReportedNeverSilent)
{
    const QString missing = file(QStringLiteral("deleted.xlsx"));
    registerWorkbookWith(db, missing, QStringLiteral("Gone"), {{1, attr::sn, false, true}});
    const QString damaged = file(QStringLiteral("damaged.xlsx"));
    writeFile(damaged.toStdString(), "this is no workbook");
    registerWorkbookWith(db, damaged, QStringLiteral("Bad"), {{1, attr::sn, false, true}});

    EXPECT_TRUE(FindSources(db, user({{QStringLiteral("sn"), QStringLiteral("Smith")}}), warn).isEmpty());
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_EQ(warnings[0].title, QStringLiteral("Excel file error"));
    EXPECT_EQ(warnings[0].text, QStringLiteral("Excel file ") + missing + QStringLiteral(" not found."));
    EXPECT_EQ(warnings[1].title, QStringLiteral("Excel file error"));
    EXPECT_TRUE(warnings[1].text.startsWith(QStringLiteral("<-2147352567> COM method error occurred while "
                                                           "trying to open Excel file ") +
                                            damaged))
        << warnings[1].text.toStdString();
}

TEST_F(LookupTest, PrimaryStatusOfEachUser)
{
    const QString hr = file(QStringLiteral("primary.xlsx"));
    writeRowsWorkbook(
        hr.toStdString(),
        {{1, {"ID", "Title", "Phones"}}, {2, {"E1", "engineer", "1;2"}}, {3, {"E2", "Manager", ""}}});
    registerWorkbookWith(db, hr, QStringLiteral("HR"),
                         {{1, attr::employeeID, true, false}, {2, attr::title}, {3, attr::otherTelephone}},
                         true);
    PrimaryStatusCheck check(db, settings, warn);
    ASSERT_TRUE(check.isActive());
    const QString id = QStringLiteral("employeeID"), title = QStringLiteral("title"),
                  phones = QStringLiteral("otherTelephone");
    // The cell is prepared (first letter upper-cased); multiple values in any order match.
    EXPECT_EQ(check.check(user({{id, QStringLiteral("E1")},
                                {title, QStringLiteral("Engineer")},
                                {phones, QStringLiteral("2;1")}})),
              StatusUpToDate);
    EXPECT_EQ(check.check(user({{id, QStringLiteral("E2")}, {title, QStringLiteral("Director")}})),
              StatusDiffers);
    EXPECT_EQ(check.check(user({{title, QStringLiteral("Manager")}})), StatusNoKeyValue);
    EXPECT_EQ(check.check(user({{id, QStringLiteral("E404")}})), StatusNoRow);
}

// The status check's reads come from the parsed cells where they can: every
// answer must be the command's, whatever the cell holds, and the workbook must
// still go back to the cache when the check ends.
TEST_F(LookupTest, ParsedReadsAnswerAsTheCommandsDo)
{
    const QString path = file(QStringLiteral("kinds.xlsx"));
    writeZip(path.toStdString(),
             minimalPackage("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                            "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>E1</t></is></c>"
                            "<c r=\"B1\" t=\"inlineStr\"><is><t>\xc3\x84rger &amp; Co</t></is></c>"
                            "<c r=\"C1\"><v>12.5</v></c><c r=\"D1\" t=\"b\"><v>1</v></c>"
                            "<c r=\"E1\" t=\"e\"><v>#N/A</v></c><c r=\"F1\" t=\"inlineStr\"></c></row>"
                            "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>e1</t></is></c>"
                            "<c r=\"B3\" t=\"str\"><v>'quoted' $1</v></c></row></sheetData></worksheet>"));
    ExcelInstance app = OpenWorkbook(path, warn);
    ASSERT_TRUE(app);
    {
        const ParsedWorkbookReads reads(app.get());
        for (int row = 0; row <= 4; ++row) {
            for (int column = 0; column <= 7; ++column)
                EXPECT_EQ(reads.readCell(row, column), ReadCell(app.get(), row, column)) << row << "," << column;
        }
        EXPECT_EQ(reads.readCell(1, 2), QStringLiteral("\u00c4rger & Co"));
        for (const char *value : {"E1", "e1", "\xc3\xa4RGER & co", "12.5", "TRUE", "'quoted' $1", "none", ""}) {
            for (int column : {0, 1, 2, 3, 4})
                EXPECT_EQ(reads.findFirstRow(column, QString::fromUtf8(value)),
                          FindFirstRow(app.get(), column, QString::fromUtf8(value)))
                    << value << " in " << column;
        }
        EXPECT_EQ(reads.findFirstRow(2, QStringLiteral("'quoted' $1")), 3);
    }
    app.close();
    registerWorkbookWith(db, path, QStringLiteral("HR"), {{1, attr::employeeID, true, false}, {2, attr::title}},
                         true);
    const long long parses = WorkbookCache::parseCount();
    {
        PrimaryStatusCheck check(db, settings, warn);
        EXPECT_EQ(check.check(user({{QStringLiteral("employeeID"), QStringLiteral("E1")},
                                    {QStringLiteral("title"), QStringLiteral("\u00c4rger & Co")}})),
                  StatusUpToDate);
    }
    EXPECT_EQ(ReadCell(OpenWorkbook(path, warn).get(), 1, 1), QStringLiteral("E1"));
    EXPECT_EQ(WorkbookCache::parseCount(), parses) << "the workbook did not go back to the cache";
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(LookupTest, TrailingDelimiterReadsAlikeInStatusAndComparison)
{
    const QString hr = file(QStringLiteral("trailing.xlsx"));
    writeRowsWorkbook(hr.toStdString(), {{2, {"E1", "1;2;"}}, {3, {"E2", "1;;2"}}});
    const long long id = registerWorkbookWith(
        db, hr, QStringLiteral("HR"), {{1, attr::employeeID, true, false}, {2, attr::otherTelephone}}, true);
    PrimaryStatusCheck check(db, settings, warn);
    ASSERT_TRUE(check.isActive());
    const ObjectEntry first = user(
        {{QStringLiteral("employeeID"), QStringLiteral("E1")}, {QStringLiteral("otherTelephone"), "2;1"}});
    // Opening the user finds nothing to write, so the status icon must not say "differs".
    EXPECT_EQ(CompareSource(db, settings, SourceHit{id, 2, 1}, first, warn).differing, 0);
    EXPECT_EQ(check.check(first), StatusUpToDate);
    // An empty value between two others is a value of its own on both sides.
    const ObjectEntry second = user(
        {{QStringLiteral("employeeID"), QStringLiteral("E2")}, {QStringLiteral("otherTelephone"), "2;1"}});
    EXPECT_EQ(CompareSource(db, settings, SourceHit{id, 3, 1}, second, warn).differing, 1);
    EXPECT_EQ(check.check(second), StatusDiffers);
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(LookupTest, SourceRowComparedWithTheUser)
{
    const QString hr = file(QStringLiteral("compare.xlsx"));
    writeRowsWorkbook(hr.toStdString(), {{5, {"E1", "a;b", "ABCDEF", "ABCDEFG", "sales"}}});
    const long long id = registerWorkbookWith(db, hr, QStringLiteral("HR"),
                                              {{1, attr::employeeID, true, false},
                                               {2, attr::otherTelephone},
                                               {3, attr::initials},
                                               {4, attr::telephoneNumber},
                                               {5, attr::department}},
                                              true);
    // telephoneNumber stands in for a short attribute: rangeupper 6 like initials.
    db.execute(QStringLiteral("UPDATE attributes SET rangeupper = 6 WHERE id = 6"));
    const ObjectEntry object = user({{QStringLiteral("employeeID"), QStringLiteral("E1")},
                                     {QStringLiteral("otherTelephone"), QStringLiteral("B;A")},
                                     {QStringLiteral("initials"), QStringLiteral("ABCDEF")},
                                     {QStringLiteral("telephoneNumber"), QStringLiteral("ABCDEFG")},
                                     {QStringLiteral("department"), QStringLiteral("Sales")}});
    const SourceComparison c = CompareSource(db, settings, SourceHit{id, 5, 1}, object, warn);
    ASSERT_TRUE(c.opened);
    QStringList shown;
    for (const SyncRecord &r : c.records)
        shown << QStringLiteral("%1=%2 raw %3 up %4 cut %5")
                     .arg(r.attribute, r.value, r.rawValue)
                     .arg(r.upToDate)
                     .arg(r.trimmed);
    EXPECT_EQ(shown.join(u'\n').toStdString(),
              QStringList({QStringLiteral("employeeID=E1 raw E1 up 1 cut 0"),
                           QStringLiteral("otherTelephone=A;B raw a;b up 1 cut 0"),
                           QStringLiteral("initials=ABCDEF raw ABCDEF up 1 cut 0"),
                           QStringLiteral("telephoneNumber=AB... raw ABCDEFG up 0 cut 1"),
                           QStringLiteral("department=Sales raw sales up 1 cut 0")})
                  .join(u'\n')
                  .toStdString());
    EXPECT_EQ(c.differing, 1);
    EXPECT_EQ(SynchronizeQuestion(3, QStringLiteral("Ann Smith"), hr),
              QStringLiteral("Synchronize 3 attributes to Ann Smith AD object from source ") + hr + u'?');
}

TEST_F(LookupTest, ParsedWorkbooksAreKeptWhileTheFileIsUnchanged)
{
    const QString path = file(QStringLiteral("cache.xlsx"));
    writeRowsWorkbook(path.toStdString(), {{1, {"first"}}});
    auto cellA1 = [&] {
        ExcelInstance app = OpenWorkbook(path, warn);
        return app ? ReadCell(app.get(), 1, 1) : QStringLiteral("<not opened>");
    };
    const long long before = WorkbookCache::parseCount();
    EXPECT_EQ(cellA1(), QStringLiteral("first"));
    EXPECT_EQ(cellA1(), QStringLiteral("first"));
    EXPECT_EQ(WorkbookCache::parseCount(), before + 1) << "the second open parsed again";

    // Written but not saved: the next open must not see the write.
    {
        ExcelInstance app = OpenWorkbook(path, warn);
        ASSERT_EQ(setProperty(app.get(), QStringLiteral("Cells(1,1)\\Value = 'unsaved'")), S_OK);
    }
    EXPECT_EQ(cellA1(), QStringLiteral("first"));

    // Saved through the engine: the next open reads the new file.
    {
        ExcelInstance app = OpenWorkbook(path, warn);
        ASSERT_EQ(setProperty(app.get(), QStringLiteral("Cells(1,1)\\Value = 'saved'")), S_OK);
        ASSERT_EQ(invoke(app.get(), QStringLiteral("Save")), S_OK);
    }
    EXPECT_EQ(cellA1(), QStringLiteral("saved"));

    // Replaced by another program (same size, new inode).
    writeRowsWorkbook(path.toStdString(), {{1, {"other"}}});
    EXPECT_EQ(cellA1(), QStringLiteral("other"));
    const long long parses = WorkbookCache::parseCount();
    EXPECT_EQ(cellA1(), QStringLiteral("other"));
    EXPECT_EQ(WorkbookCache::parseCount(), parses);
    EXPECT_TRUE(warnings.isEmpty());
}

// Pre-warming parses each workbook an open looks into once, whether it runs
// before or beside the open, and a warmed copy is not used once the file changed.
TEST_F(LookupTest, PrewarmedWorkbooksServeTheFirstOpenWhileUnchanged)
{
    const QString hr = file(QStringLiteral("hr.xlsx"));
    writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Surname"}}, {4, {"E1", "Smith"}}});
    registerWorkbookWith(db, hr, QStringLiteral("HR"),
                         {{1, attr::employeeID, true, false}, {2, attr::sn, false, true}}, true);
    const QString phones = file(QStringLiteral("phones.xlsx"));
    writeRowsWorkbook(phones.toStdString(), {{3, {"Smith"}}});
    registerWorkbookWith(db, phones, QStringLiteral("Phones"), {{1, attr::sn, false, true}});
    const QString other = file(QStringLiteral("other.xlsx"));
    writeRowsWorkbook(other.toStdString(), {{1, {"Smith"}}});
    registerWorkbookWith(db, other, QStringLiteral("Other"), {{1, attr::sn, true, false}});

    const QList<PrewarmTarget> targets = prewarmTargets(db);
    QStringList shown;
    for (const PrewarmTarget &t : targets) {
        QStringList columns;
        for (int c : t.columns)
            columns << QString::number(c);
        shown << QFileInfo(t.path).fileName() + u':' + columns.join(u',');
    }
    EXPECT_EQ(shown.join(u' '), QStringLiteral("hr.xlsx:1,2 phones.xlsx:1"));

    const ObjectEntry smith = user({{QStringLiteral("sn"), QStringLiteral("Smith")}});
    auto rows = [&] {
        QStringList found;
        for (const FoundSource &f : FindSources(db, smith, warn))
            found << QFileInfo(f.filename).fileName() + u':' + QString::number(f.hit.row);
        return found.join(u' ');
    };
    for (const bool waitFirst : {true, false}) {
        WorkbookCache::clear();
        const long long before = WorkbookCache::parseCount();
        WorkbookPrewarm prewarm;
        prewarm.start(targets);
        if (waitFirst)
            prewarm.wait();
        EXPECT_EQ(rows(), QStringLiteral("hr.xlsx:4 phones.xlsx:3")) << waitFirst;
        prewarm.wait();
        EXPECT_EQ(WorkbookCache::parseCount(), before + 2) << "a workbook parsed twice; waited " << waitFirst;
    }

    writeRowsWorkbook(phones.toStdString(), {{5, {"Smith"}}});
    WorkbookPrewarm prewarm;
    prewarm.start(targets);
    prewarm.wait();
    writeRowsWorkbook(phones.toStdString(), {{7, {"Smith"}}});
    EXPECT_EQ(rows(), QStringLiteral("hr.xlsx:4 phones.xlsx:7"));
    EXPECT_TRUE(warnings.isEmpty());
}
