// Reading legacy .xls workbooks: damaged files found by fuzzing, a workbook
// LibreOffice Calc wrote with formulas, and hand-built record streams for the
// cases no writer at hand produces (Excel 5 text in a code page, strings that
// change from compressed to wide characters across a CONTINUE record).

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace orvane
{
namespace
{

const std::string kFixtures = ORVANE_SOURCE_DIR "/tests/workbook/fixtures/";

long peakKilobytes()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// First in this file, so that the process's peak memory before it is its start.
TEST(XlsRead, DamagedFilesOpenInBoundedMemory)
{
    struct Case {
        const char *file;
        WorkbookStatus status;
        const char *message; ///< part of the error, or for a file that reads, the text of A`row`
        uint32_t row = 1;
    };
    const Case cases[] = {
        {"cfb-sector-loop-64k.xls", WorkbookStatus::Damaged, "compound document structure is broken"},
        {"freexl-heap-overflow-memcpy.xls", WorkbookStatus::Damaged, "it has no worksheet"},
        {"freexl-segv-2778.xls", WorkbookStatus::Ok, "khughes30", 31},
        {"freexl-segv-32c3.xls", WorkbookStatus::Ok, ""},
        {"freexl-stack-underflow-iconv.xls", WorkbookStatus::Damaged, "does not start like an Excel 5"},
    };
    for (const Case &c : cases) {
        long before = peakKilobytes();
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(kFixtures + "repro/" + c.file, &error);
        EXPECT_EQ(error.status, c.status) << c.file << ": " << error.message;
        if (book) {
            EXPECT_EQ(book->activeSheet().text(c.row, 1), c.message) << c.file;
        } else {
            EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
        }
        EXPECT_LT(peakKilobytes() - before, 100 * 1024) << c.file;
    }
}

TEST(XlsRead, FormulaResultsWrittenByLibreOffice)
{
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(kFixtures + "libreoffice-formulas.xls", &error);
    ASSERT_TRUE(book) << error.message;
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"Notes", "Formulas"}));
    EXPECT_EQ(book->activeSheetIndex(), 1);
    const Worksheet &sheet = book->activeSheet();
    using K = CellValue::Kind;
    struct Expected {
        uint32_t row;
        uint32_t column;
        K kind;
        const char *shown;
    };
    const Expected table[] = {
        {1, 1, K::Number, "0.3"},
        {2, 1, K::Text, "Ada Lovelace"},
        {3, 1, K::Boolean, "TRUE"},
        {4, 1, K::Error, ""},
        {5, 1, K::Error, ""},
        {6, 1, K::Boolean, "FALSE"},
        {7, 1, K::Date, "2024-01-05"},
        {8, 1, K::Text, ""},
        {9, 1, K::Number, "3.33333333333333"},
        {10, 1, K::Number, "-10"},
        {1, 2, K::Number, "42"},
        {2, 2, K::Text, "plain"},
        {3, 2, K::Text, "Z\xC3\xBCrich"},
        {4, 2, K::Number, "1234567.891"},
        {1, 7, K::Number, "4"},
    };
    for (const Expected &e : table) {
        EXPECT_EQ(sheet.value(e.row, e.column).kind, e.kind) << "row " << e.row << " column " << e.column;
        EXPECT_EQ(sheet.text(e.row, e.column), e.shown) << "row " << e.row << " column " << e.column;
    }
    EXPECT_EQ(sheet.value(4, 1).text, "#DIV/0!");
    // Three hundred distinct strings fill the shared string table past one
    // record; strings split across its CONTINUE records read whole.
    for (uint32_t row = 1; row <= 300; ++row) {
        char expected[128];
        std::snprintf(expected, sizeof expected, "Row %04u \xC5\xA1\xC4\x87\xC5\xBE ", row);
        std::string text = expected;
        for (uint32_t k = 0; k < 1 + row % 4; ++k) {
            text += "abcdefghij";
        }
        ASSERT_EQ(sheet.text(row, 3), text) << "row " << row;
    }
    EXPECT_EQ(sheet.lastUsedRow(), 300u);
    EXPECT_EQ(sheet.find(1, "ada lovelace", 0), 2u);
}

std::string le(uint32_t value, int bytes)
{
    std::string s;
    for (int i = 0; i < bytes; ++i) {
        s += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return s;
}

std::string record(uint16_t type, const std::string &data)
{
    return le(type, 2) + le(static_cast<uint32_t>(data.size()), 2) + data;
}

// A workbook stream of one sheet: `globals` between the workbook BOF and the
// BOUNDSHEET record, and the sheet's cell records.
std::string oneSheetStream(uint16_t version, const std::string &globals, const std::string &sheetName,
                           const std::string &cells)
{
    std::string head = record(0x0809, le(version, 2) + le(0x0005, 2) + std::string(4, '\0')) + globals;
    std::string tail = record(0x000A, "");
    uint32_t sheetAt = static_cast<uint32_t>(head.size() + 4 + 6 + sheetName.size() + tail.size());
    std::string bound = record(0x0085, le(sheetAt, 4) + std::string(2, '\0') + sheetName);
    std::string sheet = record(0x0809, le(version, 2) + le(0x0010, 2) + std::string(4, '\0')) + cells + tail;
    return head + bound + tail + sheet;
}

std::string cellHead(uint16_t row, uint16_t column, uint16_t xf)
{
    return le(row, 2) + le(column, 2) + le(xf, 2);
}

std::unique_ptr<Workbook> openStream(const std::string &name, const std::string &streamName,
                                     const std::string &stream)
{
    std::string path = test::scratchDir("xls-" + name) + "/" + name + ".xls";
    test::writeCompoundFile(path, {{streamName, stream}});
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    EXPECT_TRUE(book) << error.message;
    return book;
}

TEST(XlsRead, Excel5TextInItsCodePageAndNumbersByFormat)
{
    // Code page 1251: 0xCF 0xF0 0xE8 is "При". A custom date format (id 164)
    // on the second XF and the 1904 date system.
    std::string xf = std::string(20, '\0');
    std::string dateXf = le(0, 2) + le(164, 2) + std::string(16, '\0');
    std::string globals = record(0x0042, le(1251, 2)) + record(0x0022, le(1, 2)) +
                          record(0x041E, le(164, 2) + "\x0A" + "yyyy-mm-dd") + record(0x00E0, xf) +
                          record(0x00E0, dateXf);
    std::string cells =
        record(0x0204, cellHead(0, 0, 0) + le(3, 2) + "\xCF\xF0\xE8") +
        record(0x027E, cellHead(1, 0, 0) + le((12345u << 2) | 0x02, 4)) + // integer RK
        record(0x027E, cellHead(2, 0, 0) + le((1234u << 2) | 0x03, 4)) +  // integer RK / 100
        record(0x00BD, cellHead(3, 0, 1).substr(0, 4) + le(1, 2) + le((1u << 2) | 0x02, 4) + le(0, 2) +
                           le((7u << 2) | 0x02, 4) + le(1, 2)) + // MULRK: a date, a number
        record(0x0203, cellHead(4, 0, 0) + std::string("\x00\x00\x00\x00\x00\x00\x04\x40", 8)); // 2.5
    auto book = openStream("biff5", "Book", oneSheetStream(0x0500, globals, "\x03\xCB\xE8\xF1", cells));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"\xD0\x9B\xD0\xB8\xD1\x81"}));
    const Worksheet &sheet = book->activeSheet();
    EXPECT_EQ(sheet.text(1, 1), "\xD0\x9F\xD1\x80\xD0\xB8");
    EXPECT_EQ(sheet.text(2, 1), "12345");
    EXPECT_EQ(sheet.text(3, 1), "12.34");
    EXPECT_EQ(sheet.text(4, 1), "1904-01-02");
    EXPECT_EQ(sheet.value(4, 1).kind, CellValue::Kind::Date);
    EXPECT_EQ(sheet.text(4, 2), "7");
    EXPECT_EQ(sheet.text(5, 1), "2.5");
}

TEST(XlsRead, SharedStringsSplitAcrossContinueRecords)
{
    // String 0 starts compressed ("abc") and goes on wide ("\u0416" + "d")
    // in a CONTINUE record; string 1's header starts that CONTINUE's rest,
    // with formatting runs whose bytes run into a second CONTINUE record.
    std::string sst = record(0x00FC, le(2, 4) + le(2, 4) + le(5, 2) + std::string(1, '\0') + "abc") +
                      record(0x003C, "\x01" + le(0x0416, 2) + le('d', 2) + le(2, 2) + "\x08" + le(1, 2) +
                                         "xy" + "\x01\x00") +
                      record(0x003C, std::string("\x00\x00", 2));
    std::string cells =
        record(0x00FD, cellHead(0, 0, 0) + le(0, 4)) + record(0x00FD, cellHead(1, 0, 0) + le(1, 4)) +
        record(0x00FD, cellHead(2, 0, 0) + le(7, 4)) + // beyond the table: empty
        record(0x0006, cellHead(3, 0, 0) + std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8) +
                           std::string(8, '\0')) +
        record(0x04BC, std::string(8, '\0')) + // a shared formula between FORMULA and STRING
        record(0x0207, le(2, 2) + std::string(1, '\0') + "ok");
    auto book =
        openStream("sst", "Workbook", oneSheetStream(0x0600, sst, std::string("\x02\x00S1", 4), cells));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->sheetNames(), (std::vector<std::string>{"S1"}));
    const Worksheet &sheet = book->activeSheet();
    EXPECT_EQ(sheet.text(1, 1), "abc\xD0\x96"
                                "d");
    EXPECT_EQ(sheet.text(2, 1), "xy");
    EXPECT_EQ(sheet.value(3, 1).kind, CellValue::Kind::Text);
    EXPECT_EQ(sheet.text(3, 1), "");
    EXPECT_EQ(sheet.text(4, 1), "ok");
}

} // namespace
} // namespace orvane
