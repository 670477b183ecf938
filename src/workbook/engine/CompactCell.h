#pragma once
// A worksheet cell written the way nearly every writer writes it, read from
// the bytes in one scan instead of token by token: <c r="A1" s="2" t="s">
// with its attributes in any order and nothing but <v>text</v>,
// <is><t>text</t></is> or no content inside, or <c .../>. Any other
// spelling is left to the tokenizing parse, which reads these the same way.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane
{

/// The tags the scan knows, spelt with the sheet's namespace prefix ("c" or "x:c").
struct CompactCellNames {
    explicit CompactCellNames(std::string_view prefix = {});
    std::string cell;        ///< the cell's name
    std::string openValue;   ///< "<v>"
    std::string openInline;  ///< "<is><t>"
    std::string closeValue;  ///< "</v>"
    std::string closeInline; ///< "</t></is>"
    std::string closeCell;   ///< "</c>"
};

/// What the scan found of one cell; views into the scanned bytes.
struct CompactCell {
    enum class Content : unsigned char { None, Value, InlineText };
    /// The first r, s and t attribute (unprefixed), where the cell has one.
    std::string_view reference, style, type;
    bool hasReference = false, hasStyle = false, hasType = false;
    Content content = Content::None;
    std::string_view raw; ///< the <v>'s or the inline <t>'s text, undecoded
    size_t endTag = 0;    ///< where the cell's end tag begins; == length for <c .../>
    size_t length = 0;    ///< the whole element's bytes
};

/// Reads the cell element that `xml` begins with when it is written in the
/// compact way the header describes and lies whole in `xml`; false, with
/// `cell` unspecified, otherwise. Whatever it accepts, the tokenizing reader
/// would read as a well-formed element with the same attributes and text.
bool scanCompactCell(std::string_view xml, const CompactCellNames &names, CompactCell *cell);

} // namespace orvane
