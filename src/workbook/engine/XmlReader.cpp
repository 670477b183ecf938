#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvane
{

namespace
{

// The classes the tag scans test, one table load per byte instead of a
// chain of compares: the scans of names run over every tag of a part.
enum : uint8_t { kSpace = 1, kNameEnd = 2, kAttributeNameStop = 4 };

constexpr std::array<uint8_t, 256> kClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (const char c : {' ', '\t', '\n', '\r'})
        classes[static_cast<uint8_t>(c)] = kSpace | kNameEnd | kAttributeNameStop;
    for (const char c : {'/', '>', '='})
        classes[static_cast<uint8_t>(c)] = kNameEnd | kAttributeNameStop;
    // An attribute name also stops at a quote, and at a colon, whose place is its local name's start.
    for (const char c : {'"', '\'', ':'})
        classes[static_cast<uint8_t>(c)] = kAttributeNameStop;
    return classes;
}();

inline bool isSpace(char c)
{
    return kClasses[static_cast<uint8_t>(c)] & kSpace;
}

inline bool isNameEnd(char c)
{
    return kClasses[static_cast<uint8_t>(c)] & kNameEnd;
}

// True when `name` stands at `at`: a byte loop, since the names compared
// are a letter or two and a library compare costs more than they do.
inline bool namesAt(const char *at, std::string_view name)
{
    for (const char c : name) {
        if (*at++ != c) {
            return false;
        }
    }
    return true;
}

bool allSpace(std::string_view s)
{
    for (char c : s) {
        if (!isSpace(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

XmlReader::XmlReader(std::string_view document) : doc_(document)
{
    attributes_.reserve(8);
    openStarts_.reserve(16);
}

XmlReader::XmlReader(XmlSource *source, size_t chunk) : source_(source), chunk_(std::max<size_t>(chunk, 1))
{
    attributes_.reserve(8);
    openStarts_.reserve(16);
    buffer_.resize(chunk_);
    doc_ = std::string_view(buffer_.data(), 0);
}

XmlReader::Token XmlReader::fail(const char *why)
{
    if (token_ != Malformed) {
        errorOffset_ = base_ + pos_;
        error_ = why;
    }
    token_ = Malformed;
    return token_;
}

XmlReader::Token XmlReader::starve()
{
    starved_ = true;
    return Malformed;
}

void XmlReader::pushOpen(std::string_view name)
{
    // A plain buffer: an element opens and closes per cell and per value, and
    // std::string's append and resize cost several times the copy.
    if (openUsed_ + name.size() > openNames_.size()) {
        openNames_.resize(std::max(openNames_.size() * 2, openUsed_ + name.size() + 64));
    }
    std::memcpy(openNames_.data() + openUsed_, name.data(), name.size());
    openStarts_.push_back(static_cast<uint32_t>(openUsed_));
    openUsed_ += name.size();
}

void XmlReader::popOpen()
{
    openUsed_ = openStarts_.back();
    openStarts_.pop_back();
}

std::string_view XmlReader::topOpen() const
{
    return std::string_view(openNames_.data() + openStarts_.back(), openUsed_ - openStarts_.back());
}

bool XmlReader::refill()
{
    if (!more()) {
        return false;
    }
    const size_t keep = begin_;
    const size_t kept = doc_.size() - keep;
    const char *oldData = doc_.data();
    const char *oldKeep = oldData + keep, *oldEnd = oldData + doc_.size();
    if (kept > buffer_.size() / 2) {
        // A token over half the buffer: the buffer grows, doubling so that a
        // long token costs a linear number of copies.
        std::string larger(std::max(buffer_.size() * 2, kept + chunk_), '\0');
        std::memcpy(larger.data(), oldKeep, kept);
        buffer_.swap(larger);
    } else if (keep > 0) {
        std::memmove(buffer_.data(), oldKeep, kept);
    }
    char *data = buffer_.data();
    auto rebase = [&](std::string_view &view) {
        if (view.data() >= oldKeep && view.data() + view.size() <= oldEnd) {
            view = std::string_view(data + (view.data() - oldKeep), view.size());
        } else {
            view = std::string_view();
        }
    };
    rebase(name_);
    rebase(text_);
    for (Attribute &a : attributes_) {
        rebase(a.local);
        rebase(a.value);
    }
    base_ += keep;
    pos_ -= keep;
    begin_ = 0;
    const long long n = source_->read(data + kept, buffer_.size() - kept);
    if (n <= 0) {
        sourceDone_ = true;
        sourceFailed_ = n < 0;
    }
    doc_ = std::string_view(data, kept + static_cast<size_t>(std::max(n, 0ll)));
    return n > 0;
}

std::string_view XmlReader::localName() const
{
    size_t colon = name_.find(':');
    return colon == std::string_view::npos ? name_ : name_.substr(colon + 1);
}

std::string_view XmlReader::prefix() const
{
    size_t colon = name_.find(':');
    return colon == std::string_view::npos ? std::string_view() : name_.substr(0, colon + 1);
}

XmlReader::Token XmlReader::next()
{
    for (;;) {
        const Token t = step();
        if (!starved_) {
            return t;
        }
        // The token ran past the buffer: read it again, whole, after a refill.
        starved_ = false;
        pos_ = begin_;
        if (!refill() && sourceFailed_) {
            return fail("the document cannot be read to its end");
        }
    }
}

XmlReader::Token XmlReader::step()
{
    if (token_ == Malformed || token_ == EndOfDocument) {
        return token_;
    }
    if (pendingEnd_) {
        pendingEnd_ = false;
        begin_ = pos_;
        popOpen();
        token_ = EndElement;
        return token_;
    }
    selfClosing_ = false;
    cdata_ = false;
    begin_ = pos_;
    if (pos_ >= doc_.size()) {
        if (more()) {
            return starve();
        }
        if (!openStarts_.empty()) {
            return fail("the document ends inside an element");
        }
        if (!seenRoot_) {
            return fail("the document has no root element");
        }
        token_ = EndOfDocument;
        return token_;
    }
    if (doc_[pos_] == '<') {
        return readMarkup();
    }
    return readText();
}

XmlReader::Token XmlReader::readText()
{
    const char *start = doc_.data() + pos_;
    const void *lt = std::memchr(start, '<', doc_.size() - pos_);
    if (!lt && more()) {
        return starve();
    }
    size_t stop = lt ? static_cast<size_t>(static_cast<const char *>(lt) - doc_.data()) : doc_.size();
    text_ = doc_.substr(pos_, stop - pos_);
    pos_ = stop;
    if (openStarts_.empty() && !allSpace(text_)) {
        return fail("text outside the root element");
    }
    token_ = Text;
    return token_;
}

bool XmlReader::skipUntil(std::string_view terminator)
{
    size_t at = doc_.find(terminator, pos_);
    if (at == std::string_view::npos) {
        return false;
    }
    pos_ = at + terminator.size();
    return true;
}

XmlReader::Token XmlReader::readMarkup()
{
    std::string_view rest = doc_.substr(pos_);
    // Enough of the markup to tell its kind ("<![CDATA[" is the longest).
    if (rest.size() < 9 && more()) {
        return starve();
    }
    if (rest.size() >= 2 && rest[1] == '/') {
        return readEndTag();
    }
    if (rest.size() >= 2 && rest[1] == '?') {
        pos_ += 2;
        if (!skipUntil("?>")) {
            return more() ? starve() : fail("unterminated processing instruction");
        }
        return next();
    }
    if (rest.starts_with("<!--")) {
        pos_ += 4;
        if (!skipUntil("-->")) {
            return more() ? starve() : fail("unterminated comment");
        }
        return next();
    }
    if (rest.starts_with("<![CDATA[")) {
        if (openStarts_.empty()) {
            return fail("CDATA outside the root element");
        }
        size_t start = pos_ + 9;
        pos_ = start;
        if (!skipUntil("]]>")) {
            return more() ? starve() : fail("unterminated CDATA section");
        }
        text_ = doc_.substr(start, pos_ - 3 - start);
        cdata_ = true;
        token_ = Text;
        return token_;
    }
    if (rest.size() >= 2 && rest[1] == '!') {
        return fail("document type declarations are not allowed");
    }
    return readStartTag();
}

XmlReader::Token XmlReader::readStartTag()
{
    if (openStarts_.empty() && seenRoot_) {
        return fail("a second root element");
    }
    size_t i = pos_ + 1;
    const size_t n = doc_.size();
    size_t nameStart = i;
    while (i < n && !isNameEnd(doc_[i])) {
        ++i;
    }
    if (i >= n && more()) {
        return starve();
    }
    if (i == nameStart || i >= n) {
        return fail("malformed start tag");
    }
    name_ = doc_.substr(nameStart, i - nameStart);
    attributes_.clear();
    for (;;) {
        const size_t spaceBegin = i;
        while (i < n && isSpace(doc_[i])) {
            ++i;
        }
        if (i >= n) {
            return more() ? starve() : fail("unterminated start tag");
        }
        char c = doc_[i];
        if (c == '>') {
            ++i;
            break;
        }
        if (c == '/') {
            if (i + 1 >= n && more()) {
                return starve();
            }
            if (i + 1 >= n || doc_[i + 1] != '>') {
                return fail("malformed empty-element tag");
            }
            i += 2;
            selfClosing_ = true;
            break;
        }
        if (i == spaceBegin) {
            return fail("attributes without white space between them");
        }
        size_t attrStart = i, localStart = i;
        for (;;) {
            while (i < n && !(kClasses[static_cast<uint8_t>(doc_[i])] & kAttributeNameStop)) {
                ++i;
            }
            if (i >= n || doc_[i] != ':') {
                break;
            }
            localStart = ++i;
        }
        std::string_view attrName = doc_.substr(attrStart, i - attrStart);
        std::string_view local = doc_.substr(localStart, i - localStart);
        // Namespace declarations are not attributes of the element's content.
        if (attrName == "xmlns" || (localStart > attrStart && attrName.starts_with("xmlns:"))) {
            local = std::string_view();
        }
        while (i < n && isSpace(doc_[i])) {
            ++i;
        }
        if (i >= n && more()) {
            return starve();
        }
        if (attrName.empty() || i >= n || doc_[i] != '=') {
            return fail("malformed attribute");
        }
        ++i;
        while (i < n && isSpace(doc_[i])) {
            ++i;
        }
        if (i >= n && more()) {
            return starve();
        }
        if (i >= n || (doc_[i] != '"' && doc_[i] != '\'')) {
            return fail("attribute value without quotes");
        }
        char quote = doc_[i++];
        const void *close = std::memchr(doc_.data() + i, quote, n - i);
        if (!close) {
            return more() ? starve() : fail("unterminated attribute value");
        }
        size_t valueEnd = static_cast<size_t>(static_cast<const char *>(close) - doc_.data());
        attributes_.push_back({local, doc_.substr(i, valueEnd - i), base_ + spaceBegin});
        i = valueEnd + 1;
    }
    pos_ = i;
    seenRoot_ = true;
    pushOpen(name_);
    pendingEnd_ = selfClosing_;
    token_ = StartElement;
    return token_;
}

XmlReader::Token XmlReader::readEndTag()
{
    const size_t n = doc_.size();
    if (!openStarts_.empty()) {
        // Nearly always the tag is "</" and the open element's name and ">":
        // one compare instead of scanning the name, with the same outcome.
        const std::string_view open = topOpen();
        const size_t close = pos_ + 2 + open.size();
        if (close < n && doc_[close] == '>' && namesAt(doc_.data() + pos_ + 2, open)) {
            name_ = doc_.substr(pos_ + 2, open.size());
            popOpen();
            pos_ = close + 1;
            token_ = EndElement;
            return token_;
        }
    }
    size_t i = pos_ + 2;
    size_t nameStart = i;
    while (i < n && !isNameEnd(doc_[i])) {
        ++i;
    }
    std::string_view endName = doc_.substr(nameStart, i - nameStart);
    while (i < n && isSpace(doc_[i])) {
        ++i;
    }
    if (i >= n && more()) {
        return starve();
    }
    if (i >= n || doc_[i] != '>') {
        return fail("malformed end tag");
    }
    if (openStarts_.empty() || topOpen() != endName) {
        return fail("end tag does not match the open element");
    }
    popOpen();
    name_ = endName;
    pos_ = i + 1;
    token_ = EndElement;
    return token_;
}

bool XmlReader::attribute(std::string_view localName, std::string_view *raw) const
{
    size_t offset = 0;
    return attributeOffset(localName, raw, &offset);
}

bool XmlReader::attributeOffset(std::string_view localName, std::string_view *raw, size_t *offset) const
{
    for (const Attribute &a : attributes_) {
        if (a.local == localName && !localName.empty()) {
            *raw = a.value;
            *offset = base_ + static_cast<size_t>(a.value.data() - doc_.data());
            return true;
        }
    }
    return false;
}

bool XmlReader::attributeSpan(std::string_view localName, size_t *begin, size_t *end) const
{
    for (const Attribute &a : attributes_) {
        if (a.local == localName && !localName.empty()) {
            *begin = a.spaceBegin;
            *end = base_ + static_cast<size_t>(a.value.data() - doc_.data()) + a.value.size() +
                   1; // the closing quote
            return true;
        }
    }
    return false;
}

bool isWellFormed(std::string_view document, std::string *why)
{
    XmlReader reader(document);
    for (;;) {
        switch (reader.next()) {
        case XmlReader::EndOfDocument:
            return true;
        case XmlReader::Malformed:
            *why = reader.errorText() + " near byte " + std::to_string(reader.errorOffset());
            return false;
        default:
            break;
        }
    }
}

bool XmlReader::skipElement()
{
    const int target = depth() - 1;
    for (;;) {
        Token t = next();
        if (t == Malformed || t == EndOfDocument) {
            return false;
        }
        if (t == EndElement && depth() == target) {
            return true;
        }
    }
}

bool XmlReader::readTextOnly(std::string_view *raw)
{
    if (token_ != StartElement) {
        return false;
    }
    if (selfClosing_) {
        *raw = std::string_view();
        return next() == EndElement;
    }
    const void *lt = std::memchr(doc_.data() + pos_, '<', doc_.size() - pos_);
    size_t at = lt ? static_cast<size_t>(static_cast<const char *>(lt) - doc_.data()) : doc_.size();
    size_t close = at + 2 + name_.size();
    while (close >= doc_.size() && more()) {
        // The text or its end tag runs past the buffer: refill (keeping this
        // element's start tag) and look again.
        refill();
        lt = std::memchr(doc_.data() + pos_, '<', doc_.size() - pos_);
        at = lt ? static_cast<size_t>(static_cast<const char *>(lt) - doc_.data()) : doc_.size();
        close = at + 2 + name_.size();
    }
    if (close >= doc_.size() || doc_[at + 1] != '/' || doc_[close] != '>' ||
        doc_.compare(at + 2, name_.size(), name_) != 0) {
        return false;
    }
    *raw = doc_.substr(pos_, at - pos_);
    begin_ = at;
    pos_ = close + 1;
    popOpen();
    token_ = EndElement;
    return true;
}

bool XmlReader::readWrappedText(std::initializer_list<std::string_view> wrappers, std::string_view *raw)
{
    if (token_ != StartElement || selfClosing_) {
        return false;
    }
    for (;;) {
        // "<a><b>" ... "</b></a></name>", compared where they must stand; a
        // part that ends too soon is refilled (keeping this start tag) and
        // looked at again.
        size_t at = pos_;
        bool matches = true, complete = true;
        for (const std::string_view w : wrappers) {
            if (at + w.size() + 2 > doc_.size()) {
                complete = false;
                break;
            }
            const char *p = doc_.data() + at;
            if (p[0] != '<' || !namesAt(p + 1, w) || p[1 + w.size()] != '>') {
                matches = false;
                break;
            }
            at += w.size() + 2;
        }
        const void *lt = complete && matches ? std::memchr(doc_.data() + at, '<', doc_.size() - at) : nullptr;
        const size_t textEnd = lt ? static_cast<size_t>(static_cast<const char *>(lt) - doc_.data()) : 0;
        size_t end = textEnd;
        if (lt) {
            for (auto w = std::rbegin(wrappers); w != std::rend(wrappers) && matches; ++w) {
                if (end + w->size() + 3 > doc_.size()) {
                    complete = false;
                    break;
                }
                const char *p = doc_.data() + end;
                matches = p[0] == '<' && p[1] == '/' && namesAt(p + 2, *w) && p[2 + w->size()] == '>';
                end += w->size() + 3;
            }
            if (complete && matches && end + name_.size() + 3 > doc_.size()) {
                complete = false;
            } else if (complete && matches) {
                const char *p = doc_.data() + end;
                matches = p[0] == '<' && p[1] == '/' && namesAt(p + 2, name_) && p[2 + name_.size()] == '>';
            }
        } else if (complete && matches) {
            complete = false;
        }
        if (!matches) {
            return false;
        }
        if (!complete) {
            if (more() && refill()) {
                continue;
            }
            return false;
        }
        *raw = doc_.substr(at, textEnd - at);
        begin_ = end;
        pos_ = end + name_.size() + 3;
        popOpen();
        token_ = EndElement;
        return true;
    }
}

std::string_view XmlReader::ahead() const
{
    if (token_ == Malformed || token_ == EndOfDocument || pendingEnd_) {
        return std::string_view();
    }
    return doc_.substr(pos_);
}

void XmlReader::passElement(size_t nameLength, size_t endTag, size_t length)
{
    name_ = doc_.substr(pos_ + 1, nameLength);
    attributes_.clear();
    selfClosing_ = endTag == length;
    cdata_ = false;
    seenRoot_ = true;
    begin_ = pos_ + endTag;
    pos_ += length;
    token_ = EndElement;
}

bool XmlReader::readElementText(std::string *out)
{
    const int target = depth() - 1;
    for (;;) {
        Token t = next();
        if (t == Malformed || t == EndOfDocument) {
            return false;
        }
        if (t == Text) {
            if (cdata_) {
                out->append(text_);
            } else if (!appendXmlDecoded(text_, out)) {
                return false;
            }
        } else if (t == EndElement && depth() == target) {
            return true;
        }
    }
}

} // namespace orvane
