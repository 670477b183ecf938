#pragma once
// Test helpers: a parsed command written out as text, with each used slot,
// its VARTYPE and value: "Find[16:VT_I1 1, 19:VT_BSTR x] \ Row".

#include "automation/CommandParser.h"

namespace orvane::test
{

/// Describes `parsed` as above; values as text (VARIANT_LOCALBOOL), VT_ERROR as hex.
QString describeParsed(const ParsedCommand &parsed);
/// Parses `command` and describes it, or gives the failure as "0x........".
QString parseToText(const QString &command);

} // namespace orvane::test
