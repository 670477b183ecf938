#pragma once
// Reads an OpenDocument spreadsheet (.ods, as LibreOffice writes it) as a
// read-only worksheet: the sheet names and the cells of the sheet the
// document's view shows, from the package's content part. Cells carry what
// the spreadsheet holds, so that they show the same texts as the same
// workbook saved as .xlsx: numbers (also percentages and currencies) as
// numbers, dates and times as automation dates, booleans as booleans, text
// with its paragraphs joined by line breaks. Repeated rows and columns are
// expanded only where they hold a value, so a declared run of a million empty
// rows costs nothing; a covered cell of a spanned range takes its column.

#include "workbook/engine/Worksheet.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class ZipPackage;

struct OdsContent {
    std::vector<std::string> sheetNames;
    int activeSheet = 0;
    std::unique_ptr<Worksheet> sheet;
};

/// OverBound: the content part inflates beyond what ZipPackage allows for its size.
enum class OdsOutcome { Ok, NotWorkbook, Damaged, OverBound, Encrypted };

/// Largest number of cells that repetitions may add beyond the cells written
/// out in the file; a sheet that repeats more values is refused as damaged.
inline constexpr size_t kMaxOdsRepeatedCells = size_t(1) << 22;

/// True when the first bytes of a file are those of an OpenDocument package
/// (its uncompressed "mimetype" entry first, as the format asks).
bool hasOdsSignature(std::string_view head);

/// Reads the spreadsheet held by `zip`. On failure returns the reason and sets `detail`.
OdsOutcome readOdsWorkbook(const ZipPackage &zip, OdsContent *out, std::string *detail);

/// Reads the content part's XML `contentXml`, showing the sheet named
/// `activeTable` (the first sheet when empty or unknown). Same failures.
OdsOutcome readOdsContent(std::string_view contentXml, std::string_view activeTable, OdsContent *out,
                          std::string *detail);

} // namespace orvane
