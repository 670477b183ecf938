#pragma once
// The shared string table of an .xlsx workbook (xl/sharedStrings.xml): every
// string item as the text Excel shows, rich text runs joined, phonetic runs
// left out, OOXML "_xHHHH_" escapes decoded. All texts live in one buffer so
// that a table of a million strings costs two allocations, not a million.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/engine/ZipPackage.h"

namespace orvane
{

class XmlReader;

class SharedStrings
{
  public:
    /// Parses the part's XML. False with `detail` set when it is not well-formed.
    bool parse(std::string_view xml, std::string *detail);
    /// Parses the part as `stream` inflates it, a chunk at a time. False with
    /// `detail` and `why` set as ZipPackage::read() would when the part does
    /// not inflate soundly, otherwise (`why` Damaged) as parse().
    /// `chunk` is the bytes inflated at a time (0: the reader's default).
    bool parse(PartStream *stream, std::string *detail, ZipPackage::ReadError *why, size_t chunk = 0);

    size_t size() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
    /// The text of item `index`; empty text for an index outside the table.
    std::string_view at(size_t index) const
    {
        if (index + 1 >= offsets_.size()) {
            return std::string_view();
        }
        return std::string_view(text_).substr(offsets_[index], offsets_[index + 1] - offsets_[index]);
    }

  private:
    bool parseWith(XmlReader &reader, size_t sizeHint, std::string *detail);

    std::string text_;
    std::vector<uint32_t> offsets_;
};

} // namespace orvane
