#pragma once
// The part of a workbook's styles (xl/styles.xml) the engine needs: which
// cell formats show their number as a date or time.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class StyleTable
{
  public:
    /// Parses the styles part. False with `detail` set when it is not well-formed.
    bool parse(std::string_view xml, std::string *detail);
    /// True when cell format `xf` (a cell's "s" attribute) formats numbers as dates or times.
    bool isDate(uint32_t xf) const { return xf < dateXf_.size() && dateXf_[xf]; }

  private:
    std::vector<uint8_t> dateXf_;
};

} // namespace orvane
