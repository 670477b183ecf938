#include "workbook/engine/XmlText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvane
{

namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Writes the UTF-8 form of `cp` at *w, which then moves past it.
void writeUtf8(unsigned long cp, char **w)
{
    char *p = *w;
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    *w = p;
}

void appendUtf8(unsigned long cp, std::string *out)
{
    char bytes[4];
    char *end = bytes;
    writeUtf8(cp, &end);
    out->append(bytes, static_cast<size_t>(end - bytes));
}

// Reads "_xHHHH_" at `s`; returns the unit or -1.
long ooxmlEscapeAt(std::string_view s, size_t i)
{
    if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') {
        return -1;
    }
    long v = 0;
    for (size_t k = i + 2; k < i + 6; ++k) {
        int h = hexValue(s[k]);
        if (h < 0) {
            return -1;
        }
        v = v * 16 + h;
    }
    return v;
}

// Decodes one UTF-8 sequence at s[i]; returns its length (1 for a stray byte) and the code point.
size_t utf8At(std::string_view s, size_t i, unsigned long *cp)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (len == 1 || i + len > s.size()) {
        *cp = c;
        return 1;
    }
    unsigned long v = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    *cp = v;
    return len;
}

} // namespace

namespace
{

constexpr size_t kNotAReference = std::string_view::npos;

// The reference at raw[amp] ('&'), whose ';' must come within 12 bytes:
// writes what it stands for at *w (moving it on) and returns where the text
// goes on after it; kNotAReference when it is no reference XML defines.
size_t decodeReference(std::string_view raw, size_t amp, char **w)
{
    const size_t limit = std::min(raw.size(), amp + 13);
    size_t semi = amp + 1;
    while (semi < limit && raw[semi] != ';') {
        ++semi;
    }
    if (semi >= limit) {
        return kNotAReference;
    }
    const std::string_view ref = raw.substr(amp + 1, semi - amp - 1);
    // Numeric references first: the named five cannot begin with '#'.
    if (ref.size() >= 2 && ref[0] == '#') {
        const bool hex = ref[1] == 'x';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty()) {
            return kNotAReference;
        }
        unsigned long cp = 0;
        for (const char c : digits) {
            const int d = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
            if (d < 0) {
                return kNotAReference;
            }
            cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            if (cp > 0x10FFFF) {
                return kNotAReference;
            }
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return kNotAReference;
        }
        writeUtf8(cp, w);
        return semi + 1;
    }
    char named = 0;
    if (ref == "lt") {
        named = '<';
    } else if (ref == "gt") {
        named = '>';
    } else if (ref == "amp") {
        named = '&';
    } else if (ref == "quot") {
        named = '"';
    } else if (ref == "apos") {
        named = '\'';
    } else {
        return kNotAReference;
    }
    *(*w)++ = named;
    return semi + 1;
}

} // namespace

bool appendXmlDecoded(std::string_view raw, std::string *out)
{
    if (raw.empty()) // an empty view may hold no pointer, which memchr must not see
        return true;
    const void *first = std::memchr(raw.data(), '&', raw.size());
    if (!first) {
        out->append(raw);
        return true;
    }
    // Written in place: no reference is shorter than what it stands for, and
    // writers that spell every letter beyond ASCII as one make a call per
    // reference the larger part of a sheet's reading.
    const size_t base = out->size();
    size_t i = static_cast<size_t>(static_cast<const char *>(first) - raw.data());
    out->resize(base + raw.size());
    char *w = out->data() + base;
    std::memcpy(w, raw.data(), i);
    w += i;
    bool ok = true;
    while (i < raw.size()) {
        if (raw[i] != '&') {
            *w++ = raw[i++];
            continue;
        }
        i = decodeReference(raw, i, &w);
        if (i == kNotAReference) {
            ok = false;
            break;
        }
    }
    out->resize(static_cast<size_t>(w - out->data()));
    return ok;
}

void appendXmlEscaped(std::string_view text, std::string *out)
{
    size_t i = 0;
    for (size_t k = 0; k < text.size(); ++k) {
        const char *rep = nullptr;
        switch (text[k]) {
        case '&':
            rep = "&amp;";
            break;
        case '<':
            rep = "&lt;";
            break;
        case '>':
            rep = "&gt;";
            break;
        case '"':
            rep = "&quot;";
            break;
        default:
            continue;
        }
        out->append(text.substr(i, k - i));
        out->append(rep);
        i = k + 1;
    }
    out->append(text.substr(i));
}

void decodeOoxmlEscapes(std::string *text)
{
    if (text->find("_x") == std::string::npos) {
        return;
    }
    std::string_view s(*text);
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        long unit = ooxmlEscapeAt(s, i);
        if (unit < 0) {
            out.push_back(s[i++]);
            continue;
        }
        i += 7;
        unsigned long cp = static_cast<unsigned long>(unit);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            long low = ooxmlEscapeAt(s, i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<unsigned long>(low) - 0xDC00);
                i += 7;
            } else {
                cp = 0xFFFD;
            }
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(cp, &out);
    }
    text->swap(out);
}

void appendOoxmlText(std::string_view text, std::string *out)
{
    std::string plain;
    plain.reserve(text.size());
    char buf[8];
    for (size_t i = 0; i < text.size();) {
        unsigned long cp = 0;
        size_t len = utf8At(text, i, &cp);
        bool forbidden = (cp < 0x20 && cp != '\t' && cp != '\n') || cp == 0xFFFE || cp == 0xFFFF ||
                         (len == 1 && cp >= 0x80);
        if (forbidden) {
            // A stray byte that is not UTF-8 is kept as the Latin-1 character it would be.
            std::snprintf(buf, sizeof buf, "_x%04lX_", cp);
            plain.append(buf);
        } else if (ooxmlEscapeAt(text, i) >= 0) {
            plain.append("_x005F_");
        } else {
            plain.append(text.substr(i, len));
        }
        i += len;
    }
    appendXmlEscaped(plain, out);
}

} // namespace orvane
