// Reading HR exports kept as CSV text and OpenDocument spreadsheets: CSV
// quoting, delimiter and encoding detection on files as Python's csv module
// writes them and on hand-made bytes; OpenDocument content with repeated and
// spanned cells, paragraphs and typed values; both refused on save.

#include "TestSupport.h"
#include "workbook/engine/CsvReader.h"
#include "workbook/engine/OdsReader.h"
#include "workbook/engine/Workbook.h"
#include "workbook/ExportUsers.h"
#include "workbook/ReadOnlyWorkbooks.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace orvane
{
namespace
{

std::string writeFile(const std::string &name, const std::string &bytes)
{
    const std::string path = test::freshTestFolder().toStdString() + "/" + name;
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), qint64(bytes.size()));
    return path;
}

// The sheet's texts, row by row from `first` to `rows`, cells joined by '|', columns up to `columns`.
std::string grid(const Worksheet &sheet, uint32_t rows, uint32_t columns, uint32_t first = 1)
{
    std::string out;
    for (uint32_t r = first; r <= rows; ++r) {
        for (uint32_t c = 1; c <= columns; ++c)
            out += (c > 1 ? "|" : "") + sheet.text(r, c);
        out += '\n';
    }
    return out;
}

std::string csvGrid(const std::string &bytes, char delimiter, uint32_t rows, uint32_t columns)
{
    Worksheet::Content content;
    std::string detail;
    EXPECT_TRUE(readCsvWorkbook(bytes, delimiter, &content, &detail)) << detail;
    return grid(Worksheet("s", std::move(content), nullptr, nullptr), rows, columns);
}

TEST(HrExportRead, CsvQuotingDelimitersAndEncodings)
{
    struct Case {
        const char *what;
        std::string bytes;
        uint32_t rows, columns;
        std::string expected;
    };
    const Case cases[] = {
        {"quotes, delimiters and line breaks inside quoted fields",
         "a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\",,x\r\n", 2, 3,
         "a|b,c|say \"hi\"\ntwo\r\nlines||x\n"},
        {"semicolon found, empty row kept", "id;name\n\n007;Zoë\n", 3, 2, "id|name\n|\n007|Zoë\n"},
        {"tab found, trailing empty field", "a\tb\t\nc\td\t\n", 2, 3, "a|b|\nc|d|\n"},
        {"comma wins when the semicolon is only inside quotes", "\"x;y\",z\n\"p;q\",r\n", 2, 2,
         "x;y|z\np;q|r\n"},
        {"UTF-8 with byte order mark", "\xEF\xBB\xBFname,town\nЖуков,Köln\n", 2, 2, "name|town\nЖуков|Köln\n"},
        {"UTF-16 LE with byte order mark", std::string("\xFF\xFE" "a\0,\0\x16\x04\n\0", 10), 1, 2, "a|Ж\n"},
        {"UTF-16 BE with byte order mark", std::string("\xFE\xFF\0a\0;\0b", 8), 1, 2, "a|b\n"},
        {"Windows-1252 when not UTF-8", "Fran\xE7ois;\x80 5;\x93q\x94\n", 1, 3, "François|€ 5|“q”\n"},
        {"CR alone ends a record, an open quote runs to the end", "a,b\rc,\"d\re", 2, 2, "a|b\nc|d\re\n"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(csvGrid(c.bytes, 0, c.rows, c.columns), c.expected) << c.what;
    // A delimiter named by the caller is used as given.
    EXPECT_EQ(csvGrid("a;b,c\n", ',', 1, 2), "a;b|c\n");
    EXPECT_EQ(detectCsvDelimiter("one field\nper line\n"), ',');
}

TEST(HrExportRead, CsvAsPythonWritesItOpensAndRefusesSave)
{
    const std::string folder = test::freshTestFolder().toStdString();
    struct Case {
        const char *file;
        const char *encoding;
        const char *delimiter;
    };
    const Case cases[] = {{"comma.csv", "utf-8", ","},
                          {"semicolon-bom.csv", "utf-8-sig", ";"},
                          {"tab-utf16.csv", "utf-16", "\\t"}};
    for (const Case &c : cases) {
        const std::string path = folder + "/" + c.file;
        const QString script = QStringLiteral(
                                   "import csv,sys\n"
                                   "with open(sys.argv[1], 'w', newline='', encoding='%1') as f:\n"
                                   "    w = csv.writer(f, delimiter='%2')\n"
                                   "    w.writerow(['ID', 'Name', 'Note'])\n"
                                   "    w.writerow(['000123', 'Ärztin \"Dr\"', 'line one\\nline two'])\n"
                                   "    w.writerow([])\n"
                                   "    w.writerow(['000456', 'Пётр; Иванов', '2024-03-01'])\n")
                                   .arg(QLatin1String(c.encoding), QLatin1String(c.delimiter));
        ASSERT_EQ(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                    {QStringLiteral("-c"), script, QString::fromStdString(path)}),
                  0);
        WorkbookError error;
        std::unique_ptr<Workbook> book = Workbook::open(path, &error);
        ASSERT_TRUE(book) << error.message;
        EXPECT_EQ(book->format(), Workbook::Format::Csv);
        EXPECT_EQ(grid(book->activeSheet(), 4, 3), "ID|Name|Note\n000123|Ärztin \"Dr\"|line one\nline two\n||\n"
                                                   "000456|Пётр; Иванов|2024-03-01\n")
            << c.file;
        EXPECT_EQ(book->activeSheet().find(2, "пётр; иванов", 0), 4u) << c.file;
        EXPECT_EQ(book->sheetNames(), std::vector<std::string>{std::string(c.file).substr(0, std::string(c.file).size() - 4)});
        ASSERT_TRUE(book->activeSheet().setText(1, 1, "x"));
        EXPECT_FALSE(book->save(&error));
        EXPECT_EQ(error.status, WorkbookStatus::ReadOnly);
        EXPECT_EQ(error.message, "The workbook " + path +
                                     " is a CSV text file (.csv), which can be read but not saved here; save "
                                     "it as .xlsx to write to it.");
    }
}

std::string odsContent(const std::string &tables)
{
    return "<?xml version=\"1.0\"?><office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>";
}

TEST(HrExportRead, OdsCellsRepetitionsSpansAndParagraphs)
{
    const std::string shown =
        "<table:table table:name=\"HR\"><table:table-column table:number-columns-repeated=\"3\"/>"
        "<table:table-header-rows><table:table-row>"
        "<table:table-cell table:number-columns-spanned=\"2\" office:value-type=\"string\"><text:p>Head"
        "</text:p></table:table-cell><table:covered-table-cell/>"
        "<table:table-cell office:value-type=\"float\" office:value=\"0.1\"><text:p>10%</text:p>"
        "</table:table-cell></table:table-row></table:table-header-rows>"
        "<table:table-row table:number-rows-repeated=\"1000000\"><table:table-cell "
        "table:number-columns-repeated=\"16384\"/></table:table-row>"
        "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell office:value-type=\"date\" "
        "office:date-value=\"2024-03-01\"><text:p>01.03.24</text:p></table:table-cell>"
        "<table:table-cell table:number-columns-repeated=\"2\" office:value-type=\"string\"><text:p>a  "
        "<text:s text:c=\"2\"/><text:span>b</text:span></text:p><text:p>second<text:line-break/>third"
        "</text:p><office:annotation><text:p>note</text:p></office:annotation></table:table-cell>"
        "</table:table-row>"
        "<table:table-row><table:table-cell office:value-type=\"percentage\" office:value=\"1234567.5\"/>"
        "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
        "<table:table-cell office:value-type=\"time\" office:time-value=\"PT13H30M00S\"/></table:table-row>"
        "</table:table>";
    // As LibreOffice writes them from an .xlsx: an error, a boolean as TRUE(), spaces kept by text:s.
    const std::string carried =
        "<table:table table:name=\"Carried\"><table:table-row><table:table-cell table:formula=\"of:=1/0\" "
        "office:value-type=\"string\" office:string-value=\"\"><text:p>#DIV/0!</text:p></table:table-cell>"
        "<table:table-cell table:formula=\"of:=TRUE()\" office:value-type=\"float\" office:value=\"1\">"
        "<text:p>TRUE</text:p></table:table-cell><table:table-cell office:value-type=\"string\"><text:p>"
        "<text:s text:c=\"2\"/>two <text:s/>spaces</text:p></table:table-cell></table:table-row></table:table>";
    const std::string other = "<table:table table:name=\"Other\"><table:table-row><table:table-cell "
                              "office:value-type=\"string\"><text:p>elsewhere</text:p></table:table-cell>"
                              "</table:table-row></table:table>";
    OdsContent content;
    std::string detail;
    ASSERT_EQ(readOdsContent(odsContent(other + shown), "HR", &content, &detail), OdsOutcome::Ok) << detail;
    EXPECT_EQ(content.sheetNames, (std::vector<std::string>{"Other", "HR"}));
    EXPECT_EQ(content.activeSheet, 1);
    const Worksheet &sheet = *content.sheet;
    EXPECT_EQ(grid(sheet, 1, 3), "Head||0.1\n");
    EXPECT_EQ(sheet.text(2, 1), "");
    const std::string row = "2024-03-01|a   b\nsecond\nthird|a   b\nsecond\nthird\n";
    EXPECT_EQ(grid(sheet, 1000004, 3, 1000001), "||\n" + row + row + "1234567.5|TRUE|13:30:00\n");
    // A million declared empty rows cost no cells.
    EXPECT_EQ(sheet.cells().size(), 11u);
    EXPECT_EQ(sheet.lastUsedRow(), 1000004u);

    ASSERT_EQ(readOdsContent(odsContent(carried), "", &content, &detail), OdsOutcome::Ok) << detail;
    EXPECT_EQ(grid(*content.sheet, 1, 3), "|TRUE|  two  spaces\n");

    // An unknown active sheet shows the first; no sheet and broken XML are damage.
    ASSERT_EQ(readOdsContent(odsContent(other + shown), "Gone", &content, &detail), OdsOutcome::Ok);
    EXPECT_EQ(content.sheet->text(1, 1), "elsewhere");
    EXPECT_EQ(readOdsContent(odsContent(""), "", &content, &detail), OdsOutcome::Damaged);
    EXPECT_EQ(detail, "it has no sheet");
    EXPECT_EQ(readOdsContent(odsContent(other).substr(0, 300), "", &content, &detail), OdsOutcome::Damaged);
    // Repeating a value over the whole grid is refused, not expanded.
    const std::string flood = "<table:table table:name=\"F\"><table:table-row table:number-rows-repeated="
                              "\"1048576\"><table:table-cell table:number-columns-repeated=\"16384\" "
                              "office:value-type=\"float\" office:value=\"1\"/></table:table-row></table:table>";
    EXPECT_EQ(readOdsContent(odsContent(flood), "", &content, &detail), OdsOutcome::Damaged);
    EXPECT_EQ(detail, "its sheet repeats more cells than can be read");
}

TEST(HrExportRead, OdsFromLibreOfficeOpensAndRefusesSave)
{
    const std::string csv = writeFile("people.csv", "ID,Name,Start\n000123,Zoë,2024-03-01\n");
    const QString folder = QString::fromStdString(csv.substr(0, csv.rfind('/')));
    ASSERT_EQ(QProcess::execute(QStringLiteral("soffice"),
                                {QStringLiteral("--headless"),
                                 QStringLiteral("-env:UserInstallation=file://") + folder + QStringLiteral("/lo"),
                                 QStringLiteral("--infilter=CSV:44,34,76,1"), // comma, quote, UTF-8
                                 QStringLiteral("--convert-to"), QStringLiteral("ods"), QStringLiteral("--outdir"),
                                 folder, QString::fromStdString(csv)}),
              0);
    const std::string path = folder.toStdString() + "/people.ods";
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    ASSERT_TRUE(book) << error.message;
    EXPECT_EQ(book->format(), Workbook::Format::Ods);
    EXPECT_EQ(grid(book->activeSheet(), 2, 3), "ID|Name|Start\n123|Zoë|2024-03-01\n");
    ASSERT_TRUE(book->activeSheet().setText(1, 1, "x"));
    EXPECT_FALSE(book->save(&error));
    EXPECT_EQ(error.status, WorkbookStatus::ReadOnly);
    EXPECT_NE(error.message.find("is an OpenDocument spreadsheet (.ods), which can be read but not saved"),
              std::string::npos)
        << error.message;
    // An .ods name on something that is no package at all is reported, naming the file.
    const std::string fake = writeFile("fake.ods", "PK\x03\x04junk");
    EXPECT_FALSE(Workbook::open(fake, &error));
    EXPECT_NE(error.message.find(fake), std::string::npos) << error.message;
}

TEST(HrExportRead, TaggingACsvOrOdsAsTheExportFileIsAnsweredWithANotice)
{
    EXPECT_EQ(readOnlyExportNotice(QStringLiteral("/hr/staff.CSV")),
              QStringLiteral("The export file /hr/staff.CSV is a CSV text file (.csv), which can be read but not "
                             "written: the export cannot save into it. Tag an .xlsx workbook as the export file "
                             "instead."));
    EXPECT_TRUE(readOnlyExportNotice(QStringLiteral("/hr/staff.ods"))
                    .contains(QStringLiteral(" is an OpenDocument spreadsheet (.ods), which can be read but not")));
    for (const char *writable : {"/hr/staff.xlsx", "/hr/staff.xls", "/hr/csv", "/hr/staff.ods.xlsx"})
        EXPECT_TRUE(readOnlyExportNotice(QString::fromLatin1(writable)).isEmpty()) << writable;
}

TEST(HrExportRead, TheExportRefusesACsvExportFileBeforeItStarts)
{
    const std::string bytes = "ID,Name\n000123,Zo\xC3\xAB\n";
    const std::string path = writeFile("export.csv", bytes);
    QStringList warnings, statuses;
    ExportCallbacks callbacks;
    callbacks.status = [&](const QString &text) { statuses << text; };
    callbacks.warn = [&](const QString &title, const QString &text) { warnings << title + u'|' + text; };
    ExportJob job;
    job.path = QString::fromStdString(path);
    job.connection.serverAddress = QStringLiteral("127.0.0.1:1"); // never reached
    const ExportOutcome outcome = ExportUsers(job, callbacks);
    EXPECT_FALSE(outcome.opened);
    EXPECT_EQ(outcome.written, 0);
    EXPECT_EQ(outcome.finalStatus, QStringLiteral("Export failed: the workbook was not saved"));
    EXPECT_EQ(warnings, QStringList{QStringLiteral("Export|") + readOnlyExportNotice(job.path)});
    EXPECT_TRUE(statuses.isEmpty());
    QFile file(job.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), bytes);
}

} // namespace
} // namespace orvane
