#include "workbook/engine/CsvReader.h"

#include <array>
#include <cstdint>

namespace orvane
{

namespace
{

void appendUtf8(char32_t code, std::string *out)
{
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at `pos` (no overlongs, no
// surrogates, nothing above U+10FFFF); 0 when there is none.
size_t utf8SequenceAt(std::string_view text, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || pos + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F)) {
        return 0;
    }
    return length;
}

bool isUtf8(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = utf8SequenceAt(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

// Windows-1252 differs from Latin-1 only in 0x80-0x9F; its five unassigned
// bytes read as the C1 controls of the same value, as Windows maps them.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string fromWindows1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : char32_t(b), &out);
    }
    return out;
}

// UTF-16 after its byte order mark; an unpaired surrogate becomes U+FFFD and
// an odd last byte is dropped.
std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const auto unitAt = [&](size_t i) -> char16_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a);
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            const char16_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (low - 0xDC00), &out);
                i += 2;
                continue;
            }
        }
        appendUtf8(unit >= 0xD800 && unit < 0xE000 ? char32_t(0xFFFD) : char32_t(unit), &out);
    }
    return out;
}

/// Walks the records of CSV text, handing out one field at a time.
class FieldScanner
{
  public:
    FieldScanner(std::string_view text, char delimiter) : text_(text), delimiter_(delimiter) {}

    /// Reads the next field into `field` (unquoted, quotes undoubled). False
    /// at the end of the text. `endsRecord` tells whether a record ends after it.
    bool next(std::string *field, bool *endsRecord)
    {
        if (pos_ >= text_.size() && !pendingEmpty_) {
            return false;
        }
        pendingEmpty_ = false;
        field->clear();
        bool quoted = pos_ < text_.size() && text_[pos_] == '"';
        if (quoted) {
            ++pos_;
        }
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (quoted) {
                if (c == '"') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                        field->push_back('"');
                        pos_ += 2;
                        continue;
                    }
                    quoted = false; // text after the closing quote joins the field, as spreadsheets read it
                    ++pos_;
                    continue;
                }
                field->push_back(c);
                ++pos_;
                continue;
            }
            if (c == delimiter_) {
                ++pos_;
                *endsRecord = false;
                pendingEmpty_ = pos_ >= text_.size(); // "a," ends with an empty field
                return true;
            }
            if (c == '\n' || c == '\r') {
                pos_ += c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n' ? 2 : 1;
                *endsRecord = true;
                return true;
            }
            field->push_back(c);
            ++pos_;
        }
        *endsRecord = true;
        return true;
    }

  private:
    std::string_view text_;
    char delimiter_;
    size_t pos_ = 0;
    bool pendingEmpty_ = false;
};

} // namespace

std::string decodeCsvText(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        return isUtf8(bytes) ? std::string(bytes) : fromWindows1252(bytes);
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return fromUtf16(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return fromUtf16(bytes.substr(2), true);
    }
    return isUtf8(bytes) ? std::string(bytes) : fromWindows1252(bytes);
}

char detectCsvDelimiter(std::string_view text)
{
    constexpr int kSampleRecords = 20;
    char best = ',';
    long bestScore = 0;
    for (char candidate : {',', ';', '\t'}) {
        FieldScanner scanner(text, candidate);
        std::string field;
        bool endsRecord = false;
        int records = 0, fields = 0, firstCount = 0, agreeing = 0;
        long total = 0;
        while (records < kSampleRecords && scanner.next(&field, &endsRecord)) {
            ++fields;
            if (!endsRecord) {
                continue;
            }
            if (records == 0) {
                firstCount = fields;
            }
            agreeing += fields == firstCount && fields > 1;
            total += fields - 1;
            ++records;
            fields = 0;
        }
        // Records split alike count most; the number of splits breaks ties.
        const long score = long(agreeing) * 1000000 + total;
        if (score > bestScore) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

bool readCsvFields(std::string_view text, char delimiter, Worksheet::Content *out, std::string *detail)
{
    FieldScanner scanner(text, delimiter);
    std::string field;
    bool endsRecord = false;
    uint64_t row = 1;
    uint32_t column = 1;
    while (scanner.next(&field, &endsRecord)) {
        if (!field.empty()) {
            if (row > Worksheet::kMaxRow || column > Worksheet::kMaxColumn) {
                *detail = row > Worksheet::kMaxRow ? "it has more rows than a worksheet holds (1048576)"
                                                   : "it has more columns than a worksheet holds (16384)";
                return false;
            }
            Worksheet::Cell cell;
            cell.row = static_cast<uint32_t>(row);
            cell.column = static_cast<uint16_t>(column);
            cell.type = Worksheet::CellType::Text;
            cell.text.offset = static_cast<uint32_t>(out->text.size());
            cell.text.length = static_cast<uint32_t>(field.size());
            out->text.append(field);
            out->cells.push_back(cell);
        }
        if (endsRecord) {
            ++row;
            column = 1;
        } else if (column <= Worksheet::kMaxColumn) {
            ++column;
        }
    }
    return true;
}

bool readCsvWorkbook(std::string_view bytes, char delimiter, Worksheet::Content *out, std::string *detail)
{
    const std::string text = decodeCsvText(bytes);
    if (text.size() > UINT32_MAX) {
        *detail = "it holds more text than can be read";
        return false;
    }
    return readCsvFields(text, delimiter ? delimiter : detectCsvDelimiter(text), out, detail);
}

} // namespace orvane
