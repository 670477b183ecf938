#pragma once
// Produces the new XML of an .xlsx worksheet part after cells were written:
// every row without a written cell, and every cell not written, is copied
// byte for byte; written cells become inline-string cells that keep their
// cell format; rows are created where needed in row order; the sheet's
// dimension grows to cover new cells. The shared string table is never
// touched, so no other part changes.
//
// The part is produced piece by piece (SheetRewriter), so that a sheet of a
// million new rows is deflated as it is generated instead of being held
// whole; rewriteWorksheetPart gathers the pieces for callers that want the
// whole text.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/engine/Worksheet.h"

#include <zip.h>

namespace orvane
{

class SheetRewriter
{
  public:
    /// A rewriter of `partXml` (the sheet's part as the file holds it) for
    /// the pending writes of `sheet`, which must be writable. Both must
    /// outlive it and stay unchanged while it runs.
    SheetRewriter(const Worksheet &sheet, std::string_view partXml);

    /// Replaces `out` with the next stretch of the new part (about 256 KB, or
    /// the rest); false, with `out` empty, once the whole part was produced.
    bool next(std::string *out);
    /// Starts the part again from its first byte.
    void restart();
    /// True when a written cell held a formula, so the calculation chain
    /// part, which lists formula cells, no longer matches the sheet.
    bool replacedFormula() const { return replacedFormula_; }
    /// True when the new part is well-formed XML; otherwise false with `why`
    /// set. Reads everything but the rows it creates, which are well-formed
    /// by construction (fixed tags around escaped text). Leaves it at the start.
    bool check(std::string *why);

  private:
    struct Splice {
        enum Kind : uint8_t { Text, Row, NewRows };
        size_t begin;
        size_t end;
        Kind kind;
        std::string text;   ///< Text: what replaces [begin, end)
        uint32_t element;   ///< Row: the index of the rewritten row element
        size_t firstGroup;  ///< NewRows: the created rows [firstGroup, lastGroup)
        size_t lastGroup;
    };

    void takeEdits();
    uint32_t rowElementOf(uint32_t cell) const;
    void placeNewRows();
    void updateDimension();
    void addCell(const Worksheet::Edit &edit, uint32_t style, std::string *out);
    void appendCellText(std::string_view text, std::string *out);
    const std::string &columnName(uint32_t column);
    std::string rowText(uint32_t element);
    void appendNewRow(size_t group, std::string *out);
    void appendSplice(const Splice &splice, std::string *out);

    const Worksheet &sheet_;
    std::string_view xml_;
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
    bool withNewRows_ = true;
    // Where the next stretch starts.
    size_t pos_ = 0;
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
/// which must be writable. Without pending writes the result is the part unchanged.
SheetRewrite rewriteWorksheetPart(const Worksheet &sheet, std::string_view partXml);

/// Replaces entry `index` of `archive` by the new part of `partXml` for the
/// pending writes of `sheet`, deflated at level 6 on worker threads as it is
/// produced, so only the compressed part is held until zip_close writes it.
/// False with `detail` set when the new part would not be well-formed or
/// libzip refuses; `replacedFormula` tells whether a formula cell was written.
bool replaceSheetEntry(zip_t *archive, zip_int64_t index, const Worksheet &sheet, std::string_view partXml,
                       bool *replacedFormula, std::string *detail);

} // namespace orvane
