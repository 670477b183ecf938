#include "workbook/engine/SheetWriter.h"

#include "workbook/engine/SheetParser.h"
#include "workbook/engine/Worksheet.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_map>

namespace orvane
{

namespace
{

// Big enough that libzip's deflate sees long runs, small enough to stay out of the way.
constexpr size_t kStretch = 256 * 1024;

struct Bounds {
    uint32_t top = UINT32_MAX, left = UINT32_MAX, bottom = 0, right = 0;
    void add(uint32_t row, uint32_t column)
    {
        top = std::min(top, row);
        bottom = std::max(bottom, row);
        left = std::min(left, column);
        right = std::max(right, column);
    }
    bool empty() const { return bottom == 0; }
    std::string text() const
    {
        std::string first = columnLetters(left) + std::to_string(top);
        if (top == bottom && left == right) {
            return first;
        }
        return first + ":" + columnLetters(right) + std::to_string(bottom);
    }
};

bool parseRange(std::string_view ref, Bounds *bounds)
{
    size_t colon = ref.find(':');
    uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!parseCellReference(ref.substr(0, colon), &r1, &c1)) {
        return false;
    }
    if (colon == std::string_view::npos) {
        r2 = r1;
        c2 = c1;
    } else if (!parseCellReference(ref.substr(colon + 1), &r2, &c2)) {
        return false;
    }
    bounds->add(r1, c1);
    bounds->add(r2, c2);
    return true;
}

void appendNumber(uint32_t value, std::string *out)
{
    char digits[12];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out->append(digits, static_cast<size_t>(end - digits));
}

// True when the OOXML and XML escaping would leave `text` as it is: printable
// ASCII without the escaped characters, or tab and newline. Directory values
// mostly are, and they skip the per-character UTF-8 walk.
bool needsNoEscape(std::string_view text)
{
    for (unsigned char c : text) {
        if (c >= 0x7F || (c < 0x20 && c != '\t' && c != '\n') || c == '&' || c == '<' || c == '>' ||
            c == '"' || c == '_') {
            return false;
        }
    }
    return true;
}

} // namespace

SheetRewriter::SheetRewriter(const Worksheet &sheet, XmlSource *part)
    : sheet_(sheet), window_(part), prefix_(sheet.part()->prefix), cellXml_(prefix_)
{
    takeEdits();
    if (placed_.empty() && newCells_.empty()) {
        return;
    }
    for (const auto &[element, list] : byElement_) {
        const Worksheet::Row &row = sheet_.rows()[element];
        splices_.push_back({row.begin, row.end, Splice::Row, {}, element, 0, 0});
    }
    placeNewRows();
    addDimension();
    std::stable_sort(splices_.begin(), splices_.end(), [](const Splice &a, const Splice &b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
}

SheetRewriter::SheetRewriter(const Worksheet &sheet, XmlSource *part, const PreparedRows &prepared)
    : sheet_(sheet), window_(part), prefix_(sheet.part()->prefix), cellXml_(prefix_)
{
    grownTop_ = prepared.top;
    grownLeft_ = prepared.left;
    grownBottom_ = prepared.bottom;
    grownRight_ = prepared.right;
    // Where placeNewRows puts rows below every row the part holds.
    const Worksheet::Part &p = *sheet_.part();
    if (p.dataSelfClosing) {
        splices_.push_back({p.dataBegin, p.dataEnd, Splice::Text, "<" + prefix_ + "sheetData>", 0, 0, 0});
        splices_.push_back({p.dataEnd, p.dataEnd, Splice::Prepared, {}, 0, 0, 0});
        splices_.push_back({p.dataEnd, p.dataEnd, Splice::Text, "</" + prefix_ + "sheetData>", 0, 0, 0});
    } else {
        splices_.push_back({p.dataEnd, p.dataEnd, Splice::Prepared, {}, 0, 0, 0});
    }
    addDimension();
    std::stable_sort(splices_.begin(), splices_.end(), [](const Splice &a, const Splice &b) {
        return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
    });
}

uint32_t SheetRewriter::rowElementOf(uint32_t cell) const
{
    const auto &rows = sheet_.rows();
    auto it = std::upper_bound(rows.begin(), rows.end(), cell,
                               [](uint32_t c, const Worksheet::Row &row) { return c < row.firstCell; });
    return static_cast<uint32_t>(it - rows.begin()) - 1;
}

void SheetRewriter::takeEdits()
{
    const auto &cells = sheet_.cells();
    std::unordered_map<uint32_t, uint32_t> elementOfRow;
    bool mapped = false;
    bool ascending = false;
    std::vector<uint32_t> placedElement;
    auto take = [&](const Worksheet::Edit &edit) {
        if (!edit.text.empty()) {
            grownTop_ = std::min(grownTop_, edit.row);
            grownBottom_ = std::max(grownBottom_, edit.row);
            grownLeft_ = std::min(grownLeft_, edit.column);
            grownRight_ = std::max(grownRight_, edit.column);
        }
        if (edit.cell >= 0) {
            if (cells[static_cast<size_t>(edit.cell)].flags & Worksheet::kHasFormula) {
                replacedFormula_ = true;
            }
            placed_.push_back(edit);
            placedElement.push_back(rowElementOf(static_cast<uint32_t>(edit.cell)));
            return;
        }
        const auto &rows = sheet_.rows();
        if (!mapped) {
            // Rows that ascend in the file, as every writer lays them out, are
            // found by a binary search; only others need a map of every row
            // (some 40 MB for a full-height sheet).
            ascending = std::adjacent_find(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
                            return a.number >= b.number;
                        }) == rows.end();
            for (uint32_t r = 0; !ascending && r < rows.size(); ++r) {
                elementOfRow.emplace(rows[r].number, r);
            }
            mapped = true;
        }
        uint32_t element = 0;
        bool held = false;
        if (ascending) {
            auto at = std::lower_bound(rows.begin(), rows.end(), edit.row,
                                       [](const Worksheet::Row &row, uint32_t number) { return row.number < number; });
            held = at != rows.end() && at->number == edit.row;
            element = static_cast<uint32_t>(at - rows.begin());
        } else if (auto found = elementOfRow.find(edit.row); found != elementOfRow.end()) {
            held = true;
            element = found->second;
        }
        if (held) {
            placed_.push_back(edit);
            placedElement.push_back(element);
            return;
        }
        // Edits come ordered by row, so a created row's edits follow one another.
        if (newRows_.empty() || newRows_.back().row != edit.row) {
            newRows_.push_back({edit.row, static_cast<uint32_t>(newCells_.size())});
        }
        newCells_.push_back({edit.text.data(), static_cast<uint32_t>(edit.text.size()), edit.column});
    };
    sheet_.forEachEdit(take);
    newRows_.push_back({0, static_cast<uint32_t>(newCells_.size())}); // the end of the last row's cells
    for (size_t i = 0; i < placed_.size(); ++i) {
        byElement_[placedElement[i]].push_back(&placed_[i]);
    }
}

void SheetRewriter::placeNewRows()
{
    const size_t groups = newRows_.size() - 1;
    if (groups == 0) {
        return;
    }
    const Worksheet::Part &part = *sheet_.part();
    auto rowOf = [&](size_t group) { return newRows_[group].row; };
    if (part.dataSelfClosing) {
        splices_.push_back({part.dataBegin, part.dataEnd, Splice::Text, "<" + prefix_ + "sheetData>", 0, 0, 0});
        splices_.push_back({part.dataEnd, part.dataEnd, Splice::NewRows, {}, 0, 0, groups});
        splices_.push_back({part.dataEnd, part.dataEnd, Splice::Text, "</" + prefix_ + "sheetData>", 0, 0, 0});
        return;
    }
    size_t next = 0;
    for (const Worksheet::Row &row : sheet_.rows()) {
        const size_t first = next;
        while (next < groups && rowOf(next) < row.number) {
            ++next;
        }
        if (next > first) {
            splices_.push_back({row.begin, row.begin, Splice::NewRows, {}, 0, first, next});
        }
    }
    if (next < groups) {
        splices_.push_back({part.dataEnd, part.dataEnd, Splice::NewRows, {}, 0, next, groups});
    }
}

void SheetRewriter::addDimension()
{
    const Worksheet::Part &part = *sheet_.part();
    if (part.hasDimension) {
        // Decided when the stream reaches it: the old ref is read there.
        splices_.push_back({part.refBegin, part.refEnd, Splice::Dimension, {}, 0, 0, 0});
    }
}

std::string SheetRewriter::grownDimension(std::string_view ref) const
{
    Bounds bounds;
    if (!parseRange(ref, &bounds)) {
        for (const Worksheet::Cell &cell : sheet_.cells()) {
            bounds.add(cell.row, cell.column);
        }
    }
    Bounds grown = bounds;
    if (grownBottom_ != 0) {
        grown.add(grownTop_, grownLeft_);
        grown.add(grownBottom_, grownRight_);
    }
    if (grown.empty()) {
        return std::string(ref);
    }
    std::string text = grown.text();
    return bounds.empty() || text != bounds.text() ? text : std::string(ref);
}

namespace
{

// The fixed pieces of a written cell and a created row.
constexpr std::string_view kCellOpen = "c r=\"";
constexpr std::string_view kStyle = " s=\"";
constexpr std::string_view kInline = " t=\"inlineStr\"><";
constexpr std::string_view kPreserve = " xml:space=\"preserve\">";
constexpr std::string_view kRowOpen = "row r=\"";

bool preservesSpace(std::string_view text)
{
    const std::string_view space = " \t\n\r";
    return space.find(text.front()) != std::string_view::npos ||
           space.find(text.back()) != std::string_view::npos;
}

} // namespace

const std::string &WrittenCellXml::columnName(uint32_t column)
{
    if (column >= columnNames_.size()) {
        columnNames_.resize(column + 1);
    }
    std::string &name = columnNames_[column];
    if (name.empty()) {
        name = columnLetters(column);
    }
    return name;
}

void WrittenCellXml::appendCell(uint32_t row, uint32_t column, std::string_view text, uint32_t style,
                                std::string *out)
{
    if (text.empty() && style == 0) {
        return;
    }
    out->append("<").append(prefix_).append(kCellOpen).append(columnName(column));
    appendNumber(row, out);
    out->push_back('"');
    if (style != 0) {
        out->append(kStyle);
        appendNumber(style, out);
        out->push_back('"');
    }
    if (text.empty()) {
        out->append("/>");
        return;
    }
    out->append(kInline).append(prefix_).append("is><").append(prefix_).append("t");
    out->append(preservesSpace(text) ? kPreserve : std::string_view(">"));
    if (needsNoEscape(text)) {
        out->append(text);
    } else {
        appendOoxmlText(text, out);
    }
    out->append("</").append(prefix_).append("t></").append(prefix_).append("is></").append(prefix_).append(
        "c>");
}

WrittenCellXml::RowMark WrittenCellXml::openRow(uint32_t row, std::string *out)
{
    const size_t mark = out->size();
    out->append("<").append(prefix_).append(kRowOpen);
    appendNumber(row, out);
    out->append("\">");
    return {mark, out->size()};
}

void WrittenCellXml::closeRow(RowMark mark, std::string *out)
{
    if (out->size() == mark.cells) {
        out->resize(mark.begin); // a row of empty writes is no row at all
        return;
    }
    out->append("</").append(prefix_).append("row>");
}

void SheetRewriter::addCell(const Worksheet::Edit &edit, uint32_t style, std::string *out)
{
    cellXml_.appendCell(edit.row, edit.column, edit.text, style, out);
}

// `xml` is the row element as the old part holds it, [row.begin, row.end).
void SheetRewriter::appendRow(uint32_t element, std::string_view xml, std::string *out)
{
    const std::vector<const Worksheet::Edit *> &edits = byElement_.at(element);
    const Worksheet::Row &row = sheet_.rows()[element];
    const auto &cells = sheet_.cells();
    auto at = [&](size_t offset, size_t length) { return xml.substr(offset - row.begin, length); };
    std::unordered_map<uint32_t, const Worksheet::Edit *> replaced;
    std::vector<const Worksheet::Edit *> added;
    for (const Worksheet::Edit *edit : edits) {
        if (edit->cell >= 0) {
            replaced.emplace(static_cast<uint32_t>(edit->cell), edit);
        } else {
            added.push_back(edit);
        }
    }
    const size_t mark = out->size();
    // The spans hint names the columns a row covers; new cells would make it
    // wrong. It is cut where the reader found it: a text search could match
    // inside another attribute's value and cut the tag apart.
    if (!added.empty() && row.spansEnd > row.spansBegin) {
        out->append(at(row.begin, row.spansBegin - row.begin));
        out->append(at(row.spansEnd, row.tagEnd - row.spansEnd));
    } else {
        out->append(at(row.begin, row.tagEnd - row.begin));
    }
    if (row.selfClosing) {
        out->resize(out->size() - 2);
        out->push_back('>');
    }
    size_t pos = row.tagEnd;
    size_t k = 0;
    for (uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i) {
        const Worksheet::Cell &cell = cells[i];
        out->append(at(pos, cell.xmlBegin - pos));
        for (; k < added.size() && added[k]->column < cell.column; ++k) {
            addCell(*added[k], 0, out);
        }
        auto found = replaced.find(i);
        if (found != replaced.end()) {
            addCell(*found->second, cell.style, out);
        } else {
            out->append(at(cell.xmlBegin, cell.xmlEnd - cell.xmlBegin));
        }
        pos = cell.xmlEnd;
    }
    for (; k < added.size(); ++k) {
        addCell(*added[k], 0, out);
    }
    if (row.selfClosing) {
        out->append("</").append(prefix_).append("row>");
    } else {
        out->append(at(pos, row.end - pos));
    }
    // The rest of the part is copied as it parsed when the sheet was opened
    // (its size and checksum say it is the same), so the new part is
    // well-formed when each rewritten row is.
    std::string why;
    if (!isWellFormed(std::string_view(*out).substr(mark), &why)) {
        fail("the rewritten " + sheet_.part()->name + " would not be well-formed (" + why + ")");
    }
}

void SheetRewriter::appendNewRow(size_t group, std::string *out)
{
    const NewRow &row = newRows_[group];
    const WrittenCellXml::RowMark mark = cellXml_.openRow(row.row, out);
    for (uint32_t i = row.firstCell; i < newRows_[group + 1].firstCell; ++i) {
        const NewCell &cell = newCells_[i];
        cellXml_.appendCell(row.row, cell.column, std::string_view(cell.text, cell.length), 0, out);
    }
    cellXml_.closeRow(mark, out);
}

void SheetRewriter::fail(std::string why)
{
    if (failure_.empty()) {
        failure_ = std::move(why);
    }
}

bool SheetRewriter::appendSplice(const Splice &splice, std::string *out)
{
    std::string_view old;
    if (!window_.take(splice.end, &old)) {
        return false;
    }
    switch (splice.kind) {
    case Splice::Text:
        out->append(splice.text);
        break;
    case Splice::Row:
        appendRow(splice.element, old, out);
        break;
    case Splice::Dimension:
        out->append(grownDimension(old));
        break;
    case Splice::NewRows:
    case Splice::Prepared:
        break;
    }
    return true;
}

bool SheetRewriter::PartWindow::pull()
{
    constexpr size_t kChunk = 256 * 1024;
    // Bytes before the position are handed out already.
    buffer_.erase(0, pos_ - base_);
    base_ = pos_;
    const size_t held = buffer_.size();
    buffer_.resize(held + kChunk);
    const long long got = source_->read(buffer_.data() + held, kChunk);
    buffer_.resize(held + static_cast<size_t>(std::max(got, 0LL)));
    ended_ = got == 0;
    return got > 0;
}

bool SheetRewriter::PartWindow::copyTo(size_t until, std::string *out)
{
    while (pos_ < until) {
        if (pos_ == base_ + buffer_.size() && !pull()) {
            return ended_ && until == kToEnd;
        }
        const size_t n = std::min(until, base_ + buffer_.size()) - pos_;
        out->append(buffer_, pos_ - base_, n);
        pos_ += n;
    }
    return true;
}

bool SheetRewriter::PartWindow::take(size_t end, std::string_view *bytes)
{
    while (base_ + buffer_.size() < end) {
        if (!pull()) {
            return false;
        }
    }
    *bytes = std::string_view(buffer_).substr(pos_ - base_, end - pos_);
    pos_ = end;
    return true;
}

bool SheetRewriter::next(std::string *out)
{
    out->clear();
    passedPrepared_ = false;
    while (out->size() < kStretch && !failed()) {
        if (inGroups_) {
            const Splice &splice = splices_[splice_];
            if (group_ < splice.lastGroup) {
                appendNewRow(group_++, out);
                continue;
            }
            inGroups_ = false;
            ++splice_;
            continue;
        }
        const bool more = splice_ < splices_.size();
        const size_t until = more ? splices_[splice_].begin : PartWindow::kToEnd;
        const size_t pos = window_.position();
        if (pos < until && !(until == PartWindow::kToEnd && window_.ended())) {
            const size_t room = kStretch - out->size();
            const size_t stop = until - pos > room ? pos + room : until;
            if (!window_.copyTo(stop, out) && !window_.ended()) {
                fail("cannot read the part " + sheet_.part()->name + " again");
            } else if (window_.ended() && more) {
                fail("the part " + sheet_.part()->name + " ended before the rows it was opened with");
            }
            continue;
        }
        if (!more) {
            break;
        }
        const Splice &splice = splices_[splice_];
        if (!appendSplice(splice, out)) {
            fail("cannot read the part " + sheet_.part()->name + " again");
            break;
        }
        if (splice.kind == Splice::NewRows) {
            inGroups_ = true;
            group_ = splice.firstGroup;
            continue;
        }
        ++splice_;
        if (splice.kind == Splice::Prepared) {
            passedPrepared_ = true; // the caller puts the rows here
            break;
        }
    }
    if (failed()) {
        out->clear();
        passedPrepared_ = false;
    }
    return !out->empty() || passedPrepared_;
}

namespace
{

// A part held whole, as the rewriter's source.
class HeldPart : public XmlSource
{
  public:
    explicit HeldPart(std::string_view xml) : xml_(xml) {}
    long long read(char *into, size_t room) override
    {
        const size_t n = std::min(room, xml_.size());
        std::memcpy(into, xml_.data(), n);
        xml_.remove_prefix(n);
        return static_cast<long long>(n);
    }

  private:
    std::string_view xml_;
};

} // namespace

SheetRewrite rewriteWorksheetPart(const Worksheet &sheet, std::string_view partXml)
{
    HeldPart source(partXml);
    SheetRewriter rewriter(sheet, &source);
    SheetRewrite result;
    result.replacedFormula = rewriter.replacedFormula();
    std::string piece;
    while (rewriter.next(&piece)) {
        result.xml += piece;
    }
    if (rewriter.failed()) {
        result.xml.clear();
    }
    return result;
}

} // namespace orvane
