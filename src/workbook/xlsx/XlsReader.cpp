#include "workbook/xlsx/XlsReader.h"

#include "workbook/xlsx/CompoundFile.h"

#include <freexl.h>
#include <unordered_map>

namespace orvane
{

namespace
{

const uint16_t kRecordEof = 0x000A;
const uint16_t kRecordFilePass = 0x002F;
const uint16_t kRecordWindow1 = 0x003D;
const uint16_t kRecordBoundSheet = 0x0085;
const uint16_t kRecordBof = 0x0809;
const uint16_t kRecordBoolErr = 0x0205;

/// A boolean or error cell, which FreeXL reports as the integer it stores.
struct BoolErr {
    bool error = false;
    unsigned value = 0;
};

struct Record {
    uint16_t type = 0;
    std::string_view data;
};

// Reads the record at `*at` and advances past it; false at the end or on a cut record.
bool nextRecord(std::string_view stream, size_t *at, Record *record)
{
    if (*at + 4 > stream.size()) {
        return false;
    }
    auto byte = [&](size_t i) { return static_cast<unsigned char>(stream[i]); };
    record->type = static_cast<uint16_t>(byte(*at) | (byte(*at + 1) << 8));
    uint16_t length = static_cast<uint16_t>(byte(*at + 2) | (byte(*at + 3) << 8));
    if (*at + 4 + length > stream.size()) {
        return false;
    }
    record->data = stream.substr(*at + 4, length);
    *at += 4 + length;
    return true;
}

unsigned le(std::string_view data, size_t at, size_t bytes)
{
    unsigned v = 0;
    for (size_t i = 0; i < bytes; ++i) {
        v |= static_cast<unsigned>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    }
    return v;
}

const char *errorLiteral(unsigned code)
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

// The boolean and error cells of the sheet whose records start at `offset`, by (row << 16 | column), 0-based.
std::unordered_map<uint64_t, BoolErr> scanBoolErr(std::string_view stream, uint32_t offset)
{
    std::unordered_map<uint64_t, BoolErr> cells;
    size_t at = offset;
    int depth = 0;
    Record r;
    while (nextRecord(stream, &at, &r)) {
        if (r.type == kRecordBof) {
            ++depth;
        } else if (r.type == kRecordEof && --depth <= 0) {
            break;
        } else if (r.type == kRecordBoolErr && r.data.size() >= 8 && depth == 1) {
            uint64_t key = (static_cast<uint64_t>(le(r.data, 0, 2)) << 16) | le(r.data, 2, 2);
            cells[key] = {le(r.data, 7, 1) != 0, le(r.data, 6, 1)};
        }
        if (depth <= 0) {
            break;
        }
    }
    return cells;
}

struct GlobalsScan {
    bool encrypted = false;
    int activeTab = 0;
    std::vector<int> sheetTypes;        ///< per BOUNDSHEET record: 0 worksheet, 1 macro, 2 chart, 6 module
    std::vector<uint32_t> sheetOffsets; ///< per BOUNDSHEET record: where the sheet's records start
};

// Walks the records of the workbook globals up to their EOF record.
GlobalsScan scanGlobals(std::string_view stream)
{
    GlobalsScan scan;
    size_t at = 0;
    Record r;
    for (bool first = true; nextRecord(stream, &at, &r); first = false) {
        if (r.type == kRecordEof && !first) {
            break;
        }
        if (r.type == kRecordFilePass) {
            scan.encrypted = true;
        } else if (r.type == kRecordWindow1 && r.data.size() >= 12) {
            scan.activeTab = static_cast<int>(le(r.data, 10, 2));
        } else if (r.type == kRecordBoundSheet && r.data.size() >= 6) {
            scan.sheetOffsets.push_back(le(r.data, 0, 4));
            scan.sheetTypes.push_back(static_cast<int>(le(r.data, 5, 1)));
        }
    }
    return scan;
}

// The position among all sheets of FreeXL's sheet `index`.
int allSheetIndex(const GlobalsScan &scan, unsigned freexlCount, int index)
{
    if (freexlCount == scan.sheetTypes.size()) {
        return index;
    }
    for (size_t i = 0; i < scan.sheetTypes.size(); ++i) {
        if (scan.sheetTypes[i] == 0 && index-- == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// FreeXL numbers the sheets it lists; the window numbers all sheets. Maps one onto the other.
int freexlSheetIndex(const GlobalsScan &scan, unsigned freexlCount)
{
    int active = scan.activeTab;
    if (active < 0 || static_cast<size_t>(active) >= scan.sheetTypes.size()) {
        return 0;
    }
    if (freexlCount == scan.sheetTypes.size()) {
        return active;
    }
    if (scan.sheetTypes[static_cast<size_t>(active)] != 0) {
        return 0;
    }
    int index = 0;
    for (int i = 0; i < active; ++i) {
        index += scan.sheetTypes[static_cast<size_t>(i)] == 0 ? 1 : 0;
    }
    return static_cast<unsigned>(index) < freexlCount ? index : 0;
}

void addCell(Worksheet::Content *content, uint32_t row, uint32_t column, const FreeXL_CellValue &v,
             const BoolErr *boolErr)
{
    Worksheet::Cell cell;
    cell.row = row;
    cell.column = static_cast<uint16_t>(column);
    auto setText = [&](const char *text, Worksheet::CellType type) {
        std::string_view t = text ? text : "";
        cell.type = type;
        cell.text.offset = static_cast<uint32_t>(content->text.size());
        cell.text.length = static_cast<uint32_t>(t.size());
        content->text.append(t);
    };
    if (boolErr && boolErr->error) {
        setText(errorLiteral(boolErr->value), Worksheet::CellType::Error);
        content->cells.push_back(cell);
        return;
    }
    if (boolErr) {
        cell.type = Worksheet::CellType::Boolean;
        cell.number = boolErr->value ? 1 : 0;
        content->cells.push_back(cell);
        return;
    }
    switch (v.type) {
    case FREEXL_CELL_INT:
        cell.type = Worksheet::CellType::Number;
        cell.number = v.value.int_value;
        break;
    case FREEXL_CELL_DOUBLE:
        cell.type = Worksheet::CellType::Number;
        cell.number = v.value.double_value;
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        setText(v.value.text_value, Worksheet::CellType::Text);
        break;
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: {
        double date = 0;
        if (v.value.text_value && parseIsoDate(v.value.text_value, &date)) {
            cell.type = Worksheet::CellType::Date;
            cell.number = date;
        } else {
            setText(v.value.text_value, Worksheet::CellType::Text);
        }
        break;
    }
    default:
        return;
    }
    content->cells.push_back(cell);
}

XlsOutcome openError(int code, std::string *detail)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        *detail = "the file cannot be opened";
        return XlsOutcome::Unreadable;
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        *detail = "a compound document that holds no workbook";
        return XlsOutcome::NotWorkbook;
    case FREEXL_INSUFFICIENT_MEMORY:
        *detail = "not enough memory to read it";
        return XlsOutcome::Unreadable;
    default:
        *detail = "FreeXL cannot read it (error " + std::to_string(code) + ")";
        return XlsOutcome::Damaged;
    }
}

XlsOutcome readSheet(const void *handle, unsigned index, const std::unordered_map<uint64_t, BoolErr> &boolErr,
                     XlsContent *out, std::string *detail)
{
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(index)) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        *detail = "the sheet \"" + out->sheetNames[index] + "\" cannot be read";
        return XlsOutcome::Damaged;
    }
    Worksheet::Content content;
    for (unsigned r = 0; r < rows && r < Worksheet::kMaxRow; ++r) {
        for (unsigned c = 0; c < columns && c < Worksheet::kMaxColumn; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(handle, r, static_cast<unsigned short>(c), &v) != FREEXL_OK) {
                continue;
            }
            const BoolErr *special = nullptr;
            if (!boolErr.empty()) {
                auto found = boolErr.find((static_cast<uint64_t>(r) << 16) | c);
                special = found == boolErr.end() ? nullptr : &found->second;
            }
            addCell(&content, r + 1, c + 1, v, special);
        }
    }
    out->sheet = std::make_unique<Worksheet>(out->sheetNames[index], std::move(content), nullptr, nullptr);
    return XlsOutcome::Ok;
}

} // namespace

XlsOutcome readXlsWorkbook(const std::string &path, const CompoundFile &file, XlsContent *out,
                           std::string *detail)
{
    std::string stream;
    if (!file.readStream("Workbook", &stream) && !file.readStream("Book", &stream)) {
        if (file.hasStream("Workbook") || file.hasStream("Book")) {
            *detail = "its workbook stream is damaged";
            return XlsOutcome::Damaged;
        }
        *detail = "a compound document that holds no workbook";
        return XlsOutcome::NotWorkbook;
    }
    GlobalsScan scan = scanGlobals(stream);
    if (scan.encrypted) {
        return XlsOutcome::Encrypted;
    }
    const void *handle = nullptr;
    int rc = freexl_open(path.c_str(), &handle);
    if (rc != FREEXL_OK) {
        if (handle) {
            freexl_close(handle);
        }
        return openError(rc, detail);
    }
    unsigned password = 0, count = 0;
    XlsOutcome outcome = XlsOutcome::Ok;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK &&
        password == FREEXL_BIFF_OBFUSCATED) {
        outcome = XlsOutcome::Encrypted;
    } else if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        *detail = "it has no worksheet";
        outcome = XlsOutcome::Damaged;
    } else {
        for (unsigned i = 0; i < count; ++i) {
            const char *name = nullptr;
            freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name);
            out->sheetNames.push_back(name ? name : "");
        }
        out->activeSheet = freexlSheetIndex(scan, count);
        int all = allSheetIndex(scan, count, out->activeSheet);
        std::unordered_map<uint64_t, BoolErr> boolErr;
        if (all >= 0 && static_cast<size_t>(all) < scan.sheetOffsets.size()) {
            boolErr = scanBoolErr(stream, scan.sheetOffsets[static_cast<size_t>(all)]);
        }
        outcome = readSheet(handle, static_cast<unsigned>(out->activeSheet), boolErr, out, detail);
    }
    freexl_close(handle);
    return outcome;
}

} // namespace orvane
