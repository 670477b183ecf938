#include "workbook/engine/CompactCell.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace orvane
{

namespace
{

inline bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The bytes an attribute name of the compact form may hold: fewer than a
// name may, so that a prefix, a quote or anything unusual goes the long way.
inline bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
}

// `tag` at *p (not past `end`), which then moves past it.
inline bool take(const char **p, const char *end, std::string_view tag)
{
    if (static_cast<size_t>(end - *p) < tag.size() || std::memcmp(*p, tag.data(), tag.size()) != 0)
        return false;
    *p += tag.size();
    return true;
}

// The first `c` in [p, end), or `end`: eight bytes at a time (a byte equal
// to `c` is a zero byte of the word XORed with it), since a call to memchr
// costs more than the few letters of a value.
inline const char *findByte(const char *p, const char *end, char c)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
        const uint64_t pattern = kOnes * static_cast<unsigned char>(c);
        while (end - p >= 8) {
            uint64_t word = 0;
            std::memcpy(&word, p, 8);
            const uint64_t x = word ^ pattern;
            // The lowest flagged byte is the first match; flags above it may be false.
            const uint64_t found = (x - kOnes) & ~x & kHighs;
            if (found)
                return p + (std::countr_zero(found) >> 3);
            p += 8;
        }
    }
    while (p < end && *p != c)
        ++p;
    return p;
}

void keepFirst(CompactCell *cell, char name, std::string_view value)
{
    const auto take = [&](bool *seen, std::string_view *slot) {
        if (!*seen) {
            *seen = true;
            *slot = value;
        }
    };
    if (name == 'r')
        take(&cell->hasReference, &cell->reference);
    else if (name == 's')
        take(&cell->hasStyle, &cell->style);
    else if (name == 't')
        take(&cell->hasType, &cell->type);
}

// The attributes after the cell's name, through the start tag's '>' or "/>";
// *at is then past it. False for any spelling the compact form does not take.
bool scanAttributes(const char **at, const char *end, CompactCell *cell, bool *selfClosing)
{
    const char *p = *at;
    for (;;) {
        const char *spaceBegin = p;
        while (p < end && isSpaceByte(*p))
            ++p;
        if (p >= end)
            return false;
        if (*p == '>' || *p == '/') {
            *selfClosing = *p == '/';
            if (*selfClosing && (p + 1 >= end || p[1] != '>'))
                return false;
            *at = p + (*selfClosing ? 2 : 1);
            return true;
        }
        // Attributes run together, or the element's name goes on ("<cx").
        if (p == spaceBegin)
            return false;
        const char *name = p;
        // r, s and t, the names nearly every cell carries, without the loop.
        if (end - p > 2 && p[1] == '=' && isNameByte(*p)) {
            ++p;
        } else {
            while (p < end && isNameByte(*p))
                ++p;
        }
        if (p == name || p + 1 >= end || *p != '=' || (p[1] != '"' && p[1] != '\''))
            return false;
        const size_t nameLength = static_cast<size_t>(p - name);
        const char quote = p[1];
        const char *value = p + 2;
        p = findByte(value, end, quote);
        if (p >= end)
            return false;
        if (nameLength == 1)
            keepFirst(cell, *name, std::string_view(value, static_cast<size_t>(p - value)));
        ++p;
    }
}

} // namespace

CompactCellNames::CompactCellNames(std::string_view prefix)
{
    const std::string p(prefix);
    cell = p + "c";
    openValue = "<" + p + "v>";
    openInline = "<" + p + "is><" + p + "t>";
    closeValue = "</" + p + "v>";
    closeInline = "</" + p + "t></" + p + "is>";
    closeCell = "</" + cell + ">";
}

namespace
{

// The tags of a sheet without a prefix, as constants: their compares then
// take a load or two each instead of a library call.
struct PlainTags {
    static constexpr std::string_view cell = "c", openValue = "<v>", openInline = "<is><t>",
                                      closeValue = "</v>", closeInline = "</t></is>", closeCell = "</c>";
};

struct PrefixedTags {
    explicit PrefixedTags(const CompactCellNames &names)
        : cell(names.cell), openValue(names.openValue), openInline(names.openInline),
          closeValue(names.closeValue), closeInline(names.closeInline), closeCell(names.closeCell)
    {
    }
    std::string_view cell, openValue, openInline, closeValue, closeInline, closeCell;
};

template <typename Tags> bool scanWith(std::string_view xml, const Tags &names, CompactCell *cell)
{
    const char *const begin = xml.data();
    const char *const end = begin + xml.size();
    if (xml.size() < names.cell.size() + 3 || xml[0] != '<')
        return false;
    const char *p = begin + 1;
    if (!take(&p, end, names.cell))
        return false;
    bool selfClosing = false;
    if (!scanAttributes(&p, end, cell, &selfClosing))
        return false;
    if (selfClosing) {
        cell->endTag = cell->length = static_cast<size_t>(p - begin);
        return true;
    }
    const char *contentBegin = p;
    if (take(&p, end, names.closeCell)) {
        cell->endTag = static_cast<size_t>(contentBegin - begin);
        cell->length = static_cast<size_t>(p - begin);
        return true;
    }
    const bool inlineText = !take(&p, end, names.openValue);
    if (inlineText && !take(&p, end, names.openInline))
        return false;
    const auto *lt = static_cast<const char *>(std::memchr(p, '<', static_cast<size_t>(end - p)));
    if (!lt)
        return false;
    cell->raw = std::string_view(p, static_cast<size_t>(lt - p));
    p = lt;
    // Two calls, so that each compares a constant.
    if (inlineText ? !take(&p, end, names.closeInline) : !take(&p, end, names.closeValue))
        return false;
    cell->endTag = static_cast<size_t>(p - begin);
    if (!take(&p, end, names.closeCell))
        return false;
    cell->length = static_cast<size_t>(p - begin);
    cell->content = inlineText ? CompactCell::Content::InlineText : CompactCell::Content::Value;
    return true;
}

} // namespace

bool scanCompactCell(std::string_view xml, const CompactCellNames &names, CompactCell *cell)
{
    if (names.cell.size() == 1)
        return scanWith(xml, PlainTags(), cell);
    return scanWith(xml, PrefixedTags(names), cell);
}

} // namespace orvane
