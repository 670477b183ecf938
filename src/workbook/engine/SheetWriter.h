#pragma once
// Produces the new XML of an .xlsx worksheet part after cells were written:
// every row without a written cell, and every cell not written, is copied
// byte for byte; written cells become inline-string cells that keep their
// cell format; rows are created where needed in row order; the sheet's
// dimension grows to cover new cells. The shared string table is never
// touched, so no other part changes.

#include <string>

namespace orvane
{

class Worksheet;

struct SheetRewrite {
    std::string xml;
    /// True when a written cell held a formula, so the calculation chain
    /// part, which lists formula cells, no longer matches the sheet.
    bool replacedFormula = false;
};

/// Builds the new part for the pending writes of `sheet`, which must be
/// writable (have a part). Without pending writes the result is the part unchanged.
SheetRewrite rewriteWorksheetPart(const Worksheet &sheet);

} // namespace orvane
