#pragma once
// The cells of one sheet of a BIFF5/BIFF8 workbook stream, as the values
// Excel shows: numbers (dates by their cell format), text from the shared
// strings or the cell itself, booleans, errors, formatted blank cells, and
// the cached results of formulas.

#include "workbook/engine/Worksheet.h"

#include <string_view>

namespace orvane
{

struct BiffGlobals;

enum class BiffSheetResult { Ok, NoSheet, TooLarge };

/// Reads the sheet whose BOF record starts at `offset` into `content`, taking
/// the shared strings out of `globals` into `content->text`. NoSheet when no
/// sheet starts there; TooLarge when its text outgrows what a sheet can hold.
BiffSheetResult readBiffSheet(std::string_view stream, uint32_t offset, BiffGlobals *globals,
                              Worksheet::Content *content);

/// The literal Excel shows for a BIFF error code ("#DIV/0!"); "#N/A" for unknown codes.
const char *biffErrorLiteral(unsigned code);

} // namespace orvane
