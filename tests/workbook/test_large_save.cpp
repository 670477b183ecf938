// Saving many written rows, as an export of a whole directory does: the part
// is produced and deflated in stretches from the old part read front to back,
// and what the file holds must be the rewritten part byte for byte, readable
// cell for cell; a save that cannot finish writing, or finds the old part
// damaged as it reads it, leaves the old file as it was.

#include "WorkbookFixtures.h"
#include "workbook/engine/SheetWriter.h"
#include "workbook/engine/Workbook.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace orvane
{
namespace
{

namespace fs = std::filesystem;

constexpr uint32_t kRows = 25000;
constexpr uint32_t kColumns = 5;
const char *const kSheet = "xl/worksheets/sheet1.xml";

// Plain ASCII, accented and Cyrillic letters, text that needs escaping, edge
// spaces, and an empty value, spread over the rows.
std::string cellText(uint32_t row, uint32_t column)
{
    switch ((row + column) % 6) {
    case 0:
        return "user" + std::to_string(row * 7 + column);
    case 1:
        return "Ren\xC3\xA9" "e M\xC3\xBCller " + std::to_string(row);
    case 2:
        return "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2 " + std::to_string(column);
    case 3:
        return "a<b & \"c\" _x0041_ " + std::to_string(row);
    case 4:
        return " padded " + std::to_string(row) + " ";
    default:
        return row % 2 ? std::string() : "+1 555 0100 " + std::to_string(row);
    }
}

std::unique_ptr<Workbook> headerWorkbook(const std::string &path)
{
    test::writeColumnWorkbook(path, 1, {{1, "employeeID"}});
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    EXPECT_TRUE(book) << error.message;
    return book;
}

void writeRows(Worksheet &sheet)
{
    for (uint32_t row = 2; row <= kRows + 1; ++row) {
        for (uint32_t column = 1; column <= kColumns; ++column) {
            ASSERT_TRUE(sheet.setText(row, column, cellText(row, column)));
        }
    }
}

TEST(LargeSave, ManyRowsAreStoredAsTheRewrittenPartAndReadBackCellForCell)
{
    const std::string path = test::scratchDir("large-save") + "/export.xlsx";
    auto book = headerWorkbook(path);
    ASSERT_TRUE(book);
    writeRows(book->activeSheet());
    const std::string expected =
        rewriteWorksheetPart(book->activeSheet(), test::zipEntryText(path, kSheet)).xml;
    ASSERT_GT(expected.size(), 4u << 20); // several stretches
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;

    EXPECT_TRUE(test::zipEntryText(path, kSheet) == expected);
    auto again = Workbook::open(path, &error);
    ASSERT_TRUE(again) << error.message;
    const Worksheet &sheet = again->activeSheet();
    EXPECT_EQ(sheet.text(1, 1), "employeeID");
    EXPECT_EQ(sheet.lastUsedRow(), kRows + 1);
    size_t differing = 0;
    for (uint32_t row = 2; row <= kRows + 1; ++row) {
        for (uint32_t column = 1; column <= kColumns; ++column) {
            differing += sheet.text(row, column) != cellText(row, column);
        }
    }
    EXPECT_EQ(differing, 0u);
}

TEST(LargeSave, ASaveThatCannotFinishWritingLeavesTheOldFile)
{
    const std::string dir = test::scratchDir("large-save-full");
    const std::string path = dir + "/export.xlsx";
    auto book = headerWorkbook(path);
    ASSERT_TRUE(book);
    const std::string before = test::readFile(path);
    writeRows(book->activeSheet());

    // Files may grow to a little more than the old workbook: the copy is made,
    // the new package's writing fails partway, as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = before.size() + 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    WorkbookError error;
    const bool saved = book->save(&error);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(saved);
    EXPECT_EQ(error.status, WorkbookStatus::SaveFailed);
    EXPECT_NE(error.message.find("The file is unchanged."), std::string::npos) << error.message;
    EXPECT_TRUE(test::readFile(path) == before);
    std::vector<std::string> others;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != "export.xlsx") {
            others.push_back(entry.path().filename().string());
        }
    }
    EXPECT_TRUE(others.empty()) << (others.empty() ? std::string() : others.front());
    // Nothing written was lost: with room again the same writes are saved.
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_EQ(Workbook::open(path, &error)->activeSheet().text(kRows + 1, 3), cellText(kRows + 1, 3));
}

std::vector<std::string> othersBeside(const std::string &dir)
{
    std::vector<std::string> others;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != "export.xlsx") {
            others.push_back(entry.path().filename().string());
        }
    }
    return others;
}

// Rows written through the workbook below what the sheet holds, as the
// export writes them, are made and deflated while the writes go on; whether
// the save takes them so or makes every row itself (writes out of order, a
// write straight into the sheet), the file holds the part the rewriter makes
// from the pending writes, byte for byte.
TEST(LargeSave, RowsWrittenBelowTheSheetAreSavedAsTheRewriterMakesThem)
{
    const std::string emptySheet = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
                                   "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                   "<dimension ref=\"A1\"/><sheetData/></worksheet>";
    enum class Then { Nothing, RewriteAnEarlierCell, WriteIntoTheSheet };
    const struct {
        const char *name;
        bool emptySheet;
        Then then;
    } cases[] = {
        {"in order below a header", false, Then::Nothing},
        {"in order into an empty sheet", true, Then::Nothing},
        {"an earlier cell written again", false, Then::RewriteAnEarlierCell},
        {"a write straight into the sheet", false, Then::WriteIntoTheSheet},
    };
    for (const auto &c : cases) {
        const std::string path = test::scratchDir("large-save-below") + "/export.xlsx";
        if (c.emptySheet) {
            test::writeZip(path, test::minimalPackage(emptySheet));
        } else {
            test::writeColumnWorkbook(path, 1, {{1, "employeeID"}});
        }
        WorkbookError error;
        auto book = Workbook::open(path, &error);
        ASSERT_TRUE(book) << c.name << ": " << error.message;
        const uint32_t first = c.emptySheet ? 1 : 2;
        for (uint32_t row = first; row < first + kRows; ++row) {
            for (uint32_t column = 1; column <= kColumns; ++column) {
                ASSERT_TRUE(book->writeText(row, column, cellText(row, column)));
            }
        }
        if (c.then == Then::RewriteAnEarlierCell) {
            ASSERT_TRUE(book->writeText(first + 7, 2, "written again"));
        } else if (c.then == Then::WriteIntoTheSheet) {
            ASSERT_TRUE(book->activeSheet().setText(first + kRows, 1, "straight in"));
        }
        const std::string expected = rewriteWorksheetPart(book->activeSheet(), test::zipEntryText(path, kSheet)).xml;
        ASSERT_GT(expected.size(), 4u << 20) << c.name;
        ASSERT_TRUE(book->save(&error)) << c.name << ": " << error.message;

        EXPECT_TRUE(test::zipEntryText(path, kSheet) == expected) << c.name;
        auto again = Workbook::open(path, &error);
        ASSERT_TRUE(again) << c.name << ": " << error.message;
        EXPECT_EQ(again->activeSheet().text(first + kRows - 1, 4), cellText(first + kRows - 1, 4)) << c.name;
        EXPECT_EQ(again->activeSheet().text(first + 7, 2),
                  c.then == Then::RewriteAnEarlierCell ? "written again" : cellText(first + 7, 2))
            << c.name;
    }
}

// A sheet of many rows (several megabytes of part, read in many chunks) with
// cells overwritten and added in rows here and there and rows added below.
TEST(LargeSave, WritesAmongManyRowsAreSavedFromThePartAsItIsRead)
{
    constexpr int kHeld = 60000;
    const std::string path = test::scratchDir("large-save-among") + "/export.xlsx";
    std::vector<std::pair<int, std::string>> cells;
    for (int row = 1; row <= kHeld; ++row) {
        cells.emplace_back(row, "held " + std::to_string(row));
    }
    test::writeColumnWorkbook(path, 2, cells);
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.message;
    auto expected = [](uint32_t row, uint32_t column) -> std::string {
        if (row > kHeld) {
            return column == 1 ? cellText(row, column) : std::string();
        }
        if (column == 2) {
            return row % 997 == 0 ? cellText(row, 2) : "held " + std::to_string(row);
        }
        return column == 3 && row % 1009 == 0 ? cellText(row, 3) : std::string();
    };
    Worksheet &sheet = book->activeSheet();
    for (uint32_t row = 1; row <= kHeld + 500; ++row) {
        for (uint32_t column = 1; column <= 3; ++column) {
            const bool written = (row > kHeld && column == 1) || (column == 2 && row % 997 == 0) ||
                                 (column == 3 && row % 1009 == 0);
            if (written) {
                ASSERT_TRUE(sheet.setText(row, column, cellText(row, column)));
            }
        }
    }
    const std::string rewritten = rewriteWorksheetPart(sheet, test::zipEntryText(path, kSheet)).xml;
    ASSERT_GT(test::zipEntryText(path, kSheet).size(), 2u << 20);
    ASSERT_TRUE(book->save(&error)) << error.message;

    EXPECT_TRUE(test::zipEntryText(path, kSheet) == rewritten);
    auto again = Workbook::open(path, &error);
    ASSERT_TRUE(again) << error.message;
    EXPECT_EQ(again->activeSheet().lastUsedRow(), uint32_t(kHeld + 500));
    size_t differing = 0;
    for (uint32_t row = 1; row <= kHeld + 500; ++row) {
        for (uint32_t column = 1; column <= 3; ++column) {
            differing += again->activeSheet().text(row, column) != expected(row, column);
        }
    }
    EXPECT_EQ(differing, 0u);
}

TEST(LargeSave, AnOldPartFoundDamagedAsItIsReadLeavesTheOldFile)
{
    const std::string dir = test::scratchDir("large-save-damaged");
    const std::string path = dir + "/export.xlsx";
    std::vector<std::pair<int, std::string>> cells;
    for (int row = 1; row <= 20000; ++row) {
        cells.emplace_back(row, "held " + std::to_string(row * 31));
    }
    test::writeColumnWorkbook(path, 1, cells);
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.message;
    ASSERT_TRUE(book->activeSheet().setText(20001, 1, "written"));

    // The sheet's compressed bytes are spoilt in place after the open, its
    // size and modification time kept, so the save only finds out as it
    // reads the part again.
    std::string bytes = test::readFile(path);
    const std::string name = kSheet;
    size_t header = std::string::npos;
    for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos; at = bytes.find("PK\x03\x04", at + 4)) {
        if (bytes.compare(at + 30, name.size(), name) == 0) {
            header = at;
            break;
        }
    }
    ASSERT_NE(header, std::string::npos);
    const auto u16 = [&](size_t at) { return size_t(uint8_t(bytes[at])) | size_t(uint8_t(bytes[at + 1])) << 8; };
    const size_t data = header + 30 + u16(header + 26) + u16(header + 28);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    for (size_t i = 0; i < 64; ++i) {
        bytes[data + 2000 + i] = static_cast<char>(~bytes[data + 2000 + i]);
    }
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }

    EXPECT_FALSE(book->save(&error));
    EXPECT_EQ(error.status, WorkbookStatus::SaveFailed);
    EXPECT_NE(error.message.find("The file is unchanged."), std::string::npos) << error.message;
    EXPECT_TRUE(test::readFile(path) == bytes);
    const std::vector<std::string> others = othersBeside(dir);
    EXPECT_TRUE(others.empty()) << (others.empty() ? std::string() : others.front());
}

} // namespace
} // namespace orvane
