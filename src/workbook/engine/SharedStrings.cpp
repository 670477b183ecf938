#include "workbook/engine/SharedStrings.h"

#include "workbook/engine/LargePages.h"
#include "workbook/engine/PartXmlSource.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/XmlText.h"

#include <charconv>

namespace orvane
{

namespace
{

bool failWith(const XmlReader &reader, std::string *detail)
{
    *detail = "xl/sharedStrings.xml is not well-formed (" + reader.errorText() + " near byte " +
              std::to_string(reader.errorOffset()) + ")";
    return false;
}

// Appends the text of one <si> item (the reader is on its StartElement) to `out`.
bool readItem(XmlReader &reader, std::string *out)
{
    const int itemDepth = reader.depth();
    for (;;) {
        XmlReader::Token t = reader.next();
        if (t == XmlReader::Malformed || t == XmlReader::EndOfDocument) {
            return false;
        }
        if (t == XmlReader::EndElement && reader.depth() == itemDepth - 1) {
            return true;
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        std::string_view local = reader.localName();
        if (local == "t") {
            std::string_view raw;
            if (reader.readTextOnly(&raw)) {
                if (!appendXmlDecoded(raw, out)) {
                    return false;
                }
            } else if (!reader.readElementText(out)) {
                return false;
            }
        } else if (local != "r" && !reader.skipElement()) {
            // Phonetic runs (rPh), run properties and anything unknown carry no shown text.
            return false;
        }
    }
}

} // namespace

bool SharedStrings::parse(std::string_view xml, std::string *detail)
{
    text_.clear();
    offsets_.clear();
    if (xml.size() > UINT32_MAX) {
        *detail = "xl/sharedStrings.xml is too large";
        return false;
    }
    XmlReader reader(xml);
    return parseWith(reader, xml.size(), detail);
}

bool SharedStrings::parse(PartStream *stream, std::string *detail, ZipPackage::ReadError *why, size_t chunk)
{
    text_.clear();
    offsets_.clear();
    *why = ZipPackage::ReadError::Damaged;
    PartXmlSource source(stream);
    XmlReader reader(&source, chunk > 0 ? chunk : XmlReader::kDefaultChunk);
    if (parseWith(reader, stream->sizeHint(), detail)) {
        *why = ZipPackage::ReadError::None;
        return true;
    }
    // Bad data is reported as a whole read reports it, not as the parse error it caused.
    if (stream->failed() || !stream->drain()) {
        *detail = stream->detail();
        *why = stream->error();
    }
    return false;
}

bool SharedStrings::parseWith(XmlReader &reader, size_t sizeHint, std::string *detail)
{
    // Decoded text is never longer than its XML; half of it was too little for
    // long strings, and each doubling copied the whole table. Pages never
    // written cost no memory.
    text_.reserve(sizeHint);
    preferLargePages(text_.data(), text_.capacity());
    offsets_.push_back(0);
    for (;;) {
        XmlReader::Token t = reader.next();
        if (t == XmlReader::EndOfDocument) {
            return true;
        }
        if (t == XmlReader::Malformed) {
            return failWith(reader, detail);
        }
        if (t != XmlReader::StartElement) {
            continue;
        }
        if (reader.depth() == 1) {
            std::string_view count;
            unsigned long n = 0;
            if (reader.attribute("uniqueCount", &count) &&
                std::from_chars(count.data(), count.data() + count.size(), n).ec == std::errc() &&
                n < (1u << 24)) {
                offsets_.reserve(n + 1);
            }
            continue;
        }
        if (reader.depth() != 2 || reader.localName() != "si") {
            if (!reader.skipElement()) {
                return failWith(reader, detail);
            }
            continue;
        }
        size_t start = text_.size();
        if (!readItem(reader, &text_)) {
            return failWith(reader, detail);
        }
        if (std::string_view(text_).substr(start).find("_x") != std::string_view::npos) {
            std::string item = text_.substr(start);
            decodeOoxmlEscapes(&item);
            text_.resize(start);
            text_.append(item);
        }
        offsets_.push_back(static_cast<uint32_t>(text_.size()));
    }
}

} // namespace orvane
