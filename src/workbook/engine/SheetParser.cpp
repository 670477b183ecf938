#include "workbook/engine/SheetParser.h"

#include "workbook/engine/CompactCell.h"
#include "workbook/engine/LargePages.h"
#include "workbook/engine/PartXmlSource.h"
#include "workbook/engine/SharedStrings.h"
#include "workbook/engine/StyleTable.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"

#include <charconv>

namespace orvane
{

namespace
{

// Decimal digits only, as std::from_chars reads a whole unsigned text, with
// no call: every cell reference and style goes through it.
bool parseUnsigned(std::string_view s, uint32_t *value)
{
    if (s.empty()) {
        return false;
    }
    uint64_t v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > UINT32_MAX) {
            return false;
        }
    }
    *value = static_cast<uint32_t>(v);
    return true;
}

// What a cell's t attribute says its value is; anything unknown reads as a number.
enum class ValueType : uint8_t { Number, Shared, InlineString, String, Boolean, Error, Date };

ValueType valueTypeOf(std::string_view type)
{
    if (type == "s")
        return ValueType::Shared;
    if (type == "inlineStr")
        return ValueType::InlineString;
    if (type == "str")
        return ValueType::String;
    if (type == "b")
        return ValueType::Boolean;
    if (type == "e")
        return ValueType::Error;
    if (type == "d")
        return ValueType::Date;
    return ValueType::Number;
}

// One pass over a worksheet part; member functions follow the element nesting.
// Nothing the reader hands out is held past its next token, since a streamed
// reader's buffer moves on: a cell's type and value are copied as read.
class SheetPass
{
  public:
    SheetPass(const SheetParseInput &input, Worksheet::Part *part, XmlReader &reader, size_t sizeHint)
        : input_(input), part_(part), reader_(reader), sizeHint_(sizeHint)
    {
    }

    bool run(Worksheet::Content *content, bool *hasSheetData, std::string *detail);

  private:
    bool fail(const std::string &why);
    bool readSheetData();
    bool readRow(uint32_t *previousRow);
    bool readCell(uint32_t rowNumber, uint32_t *previousColumn);
    bool readCompactCell(const CompactCell &compact, uint32_t rowNumber, uint32_t *previousColumn);
    bool placeCell(const CompactCell &tags, uint32_t rowNumber, uint32_t *previousColumn,
                   Worksheet::Cell *cell, ValueType *type);
    bool readCommonCell(ValueType type, bool *hasValue, bool *hasInline, bool *read);
    bool readCellChildren(Worksheet::Cell *cell, bool *hasValue, bool *hasInline);
    bool readInline();
    bool readInlineText();
    void setValue(Worksheet::Cell *cell, ValueType type, bool hasValue, bool hasInline);
    void setText(Worksheet::Cell *cell, Worksheet::CellType type, std::string_view text);
    void keepText(Worksheet::Cell *cell, Worksheet::CellType type, size_t start);

    const SheetParseInput &input_;
    Worksheet::Part *part_;
    XmlReader &reader_;
    size_t sizeHint_;
    Worksheet::Content content_;
    CompactCellNames names_; ///< of the cells the compact scan reads
    std::string value_; ///< the cell's <v> text, decoded
    /// Where the cell's inline text begins in content_.text: it is decoded
    /// straight into the sheet's text and cut off again when unused.
    size_t inlineStart_ = 0;
    std::string error_;
};

bool SheetPass::fail(const std::string &why)
{
    if (error_.empty()) {
        error_ = why.empty() ? input_.partName + " is not well-formed (" + reader_.errorText() +
                                   " near byte " + std::to_string(reader_.errorOffset()) + ")"
                             : input_.partName + ": " + why;
    }
    return false;
}

bool SheetPass::run(Worksheet::Content *content, bool *hasSheetData, std::string *detail)
{
    *hasSheetData = false;
    bool ok = true;
    for (;;) {
        XmlReader::Token t = reader_.next();
        if (t == XmlReader::EndOfDocument) {
            break;
        }
        if (t == XmlReader::Malformed) {
            ok = fail("");
            break;
        }
        if (t != XmlReader::StartElement || reader_.depth() != 2) {
            continue;
        }
        std::string_view local = reader_.localName();
        if (local == "dimension") {
            std::string_view ref;
            size_t offset = 0;
            if (reader_.attributeOffset("ref", &ref, &offset)) {
                part_->hasDimension = true;
                part_->refBegin = offset;
                part_->refEnd = offset + ref.size();
            }
            ok = reader_.skipElement() || fail("");
        } else if (local == "sheetData" && !*hasSheetData) {
            *hasSheetData = true;
            part_->prefix = std::string(reader_.prefix());
            names_ = CompactCellNames(part_->prefix);
            // Sized once from the part (a cell takes 32 bytes or more of it, and
            // its text is never longer than its XML): growing by doubling
            // copied every cell some twenty times; capacity never written
            // costs no memory.
            content_.cells.reserve(sizeHint_ / 32);
            preferLargePages(content_.cells.data(), content_.cells.capacity() * sizeof(Worksheet::Cell));
            content_.text.reserve(sizeHint_);
            preferLargePages(content_.text.data(), content_.text.capacity());
            ok = readSheetData();
        } else {
            ok = reader_.skipElement() || fail("");
        }
        if (!ok) {
            break;
        }
    }
    if (!ok) {
        *detail = error_;
        return false;
    }
    *content = std::move(content_);
    return true;
}

bool SheetPass::readSheetData()
{
    if (reader_.selfClosing()) {
        part_->dataSelfClosing = true;
        part_->dataBegin = reader_.begin();
        reader_.next();
        part_->dataEnd = reader_.end();
        return true;
    }
    part_->dataBegin = reader_.end();
    uint32_t previousRow = 0;
    for (;;) {
        XmlReader::Token t = reader_.next();
        if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
            return fail("");
        }
        if (t == XmlReader::EndElement) {
            part_->dataEnd = reader_.begin();
            return true;
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        if (reader_.localName() == "row") {
            if (!readRow(&previousRow)) {
                return false;
            }
        } else if (!reader_.skipElement()) {
            return fail("");
        }
    }
}

bool SheetPass::readRow(uint32_t *previousRow)
{
    Worksheet::Row row;
    row.begin = static_cast<uint32_t>(reader_.begin());
    row.tagEnd = static_cast<uint32_t>(reader_.end());
    row.selfClosing = reader_.selfClosing();
    size_t spansBegin = 0, spansEnd = 0;
    if (reader_.attributeSpan("spans", &spansBegin, &spansEnd)) {
        row.spansBegin = static_cast<uint32_t>(spansBegin);
        row.spansEnd = static_cast<uint32_t>(spansEnd);
    }
    std::string_view number;
    if (reader_.attribute("r", &number)) {
        if (!parseUnsigned(number, &row.number) || row.number < 1 || row.number > Worksheet::kMaxRow) {
            return fail("row number \"" + std::string(number) + "\" lies outside the worksheet");
        }
    } else {
        row.number = *previousRow + 1;
        if (row.number > Worksheet::kMaxRow) {
            return fail("more rows than a worksheet holds");
        }
    }
    *previousRow = row.number;
    row.firstCell = static_cast<uint32_t>(content_.cells.size());
    const int rowDepth = reader_.depth();
    uint32_t previousColumn = 0;
    for (;;) {
        // Most cells are read in one scan; the rest, and cells the buffer
        // does not hold whole, token by token.
        CompactCell compact;
        if (scanCompactCell(reader_.ahead(), names_, &compact)) {
            if (!readCompactCell(compact, row.number, &previousColumn)) {
                return false;
            }
            continue;
        }
        XmlReader::Token t = reader_.next();
        if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
            return fail("");
        }
        if (t == XmlReader::EndElement && reader_.depth() == rowDepth - 1) {
            break;
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        if (reader_.localName() == "c") {
            if (!readCell(row.number, &previousColumn)) {
                return false;
            }
        } else if (!reader_.skipElement()) {
            return fail("");
        }
    }
    row.end = static_cast<uint32_t>(reader_.end());
    row.cellCount = static_cast<uint32_t>(content_.cells.size()) - row.firstCell;
    content_.rows.push_back(row);
    return true;
}

bool SheetPass::readCell(uint32_t rowNumber, uint32_t *previousColumn)
{
    Worksheet::Cell cell;
    cell.xmlBegin = static_cast<uint32_t>(reader_.begin());
    // r, s and t in one pass over the attributes, the first of each name
    // counting, as three lookups would find them.
    CompactCell tags;
    for (size_t i = 0; i < reader_.attributeCount(); ++i) {
        const std::string_view local = reader_.attributeLocalName(i);
        if (local.size() != 1) {
            continue;
        }
        const auto take = [&](bool *seen, std::string_view *value) {
            if (!*seen) {
                *seen = true;
                *value = reader_.attributeValue(i);
            }
        };
        if (local[0] == 'r') {
            take(&tags.hasReference, &tags.reference);
        } else if (local[0] == 's') {
            take(&tags.hasStyle, &tags.style);
        } else if (local[0] == 't') {
            take(&tags.hasType, &tags.type);
        }
    }
    ValueType type = ValueType::Number;
    if (!placeCell(tags, rowNumber, previousColumn, &cell, &type)) {
        return false;
    }
    bool hasValue = false, hasInline = false;
    bool read = false;
    if (!readCommonCell(type, &hasValue, &hasInline, &read) ||
        (!read && !readCellChildren(&cell, &hasValue, &hasInline))) {
        return false;
    }
    cell.xmlEnd = static_cast<uint32_t>(reader_.end());
    setValue(&cell, type, hasValue, hasInline);
    content_.cells.push_back(cell);
    return true;
}

// A cell the compact scan read whole: its text decoded as readCommonCell and
// readCellChildren decode it, with the reader moved past it first.
bool SheetPass::readCompactCell(const CompactCell &compact, uint32_t rowNumber, uint32_t *previousColumn)
{
    Worksheet::Cell cell;
    cell.xmlBegin = static_cast<uint32_t>(reader_.end());
    ValueType type = ValueType::Number;
    if (!placeCell(compact, rowNumber, previousColumn, &cell, &type)) {
        return false;
    }
    reader_.passElement(names_.cell.size(), compact.endTag, compact.length);
    cell.xmlEnd = static_cast<uint32_t>(reader_.end());
    const bool hasInline = compact.content == CompactCell::Content::InlineText;
    const bool hasValue = compact.content == CompactCell::Content::Value;
    const std::string_view raw = compact.raw;
    if (hasInline && !appendXmlDecoded(raw, &content_.text)) {
        return fail("");
    }
    if (hasValue) {
        if (raw.find('&') == std::string_view::npos) {
            value_.assign(raw);
        } else if (!appendXmlDecoded(raw, &value_)) {
            return fail("");
        }
    }
    setValue(&cell, type, hasValue, hasInline);
    content_.cells.push_back(cell);
    return true;
}

// The cell's place and style from its r and s, and its type from its t: after
// the previous cell when it has no r. It starts with no value and no text.
bool SheetPass::placeCell(const CompactCell &tags, uint32_t rowNumber, uint32_t *previousColumn,
                          Worksheet::Cell *cell, ValueType *type)
{
    uint32_t column = *previousColumn + 1;
    uint32_t row = rowNumber;
    if (tags.hasReference && !parseCellReference(tags.reference, &row, &column)) {
        return fail("cell reference \"" + std::string(tags.reference) + "\" lies outside the worksheet");
    }
    if (column > Worksheet::kMaxColumn) {
        return fail("more cells in row " + std::to_string(rowNumber) + " than a worksheet holds");
    }
    *previousColumn = column;
    cell->row = row;
    cell->column = static_cast<uint16_t>(column);
    uint32_t style = 0;
    if (tags.hasStyle && parseUnsigned(tags.style, &style)) {
        cell->style = style;
    }
    *type = tags.hasType ? valueTypeOf(tags.type) : ValueType::Number;
    // The previous cell's value must never show through a cell without one.
    value_.clear();
    inlineStart_ = content_.text.size();
    return true;
}

// A cell written the usual way, <v>value</v> or <is><t>text</t></is> alone,
// is read in one step, as readCellChildren would read it: *read says whether
// it was (nothing is read otherwise); false when its text does not decode.
bool SheetPass::readCommonCell(ValueType type, bool *hasValue, bool *hasInline, bool *read)
{
    std::string_view raw;
    const bool inlineText = type == ValueType::InlineString;
    *read = inlineText ? reader_.readWrappedText({"is", "t"}, &raw) : reader_.readWrappedText({"v"}, &raw);
    if (!*read) {
        return true;
    }
    if (inlineText) {
        *hasInline = true;
        return appendXmlDecoded(raw, &content_.text) || fail("");
    }
    *hasValue = true;
    if (raw.find('&') == std::string_view::npos) {
        value_.assign(raw);
        return true;
    }
    return appendXmlDecoded(raw, &value_) || fail("");
}

bool SheetPass::readCellChildren(Worksheet::Cell *cell, bool *hasValue, bool *hasInline)
{
    const int cellDepth = reader_.depth();
    for (;;) {
        XmlReader::Token t = reader_.next();
        if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
            return fail("");
        }
        if (t == XmlReader::EndElement && reader_.depth() == cellDepth - 1) {
            return true;
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        std::string_view local = reader_.localName();
        bool ok = true;
        if (local == "v") {
            *hasValue = true;
            std::string_view raw;
            value_.clear();
            if (reader_.readTextOnly(&raw) && raw.find('&') == std::string_view::npos) {
                value_.assign(raw);
            } else {
                ok = raw.data() ? appendXmlDecoded(raw, &value_) : reader_.readElementText(&value_);
            }
        } else if (local == "is") {
            content_.text.resize(inlineStart_);
            *hasInline = true;
            ok = readInline();
        } else {
            if (local == "f") {
                cell->flags |= Worksheet::kHasFormula;
            }
            ok = reader_.skipElement();
        }
        if (!ok) {
            return fail("");
        }
    }
}

bool SheetPass::readInline()
{
    const int depth = reader_.depth();
    for (;;) {
        XmlReader::Token t = reader_.next();
        if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
            return false;
        }
        if (t == XmlReader::EndElement && reader_.depth() == depth - 1) {
            return true;
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        std::string_view local = reader_.localName();
        bool ok = local == "t"   ? readInlineText()
                  : local == "r" ? true
                                 : reader_.skipElement();
        if (!ok) {
            return false;
        }
    }
}

// A <t> of plain text, the usual, is taken whole with its end tag; any other
// content goes the general way.
bool SheetPass::readInlineText()
{
    std::string_view raw;
    if (reader_.readTextOnly(&raw)) {
        return appendXmlDecoded(raw, &content_.text);
    }
    return reader_.readElementText(&content_.text);
}

// The cell's text is content_.text from `start` on; OOXML escapes in it are decoded in place.
void SheetPass::keepText(Worksheet::Cell *cell, Worksheet::CellType type, size_t start)
{
    std::string &all = content_.text;
    if (std::string_view(all).substr(start).find("_x") != std::string_view::npos) {
        std::string text = all.substr(start);
        decodeOoxmlEscapes(&text);
        all.resize(start);
        all.append(text);
    }
    cell->type = type;
    cell->text.offset = static_cast<uint32_t>(start);
    cell->text.length = static_cast<uint32_t>(all.size() - start);
}

void SheetPass::setText(Worksheet::Cell *cell, Worksheet::CellType type, std::string_view text)
{
    const size_t start = content_.text.size();
    content_.text.append(text);
    keepText(cell, type, start);
}

void SheetPass::setValue(Worksheet::Cell *cell, ValueType type, bool hasValue, bool hasInline)
{
    using T = Worksheet::CellType;
    if (hasInline && (type == ValueType::InlineString || !hasValue)) {
        keepText(cell, T::Text, inlineStart_);
        return;
    }
    // An inline text the cell's type does not show is dropped.
    content_.text.resize(inlineStart_);
    if (type == ValueType::InlineString && hasValue) {
        setText(cell, T::Text, value_);
        return;
    }
    if (!hasValue) {
        cell->type = T::Blank;
        return;
    }
    if (type == ValueType::Shared) {
        uint32_t index = 0;
        cell->type = T::SharedString;
        cell->sharedIndex = parseUnsigned(value_, &index) ? index : UINT32_MAX;
    } else if (type == ValueType::String) {
        setText(cell, T::Text, value_);
    } else if (type == ValueType::Boolean) {
        cell->type = T::Boolean;
        cell->number = value_ == "1" || value_ == "true" ? 1 : 0;
    } else if (type == ValueType::Error) {
        setText(cell, T::Error, value_);
    } else if (type == ValueType::Date) {
        double date = 0;
        if (parseIsoDate(value_, &date)) {
            cell->type = T::Date;
            cell->number = date;
        } else {
            setText(cell, T::Text, value_);
        }
    } else {
        double number = 0;
        const char *first = value_.data(), *last = value_.data() + value_.size();
        auto result = std::from_chars(first, last, number);
        if (result.ec != std::errc() || result.ptr != last) {
            // A number a writer spelt in a way we cannot read still shows its text.
            setText(cell, T::Text, std::string(value_));
        } else if (input_.styles && input_.styles->isDate(cell->style)) {
            cell->type = T::Date;
            cell->number = serialToAutomationDate(number, input_.date1904);
        } else {
            cell->type = T::Number;
            cell->number = number;
        }
    }
}

} // namespace

bool parseCellReference(std::string_view ref, uint32_t *row, uint32_t *column)
{
    size_t i = 0;
    uint32_t col = 0;
    while (i < ref.size() && i < 3) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
        if (c < 'A' || c > 'Z') {
            break;
        }
        col = col * 26 + static_cast<uint32_t>(c - 'A' + 1);
        ++i;
    }
    uint32_t r = 0;
    if (i == 0 || col > Worksheet::kMaxColumn || !parseUnsigned(ref.substr(i), &r) || r < 1 ||
        r > Worksheet::kMaxRow) {
        return false;
    }
    *row = r;
    *column = col;
    return true;
}

std::string columnLetters(uint32_t column)
{
    std::string letters;
    while (column > 0) {
        uint32_t rest = (column - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + rest));
        column = (column - 1) / 26;
    }
    return letters;
}

namespace
{

std::unique_ptr<Worksheet> parseWith(const SheetParseInput &input, XmlReader &reader, size_t sizeHint,
                                     std::string *detail)
{
    auto part = std::make_unique<Worksheet::Part>();
    part->name = input.partName;
    Worksheet::Content content;
    bool hasSheetData = false;
    SheetPass pass(input, part.get(), reader, sizeHint);
    if (!pass.run(&content, &hasSheetData, detail)) {
        return nullptr;
    }
    if (!hasSheetData) {
        part.reset();
    }
    return std::make_unique<Worksheet>(input.sheetName, std::move(content), input.strings, std::move(part));
}

} // namespace

std::unique_ptr<Worksheet> parseWorksheetPart(SheetParseInput input, std::string *detail)
{
    if (input.xml.size() > UINT32_MAX) {
        *detail = input.partName + " is too large";
        return nullptr;
    }
    XmlReader reader(input.xml);
    return parseWith(input, reader, input.xml.size(), detail);
}

std::unique_ptr<Worksheet> parseWorksheetStream(SheetParseInput input, PartStream *stream, std::string *detail,
                                                ZipPackage::ReadError *why)
{
    *why = ZipPackage::ReadError::Damaged;
    PartXmlSource source(stream);
    XmlReader reader(&source, input.chunk > 0 ? input.chunk : XmlReader::kDefaultChunk);
    std::unique_ptr<Worksheet> sheet = parseWith(input, reader, stream->sizeHint(), detail);
    if (sheet) {
        *why = ZipPackage::ReadError::None;
        return sheet;
    }
    // Data that does not inflate soundly is reported as such, as a whole read
    // reports it, rather than as the parse error it caused; the rest of the
    // part is inflated (and dropped) to find out, under the same bound.
    if (stream->failed() || !stream->drain()) {
        *detail = stream->detail();
        *why = stream->error();
    }
    return nullptr;
}

} // namespace orvane
