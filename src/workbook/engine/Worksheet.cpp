#include "workbook/engine/Worksheet.h"

#include "workbook/engine/SharedStrings.h"

#include <QString>
#include <algorithm>
#include <numeric>

namespace orvane
{

namespace
{

inline uint64_t cellKey(uint32_t row, uint32_t column)
{
    return (static_cast<uint64_t>(row) << 16) | column;
}

} // namespace

struct Worksheet::ColumnIndex {
    /// Folded cell text → the rows showing it, ascending.
    std::unordered_map<std::string, std::vector<uint32_t>> rows;
};

Worksheet::Worksheet(std::string name, Content content, std::shared_ptr<const SharedStrings> strings,
                     std::unique_ptr<Part> part)
    : name_(std::move(name)), content_(std::move(content)), strings_(std::move(strings)),
      part_(std::move(part))
{
    buildLookup();
}

Worksheet::~Worksheet() = default;

void Worksheet::buildLookup()
{
    const std::vector<Cell> &cells = content_.cells;
    bool sorted = true;
    for (size_t i = 0; i < cells.size(); ++i) {
        lastRow_ = std::max(lastRow_, cells[i].row);
        lastColumn_ = std::max<uint32_t>(lastColumn_, cells[i].column);
        if (i > 0 &&
            cellKey(cells[i].row, cells[i].column) <= cellKey(cells[i - 1].row, cells[i - 1].column)) {
            sorted = false;
        }
    }
    if (!sorted) {
        order_.resize(cells.size());
        std::iota(order_.begin(), order_.end(), 0u);
        std::stable_sort(order_.begin(), order_.end(), [&cells](uint32_t a, uint32_t b) {
            return cellKey(cells[a].row, cells[a].column) < cellKey(cells[b].row, cells[b].column);
        });
    }
    if (cells.empty()) {
        return;
    }
    rowStart_.assign(static_cast<size_t>(lastRow_) + 2, 0);
    for (const Cell &c : cells) {
        ++rowStart_[c.row + 1];
    }
    for (size_t r = 1; r < rowStart_.size(); ++r) {
        rowStart_[r] += rowStart_[r - 1];
    }
}

long long Worksheet::findCell(uint32_t row, uint32_t column) const
{
    if (static_cast<size_t>(row) + 1 >= rowStart_.size()) {
        return -1;
    }
    uint32_t lo = rowStart_[row], hi = rowStart_[row + 1];
    while (lo < hi) {
        uint32_t mid = lo + (hi - lo) / 2;
        uint32_t index = order_.empty() ? mid : order_[mid];
        if (content_.cells[index].column < column) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == rowStart_[row + 1]) {
        return -1;
    }
    uint32_t index = order_.empty() ? lo : order_[lo];
    return content_.cells[index].column == column ? static_cast<long long>(index) : -1;
}

const Worksheet::Written *Worksheet::findWritten(uint32_t row, uint32_t column) const
{
    const uint64_t key = cellKey(row, column);
    if (!ordered_.empty() && key <= cellKey(ordered_.back().row, ordered_.back().column)) {
        auto at = std::lower_bound(ordered_.begin(), ordered_.end(), key, [](const Written &w, uint64_t k) {
            return cellKey(w.row, w.column) < k;
        });
        if (at != ordered_.end() && at->row == row && at->column == column) {
            return &*at;
        }
    }
    if (!late_.empty()) {
        auto found = late_.find(key);
        if (found != late_.end()) {
            return &found->second;
        }
    }
    return nullptr;
}

CellValue Worksheet::cellValue(const Cell &cell) const
{
    CellValue v;
    switch (cell.type) {
    case CellType::Blank:
        break;
    case CellType::Number:
        v.kind = CellValue::Kind::Number;
        v.number = cell.number;
        break;
    case CellType::Boolean:
        v.kind = CellValue::Kind::Boolean;
        v.number = cell.number;
        break;
    case CellType::Date:
        v.kind = CellValue::Kind::Date;
        v.number = cell.number;
        break;
    case CellType::SharedString:
        v.kind = CellValue::Kind::Text;
        if (strings_) {
            v.text = strings_->at(cell.sharedIndex);
        }
        break;
    case CellType::Text:
    case CellType::Error:
        v.kind = cell.type == CellType::Text ? CellValue::Kind::Text : CellValue::Kind::Error;
        v.text = std::string_view(content_.text).substr(cell.text.offset, cell.text.length);
        break;
    }
    return v;
}

CellValue Worksheet::value(uint32_t row, uint32_t column) const
{
    if (const Written *written = findWritten(row, column)) {
        CellValue v;
        if (written->length > 0) {
            v.kind = CellValue::Kind::Text;
            v.text = textOf(*written);
        }
        return v;
    }
    long long index = findCell(row, column);
    return index < 0 ? CellValue() : cellValue(content_.cells[static_cast<size_t>(index)]);
}

std::string Worksheet::text(uint32_t row, uint32_t column) const
{
    return cellDisplayText(value(row, column));
}

std::string Worksheet::foldCase(std::string_view text)
{
    std::string out(text);
    for (char &ch : out) {
        unsigned char u = static_cast<unsigned char>(ch);
        if (u >= 0x80) {
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                .toCaseFolded()
                .toUtf8()
                .toStdString();
        }
        if (u >= 'A' && u <= 'Z') {
            ch = static_cast<char>(u + 32);
        }
    }
    return out;
}

Worksheet::ColumnIndex &Worksheet::columnIndex(uint32_t column) const
{
    std::unique_ptr<ColumnIndex> &slot = indexes_[column];
    if (slot) {
        return *slot;
    }
    slot = std::make_unique<ColumnIndex>();
    auto &rows = slot->rows;
    // One bucket per row at most: rehashing a growing table moved every entry again and again.
    rows.reserve(std::min<size_t>(lastRow_, content_.cells.size()));
    const bool written = isModified();
    for (const Cell &cell : content_.cells) {
        if (cell.column != column || (written && findWritten(cell.row, column))) {
            continue;
        }
        std::string shown;
        if (cell.type == CellType::SharedString && strings_) {
            shown = foldCase(strings_->at(cell.sharedIndex));
        } else {
            shown = foldCase(cellDisplayText(cellValue(cell)));
        }
        if (!shown.empty()) {
            rows[std::move(shown)].push_back(cell.row);
        }
    }
    auto addWritten = [&](const Written &w) {
        if (w.column == column && w.length > 0) {
            rows[foldCase(textOf(w))].push_back(w.row);
        }
    };
    for (const Written &w : ordered_) {
        addWritten(w);
    }
    for (const auto &[key, w] : late_) {
        addWritten(w);
    }
    for (auto &[text, list] : rows) {
        if (!std::is_sorted(list.begin(), list.end())) {
            std::sort(list.begin(), list.end());
        }
        list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    return *slot;
}

uint32_t Worksheet::find(uint32_t column, std::string_view what, uint32_t afterRow) const
{
    if (what.empty() || column < 1 || column > kMaxColumn) {
        return 0;
    }
    const ColumnIndex &index = columnIndex(column);
    auto found = index.rows.find(foldCase(what));
    if (found == index.rows.end() || found->second.empty()) {
        return 0;
    }
    const std::vector<uint32_t> &list = found->second;
    auto next = std::upper_bound(list.begin(), list.end(), afterRow);
    return next == list.end() ? list.front() : *next;
}

uint32_t Worksheet::lastUsedRow() const
{
    return std::max({lastRow_, lastWrittenRow_, 1u});
}

uint32_t Worksheet::lastUsedColumn() const
{
    return std::max({lastColumn_, lastWrittenColumn_, 1u});
}

bool Worksheet::setText(uint32_t row, uint32_t column, std::string_view text)
{
    if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn || !hasRoomFor(text.size())) {
        return false;
    }
    auto found = indexes_.find(column);
    if (found != indexes_.end() && found->second) {
        auto &rows = found->second->rows;
        std::string before = foldCase(this->text(row, column));
        auto old = rows.find(before);
        if (old != rows.end()) {
            auto at = std::lower_bound(old->second.begin(), old->second.end(), row);
            if (at != old->second.end() && *at == row) {
                old->second.erase(at);
            }
            if (old->second.empty()) {
                rows.erase(old);
            }
        }
        if (!text.empty()) {
            std::vector<uint32_t> &list = rows[foldCase(text)];
            auto at = std::lower_bound(list.begin(), list.end(), row);
            if (at == list.end() || *at != row) {
                list.insert(at, row);
            }
        }
    }
    Written w{row, static_cast<uint16_t>(column), 0, 0, 0};
    storeText(text, &w);
    const uint64_t key = cellKey(row, column);
    if (ordered_.empty() || key > cellKey(ordered_.back().row, ordered_.back().column)) {
        ordered_.push_back(w);
    } else if (const Written *found = findWritten(row, column)) {
        *const_cast<Written *>(found) = w;
    } else {
        late_[key] = w;
    }
    lastWrittenRow_ = std::max(lastWrittenRow_, row);
    lastWrittenColumn_ = std::max(lastWrittenColumn_, column);
    ++writes_;
    return true;
}

namespace
{
constexpr size_t kTextBlock = 4u << 20;
constexpr size_t kMaxTextBlocks = 65536;
} // namespace

bool Worksheet::hasRoomFor(size_t length) const
{
    if (length > UINT32_MAX) {
        return false;
    }
    const bool fits = !textBlocks_.empty() && textBlocks_.back().capacity() - textBlocks_.back().size() >= length;
    return fits || textBlocks_.size() < kMaxTextBlocks;
}

void Worksheet::storeText(std::string_view text, Written *w)
{
    if (textBlocks_.empty() || textBlocks_.back().capacity() - textBlocks_.back().size() < text.size()) {
        textBlocks_.emplace_back();
        textBlocks_.back().reserve(std::max(kTextBlock, text.size()));
    }
    std::string &block = textBlocks_.back();
    w->block = static_cast<uint16_t>(textBlocks_.size() - 1);
    w->offset = static_cast<uint32_t>(block.size());
    w->length = static_cast<uint32_t>(text.size());
    block.append(text);
}

void Worksheet::forEachEdit(const std::function<void(const Edit &)> &visit) const
{
    // The ordered writes are sorted already; only the late ones are sorted, then merged in.
    std::vector<const Written *> late;
    late.reserve(late_.size());
    for (const auto &[key, w] : late_) {
        late.push_back(&w);
    }
    auto keyOf = [](const Written &w) { return cellKey(w.row, w.column); };
    std::sort(late.begin(), late.end(), [&](const Written *a, const Written *b) { return keyOf(*a) < keyOf(*b); });
    auto add = [&](const Written &w) { visit({w.row, w.column, textOf(w), findCell(w.row, w.column)}); };
    size_t j = 0;
    for (const Written &w : ordered_) {
        for (; j < late.size() && keyOf(*late[j]) < keyOf(w); ++j) {
            add(*late[j]);
        }
        add(w);
    }
    for (; j < late.size(); ++j) {
        add(*late[j]);
    }
}

std::vector<Worksheet::Edit> Worksheet::edits() const
{
    std::vector<Edit> list;
    list.reserve(ordered_.size() + late_.size());
    forEachEdit([&](const Edit &edit) { list.push_back(edit); });
    return list;
}

} // namespace orvane
