#pragma once
// The workbook globals of a BIFF5/BIFF8 stream, the records before the first
// sheet: the sheets and the one the window shows, the shared strings, the
// code page of 8-bit text, the date system and which cell formats are dates.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

struct BiffSheetEntry {
    std::string name;
    uint32_t offset = 0; ///< where the sheet's BOF record starts in the stream
};

struct BiffGlobals {
    bool biff8 = true; ///< Excel 97 and later; false for Excel 5 and 95
    bool encrypted = false;
    bool date1904 = false;
    uint16_t codepage = 1252;
    int activeTab = 0; ///< as the window record gives it, not yet checked
    std::vector<BiffSheetEntry> sheets;
    std::vector<uint8_t> dateXf; ///< per cell format (XF record): 1 when it shows a date or time
    /// The shared strings as UTF-8, one after the other in `sstText`;
    /// string i is sstText[sstOffsets[i], sstOffsets[i + 1]).
    std::string sstText;
    std::vector<uint32_t> sstOffsets;

    bool isDateXf(uint16_t xf) const { return xf < dateXf.size() && dateXf[xf] != 0; }
    size_t sstCount() const { return sstOffsets.empty() ? 0 : sstOffsets.size() - 1; }
};

enum class BiffGlobalsResult { Ok, NotBiff, Damaged };

/// Reads the globals at the start of `stream`. NotBiff when it does not start
/// with a workbook BOF record of Excel 5 or later; `encrypted` is set (and
/// reading stops) at a FILEPASS record, since what follows is enciphered.
BiffGlobalsResult readBiffGlobals(std::string_view stream, BiffGlobals *out);

} // namespace orvane
