#pragma once
// Produces the new XML of an .xlsx worksheet part after cells were written:
// every row without a written cell, and every cell not written, is copied
// byte for byte; written cells become inline-string cells that keep their
// cell format; rows are created where needed in row order; the sheet's
// dimension grows to cover new cells. The shared string table is never
// touched, so no other part changes.
//
// The part is produced piece by piece (SheetRewriter) from the old part read
// front to back, so that neither the old part nor the new one is ever held
// whole: a sheet of a million rows is deflated as it is generated.
// rewriteWorksheetPart gathers the pieces for callers that want the whole text.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/engine/Worksheet.h"
#include "workbook/engine/XmlReader.h"

#include <zip.h>

namespace orvane
{

/// The XML of written cells and of created rows, as a save writes them: one
/// generator for the rewriter and for rows prepared ahead of a save.
class WrittenCellXml
{
  public:
    /// For a sheet whose elements carry the namespace `prefix` ("x:" or "").
    explicit WrittenCellXml(std::string prefix) : prefix_(std::move(prefix)) {}
    /// Appends cell (row, column) holding `text` as an inline string with the
    /// format `style` (0: none); nothing for an empty text without a format.
    void appendCell(uint32_t row, uint32_t column, std::string_view text, uint32_t style, std::string *out);
    struct RowMark {
        size_t begin;
        size_t cells;
    };
    /// Appends the start tag of created row `row`; closeRow ends it, or takes
    /// it back when no cell was appended in between.
    RowMark openRow(uint32_t row, std::string *out);
    void closeRow(RowMark mark, std::string *out);

  private:
    const std::string &columnName(uint32_t column);

    std::string prefix_;
    std::vector<std::string> columnNames_;
};

/// New rows deflated ahead of a save (see AppendedRows), and what the save
/// needs to join them to the rest of the part.
struct PreparedRows {
    std::vector<std::string> pieces; ///< raw deflate, each ending on a sync flush
    uint64_t size = 0;               ///< the rows' XML: bytes, CRC-32 and its last 32 KB
    uint32_t crc = 0;
    std::string tail;
    /// The extent of the non-empty writes (bottom 0: none).
    uint32_t top = UINT32_MAX, left = UINT32_MAX, bottom = 0, right = 0;
};

/// The rows an export writes below every row a sheet part holds, made into
/// the part's XML and deflated on a thread of its own while the writes go
/// on, so that the save is left with the part's head and tail. Takes the
/// writes as the sheet takes them, in row and column order; from the first
/// write that is not, it takes none and is no longer valid().
class AppendedRows
{
  public:
    /// Rows from `firstRow` on of a sheet whose elements carry `prefix`.
    AppendedRows(std::string prefix, uint32_t firstRow);
    ~AppendedRows();
    AppendedRows(const AppendedRows &) = delete;
    AppendedRows &operator=(const AppendedRows &) = delete;

    /// Takes the write of `text` into (row, column) the sheet has just taken.
    void add(uint32_t row, uint32_t column, std::string_view text);
    bool valid() const { return valid_; }
    /// How many writes it took.
    uint64_t writes() const { return writes_; }
    /// Waits for every row to be deflated; false when one could not be.
    bool finish(PreparedRows *rows);

  private:
    struct Cell {
        uint32_t row;
        uint32_t column;
        uint32_t offset;
        uint32_t length;
    };
    struct Batch {
        std::vector<Cell> cells;
        std::string texts;
    };
    void handOver();
    void work();
    void make(const Batch &batch);
    void deflateStretch();

    WrittenCellXml cellXml_;
    uint32_t firstRow_;
    bool valid_ = true;
    uint64_t writes_ = 0;
    uint64_t lastKey_ = 0;
    Batch batch_; ///< complete rows and the row being written
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::deque<Batch> queue_;
    bool closing_ = false;
    bool dropping_ = false;
    // The worker's side.
    std::string stretch_;
    PreparedRows rows_;
    bool failed_ = false;
    std::thread thread_;
};

class SheetRewriter
{
  public:
    /// A rewriter of the sheet's part, read front to back from `part` (the
    /// bytes the file holds, the ones `sheet` was parsed from), for the
    /// pending writes of `sheet`, which must be writable. Both must outlive
    /// it and stay unchanged while it runs.
    SheetRewriter(const Worksheet &sheet, XmlSource *part);
    /// Same for a sheet whose pending writes are all in `prepared`, rows
    /// below every row the part holds: the new part is the old one with its
    /// dimension grown and a place for those rows, which next() marks.
    SheetRewriter(const Worksheet &sheet, XmlSource *part, const PreparedRows &prepared);
    /// After next(): true when the prepared rows go right after what it gave.
    bool passedPrepared() const { return passedPrepared_; }

    /// Replaces `out` with the next stretch of the new part (about 256 KB, or
    /// the rest); false, with `out` empty, once the whole part was produced
    /// or once it failed.
    bool next(std::string *out);
    /// True when a written cell held a formula, so the calculation chain
    /// part, which lists formula cells, no longer matches the sheet.
    bool replacedFormula() const { return replacedFormula_; }
    /// True once the old part could not be read to its end, or a rewritten
    /// row would not be well-formed; failure() says which.
    bool failed() const { return !failure_.empty(); }
    const std::string &failure() const { return failure_; }

  private:
    /// The old part front to back: holds the bytes from the last position
    /// handed out on, at most a chunk more than one splice needs.
    class PartWindow
    {
      public:
        static constexpr size_t kToEnd = SIZE_MAX;
        explicit PartWindow(XmlSource *source) : source_(source) {}
        /// Appends the bytes up to `until` to `out` (kToEnd: to the part's
        /// end); false when the part cannot be read or ends before `until`.
        bool copyTo(size_t until, std::string *out);
        /// The bytes [position(), end), moved past; valid until the next call.
        bool take(size_t end, std::string_view *bytes);
        size_t position() const { return pos_; }
        bool ended() const { return ended_; }

      private:
        bool pull();

        XmlSource *source_;
        std::string buffer_;
        size_t base_ = 0; ///< the part offset of buffer_[0]
        size_t pos_ = 0;
        bool ended_ = false;
    };

    struct Splice {
        enum Kind : uint8_t { Text, Row, NewRows, Dimension, Prepared };
        size_t begin;
        size_t end;
        Kind kind;
        std::string text;   ///< Text: what replaces [begin, end); Dimension: the ref over [begin, end)
        uint32_t element;   ///< Row: the index of the rewritten row element
        size_t firstGroup;  ///< NewRows: the created rows [firstGroup, lastGroup)
        size_t lastGroup;
    };

    void takeEdits();
    uint32_t rowElementOf(uint32_t cell) const;
    void placeNewRows();
    void addDimension();
    std::string grownDimension(std::string_view ref) const;
    void addCell(const Worksheet::Edit &edit, uint32_t style, std::string *out);
    void appendRow(uint32_t element, std::string_view xml, std::string *out);
    void appendNewRow(size_t group, std::string *out);
    bool appendSplice(const Splice &splice, std::string *out);
    void fail(std::string why);

    const Worksheet &sheet_;
    PartWindow window_;
    std::string prefix_;
    WrittenCellXml cellXml_;
    /// A written cell of a row the part does not hold, in 16 bytes (a sheet
    /// filled by an export has millions); its text stays in the sheet.
    struct NewCell {
        const char *text;
        uint32_t length;
        uint32_t column;
    };
    /// A created row: its number and where its cells begin in newCells_.
    struct NewRow {
        uint32_t row;
        uint32_t firstCell;
    };

    /// Edits of rows the part holds, and by row element.
    std::vector<Worksheet::Edit> placed_;
    std::map<uint32_t, std::vector<const Worksheet::Edit *>> byElement_;
    /// The created rows in order, then one more whose firstCell ends the last.
    std::vector<NewRow> newRows_;
    std::vector<NewCell> newCells_;
    /// The extent of the non-empty writes (grownBottom_ 0: none).
    uint32_t grownTop_ = UINT32_MAX, grownLeft_ = UINT32_MAX, grownBottom_ = 0, grownRight_ = 0;
    std::vector<Splice> splices_;
    bool replacedFormula_ = false;
    bool passedPrepared_ = false;
    std::string failure_;
    // Where the next stretch starts (the window says where in the old part).
    size_t splice_ = 0;
    size_t group_ = 0;
    bool inGroups_ = false;
};

struct SheetRewrite {
    std::string xml;
    /// See SheetRewriter::replacedFormula.
    bool replacedFormula = false;
};

/// Builds the whole new part of `partXml` for the pending writes of `sheet`,
/// which must be writable. Without pending writes the result is the part
/// unchanged; `xml` is empty when a rewritten row would not be well-formed.
SheetRewrite rewriteWorksheetPart(const Worksheet &sheet, std::string_view partXml);

/// Replaces entry `index` of `archive` by the new part for the pending writes
/// of `sheet`, rewritten from the old part as `part` gives it front to back
/// and deflated on worker threads as it is produced, so only the compressed
/// part is held until zip_close writes it. False with `detail` set when the
/// old part cannot be read to its end, a rewritten row would not be
/// well-formed or libzip refuses; `replacedFormula` tells whether a formula
/// cell was written.
/// With `prepared` (all of the sheet's pending writes, see AppendedRows) the
/// new part is the old one around those rows.
bool replaceSheetEntry(zip_t *archive, zip_int64_t index, const Worksheet &sheet, XmlSource *part,
                       bool *replacedFormula, std::string *detail, PreparedRows *prepared = nullptr);

} // namespace orvane
