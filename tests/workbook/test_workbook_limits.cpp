// Workbooks at Excel's own limits: a sheet of 1,048,576 rows whose part is far
// over 256 MiB of ordinary cell XML opens, reads and Finds, and the file our
// own writer makes of it when a cell is written opens again.

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

const std::string kSheetPart = "xl/worksheets/sheet1.xml";

// One row of a directory export as another program writes it: a numeric key,
// inline texts and a decimal number (about 290 bytes a row, 288 MiB in all).
void appendRow(uint32_t r, std::string *xml)
{
    const std::string n = std::to_string(r);
    *xml += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n +
            "\" t=\"inlineStr\"><is><t>Surname " + n + "</t></is></c><c r=\"C" + n +
            "\" t=\"inlineStr\"><is><t>Given name " + n + "</t></is></c><c r=\"D" + n +
            "\" t=\"inlineStr\"><is><t>user" + n + "@example.org</t></is></c><c r=\"E" + n + "\"><v>" + n +
            ".25</v></c></row>";
}

void writeFullSheet(const std::string &path)
{
    uint32_t next = 1;
    bool closed = false;
    test::writeZipStreamed(
        path, test::minimalPackage(""), kSheetPart,
        [&](std::string *chunk) {
            if (next == 1) {
                *chunk = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                         "<dimension ref=\"A1:E1048576\"/><sheetData>";
            }
            for (int i = 0; i < 8192 && next <= Worksheet::kMaxRow; ++i) {
                appendRow(next++, chunk);
            }
            if (next > Worksheet::kMaxRow && !closed) {
                *chunk += "</sheetData></worksheet>";
                closed = true;
            }
            return !closed;
        },
        1);
}

uint64_t sheetPartSize(const std::string &path)
{
    for (const test::ZipEntry &entry : test::zipEntries(path)) {
        if (entry.name == kSheetPart) {
            return entry.size;
        }
    }
    return 0;
}

TEST(WorkbookLimits, FullHeightSheetOverTheOldBoundOpensAndSavesAsItReads)
{
    const std::string path = test::scratchDir("full") + "/full.xlsx";
    writeFullSheet(path);
    ASSERT_GT(sheetPartSize(path), 256ull << 20);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "as written by another program" : "as saved by the engine");
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        ASSERT_TRUE(book) << error.message;
        const Worksheet &sheet = book->activeSheet();
        EXPECT_EQ(sheet.lastUsedRow(), Worksheet::kMaxRow);
        EXPECT_EQ(sheet.text(1, 2), "Surname 1");
        EXPECT_EQ(sheet.text(524288, 4), "user524288@example.org");
        EXPECT_EQ(sheet.text(1048576, 5), "1048576.25");
        EXPECT_EQ(sheet.find(3, "given name 1048575", 0), 1048575u);
        if (round == 0) {
            ASSERT_TRUE(book->activeSheet().setText(1048576, 6, "written"));
            ASSERT_TRUE(book->save(&error)) << error.message;
        } else {
            EXPECT_EQ(sheet.text(1048576, 6), "written");
            EXPECT_EQ(sheet.lastUsedColumn(), 6u);
        }
    }
    EXPECT_GT(sheetPartSize(path), 256ull << 20);
}

} // namespace
} // namespace orvane
