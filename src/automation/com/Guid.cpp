#include "automation/com/Guid.h"

#include "automation/com/Bstr.h"

namespace orvane
{

namespace
{

constexpr int kGuidTextLength = 38; // "{8-4-4-4-12}" without the NUL

// Reads `digits` hex digits at `pos`; false on any non-hex character.
bool readHex(const QString &text, int pos, int digits, std::uint64_t *value)
{
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int h = hexDigitValue(text[pos + i]);
        if (h < 0)
            return false;
        v = (v << 4) | std::uint64_t(h);
    }
    *value = v;
    return true;
}

} // namespace

QString guidToString(REFGUID g)
{
    // Written digit by digit: every listed user's GUID passes through here,
    // and a formatted print costs some forty times as much.
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString text(kGuidTextLength, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto put = [&out](std::uint64_t value, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            *out++ = kHex[(value >> shift) & 0xF];
    };
    *out++ = u'{';
    put(g.Data1, 8);
    *out++ = u'-';
    put(g.Data2, 4);
    *out++ = u'-';
    put(g.Data3, 4);
    *out++ = u'-';
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    *out++ = u'-';
    for (int i = 2; i < 8; ++i)
        put(g.Data4[i], 2);
    *out = u'}';
    return text;
}

bool guidFromString(const QString &text, GUID *guid)
{
    if (text.size() != kGuidTextLength || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        return false;
    GUID g;
    std::uint64_t v = 0;
    if (!readHex(text, 1, 8, &v))
        return false;
    g.Data1 = static_cast<std::uint32_t>(v);
    if (!readHex(text, 10, 4, &v))
        return false;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!readHex(text, 15, 4, &v))
        return false;
    g.Data3 = static_cast<std::uint16_t>(v);
    const int bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(text, bytePos[i], 2, &v))
            return false;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    *guid = g;
    return true;
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int cchMax)
{
    if (!buffer || cchMax < kGuidTextLength + 1)
        return 0;
    const QString text = guidToString(guid);
    for (int i = 0; i < kGuidTextLength; ++i)
        buffer[i] = text[i].unicode();
    buffer[kGuidTextLength] = 0;
    return kGuidTextLength + 1;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID *clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    if (!text || !guidFromString(qStringFromOleString(text), clsid))
        return CO_E_CLASSSTRING;
    return S_OK;
}

GUID guidFromBytes(const std::uint8_t b[16])
{
    GUID g;
    g.Data1 = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
              std::uint32_t(b[3]) << 24;
    g.Data2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    g.Data3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = b[8 + i];
    return g;
}

void guidToBytes(REFGUID g, std::uint8_t b[16])
{
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(g.Data1 >> (8 * i));
    b[4] = static_cast<std::uint8_t>(g.Data2);
    b[5] = static_cast<std::uint8_t>(g.Data2 >> 8);
    b[6] = static_cast<std::uint8_t>(g.Data3);
    b[7] = static_cast<std::uint8_t>(g.Data3 >> 8);
    for (int i = 0; i < 8; ++i)
        b[8 + i] = g.Data4[i];
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace orvane
