#include "workbook/engine/SheetWriter.h"

#include "workbook/engine/SheetParser.h"
#include "workbook/engine/Worksheet.h"
#include "workbook/engine/XmlReader.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace orvane
{

namespace
{

struct Replacement {
    size_t begin;
    size_t end;
    std::string text;
};

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

class PartWriter
{
  public:
    explicit PartWriter(const Worksheet &sheet)
        : sheet_(sheet), part_(*sheet.part()), xml_(part_.xml), prefix_(part_.prefix)
    {
    }

    SheetRewrite run();

  private:
    void groupEdits();
    uint32_t rowElementOf(uint32_t cell) const;
    void addCell(const Worksheet::Edit &edit, uint32_t style, std::string *out);
    std::string rowText(uint32_t element, const std::vector<const Worksheet::Edit *> &edits);
    std::string newRowText(const std::vector<const Worksheet::Edit *> &edits);
    void placeNewRows();
    void updateDimension();

    const Worksheet &sheet_;
    const Worksheet::Part &part_;
    std::string_view xml_;
    const std::string &prefix_;
    std::vector<Worksheet::Edit> edits_;
    std::map<uint32_t, std::vector<const Worksheet::Edit *>> byElement_;
    std::map<uint32_t, std::vector<const Worksheet::Edit *>> newRows_;
    std::vector<Replacement> replacements_;
    bool replacedFormula_ = false;
};

uint32_t PartWriter::rowElementOf(uint32_t cell) const
{
    const auto &rows = sheet_.rows();
    auto it = std::upper_bound(rows.begin(), rows.end(), cell,
                               [](uint32_t c, const Worksheet::Row &row) { return c < row.firstCell; });
    return static_cast<uint32_t>(it - rows.begin()) - 1;
}

void PartWriter::groupEdits()
{
    std::unordered_map<uint32_t, uint32_t> elementOfRow;
    bool mapped = false;
    for (const Worksheet::Edit &edit : edits_) {
        if (edit.cell >= 0) {
            byElement_[rowElementOf(static_cast<uint32_t>(edit.cell))].push_back(&edit);
            continue;
        }
        if (!mapped) {
            const auto &rows = sheet_.rows();
            for (uint32_t i = 0; i < rows.size(); ++i) {
                elementOfRow.emplace(rows[i].number, i);
            }
            mapped = true;
        }
        auto found = elementOfRow.find(edit.row);
        if (found != elementOfRow.end()) {
            byElement_[found->second].push_back(&edit);
        } else {
            newRows_[edit.row].push_back(&edit);
        }
    }
}

void PartWriter::addCell(const Worksheet::Edit &edit, uint32_t style, std::string *out)
{
    const std::string &text = *edit.text;
    if (text.empty() && style == 0) {
        return;
    }
    std::string ref = columnLetters(edit.column) + std::to_string(edit.row);
    *out += "<" + prefix_ + "c r=\"" + ref + "\"";
    if (style != 0) {
        *out += " s=\"" + std::to_string(style) + "\"";
    }
    if (text.empty()) {
        *out += "/>";
        return;
    }
    const char *space = " \t\n\r";
    bool preserve = std::string_view(space).find(text.front()) != std::string_view::npos ||
                    std::string_view(space).find(text.back()) != std::string_view::npos;
    *out += " t=\"inlineStr\"><" + prefix_ + "is><" + prefix_ + "t" +
            (preserve ? " xml:space=\"preserve\">" : ">");
    appendOoxmlText(text, out);
    *out += "</" + prefix_ + "t></" + prefix_ + "is></" + prefix_ + "c>";
}

std::string PartWriter::rowText(uint32_t element, const std::vector<const Worksheet::Edit *> &edits)
{
    const Worksheet::Row &row = sheet_.rows()[element];
    const auto &cells = sheet_.cells();
    std::unordered_map<uint32_t, const Worksheet::Edit *> replaced;
    std::vector<const Worksheet::Edit *> added;
    for (const Worksheet::Edit *edit : edits) {
        if (edit->cell >= 0) {
            replaced.emplace(static_cast<uint32_t>(edit->cell), edit);
        } else {
            added.push_back(edit);
        }
    }
    std::string_view tag = xml_.substr(row.begin, row.tagEnd - row.begin);
    // The spans hint names the columns a row covers; new cells would make it
    // wrong. It is cut where the reader found it: a text search could match
    // inside another attribute's value and cut the tag apart.
    std::string out;
    if (!added.empty() && row.spansEnd > row.spansBegin) {
        out.append(xml_.substr(row.begin, row.spansBegin - row.begin));
        out.append(xml_.substr(row.spansEnd, row.tagEnd - row.spansEnd));
    } else {
        out.assign(tag);
    }
    if (row.selfClosing) {
        out.resize(out.size() - 2);
        out += ">";
    }
    size_t pos = row.tagEnd;
    size_t k = 0;
    for (uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i) {
        const Worksheet::Cell &cell = cells[i];
        out.append(xml_.substr(pos, cell.xmlBegin - pos));
        for (; k < added.size() && added[k]->column < cell.column; ++k) {
            addCell(*added[k], 0, &out);
        }
        auto found = replaced.find(i);
        if (found != replaced.end()) {
            addCell(*found->second, cell.style, &out);
            replacedFormula_ = replacedFormula_ || (cell.flags & Worksheet::kHasFormula);
        } else {
            out.append(xml_.substr(cell.xmlBegin, cell.xmlEnd - cell.xmlBegin));
        }
        pos = cell.xmlEnd;
    }
    for (; k < added.size(); ++k) {
        addCell(*added[k], 0, &out);
    }
    if (row.selfClosing) {
        out += "</" + prefix_ + "row>";
    } else {
        out.append(xml_.substr(pos, row.end - pos));
    }
    return out;
}

std::string PartWriter::newRowText(const std::vector<const Worksheet::Edit *> &edits)
{
    std::string cells;
    for (const Worksheet::Edit *edit : edits) {
        addCell(*edit, 0, &cells);
    }
    if (cells.empty()) {
        return cells;
    }
    return "<" + prefix_ + "row r=\"" + std::to_string(edits.front()->row) + "\">" + cells + "</" + prefix_ +
           "row>";
}

void PartWriter::placeNewRows()
{
    if (newRows_.empty()) {
        return;
    }
    if (part_.dataSelfClosing) {
        std::string rows;
        for (const auto &[number, edits] : newRows_) {
            rows += newRowText(edits);
        }
        replacements_.push_back({part_.dataBegin, part_.dataEnd,
                                 "<" + prefix_ + "sheetData>" + rows + "</" + prefix_ + "sheetData>"});
        return;
    }
    auto next = newRows_.begin();
    for (const Worksheet::Row &row : sheet_.rows()) {
        std::string rows;
        for (; next != newRows_.end() && next->first < row.number; ++next) {
            rows += newRowText(next->second);
        }
        if (!rows.empty()) {
            replacements_.push_back({row.begin, row.begin, std::move(rows)});
        }
    }
    std::string rows;
    for (; next != newRows_.end(); ++next) {
        rows += newRowText(next->second);
    }
    if (!rows.empty()) {
        replacements_.push_back({part_.dataEnd, part_.dataEnd, std::move(rows)});
    }
}

void PartWriter::updateDimension()
{
    if (!part_.hasDimension) {
        return;
    }
    std::string_view ref = xml_.substr(part_.refBegin, part_.refEnd - part_.refBegin);
    Bounds bounds;
    if (!parseRange(ref, &bounds)) {
        for (const Worksheet::Cell &cell : sheet_.cells()) {
            bounds.add(cell.row, cell.column);
        }
    }
    Bounds grown = bounds;
    for (const Worksheet::Edit &edit : edits_) {
        if (!edit.text->empty()) {
            grown.add(edit.row, edit.column);
        }
    }
    if (grown.empty()) {
        return;
    }
    std::string text = grown.text();
    if (bounds.empty() || text != bounds.text()) {
        replacements_.push_back({part_.refBegin, part_.refEnd, text});
    }
}

SheetRewrite PartWriter::run()
{
    SheetRewrite result;
    edits_ = sheet_.edits();
    if (edits_.empty()) {
        result.xml = part_.xml;
        return result;
    }
    groupEdits();
    for (const auto &[element, edits] : byElement_) {
        const Worksheet::Row &row = sheet_.rows()[element];
        replacements_.push_back({row.begin, row.end, rowText(element, edits)});
    }
    placeNewRows();
    updateDimension();
    std::stable_sort(replacements_.begin(), replacements_.end(),
                     [](const Replacement &a, const Replacement &b) {
                         return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
                     });
    size_t extra = 0;
    for (const Replacement &r : replacements_) {
        extra += r.text.size();
    }
    result.xml.reserve(xml_.size() + extra);
    size_t pos = 0;
    for (const Replacement &r : replacements_) {
        result.xml.append(xml_.substr(pos, r.begin - pos));
        result.xml.append(r.text);
        pos = r.end;
    }
    result.xml.append(xml_.substr(pos));
    result.replacedFormula = replacedFormula_;
    return result;
}

} // namespace

SheetRewrite rewriteWorksheetPart(const Worksheet &sheet)
{
    return PartWriter(sheet).run();
}

} // namespace orvane
