#pragma once
// Text in and out of XML and OOXML: entity and character-reference decoding,
// escaping for element content and attributes, and the "_xHHHH_" escapes that
// OOXML cell text uses for characters XML 1.0 cannot carry.

#include <string>
#include <string_view>

namespace orvane
{

/// Appends `raw` to `out` with the predefined entities and character
/// references replaced by the characters they stand for (UTF-8). False,
/// leaving `out` partly extended, on an unknown or malformed reference.
bool appendXmlDecoded(std::string_view raw, std::string *out);

/// Appends `text` escaped for use as element content or inside a
/// double-quoted attribute value.
void appendXmlEscaped(std::string_view text, std::string *out);

/// Replaces the OOXML escapes "_xHHHH_" in cell text by the UTF-16 unit they
/// name (as UTF-8), in place.
void decodeOoxmlEscapes(std::string *text);

/// Appends `text` with the characters XML 1.0 cannot carry, and any literal
/// "_xHHHH_", escaped the OOXML way, then XML-escaped, to `out`.
void appendOoxmlText(std::string_view text, std::string *out);

} // namespace orvane
