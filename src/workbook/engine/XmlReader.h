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
//
// A reader can also pull its document from an XmlSource a chunk at a time,
// holding only the current token and what follows it in its buffer: offsets
// stay those of the whole document, but views (names, attribute values,
// texts) are then valid only until the reader moves on.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

/// Where a streamed XmlReader takes its document from, front to back.
class XmlSource
{
  public:
    virtual ~XmlSource() = default;
    /// Copies up to `room` (never 0) further bytes of the document to `into`:
    /// the count, 0 at the document's end, -1 when it cannot be read.
    virtual long long read(char *into, size_t room) = 0;
};

class XmlReader
{
  public:
    enum Token { StartElement, EndElement, Text, EndOfDocument, Malformed };

    explicit XmlReader(std::string_view document);
    /// A reader that pulls `source` in chunks of `chunk` bytes; its buffer
    /// grows beyond that only for a single token longer than a chunk.
    explicit XmlReader(XmlSource *source, size_t chunk = kDefaultChunk);
    static constexpr size_t kDefaultChunk = 256 * 1024;
    /// True when the source failed to give its data (the reader then reads as Malformed).
    bool sourceFailed() const { return sourceFailed_; }

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
    /// The attributes of the current StartElement in document order: their
    /// count, and the local name (empty for a namespace declaration) and
    /// undecoded value of attribute `i`.
    size_t attributeCount() const { return attributes_.size(); }
    std::string_view attributeLocalName(size_t i) const { return attributes_[i].local; }
    std::string_view attributeValue(size_t i) const { return attributes_[i].value; }

    /// Offsets of the current token in the document: [begin, end).
    size_t begin() const { return base_ + begin_; }
    size_t end() const { return base_ + pos_; }
    /// Number of elements open after the current token (the root's children are at depth 1
    /// while the root's StartElement has depth 0 before it and 1 after).
    int depth() const { return static_cast<int>(openStarts_.size()); }

    /// After a StartElement: moves to its matching EndElement. False if the document is malformed.
    bool skipElement();
    /// After a StartElement whose content is plain text directly followed by
    /// its end tag (the common <v>12</v>): sets `raw` to that text, undecoded,
    /// and moves to the EndElement. False, moving nothing, for any other content.
    bool readTextOnly(std::string_view *raw);
    /// After a StartElement whose whole content is plain text wrapped in the
    /// elements `wrappers`, outermost first, each written without attributes,
    /// prefix or white space (a cell's <v>12</v> or <is><t>text</t></is>):
    /// sets `raw` to that text, undecoded, and moves to the current element's
    /// EndElement, as reading each token would. False, moving nothing, for
    /// any other content.
    bool readWrappedText(std::initializer_list<std::string_view> wrappers, std::string_view *raw);
    /// After a StartElement: appends the decoded text of all descendant text
    /// nodes to `out` and moves to its EndElement. False if malformed.
    bool readElementText(std::string *out);

    /// The document from the end of the current token on, as far as the
    /// buffer holds it (valid until the reader moves); empty after
    /// Malformed or EndOfDocument and while a self-closing element's
    /// EndElement is still to come. It lets a caller read a run of markup it
    /// knows the spelling of without tokenizing it.
    std::string_view ahead() const;
    /// Moves over the first `length` bytes of ahead(), which the caller has
    /// found to be one whole element that next() would read as well-formed:
    /// its name is the `nameLength` bytes after its '<', and its end tag
    /// begins at `endTag` (== `length` for an element written <name/>). The
    /// reader is then at that element's EndElement, as reading its tokens
    /// one by one would leave it, without its attributes.
    void passElement(size_t nameLength, size_t endTag, size_t length);

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
    /// Gives up on the token being read because the buffer ended before it
    /// did; next() then refills and reads it again.
    Token starve();
    /// True while the source may give more than the buffer holds.
    bool more() const { return source_ && !sourceDone_; }
    /// Keeps the buffer from the current token's start on, pulls the next
    /// chunk behind it and moves the current token's views along; false at
    /// the source's end or failure.
    bool refill();
    Token step();
    void pushOpen(std::string_view name);
    void popOpen();
    std::string_view topOpen() const;
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
    /// The open elements' names, end to end, and where each begins: owned,
    /// since a streamed buffer drops the tags they came from.
    std::vector<char> openNames_;
    size_t openUsed_ = 0;
    std::vector<uint32_t> openStarts_;
    XmlSource *source_ = nullptr;
    std::string buffer_; ///< a streamed reader's window on the document
    size_t chunk_ = 0;
    size_t base_ = 0; ///< document offset of doc_[0]
    bool sourceDone_ = false;
    bool sourceFailed_ = false;
    bool starved_ = false;
    size_t errorOffset_ = 0;
    std::string error_;
};

/// True when `document` reads as one well-formed element; otherwise false
/// with `why` set to the reason and the byte offset.
bool isWellFormed(std::string_view document, std::string *why);

} // namespace orvane
