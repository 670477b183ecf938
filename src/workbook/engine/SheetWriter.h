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

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/engine/Worksheet.h"
#include "workbook/engine/XmlReader.h"

#include <zip.h>

namespace orvane
{

class SheetRewriter
{
  public:
    /// A rewriter of the sheet's part, read front to back from `part` (the
    /// bytes the file holds, the ones `sheet` was parsed from), for the
    /// pending writes of `sheet`, which must be writable. Both must outlive
    /// it and stay unchanged while it runs.
    SheetRewriter(const Worksheet &sheet, XmlSource *part);

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
        enum Kind : uint8_t { Text, Row, NewRows, Dimension };
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
    void appendCellText(std::string_view text, std::string *out);
    const std::string &columnName(uint32_t column);
    void appendRow(uint32_t element, std::string_view xml, std::string *out);
    void appendNewRow(size_t group, std::string *out);
    bool appendSplice(const Splice &splice, std::string *out);
    void fail(std::string why);

    const Worksheet &sheet_;
    PartWindow window_;
    std::string prefix_;
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
    std::vector<std::string> columnNames_;
    bool replacedFormula_ = false;
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
bool replaceSheetEntry(zip_t *archive, zip_int64_t index, const Worksheet &sheet, XmlSource *part,
                       bool *replacedFormula, std::string *detail);

} // namespace orvane
