// Files that are not usable workbooks: each gives its own status and a
// message that names the file, and none crashes the engine (this test also
// runs under AddressSanitizer).

#include "WorkbookFixtures.h"
#include "workbook/engine/Workbook.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace orvane
{
namespace
{

namespace fs = std::filesystem;

const std::string kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string sheetWith(const std::string &data)
{
    return "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + data + "</sheetData></worksheet>";
}

std::string biffRecord(uint16_t type, const std::string &data)
{
    std::string r;
    r += static_cast<char>(type & 0xFF);
    r += static_cast<char>(type >> 8);
    r += static_cast<char>(data.size() & 0xFF);
    r += static_cast<char>(data.size() >> 8);
    return r + data;
}

struct BadFile {
    const char *name;
    std::function<void(const std::string &path)> make;
    WorkbookStatus status;
    const char *says;
};

const std::vector<BadFile> &badFiles()
{
    static const std::vector<BadFile> files = {
        {"missing.xlsx", [](const std::string &) {}, WorkbookStatus::NotFound, "does not exist"},
        {"text.xlsx", [](const std::string &p) { test::writeFile(p, "Name;Mail\nAlice;a@example.org\n"); },
         WorkbookStatus::NotWorkbook, "not an Excel workbook"},
        {"empty.xlsx", [](const std::string &p) { test::writeFile(p, ""); }, WorkbookStatus::NotWorkbook,
         "empty"},
        {"folder.xlsx", [](const std::string &p) { fs::create_directory(p); }, WorkbookStatus::NotWorkbook,
         "folder"},
        {"truncated.xlsx",
         [](const std::string &p) {
             test::writeXlsxWriterWorkbook(p);
             std::string bytes = test::readFile(p);
             test::writeFile(p, bytes.substr(0, bytes.size() / 2));
         },
         WorkbookStatus::Damaged, "truncated"},
        {"crc.xlsx",
         [](const std::string &p) {
             test::writeZip(p,
                            test::minimalPackage(sheetWith("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")));
             std::string bytes = test::readFile(p);
             // Change a byte of the sheet's compressed data behind the entry's CRC.
             const std::string name = "xl/worksheets/sheet1.xml";
             size_t at = bytes.find(name);
             size_t extra =
                 static_cast<unsigned char>(bytes[at - 2]) | (static_cast<unsigned char>(bytes[at - 1]) << 8);
             bytes[at + name.size() + extra + 6] ^= 0x55;
             test::writeFile(p, bytes);
         },
         WorkbookStatus::Damaged, "sheet1.xml"},
        {"other.zip.xlsx",
         [](const std::string &p) {
             test::writeZip(p, {{"readme.txt", "hello"}});
         },
         WorkbookStatus::NotWorkbook, "not an Office document"},
        {"encrypted.xlsx",
         [](const std::string &p) {
             test::writeCompoundFile(
                 p, {{"EncryptionInfo", std::string("\x04\x00\x04\x00", 4) + "<encryption/>"},
                     {"EncryptedPackage", std::string(8192, '\x5A')}});
         },
         WorkbookStatus::Encrypted, "password"},
        {"encrypted.xls",
         [](const std::string &p) {
             std::string stream =
                 biffRecord(0x0809, std::string("\x00\x06\x05\x00", 4) + std::string(12, '\0')) +
                 biffRecord(0x002F, std::string(54, '\x01')) + biffRecord(0x000A, "");
             test::writeCompoundFile(p, {{"Workbook", stream}});
         },
         WorkbookStatus::Encrypted, "password"},
        {"word.xls",
         [](const std::string &p) {
             test::writeCompoundFile(p, {{"WordDocument", "text"}});
         },
         WorkbookStatus::NotWorkbook, "holds no workbook"},
        {"broken.xls",
         [](const std::string &p) {
             std::string bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
             test::writeFile(p, bytes + std::string(600, '\xFF'));
         },
         WorkbookStatus::Damaged, "compound document"},
        {"malformed.xlsx",
         [](const std::string &p) {
             test::writeZip(p, test::minimalPackage(sheetWith("<row r=\"1\"><c r=\"A1\"><v>1</v></row>")));
         },
         WorkbookStatus::Damaged, "xl/worksheets/sheet1.xml is not well-formed"},
        {"outside.xlsx",
         [](const std::string &p) {
             test::writeZip(p,
                            test::minimalPackage(sheetWith("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")));
         },
         WorkbookStatus::Damaged, "XFE1"},
        {"norows.xlsx",
         [](const std::string &p) {
             test::writeZip(p, test::minimalPackage(sheetWith("<row r=\"2000000\"/>")));
         },
         WorkbookStatus::Damaged, "2000000"},
        {"nosheet.xlsx",
         [](const std::string &p) {
             auto parts = test::minimalPackage("");
             parts.pop_back();
             test::writeZip(p, parts);
         },
         WorkbookStatus::Damaged, "Sheet1"},
        {"doctype.xlsx",
         [](const std::string &p) {
             test::writeZip(p,
                            test::minimalPackage("<!DOCTYPE worksheet [<!ENTITY x \"y\">]>" + sheetWith("")));
         },
         WorkbookStatus::Damaged, "document type"},
    };
    return files;
}

TEST(WorkbookErrors, EachBadFileHasItsStatusAndAClearMessage)
{
    std::string dir = test::scratchDir("bad");
    for (const BadFile &bad : badFiles()) {
        std::string path = dir + "/" + bad.name;
        bad.make(path);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        EXPECT_FALSE(book) << bad.name;
        EXPECT_EQ(error.status, bad.status) << bad.name << ": " << error.message;
        EXPECT_NE(error.message.find(path), std::string::npos) << bad.name << ": " << error.message;
        EXPECT_NE(error.message.find(bad.says), std::string::npos) << bad.name << ": " << error.message;
    }
}

// Random damage to the sheet XML and to the bytes of whole files: the engine
// may refuse or read something, but must neither crash nor read out of bounds.
TEST(WorkbookErrors, RandomDamageNeverCrashes)
{
    std::string dir = test::scratchDir("fuzz");
    std::mt19937 random(20240105);
    const std::string sheet = sheetWith("<row r=\"1\" spans=\"1:3\"><c r=\"A1\" "
                                        "t=\"inlineStr\"><is><r><t>a&amp;b</t></r><r><t>c</t></r></is></c>"
                                        "<c r=\"B1\" s=\"0\"><v>1.5</v></c><c r=\"C1\" "
                                        "t=\"b\"><v>1</v></c></row><row r=\"2\"><c r=\"A2\" t=\"str\">"
                                        "<f>A1</f><v>x&#65;_x0041_</v></c><c t=\"e\"><v>#N/A</v></c></row>");
    for (int round = 0; round < 300; ++round) {
        std::string damaged = sheet;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % damaged.size();
            switch (random() % 3) {
            case 0:
                damaged[at] = "<>/\"'&;=x_ \x80"[random() % 12];
                break;
            case 1:
                damaged.erase(at, 1 + random() % 8);
                break;
            default:
                damaged.resize(at);
                break;
            }
            if (damaged.empty()) {
                damaged = "<";
            }
        }
        std::string path = dir + "/fuzz.xlsx";
        test::writeZip(path, test::minimalPackage(damaged));
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        if (book) {
            const Worksheet &s = book->activeSheet();
            for (uint32_t r = 1; r <= 3; ++r) {
                for (uint32_t c = 1; c <= 3; ++c) {
                    s.text(r, c);
                }
            }
            s.find(1, "c", 0);
            book->activeSheet().setText(2, 2, "z");
            book->save(&error);
        } else {
            EXPECT_EQ(error.status, WorkbookStatus::Damaged) << error.message;
        }
    }
    std::string xls = dir + "/legacy.xls", output;
    ASSERT_EQ(test::runPythonScript("make_xls_workbook.py", {xls}, &output), 0) << output;
    std::string xlsBytes = test::readFile(xls);
    std::string xlsx = dir + "/data.xlsx";
    test::writeXlsxWriterWorkbook(xlsx);
    std::string xlsxBytes = test::readFile(xlsx);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = round % 2 ? xlsBytes : xlsxBytes;
        for (int e = 0; e < 4; ++e) {
            bytes[random() % bytes.size()] = static_cast<char>(random());
        }
        std::string path = dir + (round % 2 ? "/damaged.xls" : "/damaged.xlsx");
        test::writeFile(path, bytes);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        if (book) {
            book->activeSheet().text(1, 1);
            book->activeSheet().find(1, "text", 0);
        } else {
            EXPECT_FALSE(error.message.empty());
        }
    }
}

} // namespace
} // namespace orvane
