#pragma once
// The record layer of a BIFF5/BIFF8 workbook stream: records one at a time,
// each with the CONTINUE records that carry on its data, and a cursor that
// reads numbers and strings across those pieces. Every read is checked
// against the bytes present, so a cut or damaged record reads as failed,
// never beyond its end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class CodepageDecoder;

namespace biff
{

const uint16_t kFormula = 0x0006;
const uint16_t kEof = 0x000A;
const uint16_t kDateMode = 0x0022;
const uint16_t kFilePass = 0x002F;
const uint16_t kContinue = 0x003C;
const uint16_t kWindow1 = 0x003D;
const uint16_t kCodepage = 0x0042;
const uint16_t kBoundSheet = 0x0085;
const uint16_t kMulRk = 0x00BD;
const uint16_t kMulBlank = 0x00BE;
const uint16_t kRString = 0x00D6;
const uint16_t kXf = 0x00E0;
const uint16_t kSst = 0x00FC;
const uint16_t kLabelSst = 0x00FD;
const uint16_t kBlank = 0x0201;
const uint16_t kNumber = 0x0203;
const uint16_t kLabel = 0x0204;
const uint16_t kBoolErr = 0x0205;
const uint16_t kString = 0x0207;
const uint16_t kRk = 0x027E;
const uint16_t kFormat = 0x041E;
const uint16_t kBof = 0x0809;

} // namespace biff

/// Reads across one record's data and the data of its CONTINUE records.
class BiffCursor
{
  public:
    explicit BiffCursor(const std::vector<std::string_view> &pieces) : pieces_(&pieces) {}

    bool u8(uint8_t *value);
    bool u16(uint16_t *value);
    bool u32(uint32_t *value);
    bool f64(double *value);
    bool skip(uint64_t count);

    /// An Excel 97 string: a character count of `countBytes` (1 or 2) bytes,
    /// an option byte, rich text and phonetic headers when it says so, the
    /// characters (which may go on in the next piece behind a new option
    /// byte) and the rich text and phonetic data, which are skipped.
    bool unicodeString(int countBytes, std::string *utf8);
    /// An Excel 5 string: a count of `countBytes` bytes, then 8-bit text.
    bool byteString(int countBytes, CodepageDecoder &decoder, std::string *utf8);

  private:
    bool take(size_t count, std::string_view *bytes);
    bool characters(size_t count, bool wide, std::u16string *units);

    const std::vector<std::string_view> *pieces_;
    size_t piece_ = 0;
    size_t at_ = 0;
};

/// Walks the records of a workbook stream from a given position.
class BiffStream
{
  public:
    BiffStream(std::string_view stream, size_t from) : stream_(stream), next_(from) {}

    /// Moves to the next record that is not a CONTINUE record; false at the
    /// end of the stream or at a record cut short.
    bool next();
    uint16_t type() const { return type_; }
    /// Where the current record starts in the stream.
    size_t position() const { return position_; }
    /// A cursor at the start of the current record's data.
    BiffCursor cursor() const { return BiffCursor(pieces_); }
    /// The current record's own data, without its CONTINUE records.
    std::string_view data() const { return pieces_.empty() ? std::string_view() : pieces_.front(); }

  private:
    bool header(size_t at, uint16_t *type, std::string_view *data) const;

    std::string_view stream_;
    size_t next_;
    size_t position_ = 0;
    uint16_t type_ = 0;
    std::vector<std::string_view> pieces_;
};

/// Reads a little-endian unsigned number of `bytes` bytes at `at`; the caller checks the size.
uint32_t biffLe(std::string_view data, size_t at, size_t bytes);

} // namespace orvane
