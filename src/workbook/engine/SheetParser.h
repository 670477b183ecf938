#pragma once
// Reads the XML of one .xlsx worksheet part into a Worksheet: one pass over
// the part with XmlReader, recording each row's and cell's byte span for the
// writer and each cell's value as the automation interface reports it
// (numbers in date formats become dates). The part itself is not kept: a
// save reads it again from the file.

#include "workbook/engine/Worksheet.h"
#include "workbook/engine/ZipPackage.h"

#include <memory>
#include <string>

namespace orvane
{

class SharedStrings;
class StyleTable;

struct SheetParseInput {
    std::string sheetName;
    std::string partName;
    std::string xml;
    std::shared_ptr<const SharedStrings> strings;
    const StyleTable *styles = nullptr;
    bool date1904 = false;
    /// Bytes a streamed parse inflates at a time (0: the reader's default).
    size_t chunk = 0;
};

/// Parses `input.xml` and returns the sheet, writable when the part has a
/// <sheetData> element. Null with `detail` set when the XML is not
/// well-formed or a cell reference lies outside Excel's grid.
std::unique_ptr<Worksheet> parseWorksheetPart(SheetParseInput input, std::string *detail);
/// Same, for the part that `stream` inflates, parsed a chunk at a time as it
/// inflates (`input.xml` unused). Null with `detail` and `why` set as
/// ZipPackage::read() would when the part fails to inflate, is over the bound
/// or is damaged, otherwise (`why` Damaged) as parseWorksheetPart().
std::unique_ptr<Worksheet> parseWorksheetStream(SheetParseInput input, PartStream *stream, std::string *detail,
                                                ZipPackage::ReadError *why);

/// Parses a cell reference ("B12") into row and column; false when it is not
/// one or lies outside Excel's grid.
bool parseCellReference(std::string_view ref, uint32_t *row, uint32_t *column);
/// The column letters of `column` (1 → "A", 27 → "AA").
std::string columnLetters(uint32_t column);

} // namespace orvane
