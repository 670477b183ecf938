// Pending writes held compactly: writes in row order, writes that come back
// to earlier cells and overwrites of either read, search, list and save as
// the last write of each cell.

#include "WorkbookFixtures.h"

#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

TEST(WrittenCells, InOrderLateAndOverwrittenWritesReadFindListAndSaveAsTheLastWrite)
{
    const std::string path = test::scratchDir("written") + "/written.xlsx";
    test::writeZip(path, test::minimalPackage(
                             "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                             "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c></row>"
                             "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>b</t></is></c></row>"
                             "</sheetData></worksheet>"));
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.message;
    Worksheet &sheet = book->activeSheet();
    const std::vector<std::tuple<uint32_t, uint32_t, std::string>> writes = {
        {1, 1, "x"}, {2, 3, "y"},     {5, 2, "z"},  {1, 2, "late"}, {2, 3, "y2"},
        {1, 2, "late2"}, {2, 2, ""}, {5, 2, "z"}, {6, 1, "after"}, {3, 1, "late3"},
    };
    for (const auto &[row, column, text] : writes)
        ASSERT_TRUE(sheet.setText(row, column, text));
    EXPECT_FALSE(sheet.setText(0, 1, "outside"));

    const std::vector<std::tuple<uint32_t, uint32_t, std::string>> shown = {
        {1, 1, "x"}, {1, 2, "late2"}, {2, 2, ""}, {2, 3, "y2"}, {3, 1, "late3"}, {5, 2, "z"}, {6, 1, "after"},
    };
    std::string listed;
    for (const Worksheet::Edit &edit : sheet.edits())
        listed += std::to_string(edit.row) + "," + std::to_string(edit.column) + "=" + std::string(edit.text) + " ";
    EXPECT_EQ(listed, "1,1=x 1,2=late2 2,2= 2,3=y2 3,1=late3 5,2=z 6,1=after ");
    EXPECT_EQ(sheet.value(2, 2).kind, CellValue::Kind::Empty);
    EXPECT_EQ(sheet.find(2, "LATE2", 0), 1u);
    EXPECT_EQ(sheet.find(2, "b", 0), 0u);
    EXPECT_EQ(sheet.find(3, "y", 0), 0u);
    EXPECT_EQ(sheet.find(1, "late3", 0), 3u);
    EXPECT_EQ(sheet.lastUsedRow(), 6u);

    ASSERT_TRUE(book->save(&error)) << error.message;
    std::unique_ptr<Workbook> reread = Workbook::open(path, &error);
    ASSERT_TRUE(reread) << error.message;
    for (const auto &[row, column, text] : shown) {
        EXPECT_EQ(sheet.text(row, column), text) << row << "," << column;
        EXPECT_EQ(reread->activeSheet().text(row, column), text) << row << "," << column;
    }
}

} // namespace
} // namespace orvane
