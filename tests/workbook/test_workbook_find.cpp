// Find on a worksheet column: whole-cell, case-insensitive matches, the
// next-match walk that wraps around, and an index kept current by writes.

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

// Column C holds "Smith" in rows 4, 9 and 12 (in varying case), near misses
// elsewhere, and other values; column D repeats "Smith" in row 2 only.
const std::vector<std::pair<int, std::string>> kColumnC = {
    {1, "Name"},  {2, "Smithson"}, {3, "Smith Jr"}, {4, "Smith"}, {5, " Smith"},        {6, "Jones"},
    {9, "SMITH"}, {10, "smit"},    {12, "smith"},   {13, "42"},   {14, "\xC3\x84rger"},
};

std::unique_ptr<Workbook> openColumnBook(const std::string &name, bool inlineStrings)
{
    std::string path = test::scratchDir(name) + "/find.xlsx";
    test::writeColumnWorkbook(path, 3, kColumnC, inlineStrings);
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    EXPECT_TRUE(book) << error.message;
    return book;
}

class WorkbookFind : public ::testing::TestWithParam<bool>
{
};

TEST_P(WorkbookFind, ThreeMatchesWalkedAsFindSourcesDoes)
{
    auto book = openColumnBook(GetParam() ? "inline" : "shared", GetParam());
    ASSERT_TRUE(book);
    const Worksheet &sheet = book->activeSheet();
    uint32_t first = sheet.find(3, "Smith", 0);
    EXPECT_EQ(first, 4u);
    std::vector<uint32_t> walked;
    uint32_t previous = first, row = 0;
    do {
        row = sheet.find(3, "Smith", previous);
        walked.push_back(row);
        previous = row;
    } while (row != first && walked.size() < 10);
    EXPECT_EQ(walked, (std::vector<uint32_t>{9, 12, 4}));
}

TEST_P(WorkbookFind, MatchesWholeCellsIgnoringCase)
{
    auto book = openColumnBook(GetParam() ? "inline-case" : "shared-case", GetParam());
    ASSERT_TRUE(book);
    const Worksheet &sheet = book->activeSheet();
    struct Case {
        const char *what;
        uint32_t after;
        uint32_t row;
    };
    const Case cases[] = {
        {"sMiTh", 0, 4},    {"Nobody", 0, 0},        {"Smit", 0, 10}, {"Smith Jr", 0, 3},
        {"smith jr", 3, 3}, {" Smith", 0, 5},        {"Smith", 5, 9}, {"Smith", 12, 4},
        {"42", 0, 13},      {"\xC3\xA4rger", 0, 14}, {"", 0, 0},      {"Smith", 1048576, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(sheet.find(3, c.what, c.after), c.row) << "'" << c.what << "' after " << c.after;
    }
    EXPECT_EQ(sheet.find(4, "Smith", 0), 0u);
    EXPECT_EQ(sheet.find(0, "Smith", 0), 0u);
    EXPECT_EQ(sheet.find(16385, "Smith", 0), 0u);
}

TEST_P(WorkbookFind, WritesKeepTheIndexCurrent)
{
    auto book = openColumnBook(GetParam() ? "inline-write" : "shared-write", GetParam());
    ASSERT_TRUE(book);
    Worksheet &sheet = book->activeSheet();
    ASSERT_EQ(sheet.find(3, "smith", 0), 4u);
    ASSERT_TRUE(sheet.setText(9, 3, "Brown"));
    ASSERT_TRUE(sheet.setText(20, 3, "sMITH"));
    ASSERT_TRUE(sheet.setText(12, 3, ""));
    EXPECT_EQ(sheet.find(3, "Smith", 4), 20u);
    EXPECT_EQ(sheet.find(3, "Smith", 20), 4u);
    EXPECT_EQ(sheet.find(3, "brown", 0), 9u);
    EXPECT_EQ(sheet.find(3, "Jones", 0), 6u);
    // A column first searched after the writes sees them too.
    ASSERT_TRUE(sheet.setText(7, 4, "Smith"));
    EXPECT_EQ(sheet.find(4, "SMITH", 0), 7u);
}

TEST_P(WorkbookFind, FindsNumbersAndDatesByTheirShownText)
{
    std::string path = test::scratchDir(GetParam() ? "shown-a" : "shown-b") + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.message;
    const Worksheet &sheet = book->activeSheet();
    EXPECT_EQ(sheet.find(1, "42", 0), 3u);
    EXPECT_EQ(sheet.find(1, "2024-01-05", 0), 4u);
    EXPECT_EQ(sheet.find(1, "true", 0), 5u);
    EXPECT_EQ(sheet.find(3, "boldplain", 0), 2u);
}

INSTANTIATE_TEST_SUITE_P(SharedAndInlineStrings, WorkbookFind, ::testing::Bool());

} // namespace
} // namespace orvane
