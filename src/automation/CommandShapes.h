#pragma once
// The command shapes the parser reads in one pass: texts sent once for every
// row or user, whose numbers and texts differ from call to call.

#include "automation/CommandParser.h"

#include <QString>

namespace orvane
{

/// Parses `command` into `*parsed` (emptied by the caller) when it has one of
/// the shapes "Name(n, n)", "Cells(r,c)\Value = 'text'",
/// "ActiveSheet\Columns(n)\Find('text', #optional, #optional, 1)\Row" or
/// "Name('text', ...)" with nothing to decode, into exactly the slots the
/// general parse gives, and returns true; false, with nothing set, for any
/// other text. Engine-internal.
bool parseCommandShape(const QString &command, ParsedCommand *parsed);

} // namespace orvane
