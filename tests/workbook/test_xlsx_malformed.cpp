// Malformed .xlsx packages kept from fuzzing and hand-made variants of them:
// each opens with a clear error or reads correctly, in memory bounded by the
// data it holds, and a save never writes a sheet part that does not parse.

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"
#include "workbook/engine/XmlReader.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sys/resource.h>

namespace orvane
{
namespace
{

namespace fs = std::filesystem;

const std::string kRepro = ORVANE_SOURCE_DIR "/tests/workbook/fixtures/repro/";
const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string sheetWith(const std::string &data)
{
    return "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + data + "</sheetData></worksheet>";
}

// The saved sheet part parses, by our reader and by pugixml, and reopens.
void expectSheetParses(const std::string &path)
{
    const std::string xml = test::zipEntryText(path, "xl/worksheets/sheet1.xml");
    std::string why;
    EXPECT_TRUE(isWellFormed(xml, &why)) << why << "\n" << xml;
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_buffer(xml.data(), xml.size())) << xml;
    WorkbookError error;
    EXPECT_TRUE(Workbook::open(path, &error)) << error.message;
}

TEST(XlsxMalformed, KeptInputsFailClearlyOrRead)
{
    const struct {
        const char *file;
        const char *says; ///< part of the error; null when the file reads
        const char *a1;
        const char *b1;
    } cases[] = {
        // A directory that declares 1 GiB for a part of a few KB: refused
        // without allocating what it declares, saying why.
        {"oom-declared-size-sheet-sst.xlsx", "where the package declares 1073741823", "", ""},
        {"declared-size-1gib-sheet.xlsx",
         "xl/worksheets/sheet1.xml inflates to 4759 bytes where the package declares 1073741823", "", ""},
        // An inline-string cell with no content reads empty, not as the cell before it.
        {"logic-inlinestr-stale-value.xlsx", nullptr, "42", ""},
        {"writer-spans-in-attribute.xlsx", nullptr, "1", ""},
    };
    const std::string dir = test::scratchDir("kept");
    for (const auto &c : cases) {
        const std::string path = dir + "/" + c.file;
        fs::copy_file(kRepro + c.file, path);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
        rusage before;
        getrusage(RUSAGE_SELF, &before);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        rusage after;
        getrusage(RUSAGE_SELF, &after);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << c.file << ": peak grew by KB";
        if (c.says) {
            EXPECT_FALSE(book) << c.file;
            EXPECT_EQ(error.status, WorkbookStatus::Damaged) << c.file;
            EXPECT_NE(error.message.find(c.says), std::string::npos) << c.file << ": " << error.message;
            EXPECT_EQ(error.message.find("No error"), std::string::npos) << error.message;
            continue;
        }
        ASSERT_TRUE(book) << c.file << ": " << error.message;
        EXPECT_EQ(book->activeSheet().text(1, 1), c.a1) << c.file;
        EXPECT_EQ(book->activeSheet().text(1, 2), c.b1) << c.file;
        // A new cell in the first row, saved and read again.
        ASSERT_TRUE(book->activeSheet().setText(1, 3, "new")) << c.file;
        ASSERT_TRUE(book->save(&error)) << c.file << ": " << error.message;
        expectSheetParses(path);
        EXPECT_EQ(Workbook::open(path, &error)->activeSheet().text(1, 3), "new") << c.file;
    }
}

TEST(XlsxMalformed, InlineStringWithoutContentReadsEmpty)
{
    const struct {
        const char *row;
        const char *b1;
    } cases[] = {
        {"<c r=\"A1\"><v>42</v></c><c r=\"B1\" t=\"inlineStr\"/>", ""},
        {"<c r=\"A1\" t=\"str\"><v>x</v></c><c r=\"B1\" t=\"inlineStr\"></c>", ""},
        {"<c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c><c r=\"B1\" t=\"inlineStr\"/>", ""},
        {"<c r=\"A1\"><v>42</v></c><c r=\"B1\" t=\"inlineStr\"><v>7</v></c>", "7"},
        {"<c r=\"A1\"><v>42</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>b</t></is></c>", "b"},
    };
    const std::string path = test::scratchDir("inline") + "/inline.xlsx";
    for (const auto &c : cases) {
        test::writeZip(path,
                       test::minimalPackage(sheetWith(std::string("<row r=\"1\">") + c.row + "</row>")));
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        ASSERT_TRUE(book) << c.row << ": " << error.message;
        EXPECT_EQ(book->activeSheet().text(1, 2), c.b1) << c.row;
    }
}

// A new cell makes the row's spans hint wrong, so the writer drops it: the
// attribute the reader found, wherever it stands, and nothing that merely
// looks like it inside another attribute's value.
TEST(XlsxMalformed, SpansHintIsRemovedWhereTheReaderFoundIt)
{
    const struct {
        const char *tag;
        const char *written;
    } cases[] = {
        {"<row r=\"1\" spans=\"1:1\">", "<row r=\"1\">"},
        {"<row spans=\"1:1\" r=\"1\">", "<row r=\"1\">"},
        {"<row r=\"1\"\n\tspans = '1:1' x=\"y\">", "<row r=\"1\" x=\"y\">"},
        {"<row r=\"1\" a=' spans=\"' b=\"x\">", "<row r=\"1\" a=' spans=\"' b=\"x\">"},
        {"<row r=\"1\" a=\" spans=&quot;\" spans=\"1:1\" b=\"x\">",
         "<row r=\"1\" a=\" spans=&quot;\" b=\"x\">"},
    };
    const std::string path = test::scratchDir("spans") + "/spans.xlsx";
    for (const auto &c : cases) {
        test::writeZip(
            path, test::minimalPackage(sheetWith(std::string(c.tag) + "<c r=\"A1\"><v>1</v></c></row>")));
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        ASSERT_TRUE(book) << c.tag << ": " << error.message;
        ASSERT_TRUE(book->activeSheet().setText(1, 2, "b"));
        ASSERT_TRUE(book->save(&error)) << c.tag << ": " << error.message;
        expectSheetParses(path);
        EXPECT_NE(test::zipEntryText(path, "xl/worksheets/sheet1.xml").find(c.written), std::string::npos)
            << c.tag << "\n"
            << test::zipEntryText(path, "xl/worksheets/sheet1.xml");
    }
}

TEST(XlsxMalformed, AttributesRunTogetherAreNotWellFormed)
{
    const std::string path = test::scratchDir("together") + "/together.xlsx";
    test::writeZip(
        path, test::minimalPackage(sheetWith("<row r=\"1\"spans=\"1:1\"><c r=\"A1\"><v>1</v></c></row>")));
    WorkbookError error;
    EXPECT_FALSE(Workbook::open(path, &error));
    EXPECT_EQ(error.status, WorkbookStatus::Damaged);
    EXPECT_NE(error.message.find("attributes without white space between them"), std::string::npos)
        << error.message;
}

// Sets the uncompressed size that the local header and the central directory
// declare for entry `name` of the ZIP file at `path`.
void declareSize(const std::string &path, const std::string &name, uint32_t size)
{
    std::string bytes = test::readFile(path);
    const struct {
        std::string signature;
        size_t nameAt, sizeAt;
    } headers[] = {{"PK\x03\x04", 30, 22}, {"PK\x01\x02", 46, 24}};
    for (const auto &h : headers) {
        for (size_t at = bytes.find(h.signature); at != std::string::npos;
             at = bytes.find(h.signature, at + 1)) {
            if (bytes.compare(at + h.nameAt, name.size(), name) != 0)
                continue;
            for (int i = 0; i < 4; ++i)
                bytes[at + h.sizeAt + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        }
    }
    test::writeFile(path, bytes);
}

// The declared size only sizes the first allocation: a part that inflates to
// more or less than it says is refused by what actually inflated, and a huge
// declaration on a small part does not allocate what it declares.
TEST(XlsxMalformed, DeclaredSizeThatLiesIsRefused)
{
    std::string rows;
    for (int r = 1; rows.size() < 600000; ++r)
        rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
                std::to_string(r) + "</v></c></row>";
    const std::string sheet = sheetWith(rows);
    const std::string name = "xl/worksheets/sheet1.xml";
    const uint32_t real = static_cast<uint32_t>(sheet.size());
    const std::string path = test::scratchDir("declared") + "/declared.xlsx";
    const struct {
        uint32_t declared;
        const char *says; ///< null: reads
    } cases[] = {
        {real, nullptr},
        {real - 1, "where the package declares"},
        {real + 1, "where the package declares"},
        {1, "where the package declares 1"},
        {0xFFFFFFF0u, "where the package declares 4294967280"},
    };
    for (const auto &c : cases) {
        test::writeZip(path, test::minimalPackage(sheet));
        declareSize(path, name, c.declared);
        rusage before;
        getrusage(RUSAGE_SELF, &before);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        rusage after;
        getrusage(RUSAGE_SELF, &after);
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << c.declared << ": peak grew by KB";
        if (!c.says) {
            ASSERT_TRUE(book) << error.message;
            EXPECT_EQ(book->activeSheet().text(7, 1), "7");
            continue;
        }
        EXPECT_FALSE(book) << c.declared;
        EXPECT_EQ(error.status, WorkbookStatus::Damaged) << c.declared;
        EXPECT_NE(error.message.find(c.says), std::string::npos) << c.declared << ": " << error.message;
    }
}

// A part that really inflates far beyond its compressed size (300 MiB of white
// space between elements, deflated to a few hundred KB) is refused once its
// bound has inflated, saying it is over that bound, which, and not that it is
// damaged; memory stays within the bound instead of following the part. The
// shared strings go through the same bound on their own thread.
// How far a refused bomb may raise the peak: the reader holds at most what the
// bound lets inflate. AddressSanitizer keeps freed blocks in its quarantine
// (256 MB by default), so there the peak also counts the buffers the reader
// outgrew and freed; the plain build checks the tight figure.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kBombPeakGrowthKb = 320 * 1024;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long kBombPeakGrowthKb = 320 * 1024;
#else
constexpr long kBombPeakGrowthKb = 100 * 1024;
#endif
#else
constexpr long kBombPeakGrowthKb = 100 * 1024;
#endif

TEST(XlsxMalformed, ZipBombIsRefusedAsOverTheBound)
{
    const std::string ns = "http://schemas.openxmlformats.org/";
    std::vector<std::pair<std::string, std::string>> withStrings =
        test::minimalPackage(sheetWith("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"));
    for (auto &[name, content] : withStrings) {
        if (name == "xl/_rels/workbook.xml.rels") {
            content.insert(
                content.find("</Relationships>"),
                "<Relationship Id=\"rId2\" Type=\"" + ns +
                    "officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>");
        }
    }
    const struct {
        const char *part;
        std::vector<std::pair<std::string, std::string>> others;
        std::string head;
        const char *tail;
    } cases[] = {
        {"xl/worksheets/sheet1.xml", test::minimalPackage(""),
         "<worksheet xmlns=\"" + kMain + "\"><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
         "</sheetData></worksheet>"},
        {"xl/sharedStrings.xml", withStrings, "<sst xmlns=\"" + kMain + "\"><si><t>a</t></si>", "</sst>"},
    };
    const std::string path = test::scratchDir("bomb") + "/bomb.xlsx";
    for (const auto &c : cases) {
        size_t spaces = 300u << 20;
        int step = 0;
        test::writeZipStreamed(
            path, c.others, c.part,
            [&](std::string *chunk) {
                if (step++ == 0) {
                    *chunk = c.head;
                } else if (spaces > 0) {
                    const size_t n = std::min<size_t>(spaces, 1u << 20);
                    chunk->assign(n, ' ');
                    spaces -= n;
                } else {
                    *chunk = c.tail;
                    return false;
                }
                return true;
            },
            9);
        ASSERT_LT(fs::file_size(path), 1u << 20);
        rusage before;
        getrusage(RUSAGE_SELF, &before);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        rusage after;
        getrusage(RUSAGE_SELF, &after);
        EXPECT_FALSE(book) << c.part;
        EXPECT_EQ(error.status, WorkbookStatus::OverBound) << c.part;
        EXPECT_NE(error.message.find("is over the size this program opens: the part " + std::string(c.part) +
                                     " inflates to more than 64 MiB, over 200 times its compressed"),
                  std::string::npos)
            << error.message;
        EXPECT_EQ(error.message.find("damaged"), std::string::npos) << error.message;
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, kBombPeakGrowthKb) << c.part << ": peak grew by KB";
    }
}

} // namespace
} // namespace orvane
