#include "workbook/engine/BiffRecords.h"

#include "workbook/engine/BiffText.h"

#include <cstring>

namespace orvane
{

uint32_t biffLe(std::string_view data, size_t at, size_t bytes)
{
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) {
        v |= static_cast<uint32_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    }
    return v;
}

bool BiffCursor::take(size_t count, std::string_view *bytes)
{
    // Plain data carries on in the next piece without a marker; an empty
    // piece holds nothing and is passed over.
    while (piece_ < pieces_->size() && at_ >= (*pieces_)[piece_].size()) {
        ++piece_;
        at_ = 0;
    }
    if (piece_ >= pieces_->size()) {
        return false;
    }
    std::string_view piece = (*pieces_)[piece_];
    size_t n = std::min(count, piece.size() - at_);
    *bytes = piece.substr(at_, n);
    at_ += n;
    return true;
}

bool BiffCursor::skip(uint64_t count)
{
    while (count > 0) {
        std::string_view bytes;
        if (!take(count > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(count), &bytes)) {
            return false;
        }
        count -= bytes.size();
    }
    return true;
}

bool BiffCursor::u8(uint8_t *value)
{
    std::string_view b;
    if (!take(1, &b)) {
        return false;
    }
    *value = static_cast<uint8_t>(b[0]);
    return true;
}

bool BiffCursor::u16(uint16_t *value)
{
    uint8_t lo = 0, hi = 0;
    if (!u8(&lo) || !u8(&hi)) {
        return false;
    }
    *value = static_cast<uint16_t>(lo | (hi << 8));
    return true;
}

bool BiffCursor::u32(uint32_t *value)
{
    uint16_t lo = 0, hi = 0;
    if (!u16(&lo) || !u16(&hi)) {
        return false;
    }
    *value = lo | (static_cast<uint32_t>(hi) << 16);
    return true;
}

bool BiffCursor::f64(double *value)
{
    uint32_t lo = 0, hi = 0;
    if (!u32(&lo) || !u32(&hi)) {
        return false;
    }
    uint64_t bits = lo | (static_cast<uint64_t>(hi) << 32);
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

bool BiffCursor::characters(size_t count, bool wide, std::u16string *units)
{
    while (count > 0) {
        if (piece_ >= pieces_->size()) {
            return false;
        }
        std::string_view piece = (*pieces_)[piece_];
        if (at_ >= piece.size()) {
            // Characters that go on in the next piece start it with a new
            // option byte, which says whether they are compressed from there on.
            if (++piece_ >= pieces_->size() || (*pieces_)[piece_].empty()) {
                return false;
            }
            at_ = 1;
            wide = ((*pieces_)[piece_][0] & 0x01) != 0;
            continue;
        }
        size_t width = wide ? 2 : 1;
        size_t n = std::min(count, (piece.size() - at_) / width);
        if (n == 0) {
            return false; // half a character at the end of a piece
        }
        for (size_t i = 0; i < n; ++i) {
            units->push_back(static_cast<char16_t>(wide ? biffLe(piece, at_ + 2 * i, 2)
                                                        : static_cast<unsigned char>(piece[at_ + i])));
        }
        at_ += n * width;
        count -= n;
    }
    return true;
}

bool BiffCursor::unicodeString(int countBytes, std::string *utf8)
{
    uint8_t shortCount = 0, flags = 0;
    uint16_t count = 0, runs = 0;
    uint32_t phonetic = 0;
    bool ok = countBytes == 1 ? u8(&shortCount) : u16(&count);
    if (countBytes == 1) {
        count = shortCount;
    }
    if (!ok || !u8(&flags) || ((flags & 0x08) && !u16(&runs)) || ((flags & 0x04) && !u32(&phonetic))) {
        return false;
    }
    std::u16string units;
    if (!characters(count, (flags & 0x01) != 0, &units)) {
        return false;
    }
    appendUtf16AsUtf8(units, utf8);
    // Formatting runs and phonetic data follow the text; what is missing of
    // them at the very end does not take away the text read.
    if (!skip(4u * runs) || !skip(phonetic)) {
        piece_ = pieces_->size();
    }
    return true;
}

bool BiffCursor::byteString(int countBytes, CodepageDecoder &decoder, std::string *utf8)
{
    uint8_t shortCount = 0;
    uint16_t count = 0;
    bool ok = countBytes == 1 ? u8(&shortCount) : u16(&count);
    if (!ok) {
        return false;
    }
    size_t left = countBytes == 1 ? shortCount : count;
    std::string bytes;
    while (left > 0) {
        std::string_view part;
        if (!take(left, &part)) {
            return false;
        }
        bytes.append(part);
        left -= part.size();
    }
    decoder.append(bytes, utf8);
    return true;
}

bool BiffStream::header(size_t at, uint16_t *type, std::string_view *data) const
{
    if (at > stream_.size() || stream_.size() - at < 4) {
        return false;
    }
    *type = static_cast<uint16_t>(biffLe(stream_, at, 2));
    size_t length = biffLe(stream_, at + 2, 2);
    if (stream_.size() - at - 4 < length) {
        return false;
    }
    *data = stream_.substr(at + 4, length);
    return true;
}

bool BiffStream::next()
{
    pieces_.clear();
    uint16_t type = 0;
    std::string_view data;
    do {
        if (!header(next_, &type, &data)) {
            return false;
        }
        position_ = next_;
        next_ += 4 + data.size();
    } while (type == biff::kContinue);
    type_ = type;
    pieces_.push_back(data);
    while (header(next_, &type, &data) && type == biff::kContinue) {
        pieces_.push_back(data);
        next_ += 4 + data.size();
    }
    return true;
}

} // namespace orvane
