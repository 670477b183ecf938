#include "workbook/engine/OdsReader.h"

#include "workbook/engine/CellValue.h"
#include "workbook/engine/PackageXml.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"
#include "workbook/engine/ZipPackage.h"

#include <charconv>
#include <cstdint>

namespace orvane
{

namespace
{

constexpr std::string_view kMimePrefix = "application/vnd.oasis.opendocument.";

// A repetition count as the file gives it: at least 1, at most what a sheet can hold.
uint64_t repeatCount(const XmlReader &reader, std::string_view attribute)
{
    std::string_view raw;
    uint64_t count = 1;
    if (reader.attribute(attribute, &raw)) {
        auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), count);
        if (ec != std::errc() || count == 0) {
            count = 1;
        }
    }
    return std::min<uint64_t>(count, Worksheet::kMaxRow);
}

// "PT12H30M05.5S" (hours may exceed a day) as a fraction of a day.
bool parseDuration(std::string_view text, double *fraction)
{
    if (!text.starts_with("PT")) {
        return false;
    }
    text.remove_prefix(2);
    double total = 0;
    bool any = false;
    while (!text.empty()) {
        double value = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec != std::errc() || end == text.data() + text.size()) {
            return false;
        }
        const char unit = *end;
        total += value * (unit == 'H' ? 3600.0 : unit == 'M' ? 60.0 : unit == 'S' ? 1.0 : -1e300);
        if (total < 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(end - text.data()) + 1);
        any = true;
    }
    *fraction = total / 86400.0;
    return any;
}

/// Reads the rows of one table element into a sheet's content.
class TableReader
{
  public:
    TableReader(XmlReader &reader, Worksheet::Content *content) : reader_(reader), content_(content) {}

    /// After the table's StartElement: reads to its EndElement.
    OdsOutcome read(std::string *detail)
    {
        const int tableDepth = reader_.depth() - 1;
        for (;;) {
            XmlReader::Token t = reader_.next();
            if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
                return malformed(detail);
            }
            if (t == XmlReader::EndElement && reader_.depth() == tableDepth) {
                return OdsOutcome::Ok;
            }
            if (t != XmlReader::StartElement) {
                continue;
            }
            const std::string_view local = reader_.localName();
            if (local == "table-row") {
                if (OdsOutcome o = readRow(detail); o != OdsOutcome::Ok) {
                    return o;
                }
            } else if (local != "table-header-rows" && local != "table-row-group" && local != "table-rows" &&
                       !reader_.skipElement()) {
                return malformed(detail);
            }
        }
    }

  private:
    OdsOutcome malformed(std::string *detail)
    {
        *detail = "its content part is not well-formed XML (" + reader_.errorText() + ")";
        return OdsOutcome::Damaged;
    }

    OdsOutcome tooMany(std::string *detail)
    {
        *detail = "its sheet repeats more cells than can be read";
        return OdsOutcome::Damaged;
    }

    OdsOutcome readRow(std::string *detail)
    {
        const uint64_t repeat = repeatCount(reader_, "number-rows-repeated");
        const size_t first = content_->cells.size();
        uint64_t column = 1;
        if (!reader_.selfClosing()) {
            const int rowDepth = reader_.depth() - 1;
            for (;;) {
                XmlReader::Token t = reader_.next();
                if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
                    return malformed(detail);
                }
                if (t == XmlReader::EndElement && reader_.depth() == rowDepth) {
                    break;
                }
                if (t != XmlReader::StartElement) {
                    continue;
                }
                const std::string_view local = reader_.localName();
                if (local == "table-cell" || local == "covered-table-cell") {
                    if (OdsOutcome o = readCell(&column, detail); o != OdsOutcome::Ok) {
                        return o;
                    }
                } else if (!reader_.skipElement()) {
                    return malformed(detail);
                }
            }
        } else {
            reader_.next(); // the EndElement of <table:table-row/>
        }
        const size_t last = content_->cells.size();
        for (uint64_t copy = 1; copy < repeat && last > first && row_ + copy <= Worksheet::kMaxRow; ++copy) {
            if ((repeated_ += last - first) > kMaxOdsRepeatedCells) {
                return tooMany(detail);
            }
            for (size_t i = first; i < last; ++i) {
                Worksheet::Cell cell = content_->cells[i];
                cell.row = static_cast<uint32_t>(row_ + copy);
                content_->cells.push_back(cell);
            }
        }
        row_ += repeat;
        return OdsOutcome::Ok;
    }

    OdsOutcome readCell(uint64_t *column, std::string *detail)
    {
        const uint64_t repeat = repeatCount(reader_, "number-columns-repeated");
        Worksheet::Cell cell;
        const CellRead read = readValue(&cell);
        if (read == CellRead::Malformed) {
            return malformed(detail);
        }
        if (read == CellRead::Value && row_ <= Worksheet::kMaxRow) {
            cell.row = static_cast<uint32_t>(row_);
            for (uint64_t copy = 0; copy < repeat && *column + copy <= Worksheet::kMaxColumn; ++copy) {
                if (copy > 0 && ++repeated_ > kMaxOdsRepeatedCells) {
                    return tooMany(detail);
                }
                cell.column = static_cast<uint16_t>(*column + copy);
                content_->cells.push_back(cell);
            }
        }
        *column += repeat;
        return OdsOutcome::Ok;
    }

    enum class CellRead { Empty, Value, Malformed };

    // Reads the current cell element through its end, filling `cell` when it holds a value.
    CellRead readValue(Worksheet::Cell *cell)
    {
        std::string_view type, raw;
        reader_.attribute("value-type", &type);
        // Parsed into a local: a cell's number is not aligned for a pointer to it.
        double number = 0;
        bool parsed = false;
        Worksheet::CellType kind = Worksheet::CellType::Date;
        if (type == "float" || type == "percentage" || type == "currency") {
            kind = Worksheet::CellType::Number;
            parsed = reader_.attribute("value", &raw) && parseNumber(raw, &number);
        } else if (type == "date") {
            parsed = reader_.attribute("date-value", &raw) && parseIsoDate(raw, &number);
        } else if (type == "time") {
            parsed = reader_.attribute("time-value", &raw) && parseDuration(raw, &number);
        } else if (type == "boolean") {
            if (reader_.attribute("boolean-value", &raw)) {
                cell->type = Worksheet::CellType::Boolean;
                cell->number = raw == "true" ? 1 : 0;
            }
        }
        if (parsed) {
            cell->type = kind;
            cell->number = number;
        }
        // A string value given apart from the shown text wins; a formula's
        // error is such a cell with an empty value (shown empty, as in .xlsx).
        std::string stringValue;
        const bool hasStringValue = type == "string" && reader_.attribute("string-value", &raw) &&
                                    appendXmlDecoded(raw, &stringValue);
        if (reader_.selfClosing()) {
            reader_.next();
            return cell->type != Worksheet::CellType::Blank ? CellRead::Value : CellRead::Empty;
        }
        std::string &text = cellText_; // reused: most cells of a large sheet are read here
        text.clear();
        if (!readParagraphs(&text)) {
            return CellRead::Malformed;
        }
        if (cell->type == Worksheet::CellType::Number && (cell->number == 0 || cell->number == 1) &&
            (text == "TRUE" || text == "FALSE")) {
            // An .xlsx boolean that LibreOffice carried over as a TRUE() or FALSE() formula.
            cell->type = Worksheet::CellType::Boolean;
        }
        if (cell->type != Worksheet::CellType::Blank) {
            return CellRead::Value;
        }
        if (hasStringValue) {
            text.swap(stringValue);
        }
        if (text.empty() || content_->text.size() + text.size() > UINT32_MAX) {
            return CellRead::Empty;
        }
        cell->type = Worksheet::CellType::Text;
        cell->text.offset = static_cast<uint32_t>(content_->text.size());
        cell->text.length = static_cast<uint32_t>(text.size());
        content_->text.append(text);
        return CellRead::Value;
    }

    static bool parseNumber(std::string_view raw, double *value)
    {
        auto [end, ec] = std::from_chars(raw.data(), raw.data() + raw.size(), *value);
        return ec == std::errc() && end == raw.data() + raw.size();
    }

    // Reads the cell's content to its end: the text of its paragraphs, one
    // line each; annotations, drawings and everything else left out.
    bool readParagraphs(std::string *text)
    {
        const int cellDepth = reader_.depth() - 1;
        bool firstParagraph = true;
        for (;;) {
            XmlReader::Token t = reader_.next();
            if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
                return false;
            }
            if (t == XmlReader::EndElement && reader_.depth() == cellDepth) {
                return true;
            }
            if (t != XmlReader::StartElement) {
                continue;
            }
            if (reader_.localName() == "p" || reader_.localName() == "h") {
                if (!firstParagraph) {
                    text->push_back('\n');
                }
                firstParagraph = false;
                if (!reader_.selfClosing() && !readInline(text)) {
                    return false;
                }
                if (reader_.selfClosing()) {
                    reader_.next();
                }
            } else if (!reader_.skipElement()) {
                return false;
            }
        }
    }

    // Reads one paragraph's content to its end, white space collapsed as the
    // format asks; spaces, tabs and line breaks written as elements kept.
    bool readInline(std::string *text)
    {
        const int paragraphDepth = reader_.depth() - 1;
        bool lastSpace = true; // no space at the start of a paragraph
        std::string &decoded = decoded_;
        for (;;) {
            XmlReader::Token t = reader_.next();
            if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
                return false;
            }
            if (t == XmlReader::EndElement) {
                if (reader_.depth() == paragraphDepth) {
                    return true;
                }
                continue;
            }
            if (t == XmlReader::Text) {
                decoded.clear();
                if (reader_.isCData()) {
                    decoded.assign(reader_.rawText());
                } else if (!appendXmlDecoded(reader_.rawText(), &decoded)) {
                    return false;
                }
                for (char c : decoded) {
                    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
                    if (space && lastSpace) {
                        continue;
                    }
                    text->push_back(space ? ' ' : c);
                    lastSpace = space;
                }
                continue;
            }
            const std::string_view local = reader_.localName();
            if (local == "s") {
                std::string_view raw;
                unsigned count = 1;
                if (reader_.attribute("c", &raw)) {
                    std::from_chars(raw.data(), raw.data() + raw.size(), count);
                }
                text->append(std::min(count, 1024u), ' ');
                lastSpace = false;
            } else if (local == "tab" || local == "line-break") {
                text->push_back(local == "tab" ? '\t' : '\n');
                lastSpace = false;
            } else if (local == "note" || local == "annotation" || local == "ruby-text") {
                if (!reader_.skipElement()) {
                    return false;
                }
            }
        }
    }

    XmlReader &reader_;
    Worksheet::Content *content_;
    std::string cellText_; ///< the current cell's text, kept to reuse its buffer
    std::string decoded_;  ///< the current text run, decoded
    uint64_t row_ = 1;
    size_t repeated_ = 0;
};

// The name of the sheet the document's view shows, from the settings part.
std::string activeTableName(const ZipPackage &zip)
{
    std::string xml, detail;
    pugi::xml_document doc;
    if (!zip.contains("settings.xml") || !zip.read("settings.xml", &xml, &detail) ||
        !parsePackageXml(xml, "settings.xml", &doc, &detail)) {
        return std::string();
    }
    struct Finder : pugi::xml_tree_walker {
        std::string name;
        bool for_each(pugi::xml_node &node) override
        {
            if (xmlLocalName(node) == "config-item" &&
                std::string_view(xmlAttribute(node, "name").value()) == "ActiveTable") {
                name = node.text().get();
                return false;
            }
            return true;
        }
    } finder;
    doc.traverse(finder);
    return finder.name;
}

} // namespace

bool hasOdsSignature(std::string_view head)
{
    return head.size() >= 38 + kMimePrefix.size() && head.starts_with("PK") &&
           head.substr(30, 8) == "mimetype" && head.substr(38).starts_with(kMimePrefix);
}

OdsOutcome readOdsContent(std::string_view contentXml, std::string_view activeTable, OdsContent *out,
                          std::string *detail)
{
    for (int pass = 0; pass < 2; ++pass) {
        // The second pass, when the view names no sheet that exists, shows the first.
        const std::string_view wanted = pass == 0 ? activeTable : std::string_view();
        XmlReader reader(contentXml);
        OdsContent content;
        bool found = false;
        for (XmlReader::Token t = reader.next(); t != XmlReader::EndOfDocument; t = reader.next()) {
            if (t == XmlReader::Malformed) {
                *detail = "its content part is not well-formed XML (" + reader.errorText() + ")";
                return OdsOutcome::Damaged;
            }
            if (t != XmlReader::StartElement || reader.localName() != "table") {
                continue;
            }
            std::string_view raw;
            std::string name;
            reader.attribute("name", &raw);
            if (!appendXmlDecoded(raw, &name)) {
                name.assign(raw);
            }
            content.sheetNames.push_back(name);
            const bool show = !found && (wanted.empty() || name == wanted);
            if (!show) {
                if (!reader.skipElement()) {
                    *detail = "its content part is not well-formed XML (" + reader.errorText() + ")";
                    return OdsOutcome::Damaged;
                }
                continue;
            }
            found = true;
            content.activeSheet = static_cast<int>(content.sheetNames.size()) - 1;
            Worksheet::Content cells;
            if (OdsOutcome o = TableReader(reader, &cells).read(detail); o != OdsOutcome::Ok) {
                return o;
            }
            content.sheet = std::make_unique<Worksheet>(name, std::move(cells), nullptr, nullptr);
        }
        if (content.sheetNames.empty()) {
            *detail = "it has no sheet";
            return OdsOutcome::Damaged;
        }
        if (found) {
            *out = std::move(content);
            return OdsOutcome::Ok;
        }
    }
    *detail = "it has no sheet";
    return OdsOutcome::Damaged;
}

OdsOutcome readOdsWorkbook(const ZipPackage &zip, OdsContent *out, std::string *detail)
{
    std::string mime;
    if (zip.contains("mimetype") && zip.read("mimetype", &mime, detail) && mime.starts_with(kMimePrefix) &&
        mime.find("spreadsheet") == std::string::npos) {
        *detail = "an OpenDocument file that is not a spreadsheet";
        return OdsOutcome::NotWorkbook;
    }
    std::string manifest;
    if (zip.contains("META-INF/manifest.xml") && zip.read("META-INF/manifest.xml", &manifest, detail) &&
        manifest.find("encryption-data") != std::string::npos) {
        return OdsOutcome::Encrypted;
    }
    if (!zip.contains("content.xml")) {
        *detail = "a ZIP archive that is neither an .xlsx nor an .ods package";
        return OdsOutcome::NotWorkbook;
    }
    std::string content;
    ZipPackage::ReadError why = ZipPackage::ReadError::Damaged;
    if (!zip.read("content.xml", &content, detail, &why)) {
        return why == ZipPackage::ReadError::OverBound ? OdsOutcome::OverBound : OdsOutcome::Damaged;
    }
    detail->clear();
    return readOdsContent(content, activeTableName(zip), out, detail);
}

} // namespace orvane
