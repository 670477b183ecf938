#include "workbook/engine/BiffText.h"

#include <cerrno>
#include <iconv.h>

namespace orvane
{

namespace
{

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

void appendCodePoint(char32_t c, std::string *out)
{
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The iconv name of a Windows code page number as CODEPAGE records give it.
std::string iconvName(uint16_t codepage)
{
    switch (codepage) {
    case 367:
        return "ASCII";
    case 1361:
        return "JOHAB";
    case 10000:
    case 32768:
        return "MACINTOSH";
    case 1200:
    case 1201:
    case 32769:
        return "CP1252";
    default:
        return "CP" + std::to_string(codepage);
    }
}

} // namespace

void appendUtf16AsUtf8(std::u16string_view units, std::string *out)
{
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendCodePoint(c, out);
    }
}

CodepageDecoder::CodepageDecoder(uint16_t codepage)
{
    iconv_t cd = iconv_open("UTF-8", iconvName(codepage).c_str());
    if (cd == kNoConverter) {
        cd = iconv_open("UTF-8", "CP1252");
    }
    handle_ = cd == kNoConverter ? nullptr : cd;
}

CodepageDecoder::~CodepageDecoder()
{
    if (handle_) {
        iconv_close(static_cast<iconv_t>(handle_));
    }
}

void CodepageDecoder::append(std::string_view bytes, std::string *out)
{
    if (!handle_) {
        for (char b : bytes) {
            appendCodePoint(static_cast<unsigned char>(b), out);
        }
        return;
    }
    iconv_t cd = static_cast<iconv_t>(handle_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[1024];
    while (inLeft > 0) {
        char *to = buffer;
        size_t toLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
        out->append(buffer, static_cast<size_t>(to - buffer));
        if (rc != static_cast<size_t>(-1) || errno == E2BIG) {
            continue;
        }
        // A byte the code page does not define, or a lead byte cut off at the end.
        appendCodePoint(0xFFFD, out);
        if (errno != EILSEQ) {
            break;
        }
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

} // namespace orvane
