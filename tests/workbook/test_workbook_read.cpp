// Reading workbooks written by independent writers: what each cell shows,
// which sheet is active, and the last used row.

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

struct Shown {
    uint32_t row;
    uint32_t column;
    const char *text;
};

void expectShown(const Worksheet &sheet, const std::vector<Shown> &cells)
{
    for (const Shown &c : cells) {
        EXPECT_EQ(sheet.text(c.row, c.column), c.text) << "row " << c.row << " column " << c.column;
    }
}

std::unique_ptr<Workbook> openOrFail(const std::string &path)
{
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    EXPECT_TRUE(book) << error.message;
    EXPECT_EQ(error.status, book ? WorkbookStatus::Ok : error.status);
    return book;
}

TEST(WorkbookRead, XlsxWriterWorkbookShowsEveryKindOfCell)
{
    std::string path = test::scratchDir("xlsxwriter") + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    auto book = openOrFail(path);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->format(), Workbook::Format::Xlsx);
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"Intro", "Data", "Notes"}));
    EXPECT_EQ(book->activeSheetIndex(), 1);
    const Worksheet &sheet = book->activeSheet();
    EXPECT_EQ(sheet.name(), "Data");
    expectShown(sheet, {
                           {1, 1, "Name"},
                           {1, 4, "Unicode"},
                           {2, 1, "Alice"},
                           {2, 2, "00123"},
                           {2, 3, "BoldPlain"},
                           {2, 4, "Zo\xC3\xAB \xE2\x9C\x93 <&>"},
                           {3, 1, "42"},
                           {3, 2, "3.25"},
                           {3, 3, "0.3"},
                           {3, 4, "1.23456789012346E+17"},
                           {3, 5, "1E-07"},
                           {3, 6, "-17.5"},
                           {3, 7, "1234567.891"},
                           {4, 1, "2024-01-05"},
                           {4, 2, "2024-01-05 13:04:05"},
                           {4, 3, "12:00:00"},
                           {4, 4, "2023-12-31"},
                           {4, 5, "45296"},
                           {5, 1, "TRUE"},
                           {5, 2, "FALSE"},
                           {5, 3, ""},
                           {5, 4, "3"},
                           {6, 1, ""},
                           {7, 8, "last"},
                           {7, 9, ""},
                           {7, 1, ""},
                           {2, 5, ""},
                           {100000, 3, ""},
                       });
    EXPECT_EQ(sheet.lastUsedRow(), 7u);
    EXPECT_FALSE(sheet.isModified());
    EXPECT_TRUE(sheet.isWritable());
}

TEST(WorkbookRead, OpenpyxlWorkbookWithInlineStringsAndErrors)
{
    std::string dir = test::scratchDir("openpyxl");
    std::string path = dir + "/gamma.xlsx", output;
    ASSERT_EQ(test::runPythonScript("make_openpyxl_workbook.py", {path}, &output), 0) << output;
    auto book = openOrFail(path);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(book->activeSheetIndex(), 2);
    const Worksheet &sheet = book->activeSheet();
    expectShown(sheet, {
                           {1, 1, "plain"},
                           {2, 1, "00042"},
                           {3, 1, "12"},
                           {4, 1, "2.5"},
                           {5, 1, "2024-02-29 08:30:00"},
                           {6, 1, "1999-12-31"},
                           {7, 1, "TRUE"},
                           {8, 1, ""},
                           {9, 1, ""},
                           {10, 1,
                            "\xC3\x9Cn\xC3\xAF"
                            "code"},
                           {11, 1, "  spaced  "},
                           {12, 1, "line\nbreak"},
                           {13, 1, "06:15:00"},
                           {14, 1, "-0.000123"},
                           {1, 2, ""},
                           {7, 2, "KEY "},
                       });
    EXPECT_EQ(sheet.lastUsedRow(), 14u);
}

TEST(WorkbookRead, ValuesKeepTheKindAutomationReports)
{
    std::string path = test::scratchDir("kinds") + "/gamma.xlsx", output;
    ASSERT_EQ(test::runPythonScript("make_openpyxl_workbook.py", {path}, &output), 0) << output;
    auto book = openOrFail(path);
    ASSERT_TRUE(book);
    const Worksheet &sheet = book->activeSheet();
    using K = CellValue::Kind;
    struct Expected {
        uint32_t row;
        K kind;
        double number;
        const char *text;
    };
    const Expected table[] = {
        {1, K::Text, 0, "plain"}, {3, K::Number, 12, ""},   {5, K::Date, 45351.354166666664, ""},
        {7, K::Boolean, 1, ""},   {8, K::Error, 0, "#N/A"}, {9, K::Empty, 0, ""},
    };
    for (const Expected &e : table) {
        CellValue v = sheet.value(e.row, 1);
        EXPECT_EQ(v.kind, e.kind) << "row " << e.row;
        EXPECT_NEAR(v.number, e.number, 1e-9) << "row " << e.row;
        EXPECT_EQ(v.text, e.text) << "row " << e.row;
    }
}

TEST(WorkbookRead, LegacyXlsWrittenByXlwt)
{
    std::string path = test::scratchDir("xls") + "/legacy.xls", output;
    ASSERT_EQ(test::runPythonScript("make_xls_workbook.py", {path}, &output), 0) << output;
    auto book = openOrFail(path);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->format(), Workbook::Format::Xls);
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"S1", "S2", "S3"}));
    EXPECT_EQ(book->activeSheetIndex(), 1);
    const Worksheet &sheet = book->activeSheet();
    expectShown(sheet, {
                           {1, 1, "text"},
                           {2, 1, "12"},
                           {3, 1, "2.5"},
                           {4, 1, "2024-01-05"},
                           {6, 1, "00042"},
                           {7, 1, "2024-01-05 13:04:05"},
                           {8, 1, "Z\xC3\xBCrich"},
                           {9, 1, ""},
                           {5, 1, "TRUE"},
                           {13, 1, "FALSE"},
                           {10, 1, ""},
                       });
    EXPECT_EQ(sheet.value(9, 1).kind, CellValue::Kind::Error);
    EXPECT_EQ(sheet.value(9, 1).text, "#N/A");
    EXPECT_EQ(sheet.value(5, 1).kind, CellValue::Kind::Boolean);
    EXPECT_EQ(sheet.lastUsedRow(), 13u);
    EXPECT_EQ(sheet.find(2, "KEY", 0), 10u);
    EXPECT_EQ(sheet.find(2, "key", 10), 12u);
    EXPECT_FALSE(sheet.isWritable());
    EXPECT_TRUE(book->activeSheet().setText(1, 1, "x"));
    EXPECT_EQ(book->activeSheet().text(1, 1), "x");
}

TEST(WorkbookRead, EmptySheetHasLastRowOne)
{
    std::string path = test::scratchDir("empty") + "/empty.xlsx";
    test::writeColumnWorkbook(path, 1, {});
    auto book = openOrFail(path);
    ASSERT_TRUE(book);
    EXPECT_EQ(book->activeSheet().lastUsedRow(), 1u);
    EXPECT_EQ(book->activeSheet().text(1, 1), "");
    EXPECT_EQ(book->activeSheet().find(1, "x", 0), 0u);
}

} // namespace
} // namespace orvane
