// Parts read as they inflate: wherever a chunk ends (inside a name, an
// attribute value, an entity, a cell's value or between a cell's value and
// its end tag), the streamed reader, sheet parser and string table give what
// a read of the whole part gives.

#include "WorkbookFixtures.h"

#include "workbook/engine/SharedStrings.h"
#include "workbook/engine/SheetParser.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/ZipPackage.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

// A document handed out at most `step` bytes per read, as a slow inflate might.
class PieceSource : public XmlSource
{
  public:
    PieceSource(std::string_view doc, size_t step) : doc_(doc), step_(step) {}
    long long read(char *into, size_t room) override
    {
        const size_t n = std::min({room, step_, doc_.size() - pos_});
        std::copy_n(doc_.data() + pos_, n, into);
        pos_ += n;
        return static_cast<long long>(n);
    }

  private:
    std::string_view doc_;
    size_t step_;
    size_t pos_ = 0;
};

std::string trace(XmlReader &reader)
{
    std::string out;
    for (int guard = 0; guard < 1000; ++guard) {
        const XmlReader::Token t = reader.next();
        out += std::to_string(t) + "@" + std::to_string(reader.begin()) + "-" + std::to_string(reader.end()) +
               "d" + std::to_string(reader.depth());
        if (t == XmlReader::EndOfDocument)
            return out;
        if (t == XmlReader::Malformed)
            return out + " " + reader.errorText() + "@" + std::to_string(reader.errorOffset());
        if (t == XmlReader::Text)
            out += "'" + std::string(reader.rawText()) + "'";
        if (t == XmlReader::StartElement || t == XmlReader::EndElement)
            out += std::string(reader.name());
        std::string_view value;
        size_t offset = 0, begin = 0, end = 0;
        for (const char *name : {"x", "k", "long"}) {
            if (t == XmlReader::StartElement && reader.attributeOffset(name, &value, &offset) &&
                reader.attributeSpan(name, &begin, &end)) {
                out += " " + std::string(name) + "=" + std::string(value) + "@" + std::to_string(offset) + "[" +
                       std::to_string(begin) + "," + std::to_string(end) + ")";
            }
        }
        if (t == XmlReader::StartElement && reader.localName() == "v") {
            std::string_view raw;
            out += reader.readTextOnly(&raw) ? " v=" + std::string(raw) : " not-text-only";
        }
        out += "\n";
    }
    return out + "runaway";
}

TEST(StreamedParts, ReaderGivesTheSameTokensWhereverTheChunksEnd)
{
    const std::string longText(700, 'w');
    const std::vector<std::string> documents = {
        "<?xml version=\"1.0\"?>\n<a x=\"1\" k='>'><b/>t&amp;u<!-- c --><x:c k=\"v\">u</x:c>"
        "<![CDATA[<z>]]><v>12</v><v>1&lt;2</v><v><i/></v><v/>" +
            longText + "<d long=\"" + longText + "\"/></a>",
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>x_x0041_</t></is></c></row>",
        "<a><b></a>",
        "<a x=\"1>",
        "<a>text",
        "<a/><b/>",
        "<a><!-- never closed",
    };
    for (const std::string &doc : documents) {
        XmlReader whole(doc);
        const std::string expected = trace(whole);
        for (size_t chunk : {1, 2, 3, 5, 8, 13, 64}) {
            for (size_t step : {1, 3, 1000}) {
                PieceSource source(doc, step);
                XmlReader streamed(&source, chunk);
                EXPECT_EQ(trace(streamed), expected) << "chunk " << chunk << ", step " << step << ": " << doc;
            }
        }
    }
}

std::string cellsOf(const Worksheet &sheet)
{
    std::string out;
    for (const Worksheet::Cell &c : sheet.cells()) {
        out += std::to_string(c.row) + "," + std::to_string(c.column) + " t" +
               std::to_string(static_cast<int>(c.type)) + " s" + std::to_string(c.style) + " f" +
               std::to_string(c.flags) + " [" + std::to_string(c.xmlBegin) + "," + std::to_string(c.xmlEnd) +
               ") " + cellDisplayText(sheet.value(c.row, c.column)) + "\n";
    }
    for (const Worksheet::Row &r : sheet.rows()) {
        out += "row " + std::to_string(r.number) + " " + std::to_string(r.begin) + "," + std::to_string(r.tagEnd) +
               "," + std::to_string(r.end) + " cells " + std::to_string(r.firstCell) + "+" +
               std::to_string(r.cellCount) + " spans " + std::to_string(r.spansBegin) + "," +
               std::to_string(r.spansEnd) + (r.selfClosing ? " empty" : "") + "\n";
    }
    if (const Worksheet::Part *part = sheet.part()) {
        out += "part " + part->prefix + " " + std::to_string(part->dataBegin) + "," + std::to_string(part->dataEnd) +
               " ref " + std::to_string(part->refBegin) + "," + std::to_string(part->refEnd) + "\n";
    }
    return out;
}

TEST(StreamedParts, SheetAndStringsReadTheSameWhereverTheChunksEnd)
{
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string sheetXml =
        "<x:worksheet xmlns:x=\"" + ns + "\"><x:dimension ref=\"A1:F4\"/><x:sheetData>"
        "<x:row r=\"1\" spans=\"1:6\"><x:c r=\"A1\" t=\"s\"><x:v>1</x:v></x:c>"
        "<x:c r=\"B1\" t=\"inlineStr\" s=\"2\"><x:is><x:r><x:t>rich </x:t></x:r><x:r><x:t>A&amp;B_x0041_</x:t>"
        "</x:r></x:is></x:c><x:c r=\"C1\" t=\"str\"><x:f>A1</x:f><x:v>&lt;calc&gt;</x:v></x:c>"
        "<x:c r=\"D1\" t=\"b\"><x:v>1</x:v></x:c><x:c r=\"E1\" t=\"e\"><x:v>#N/A</x:v></x:c>"
        "<x:c r=\"F1\"><x:v>12.5</x:v></x:c></x:row><x:row r=\"2\"/>"
        "<x:row r=\"3\"><x:c r=\"A3\" t=\"d\"><x:v>2024-02-29T12:00:00</x:v></x:c><x:c r=\"B3\" s=\"4\"/>"
        "<x:c r=\"C3\" t=\"s\"><x:v>7</x:v><x:is><x:t>unused</x:t></x:is></x:c><x:c t=\"inlineStr\"><x:is>"
        "<x:t xml:space=\"preserve\"> after C3 </x:t></x:is></x:c></x:row>"
        "<x:row r=\"4\"><x:c r=\"A4\"><x:v>" + std::string(300, '1') + "</x:v></x:c></x:row>"
        "</x:sheetData></x:worksheet>";
    const std::string stringsXml =
        "<sst xmlns=\"" + ns + "\" uniqueCount=\"3\"><si><t>plain</t></si><si><r><t>ri</t></r><r><t>ch&amp;</t>"
        "</r><rPh><t>phonetic</t></rPh></si><si><t>esc_x0042_aped</t></si></sst>";
    auto parts = test::minimalPackage(sheetXml);
    parts.push_back({"xl/sharedStrings.xml", stringsXml});
    const std::string path = test::scratchDir("streamed") + "/kinds.xlsx";
    test::writeZip(path, parts);

    ZipPackage::OpenError openError;
    std::string detail;
    std::unique_ptr<ZipPackage> zip = ZipPackage::open(path, &openError, &detail);
    ASSERT_TRUE(zip) << detail;
    SheetParseInput whole;
    whole.sheetName = "Sheet1";
    whole.partName = "xl/worksheets/sheet1.xml";
    ASSERT_TRUE(zip->read(whole.partName, &whole.xml, &detail)) << detail;
    std::unique_ptr<Worksheet> expected = parseWorksheetPart(whole, &detail);
    ASSERT_TRUE(expected) << detail;
    EXPECT_EQ(expected->text(1, 2), "rich A&BA");
    EXPECT_EQ(expected->text(3, 4), " after C3 ");
    SharedStrings expectedStrings;
    std::string stringsPart;
    ASSERT_TRUE(zip->read("xl/sharedStrings.xml", &stringsPart, &detail)) << detail;
    ASSERT_TRUE(expectedStrings.parse(stringsPart, &detail)) << detail;
    ASSERT_EQ(expectedStrings.size(), 3u);
    EXPECT_EQ(expectedStrings.at(1), "rich&");

    for (size_t chunk : {1, 2, 7, 100}) {
        ZipPackage::ReadError why = ZipPackage::ReadError::None;
        std::unique_ptr<PartStream> stream = zip->openPart(whole.partName, &detail, &why);
        ASSERT_TRUE(stream) << detail;
        SheetParseInput input = whole;
        input.xml.clear();
        input.chunk = chunk;
        std::unique_ptr<Worksheet> sheet = parseWorksheetStream(input, stream.get(), &detail, &why);
        ASSERT_TRUE(sheet) << detail;
        EXPECT_EQ(cellsOf(*sheet), cellsOf(*expected)) << "chunk " << chunk;

        stream = zip->openPart("xl/sharedStrings.xml", &detail, &why);
        ASSERT_TRUE(stream) << detail;
        SharedStrings strings;
        ASSERT_TRUE(strings.parse(stream.get(), &detail, &why, chunk)) << detail;
        ASSERT_EQ(strings.size(), expectedStrings.size());
        for (size_t i = 0; i < strings.size(); ++i)
            EXPECT_EQ(strings.at(i), expectedStrings.at(i)) << "chunk " << chunk << ", item " << i;
    }
}

// Row, column, type and shown text of every cell: what a reader of the sheet sees.
std::string valuesOf(const Worksheet &sheet)
{
    std::string out;
    for (const Worksheet::Cell &c : sheet.cells())
        out += std::to_string(c.row) + "," + std::to_string(c.column) + " t" +
               std::to_string(static_cast<int>(c.type)) + " " + cellDisplayText(sheet.value(c.row, c.column)) +
               "\n";
    return out;
}

TEST(StreamedParts, CellsSpeltTheUsualWayReadAsTheirLongerSpellings)
{
    // Each value spelt as writers usually do, and at greater length (runs,
    // white space, attributes, CDATA, other children), which is read token by
    // token; both must read alike wherever a chunk ends.
    const std::string longText(300, 'w');
    const std::vector<std::pair<std::string, std::string>> spellings = {
        {"<c r=\"A1\" t=\"inlineStr\"><is><t>plain</t></is></c>",
         "<c r=\"A1\" t=\"inlineStr\"><is><r><t>plain</t></r></is></c>"},
        {"<c r=\"B1\" t=\"inlineStr\"><is><t>A&amp;B_x0041_</t></is></c>",
         "<c r=\"B1\" t=\"inlineStr\"><is> <t xml:space=\"preserve\">A&amp;B_x0041_</t> </is></c>"},
        {"<c r=\"C1\" t=\"inlineStr\"><is><t></t></is></c>", "<c r=\"C1\" t=\"inlineStr\"><is><t/></is></c>"},
        {"<c r=\"D1\" t=\"s\"><v>1</v></c>", "<c r=\"D1\" t=\"s\"><v>1</v><extLst/></c>"},
        {"<c r=\"E1\"><v>12.5</v></c>", "<c r=\"E1\"> <v>12.5</v> </c>"},
        {"<c r=\"F1\" t=\"str\"><v>&lt;calc&gt;</v></c>", "<c r=\"F1\" t=\"str\"><v><![CDATA[<calc>]]></v></c>"},
        {"<c r=\"G1\" t=\"inlineStr\"><is><t>" + longText + "</t></is></c>",
         "<c r=\"G1\" t=\"inlineStr\"><is><r><t>" + longText + "</t></r></is></c>"},
        {"<c r=\"H1\" t=\"inlineStr\"><v>shown</v></c>", "<c r=\"H1\" t=\"inlineStr\"><v>shown</v><f/></c>"},
        {"<c r=\"I1\" t=\"s\"><v>0</v></c>", "<c r=\"I1\" t=\"s\"><v>0</v><is><t>unused</t></is></c>"},
        // Attributes in another order, quoted either way, unknown ones, none at all.
        {"<c t=\"inlineStr\" s=\"3\" r=\"J1\"><is><t>order</t></is></c>",
         "<c t = \"inlineStr\" s=\"3\" r=\"J1\"><is><t>order</t></is></c>"},
        {"<c t='s'><v>2</v></c>", "<c t = 's'><v>2</v></c>"},
        {"<c r=\"L1\" s=\"4\"/>", "<c r = \"L1\" s=\"4\"></c>"},
        {"<c r=\"M1\" t=\"inlineStr\" ></c>", "<c r=\"M1\" t=\"inlineStr\"><!-- none --></c>"},
        {"<c r=\"N1\" cm=\"1\" t=\"b\"><v>1</v></c>", "<c r = \"N1\" cm=\"1\" t=\"b\"><v>1</v></c>"},
        {"<c r=\"O1\" t=\"inlineStr\"><is><t>&#1054;&#x442;&lt;_x0042_</t></is></c>",
         "<c r=\"O1\" t=\"inlineStr\"><is><r><t>&#1054;&#x442;&lt;_x0042_</t></r></is></c>"},
        {"<c r=\"P1\"><v>1&#48;</v></c>", "<c r=\"P1\"> <v>1&#48;</v></c>"},
        {"<c r=\"Q1\" t=\"s\"><is><t>shown</t></is></c>", "<c r=\"Q1\" t=\"s\"><is><r><t>shown</t></r></is></c>"},
    };
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const auto sheetOf = [&](bool usual) {
        std::string row;
        for (const auto &[shortForm, longForm] : spellings)
            row += usual ? shortForm : longForm;
        return "<worksheet xmlns=\"" + ns + "\"><sheetData><row r=\"1\">" + row + "</row></sheetData></worksheet>";
    };
    const std::string dir = test::scratchDir("spellings");
    const auto read = [&](const std::string &xml, size_t chunk, std::string *detail) {
        const std::string path = dir + "/sheet.xlsx";
        test::writeZip(path, test::minimalPackage(xml));
        ZipPackage::OpenError openError;
        std::unique_ptr<ZipPackage> zip = ZipPackage::open(path, &openError, detail);
        EXPECT_TRUE(zip) << *detail;
        SheetParseInput input;
        input.sheetName = "Sheet1";
        input.partName = "xl/worksheets/sheet1.xml";
        input.chunk = chunk;
        ZipPackage::ReadError why = ZipPackage::ReadError::None;
        std::unique_ptr<PartStream> stream = zip->openPart(input.partName, detail, &why);
        std::unique_ptr<Worksheet> sheet = parseWorksheetStream(input, stream.get(), detail, &why);
        return sheet ? valuesOf(*sheet) : "failed: " + *detail;
    };
    std::string detail;
    const std::string expected = read(sheetOf(false), 0, &detail);
    EXPECT_NE(expected.find("1,7 t"), std::string::npos) << expected;
    EXPECT_NE(expected.find("A&BA"), std::string::npos) << expected;
    EXPECT_NE(expected.find("1,11 t"), std::string::npos) << expected; // the cell without r follows J1
    EXPECT_NE(expected.find("\u041e\u0442<B"), std::string::npos) << expected;
    for (size_t chunk : {1, 2, 7, 100, 0})
        EXPECT_EQ(read(sheetOf(true), chunk, &detail), expected) << "chunk " << chunk;

    // A text that does not decode fails alike both ways.
    const std::string bad = "<worksheet xmlns=\"" + ns + "\"><sheetData><row r=\"1\"><c t=\"inlineStr\"><is>%s"
                            "</is></c></row></sheetData></worksheet>";
    const auto badSheet = [&](const char *t) {
        std::string xml = bad;
        return xml.replace(xml.find("%s"), 2, t);
    };
    const std::string longBad = read(badSheet("<r><t>a&bogus;</t></r>"), 0, &detail);
    EXPECT_EQ(longBad.rfind("failed: ", 0), 0u) << longBad;
    for (size_t chunk : {1, 7, 0})
        EXPECT_EQ(read(badSheet("<t>a&bogus;</t>"), chunk, &detail), longBad) << "chunk " << chunk;
}

} // namespace
} // namespace orvane
