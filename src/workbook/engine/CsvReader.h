#pragma once
// Reads a comma-separated text file (an HR system's export) as a read-only
// worksheet: RFC 4180 quoting (quotes, delimiters and line breaks inside a
// quoted field, a doubled quote for a quote), records ended by CR LF, LF or
// CR, every field a text cell exactly as written (so leading zeros and
// dates stay as the file spells them). The encoding is told by the bytes:
// UTF-8 with or without byte order mark, UTF-16 with byte order mark,
// otherwise Windows-1252. The delimiter is a comma, semicolon or tab, found
// from the first records unless the caller names one.
//
// Memory follows the file: one text buffer and one record per non-empty
// field; a file with more rows or columns than a worksheet holds is refused.

#include "workbook/engine/Worksheet.h"

#include <string>
#include <string_view>

namespace orvane
{

/// Returns `bytes` as UTF-8 by the encoding rules above, without any byte order mark.
std::string decodeCsvText(std::string_view bytes);

/// Returns the delimiter (',', ';' or '\t') that splits the first records of
/// the UTF-8 text `text` most consistently; ',' when none does.
char detectCsvDelimiter(std::string_view text);

/// Fills `out` with the fields of the UTF-8 text `text` split by `delimiter`.
/// A quote left open runs to the end of the text, as spreadsheet programs
/// read it. False with `detail` set when the text holds more rows or columns
/// than a worksheet can.
bool readCsvFields(std::string_view text, char delimiter, Worksheet::Content *out, std::string *detail);

/// Reads the raw file bytes `bytes` into `out` as one sheet, detecting the
/// encoding, and the delimiter when `delimiter` is 0. Same failures as readCsvFields.
bool readCsvWorkbook(std::string_view bytes, char delimiter, Worksheet::Content *out, std::string *detail);

} // namespace orvane
