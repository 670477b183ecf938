#pragma once
// Text as BIFF records store it, turned into UTF-8: UTF-16 and compressed
// (Latin-1) characters of Excel 97 and later, and the 8-bit code page text of
// Excel 5 and 95 workbooks, which name their code page in a CODEPAGE record.

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane
{

/// Appends UTF-16 code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void appendUtf16AsUtf8(std::u16string_view units, std::string *out);

/// Converts 8-bit text of one Windows code page to UTF-8. Bytes the code page
/// does not define become U+FFFD. Unknown code pages are read as Windows-1252,
/// Excel's default for western systems.
class CodepageDecoder
{
  public:
    explicit CodepageDecoder(uint16_t codepage = 1252);
    ~CodepageDecoder();
    CodepageDecoder(const CodepageDecoder &) = delete;
    CodepageDecoder &operator=(const CodepageDecoder &) = delete;

    /// Appends `bytes` converted to UTF-8 to `out`.
    void append(std::string_view bytes, std::string *out);

  private:
    void *handle_ = nullptr; ///< an iconv descriptor, or null to read Latin-1
};

} // namespace orvane
