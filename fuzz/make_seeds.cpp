// fuzz_seeds <source dir> <out dir>: makes the seed corpus of every fuzz
// target in <out dir>/<target>/ from what the tests use: workbooks written by
// libxlsxwriter, openpyxl and xlwt as the workbook tests write them, the XML
// parts of those packages, the command scripts of command-seeds.txt, every
// workbook and command kept under tests/workbook/fixtures/ (the malformed
// inputs among them) and the earlier findings in fuzz/regressions/<target>/.

#include "PackageInput.h"
#include "WorkbookFixtures.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using orvane::test::readFile;
using orvane::test::writeFile;

namespace
{

struct Corpus {
    fs::path root;
    int count = 0;

    void add(const std::string &target, const std::string &name, const std::string &bytes)
    {
        fs::create_directories(root / target);
        writeFile((root / target / name).string(), bytes);
        ++count;
    }
    void addFile(const std::string &target, const fs::path &file)
    {
        add(target, file.filename().string(), readFile(file.string()));
    }
};

// Workbooks written by the three independent writers, as the tests make them.
std::vector<fs::path> writeWorkbooks(const fs::path &dir)
{
    using namespace orvane::test;
    std::vector<fs::path> files;
    auto add = [&](const std::string &name) { return (files.emplace_back(dir / name)).string(); };
    writeXlsxWriterWorkbook(add("xlsxwriter.xlsx"));
    writeColumnWorkbook(add("column-shared.xlsx"), 3,
                        {{1, "cn"}, {2, "Alice"}, {4, "00042"}, {7, "B\xC3\xBC"}});
    writeColumnWorkbook(add("column-inline.xlsx"), 1, {{1, "cn"}, {3, "Bob"}}, true);
    writeZip(
        add("minimal.xlsx"),
        minimalPackage("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                       "<sheetData><row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is>"
                       "</c><c r=\"B1\"><v>1.5</v></c></row></sheetData></worksheet>"));
    std::string output;
    if (runPythonScript("make_openpyxl_workbook.py", {add("openpyxl.xlsx")}, &output) != 0)
        std::fprintf(stderr, "fuzz_seeds: openpyxl workbook not written: %s\n", output.c_str());
    if (runPythonScript("make_xls_workbook.py", {add("xlwt.xls")}, &output) != 0)
        std::fprintf(stderr, "fuzz_seeds: xlwt workbook not written: %s\n", output.c_str());
    writeCompoundFile(add("compound.xls"),
                      {{"Workbook", std::string("\x09\x08\x10\x00\x00\x06\x05\x00", 8)}});
    return files;
}

// Every file below `dir` (when it exists), in a stable order.
std::vector<fs::path> filesBelow(const fs::path &dir)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file())
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void addWorkbook(Corpus *corpus, const fs::path &file)
{
    if (!fs::exists(file))
        return;
    const std::string extension = file.extension().string();
    if (extension == ".xls") {
        corpus->addFile("xls", file);
    } else if (extension == ".xlsx") {
        corpus->addFile("xlsx", file);
        const auto parts = orvane::fuzz::readPackageTextParts(file.string());
        if (!parts.empty())
            corpus->add("xlsx_xml", file.stem().string() + ".parts", orvane::fuzz::joinPackageInput(parts));
    }
}

// HR exports: .ods content parts with repetitions, spans, paragraphs and
// typed values, and CSV texts in each encoding and delimiter the reader
// tells apart. Hand-written, so the seeds need no office suite at build time.
void addHrExports(Corpus *corpus)
{
    const std::string head =
        "<?xml version=\"1.0\"?><office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>";
    const std::string tail = "</office:spreadsheet></office:body></office:document-content>";
    const std::string table =
        "<table:table table:name=\"HR\"><table:table-row><table:table-cell table:number-columns-spanned=\"2\" "
        "office:value-type=\"string\"><text:p>ID</text:p></table:table-cell><table:covered-table-cell/>"
        "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-03-01\"/></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"3\"><table:table-cell office:value-type=\"float\" "
        "office:value=\"42.5\"/><table:table-cell table:number-columns-repeated=\"2\"><text:p>a<text:s "
        "text:c=\"2\"/>b</text:p><text:p>c<text:line-break/>d</text:p></table:table-cell></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell "
        "table:number-columns-repeated=\"16384\"/></table:table-row></table:table>";
    const std::string settings =
        "<?xml version=\"1.0\"?><office:document-settings "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:config=\"urn:oasis:names:tc:opendocument:xmlns:config:1.0\"><office:settings>"
        "<config:config-item config:name=\"ActiveTable\" config:type=\"string\">HR</config:config-item>"
        "</office:settings></office:document-settings>";
    const std::string mime = "application/vnd.oasis.opendocument.spreadsheet";
    corpus->add("ods", "hr.parts",
                orvane::fuzz::joinPackageInput(
                    {{"mimetype", mime}, {"content.xml", head + table + tail}, {"settings.xml", settings}}));
    corpus->add("ods", "two-sheets.parts",
                orvane::fuzz::joinPackageInput(
                    {{"mimetype", mime},
                     {"content.xml", head + "<table:table table:name=\"A\"/>" + table + tail}}));
    corpus->add("csv", "comma.csv", "ID,Name,Note\r\n000123,\"Zo\xC3\xAB, \"\"Z\"\"\",\"two\r\nlines\"\r\n\r\n");
    corpus->add("csv", "semicolon-bom.csv", "\xEF\xBB\xBFID;Name\n1;\xD0\x96\n");
    corpus->add("csv", "tab-utf16.csv", std::string("\xFF\xFEI\0D\0\t\0N\0\n\0", 12));
    corpus->add("csv", "windows-1252.csv", "Fran\xE7ois;\x80\n");
}

// Scripts in command-seeds.txt are separated by blank lines; a kept command
// (a .cmd file) is run through each way a command can be called.
void addCommands(Corpus *corpus, const fs::path &source)
{
    std::istringstream in(readFile((source / "fuzz/command-seeds.txt").string()));
    std::string line, script;
    int number = 0;
    auto flush = [&] {
        if (!script.empty())
            corpus->add("command", "seed-" + std::to_string(++number), script);
        script.clear();
    };
    while (std::getline(in, line)) {
        if (line.empty())
            flush();
        else if (line[0] != '#' || !script.empty())
            script += line + "\n";
    }
    flush();
    for (const fs::path &file : filesBelow(source / "tests/workbook/fixtures")) {
        if (file.extension() != ".cmd")
            continue;
        std::string command = readFile(file.string());
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
            command.pop_back();
        for (const char *verb : {"str", "variant", "invoke", "set"})
            corpus->add("command", file.stem().string() + "-" + verb,
                        std::string(verb) + " @1 " + command + "\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds <source dir> <out dir>\n");
        return 2;
    }
    const fs::path source = argv[1];
    Corpus corpus{argv[2]};
    fs::remove_all(corpus.root);
    try {
        const fs::path work = orvane::test::scratchDir("workbooks");
        for (const fs::path &file : writeWorkbooks(work))
            addWorkbook(&corpus, file);
        for (const fs::path &file : filesBelow(source / "tests/workbook/fixtures"))
            addWorkbook(&corpus, file);
        addCommands(&corpus, source);
        addHrExports(&corpus);
        for (const char *target : {"command", "xlsx", "xlsx_xml", "xls", "ods", "csv"}) {
            for (const fs::path &file : filesBelow(source / "fuzz/regressions" / target))
                corpus.add(target, "regression-" + file.filename().string(), readFile(file.string()));
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.what());
        return 1;
    }
    std::printf("fuzz_seeds: %d seed inputs in %s\n", corpus.count, corpus.root.c_str());
    return 0;
}
