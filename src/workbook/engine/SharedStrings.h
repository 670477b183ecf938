#pragma once
// The shared string table of an .xlsx workbook (xl/sharedStrings.xml): every
// string item as the text Excel shows, rich text runs joined, phonetic runs
// left out, OOXML "_xHHHH_" escapes decoded. All texts live in one buffer so
// that a table of a million strings costs two allocations, not a million.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class SharedStrings
{
  public:
    /// Parses the part's XML. False with `detail` set when it is not well-formed.
    bool parse(std::string_view xml, std::string *detail);

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
    std::string text_;
    std::vector<uint32_t> offsets_;
};

} // namespace orvane
