// Saving written cells: the new values read back by us and by openpyxl,
// everything else in the package untouched, and the original file safe when
// the save cannot finish.

#include "WorkbookFixtures.h"
#include "workbook/engine/FileReplacement.h"
#include "workbook/engine/Workbook.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvane
{
namespace
{

namespace fs = std::filesystem;

struct Write {
    uint32_t row;
    uint32_t column;
    std::string text;
};

// Cells written into the "Data" sheet of the libxlsxwriter workbook: over a
// shared string, a number, a styled blank and a formula; into an existing row,
// a row without an element, and new rows below the end.
const std::vector<Write> kWrites = {
    {2, 1, "Alicia"},
    {3, 1, "forty-two"},
    {5, 3, "filled"},
    {2, 6, "<a & 'b'> \"q\""},
    {6, 1, "row six"},
    {10, 2, "  padded  "},
    {12, 9,
     "Z\xC3\xBC"
     "rich _x0041_ \x01"},
    {2, 2, ""},
};

std::unique_ptr<Workbook> openOk(const std::string &path)
{
    WorkbookError error;
    auto book = Workbook::open(path, &error);
    EXPECT_TRUE(book) << error.message;
    return book;
}

std::string checkArgument(const Write &w)
{
    return std::to_string(w.row) + "," + std::to_string(w.column) + "=" + w.text;
}

std::vector<std::string> leftovers(const std::string &dir, const std::string &keep)
{
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != keep) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

TEST(WorkbookSave, WrittenCellsReadBackAndEverythingElseStays)
{
    std::string dir = test::scratchDir("roundtrip");
    std::string original = dir + "/original.xlsx", path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(original);
    fs::copy_file(original, path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    for (const Write &w : kWrites) {
        ASSERT_TRUE(book->activeSheet().setText(w.row, w.column, w.text));
    }
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_TRUE(leftovers(dir, "data.xlsx") == std::vector<std::string>{"original.xlsx"});

    auto before = openOk(original), after = openOk(path);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->activeSheetIndex(), 1);
    const Worksheet &was = before->activeSheet(), &is = after->activeSheet();
    EXPECT_EQ(is.lastUsedRow(), 12u);
    for (uint32_t r = 1; r <= 12; ++r) {
        for (uint32_t c = 1; c <= 9; ++c) {
            auto written = std::find_if(kWrites.begin(), kWrites.end(),
                                        [&](const Write &w) { return w.row == r && w.column == c; });
            std::string expected = written != kWrites.end() ? written->text : was.text(r, c);
            EXPECT_EQ(is.text(r, c), expected) << "row " << r << " column " << c;
        }
    }
    EXPECT_EQ(is.value(3, 1).kind, CellValue::Kind::Text);

    std::vector<std::string> args = {original, path, "Data"};
    for (const Write &w : kWrites) {
        args.push_back(checkArgument(w));
    }
    std::string output;
    EXPECT_EQ(test::runPythonScript("check_saved_workbook.py", args, &output), 0) << output;
}

TEST(WorkbookSave, OpenpyxlWorkbookWithInlineStringsRoundTrips)
{
    std::string dir = test::scratchDir("roundtrip-openpyxl");
    std::string original = dir + "/original.xlsx", path = dir + "/gamma.xlsx", output;
    ASSERT_EQ(test::runPythonScript("make_openpyxl_workbook.py", {original}, &output), 0) << output;
    fs::copy_file(original, path);
    // Over a number, an error cell, a date and an inline string; into the
    // empty row element 9; below the end.
    const std::vector<Write> writes = {
        {3, 1, "twelve"}, {8, 1, "fixed"}, {5, 1, "2024"}, {11, 1, "trimmed"}, {9, 3, "c9"}, {20, 2, "new"},
    };
    auto book = openOk(path);
    ASSERT_TRUE(book);
    for (const Write &w : writes) {
        ASSERT_TRUE(book->activeSheet().setText(w.row, w.column, w.text));
    }
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;
    std::vector<std::string> args = {original, path, "Gamma"};
    for (const Write &w : writes) {
        args.push_back(checkArgument(w));
    }
    EXPECT_EQ(test::runPythonScript("check_saved_workbook.py", args, &output), 0) << output;
    auto reread = openOk(path);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->activeSheetIndex(), 2);
    EXPECT_EQ(reread->activeSheet().text(5, 1), "2024");
    EXPECT_EQ(reread->activeSheet().text(6, 1), "1999-12-31");
    EXPECT_EQ(reread->activeSheet().find(2, "KEY", 0), 2u);
}

TEST(WorkbookSave, OtherZipEntriesAreCopiedAsStored)
{
    std::string dir = test::scratchDir("entries");
    std::string original = dir + "/original.xlsx", path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(original);
    fs::copy_file(original, path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(30, 2, "appended"));
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;

    std::vector<test::ZipEntry> was = test::zipEntries(original), is = test::zipEntries(path);
    ASSERT_EQ(was.size(), is.size());
    for (size_t i = 0; i < was.size(); ++i) {
        EXPECT_EQ(was[i].name, is[i].name);
        if (was[i].name == "xl/worksheets/sheet2.xml") {
            EXPECT_NE(was[i].crc, is[i].crc);
            continue;
        }
        EXPECT_EQ(was[i].crc, is[i].crc) << was[i].name;
        EXPECT_EQ(was[i].method, is[i].method) << was[i].name;
        EXPECT_EQ(was[i].mtime, is[i].mtime) << was[i].name;
        EXPECT_TRUE(was[i].raw == is[i].raw) << was[i].name;
    }
    // Deflated at the normal level (flag bits 1-2 clear), not at libzip's slow maximum.
    EXPECT_EQ(test::zipEntryFlags(path, "xl/worksheets/sheet2.xml") & 0x6, 0);
    std::string sheet = test::zipEntryText(path, "xl/worksheets/sheet2.xml");
    EXPECT_NE(sheet.find("<dimension ref=\"A1:H30\"/>"), std::string::npos);
    EXPECT_NE(
        sheet.find(
            "<row r=\"30\"><c r=\"B30\" t=\"inlineStr\"><is><t>appended</t></is></c></row></sheetData>"),
        std::string::npos);
}

int failingRename(const char *, const char *)
{
    errno = EIO;
    return -1;
}

TEST(WorkbookSave, FailedRenameLeavesTheOriginalIntact)
{
    std::string dir = test::scratchDir("crash");
    std::string path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    std::string bytes = test::readFile(path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(2, 1, "lost"));
    setRenameFunctionForTesting(failingRename);
    WorkbookError error;
    bool saved = book->save(&error);
    setRenameFunctionForTesting(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(error.status, WorkbookStatus::SaveFailed);
    EXPECT_NE(error.message.find("could not be saved"), std::string::npos) << error.message;
    EXPECT_NE(error.message.find(path), std::string::npos) << error.message;
    EXPECT_TRUE(test::readFile(path) == bytes);
    EXPECT_TRUE(leftovers(dir, "data.xlsx").empty());
    // The writes are still pending: a later save that can rename stores them.
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_EQ(openOk(path)->activeSheet().text(2, 1), "lost");
}

TEST(WorkbookSave, RefusesWhenTheFileChangedOnDisk)
{
    std::string dir = test::scratchDir("changed");
    std::string path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    test::writeColumnWorkbook(path, 1, {{1, "someone else's work"}});
    std::string bytes = test::readFile(path);
    ASSERT_TRUE(book->activeSheet().setText(1, 1, "mine"));
    WorkbookError error;
    EXPECT_FALSE(book->save(&error));
    EXPECT_EQ(error.status, WorkbookStatus::ChangedOnDisk);
    EXPECT_TRUE(test::readFile(path) == bytes);
}

TEST(WorkbookSave, NothingWrittenLeavesTheFileAlone)
{
    std::string dir = test::scratchDir("untouched");
    std::string path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    WorkbookError error;
    EXPECT_TRUE(book->save(&error));
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST(WorkbookSave, LegacyXlsWithWritesIsRefused)
{
    std::string dir = test::scratchDir("xls-save");
    std::string path = dir + "/legacy.xls", output;
    ASSERT_EQ(test::runPythonScript("make_xls_workbook.py", {path}, &output), 0) << output;
    std::string bytes = test::readFile(path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    WorkbookError error;
    EXPECT_TRUE(book->save(&error));
    ASSERT_TRUE(book->activeSheet().setText(1, 1, "changed"));
    EXPECT_FALSE(book->save(&error));
    EXPECT_EQ(error.status, WorkbookStatus::ReadOnly);
    EXPECT_NE(error.message.find(".xls format"), std::string::npos) << error.message;
    EXPECT_TRUE(test::readFile(path) == bytes);
}

TEST(WorkbookSave, OverwrittenFormulaDropsTheCalculationChain)
{
    std::string dir = test::scratchDir("calcchain");
    std::string path = dir + "/chain.xlsx";
    const std::string ns = "http://schemas.openxmlformats.org/";
    auto parts = test::minimalPackage(
        "<worksheet xmlns=\"" + ns +
        "spreadsheetml/2006/main\"><sheetData><row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v>"
        "</c><c r=\"B1\"><f>A1*2</f><v>4</v></c></row></sheetData></worksheet>");
    parts[0].second.insert(
        parts[0].second.find("</Types>"),
        "<Override PartName=\"/xl/calcChain.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>");
    parts[3].second.insert(parts[3].second.find("</Relationships>"),
                           "<Relationship Id=\"rId9\" Type=\"" + ns +
                               "officeDocument/2006/relationships/calcChain\" Target=\"calcChain.xml\"/>");
    parts.push_back(
        {"xl/calcChain.xml", "<calcChain xmlns=\"" + ns +
                                 "spreadsheetml/2006/main\"><c r=\"A1\" i=\"1\"/><c r=\"B1\"/></calcChain>"});
    test::writeZip(path, parts);

    auto book = openOk(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(2, 1, "plain cell"));
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_FALSE(test::zipEntryText(path, "xl/calcChain.xml").empty());

    ASSERT_TRUE(book->activeSheet().setText(1, 1, "no formula"));
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_TRUE(test::zipEntryText(path, "xl/calcChain.xml").empty());
    EXPECT_EQ(test::zipEntryText(path, "[Content_Types].xml").find("calcChain"), std::string::npos);
    EXPECT_EQ(test::zipEntryText(path, "xl/_rels/workbook.xml.rels").find("calcChain"), std::string::npos);
    auto reread = openOk(path);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->activeSheet().text(1, 1), "no formula");
    EXPECT_EQ(reread->activeSheet().text(1, 2), "4");
    EXPECT_EQ(reread->activeSheet().text(2, 1), "plain cell");
    std::string output;
    EXPECT_EQ(test::runPythonScript("check_saved_workbook.py", {path, path, "Sheet1"}, &output), 0) << output;
}

TEST(WorkbookSave, PrefixedElementsAndSelfClosingRowsAreExtendedInKind)
{
    std::string dir = test::scratchDir("prefixed");
    std::string path = dir + "/prefixed.xlsx";
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    test::writeZip(
        path, test::minimalPackage("<x:worksheet xmlns:x=\"" + ns +
                                   "\"><x:dimension ref=\"A1\"/><x:sheetData><x:row r=\"1\" spans=\"1:1\">"
                                   "<x:c r=\"A1\"><x:v>7</x:v></x:c></x:row><x:row r=\"3\"/>"
                                   "</x:sheetData></x:worksheet>"));
    auto book = openOk(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(1, 3, "c1"));
    ASSERT_TRUE(book->activeSheet().setText(3, 2, "b3"));
    ASSERT_TRUE(book->activeSheet().setText(2, 1, "a2"));
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;
    std::string xml = test::zipEntryText(path, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(
        xml, "<x:worksheet xmlns:x=\"" + ns +
                 "\"><x:dimension ref=\"A1:C3\"/><x:sheetData><x:row r=\"1\"><x:c r=\"A1\"><x:v>7</x:v></x:c>"
                 "<x:c r=\"C1\" t=\"inlineStr\"><x:is><x:t>c1</x:t></x:is></x:c></x:row>"
                 "<x:row r=\"2\"><x:c r=\"A2\" t=\"inlineStr\"><x:is><x:t>a2</x:t></x:is></x:c></x:row>"
                 "<x:row r=\"3\"><x:c r=\"B3\" t=\"inlineStr\"><x:is><x:t>b3</x:t></x:is></x:c></x:row>"
                 "</x:sheetData></x:worksheet>");
    std::string output;
    EXPECT_EQ(test::runPythonScript("check_saved_workbook.py", {path, path, "Sheet1"}, &output), 0) << output;
}

TEST(WorkbookSave, WriteProtectedFileIsNotReplaced)
{
    std::string dir = test::scratchDir("protected");
    std::string path = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    std::string bytes = test::readFile(path);
    auto book = openOk(path);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(1, 1, "x"));
    WorkbookError error;
    EXPECT_FALSE(book->save(&error));
    EXPECT_EQ(error.status, WorkbookStatus::SaveFailed);
    EXPECT_NE(error.message.find("write-protected"), std::string::npos) << error.message;
    EXPECT_TRUE(test::readFile(path) == bytes);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST(WorkbookSave, KeepsPermissionsAndSavesThroughALink)
{
    std::string dir = test::scratchDir("link");
    std::string path = dir + "/data.xlsx", link = dir + "/link.xlsx";
    test::writeXlsxWriterWorkbook(path);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    fs::create_symlink("data.xlsx", link);
    auto book = openOk(link);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->activeSheet().setText(1, 1, "through the link"));
    WorkbookError error;
    ASSERT_TRUE(book->save(&error)) << error.message;
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(openOk(path)->activeSheet().text(1, 1), "through the link");
}

} // namespace
} // namespace orvane
