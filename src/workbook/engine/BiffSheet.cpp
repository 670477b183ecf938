#include "workbook/engine/BiffSheet.h"

#include "workbook/engine/BiffGlobals.h"
#include "workbook/engine/BiffRecords.h"
#include "workbook/engine/BiffText.h"
#include "workbook/engine/CellValue.h"

#include <cstring>

namespace orvane
{

namespace
{

using Type = Worksheet::CellType;

// An RK value: a number in 30 bits, an integer or the top of a double, maybe times 100.
double rkValue(uint32_t rk)
{
    double value = 0;
    if (rk & 0x02) {
        value = static_cast<int32_t>(rk) >> 2;
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

class SheetBuilder
{
  public:
    SheetBuilder(const BiffGlobals &globals, Worksheet::Content *content)
        : globals_(globals), content_(content), decoder_(globals.codepage)
    {
    }

    void record(uint16_t type, std::string_view data, BiffCursor cursor);
    bool tooLarge() const { return tooLarge_; }

  private:
    Worksheet::Cell *add(uint32_t row, uint32_t column, uint32_t xf, Type type);
    Worksheet::Cell *number(uint32_t row, uint32_t column, uint32_t xf, double value);
    Worksheet::Cell *text(uint32_t row, uint32_t column, uint32_t xf, std::string_view text);
    void sharedString(uint32_t row, uint32_t column, uint32_t xf, uint32_t index);
    Worksheet::Cell *boolErr(uint32_t row, uint32_t column, uint32_t xf, unsigned value, bool error);
    void formula(uint32_t row, uint32_t column, uint32_t xf, std::string_view data);
    void formulaString(BiffCursor cursor);
    void mulRk(std::string_view data);
    void mulBlank(std::string_view data);
    bool setSpan(Worksheet::Cell *cell, std::string_view text);
    bool readText(BiffCursor *cursor, std::string *text);

    const BiffGlobals &globals_;
    Worksheet::Content *content_;
    CodepageDecoder decoder_;
    long long pendingString_ = -1; ///< the formula cell whose text the next STRING record holds
    bool tooLarge_ = false;
};

Worksheet::Cell *SheetBuilder::add(uint32_t row, uint32_t column, uint32_t xf, Type type)
{
    pendingString_ = -1;
    if (column >= Worksheet::kMaxColumn) {
        return nullptr;
    }
    Worksheet::Cell &cell = content_->cells.emplace_back();
    cell.row = row + 1;
    cell.column = static_cast<uint16_t>(column + 1);
    cell.style = xf;
    cell.type = type;
    return &cell;
}

bool SheetBuilder::setSpan(Worksheet::Cell *cell, std::string_view text)
{
    std::string &buffer = content_->text;
    if (buffer.size() + text.size() > UINT32_MAX) {
        tooLarge_ = true;
        return false;
    }
    cell->text.offset = static_cast<uint32_t>(buffer.size());
    cell->text.length = static_cast<uint32_t>(text.size());
    buffer.append(text);
    return true;
}

Worksheet::Cell *SheetBuilder::number(uint32_t row, uint32_t column, uint32_t xf, double value)
{
    bool date = globals_.isDateXf(static_cast<uint16_t>(xf));
    Worksheet::Cell *cell = add(row, column, xf, date ? Type::Date : Type::Number);
    if (cell) {
        cell->number = date ? serialToAutomationDate(value, globals_.date1904) : value;
    }
    return cell;
}

Worksheet::Cell *SheetBuilder::text(uint32_t row, uint32_t column, uint32_t xf, std::string_view text)
{
    Worksheet::Cell *cell = add(row, column, xf, Type::Text);
    if (cell) {
        setSpan(cell, text);
    }
    return cell;
}

void SheetBuilder::sharedString(uint32_t row, uint32_t column, uint32_t xf, uint32_t index)
{
    // The shared strings open the text buffer, so a cell points at its string
    // there instead of copying it: many cells with one long string cost one copy.
    if (Worksheet::Cell *cell = add(row, column, xf, Type::Text)) {
        cell->text.offset = 0;
        cell->text.length = 0;
        if (index < globals_.sstCount()) {
            cell->text.offset = globals_.sstOffsets[index];
            cell->text.length = globals_.sstOffsets[index + 1] - globals_.sstOffsets[index];
        }
    }
}

Worksheet::Cell *SheetBuilder::boolErr(uint32_t row, uint32_t column, uint32_t xf, unsigned value, bool error)
{
    Worksheet::Cell *cell = add(row, column, xf, error ? Type::Error : Type::Boolean);
    if (cell && error) {
        setSpan(cell, biffErrorLiteral(value));
    } else if (cell) {
        cell->number = value ? 1 : 0;
    }
    return cell;
}

void SheetBuilder::formula(uint32_t row, uint32_t column, uint32_t xf, std::string_view data)
{
    // The cached result: a double, or when its top two bytes are 0xFFFF a
    // tagged value (0 text in the next STRING record, 1 boolean, 2 error, 3 empty text).
    Worksheet::Cell *cell = nullptr;
    unsigned tag = static_cast<unsigned char>(data[6]);
    if (biffLe(data, 12, 2) != 0xFFFF) {
        double value = 0;
        std::memcpy(&value, data.data() + 6, sizeof value);
        cell = number(row, column, xf, value);
    } else if (tag == 1 || tag == 2) {
        cell = boolErr(row, column, xf, static_cast<unsigned char>(data[8]), tag == 2);
    } else if (tag == 0 || tag == 3) {
        cell = text(row, column, xf, std::string_view());
        if (cell && tag == 0) {
            pendingString_ = static_cast<long long>(content_->cells.size() - 1);
        }
    }
    if (cell) {
        cell->flags |= Worksheet::kHasFormula;
    }
}

void SheetBuilder::formulaString(BiffCursor cursor)
{
    if (pendingString_ < 0) {
        return;
    }
    Worksheet::Cell &cell = content_->cells[static_cast<size_t>(pendingString_)];
    pendingString_ = -1;
    std::string value;
    if (readText(&cursor, &value)) {
        setSpan(&cell, value);
    }
}

void SheetBuilder::mulRk(std::string_view data)
{
    if (data.size() < 6) {
        return;
    }
    uint32_t row = biffLe(data, 0, 2), column = biffLe(data, 2, 2);
    for (size_t at = 4; at + 6 <= data.size(); at += 6, ++column) {
        number(row, column, biffLe(data, at, 2), rkValue(biffLe(data, at + 2, 4)));
    }
}

void SheetBuilder::mulBlank(std::string_view data)
{
    if (data.size() < 6) {
        return;
    }
    uint32_t row = biffLe(data, 0, 2), column = biffLe(data, 2, 2);
    // The list of formats ends with the number of the last column.
    for (size_t at = 4; at + 4 <= data.size(); at += 2, ++column) {
        add(row, column, biffLe(data, at, 2), Type::Blank);
    }
}

bool SheetBuilder::readText(BiffCursor *cursor, std::string *text)
{
    return globals_.biff8 ? cursor->unicodeString(2, text) : cursor->byteString(2, decoder_, text);
}

void SheetBuilder::record(uint16_t type, std::string_view data, BiffCursor cursor)
{
    if (type == biff::kString) {
        formulaString(cursor);
        return;
    }
    if (data.size() < 6) {
        return;
    }
    uint32_t row = biffLe(data, 0, 2), column = biffLe(data, 2, 2), xf = biffLe(data, 4, 2);
    std::string value;
    switch (type) {
    case biff::kNumber:
        if (data.size() >= 14) {
            double v = 0;
            std::memcpy(&v, data.data() + 6, sizeof v);
            number(row, column, xf, v);
        }
        break;
    case biff::kRk:
        if (data.size() >= 10) {
            number(row, column, xf, rkValue(biffLe(data, 6, 4)));
        }
        break;
    case biff::kMulRk:
        mulRk(data);
        break;
    case biff::kLabelSst:
        if (data.size() >= 10) {
            sharedString(row, column, xf, biffLe(data, 6, 4));
        }
        break;
    case biff::kLabel:
    case biff::kRString:
        if (cursor.skip(6) && readText(&cursor, &value)) {
            text(row, column, xf, value);
        }
        break;
    case biff::kBoolErr:
        if (data.size() >= 8) {
            boolErr(row, column, xf, static_cast<unsigned char>(data[6]), data[7] != 0);
        }
        break;
    case biff::kFormula:
        if (data.size() >= 14) {
            formula(row, column, xf, data);
        }
        break;
    case biff::kBlank:
        add(row, column, xf, Type::Blank);
        break;
    case biff::kMulBlank:
        mulBlank(data);
        break;
    default:
        break;
    }
}

} // namespace

const char *biffErrorLiteral(unsigned code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

BiffSheetResult readBiffSheet(std::string_view stream, uint32_t offset, BiffGlobals *globals,
                              Worksheet::Content *content)
{
    BiffStream records(stream, offset);
    if (!records.next() || records.type() != biff::kBof || records.position() != offset) {
        return BiffSheetResult::NoSheet;
    }
    content->text = std::move(globals->sstText);
    SheetBuilder builder(*globals, content);
    // An embedded chart nests its own BOF ... EOF inside the sheet's records.
    for (int depth = 1; depth > 0 && records.next();) {
        if (records.type() == biff::kBof) {
            ++depth;
        } else if (records.type() == biff::kEof) {
            --depth;
        } else if (depth == 1) {
            builder.record(records.type(), records.data(), records.cursor());
        }
    }
    return builder.tooLarge() ? BiffSheetResult::TooLarge : BiffSheetResult::Ok;
}

} // namespace orvane
