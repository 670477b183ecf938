#pragma once
// A forward-only reader over one XML document held in memory, made for the
// large machine-written parts of a workbook package. It reports start tags,
// end tags and text with their byte offsets, so that a writer can copy the
// untouched spans of a part verbatim and replace only what changed. It checks
// that tags nest and that the document is complete; it never expands
// anything but the five predefined entities and character references, and it
// refuses document type declarations, so no input can make it reach outside
// the buffer or grow without bound. The buffer must outlive the reader and
// every view it hands out.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class XmlReader
{
  public:
    enum Token { StartElement, EndElement, Text, EndOfDocument, Malformed };

    explicit XmlReader(std::string_view document);

    /// Advances to the next token and returns it. A self-closing element is
    /// reported as a StartElement followed by an EndElement of zero length.
    /// Comments and processing instructions are skipped. Malformed and
    /// EndOfDocument repeat once reached.
    Token next();
    Token token() const { return token_; }

    /// Qualified and local name of the current StartElement or EndElement.
    std::string_view name() const { return name_; }
    std::string_view localName() const;
    /// The namespace prefix with its colon ("x:"), empty when there is none.
    std::string_view prefix() const;
    /// True for a StartElement written as <name/> and for its EndElement.
    bool selfClosing() const { return selfClosing_; }

    /// Raw content of the current Text token: entity references undecoded,
    /// except for CDATA sections, whose content is returned as is.
    std::string_view rawText() const { return text_; }
    bool isCData() const { return cdata_; }

    /// Finds the attribute of the current StartElement by local name and sets
    /// `raw` to its undecoded value; false when the element has no such attribute.
    bool attribute(std::string_view localName, std::string_view *raw) const;
    /// Same, and also gives the offset of the value's first byte in the document.
    bool attributeOffset(std::string_view localName, std::string_view *raw, size_t *offset) const;

    /// Same, and gives the whole attribute as [begin, end): from the white
    /// space before its name through its closing quote, so that removing that
    /// span leaves a well-formed tag.
    bool attributeSpan(std::string_view localName, size_t *begin, size_t *end) const;

    /// Offsets of the current token in the document: [begin, end).
    size_t begin() const { return begin_; }
    size_t end() const { return pos_; }
    /// Number of elements open after the current token (the root's children are at depth 1
    /// while the root's StartElement has depth 0 before it and 1 after).
    int depth() const { return static_cast<int>(open_.size()); }

    /// After a StartElement: moves to its matching EndElement. False if the document is malformed.
    bool skipElement();
    /// After a StartElement whose content is plain text directly followed by
    /// its end tag (the common <v>12</v>): sets `raw` to that text, undecoded,
    /// and moves to the EndElement. False, moving nothing, for any other content.
    bool readTextOnly(std::string_view *raw);
    /// After a StartElement: appends the decoded text of all descendant text
    /// nodes to `out` and moves to its EndElement. False if malformed.
    bool readElementText(std::string *out);

    /// Offset near which the document stopped being well-formed, and why.
    size_t errorOffset() const { return errorOffset_; }
    const std::string &errorText() const { return error_; }

  private:
    struct Attribute {
        std::string_view local; ///< name without prefix; empty for namespace declarations
        std::string_view value;
        size_t spaceBegin; ///< offset of the white space before the attribute's name
    };

    Token fail(const char *why);
    Token readMarkup();
    Token readStartTag();
    Token readEndTag();
    Token readText();
    bool skipUntil(std::string_view terminator);

    std::string_view doc_;
    size_t pos_ = 0;
    size_t begin_ = 0;
    Token token_ = Text;
    std::string_view name_;
    std::string_view text_;
    bool cdata_ = false;
    bool selfClosing_ = false;
    bool pendingEnd_ = false;
    bool seenRoot_ = false;
    std::vector<Attribute> attributes_;
    std::vector<std::string_view> open_;
    size_t errorOffset_ = 0;
    std::string error_;
};

/// True when `document` reads as one well-formed element; otherwise false
/// with `why` set to the reason and the byte offset.
bool isWellFormed(std::string_view document, std::string *why);

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
