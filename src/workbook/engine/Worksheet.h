#pragma once
// One worksheet of an opened workbook, held compactly in memory: the cells
// as fixed-size records in the order the file lists them, their texts in
// shared buffers, and for an .xlsx sheet the byte span in the part's XML of
// every row and cell, so that saving, which reads the part again, can copy
// what was not written verbatim. Written cells are kept apart until the
// workbook is saved.
//
// Rows and columns are 1-based as in Excel. Reads and Find never fail: a cell
// outside the sheet is empty. Find answers from a per-column index of folded
// cell texts that is built the first time a column is searched and kept up to
// date by later writes, so every later Find costs one hash lookup.
//
// A Worksheet is not thread-safe; it belongs to one workbook on one thread.

#include "workbook/engine/CellValue.h"

#include <cstdint>
#include <functional>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane
{

class SharedStrings;

class Worksheet
{
  public:
    static constexpr uint32_t kMaxRow = 1048576;
    static constexpr uint32_t kMaxColumn = 16384;

    enum class CellType : uint8_t { Blank, Number, SharedString, Text, Boolean, Error, Date };
    static constexpr uint8_t kHasFormula = 1;

    /// One cell as read from the file. For Number, Boolean and Date `number`
    /// holds the value (Date: an automation date); SharedString uses
    /// `sharedIndex`; Text and Error use `text` (a span of the text buffer).
    /// `xmlBegin`/`xmlEnd` delimit the <c> element in an .xlsx sheet part.
    /// Packed to 4-byte alignment: 28 bytes instead of 32 for each of a full
    /// sheet's millions of cells (so no pointer to `number` may be taken).
#pragma pack(push, 4)
    struct Cell {
        uint32_t row = 0;
        uint16_t column = 0;
        CellType type = CellType::Blank;
        uint8_t flags = 0;
        uint32_t style = 0;
        uint32_t xmlBegin = 0;
        uint32_t xmlEnd = 0;
        union {
            double number;
            uint32_t sharedIndex;
            struct {
                uint32_t offset;
                uint32_t length;
            } text;
        };
        Cell() : number(0) {}
    };
#pragma pack(pop)
    static_assert(sizeof(Cell) == 28);

    /// One <row> element of an .xlsx sheet part: its number, the span of the
    /// whole element and of its start tag, and its cells in `cells`.
    struct Row {
        uint32_t number = 0;
        uint32_t begin = 0;
        uint32_t tagEnd = 0;
        uint32_t end = 0;
        uint32_t firstCell = 0;
        uint32_t cellCount = 0;
        /// The row's spans attribute as the reader found it, [spansBegin,
        /// spansEnd) with its leading white space; empty when it has none.
        uint32_t spansBegin = 0;
        uint32_t spansEnd = 0;
        bool selfClosing = false;
    };

    /// Where the rows live in an .xlsx sheet part, for rewriting it. The
    /// part's XML is not kept: whoever rewrites it reads it again.
    struct Part {
        std::string name;
        std::string prefix;   ///< namespace prefix of the sheet's elements ("x:" or "")
        size_t dataBegin = 0; ///< content of <sheetData>: [dataBegin, dataEnd)
        size_t dataEnd = 0;
        bool dataSelfClosing = false; ///< <sheetData/>: the element is [dataBegin, dataEnd)
        bool hasDimension = false;    ///< <dimension ref="..."/>: the value is [refBegin, refEnd)
        size_t refBegin = 0;
        size_t refEnd = 0;
    };

    /// What a reader hands over: the cells in file order and what they refer to.
    struct Content {
        std::vector<Cell> cells;
        std::vector<Row> rows;
        std::string text;
    };

    /// A sheet with `content`, whose SharedString cells refer to `strings`
    /// (may be null when there are none) and, for an .xlsx sheet, its `part`
    /// (null for a read-only sheet).
    Worksheet(std::string name, Content content, std::shared_ptr<const SharedStrings> strings,
              std::unique_ptr<Part> part);
    ~Worksheet();
    Worksheet(const Worksheet &) = delete;
    Worksheet &operator=(const Worksheet &) = delete;

    const std::string &name() const { return name_; }

    /// The cell's value as automation sees it; written cells read as Text
    /// (Empty when written empty).
    CellValue value(uint32_t row, uint32_t column) const;
    /// The cell's shown text (see cellDisplayText).
    std::string text(uint32_t row, uint32_t column) const;
    /// The first row after `afterRow` (0: from the top) whose cell in `column`
    /// shows exactly `what`, ignoring case; wraps around to the first match,
    /// which may be `afterRow` itself. 0 when no cell matches or `what` is empty.
    uint32_t find(uint32_t column, std::string_view what, uint32_t afterRow) const;
    /// The row of the last cell the sheet holds (values or formatting), 1 for an empty sheet.
    uint32_t lastUsedRow() const;
    /// The rightmost column holding a cell (values or formatting), 1 for an empty sheet.
    uint32_t lastUsedColumn() const;

    /// True when written cells can be saved into the file (an .xlsx worksheet).
    bool isWritable() const { return part_ != nullptr; }
    /// Sets the cell to the text as a string cell (empty text clears its value,
    /// keeping its format). Works on every sheet; only a writable one can be
    /// saved. False, changing nothing, for a cell outside Excel's grid or a
    /// text of 4 GiB or more.
    bool setText(uint32_t row, uint32_t column, std::string_view text);
    bool isModified() const { return !ordered_.empty() || !late_.empty(); }
    /// How many writes setText has taken since the sheet was read.
    uint64_t writeCount() const { return writes_; }

    /// One pending write, for the writer.
    struct Edit {
        uint32_t row;
        uint32_t column;
        std::string_view text; ///< valid until the sheet is written to again
        long long cell;        ///< index into cells() of the cell it replaces, -1 for a new cell
    };
    /// The pending writes ordered by row, then column.
    std::vector<Edit> edits() const;
    /// Hands the pending writes to `visit` in that order, without a list of them all.
    void forEachEdit(const std::function<void(const Edit &)> &visit) const;
    const std::vector<Cell> &cells() const { return content_.cells; }
    const std::vector<Row> &rows() const { return content_.rows; }
    const Part *part() const { return part_.get(); }
    /// Case-folds `text` the way Find compares (simple Unicode case folding).
    static std::string foldCase(std::string_view text);

  private:
    struct ColumnIndex;

    long long findCell(uint32_t row, uint32_t column) const;
    CellValue cellValue(const Cell &cell) const;
    /// A cell's pending write: its text in textBlocks_[block].
    struct Written {
        uint32_t row;
        uint16_t column;
        uint16_t block;
        uint32_t offset;
        uint32_t length;
    };
    const Written *findWritten(uint32_t row, uint32_t column) const;
    std::string_view textOf(const Written &w) const
    {
        return std::string_view(textBlocks_[w.block].data() + w.offset, w.length);
    }
    bool hasRoomFor(size_t length) const;
    void storeText(std::string_view text, Written *w);
    ColumnIndex &columnIndex(uint32_t column) const;
    void buildLookup();

    std::string name_;
    Content content_;
    std::shared_ptr<const SharedStrings> strings_;
    std::unique_ptr<Part> part_;
    /// Cells in (row, column) order as indexes into content_.cells; empty when
    /// the file already lists them in that order.
    std::vector<uint32_t> order_;
    /// rowStart_[r] .. rowStart_[r + 1]: positions (in that order) of row r's cells.
    std::vector<uint32_t> rowStart_;
    uint32_t lastRow_ = 0;
    uint32_t lastColumn_ = 0;
    /// Pending writes, one per cell. Writes that come in (row, column) order,
    /// as a program filling a sheet makes them, are appended to ordered_ at 16
    /// bytes each; a write to a cell before the last ordered one that is not
    /// among them goes to late_. Texts live end to end in blocks that never
    /// move (an overwritten one stays there unused): neither store is ever
    /// copied whole to grow, which at millions of writes doubled the peak.
    std::deque<Written> ordered_;
    std::unordered_map<uint64_t, Written> late_;
    std::vector<std::string> textBlocks_;
    uint64_t writes_ = 0;
    uint32_t lastWrittenRow_ = 0;
    uint32_t lastWrittenColumn_ = 0;
    mutable std::unordered_map<uint32_t, std::unique_ptr<ColumnIndex>> indexes_;
};

} // namespace orvane
