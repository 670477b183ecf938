#include "automation/com/Bstr.h"

#include <cstdlib>
#include <cstring>

namespace orvane
{

namespace
{

// Layout: [uint32 byte length][characters ...][NUL char16_t]; a BSTR points
// at the characters.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

std::uint32_t *prefixOf(BSTR text)
{
    return reinterpret_cast<std::uint32_t *>(reinterpret_cast<char *>(text) - kPrefix);
}

BSTR allocateBytes(const char *bytes, std::size_t length)
{
    if (length > 0x7FFFFFF0u)
        return nullptr;
    // Room for the prefix, the bytes, an odd byte's padding and a NUL char16_t.
    char *block = static_cast<char *>(std::malloc(kPrefix + length + 1 + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    auto size = static_cast<std::uint32_t>(length);
    std::memcpy(block, &size, kPrefix);
    if (bytes)
        std::memcpy(block + kPrefix, bytes, length);
    else
        std::memset(block + kPrefix, 0, length);
    std::memset(block + kPrefix + length, 0, 1 + sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

std::size_t oleLength(LPCOLESTR text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

BSTR SysAllocString(LPCOLESTR text)
{
    if (!text)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(oleLength(text)));
}

BSTR SysAllocStringLen(LPCOLESTR text, UINT length)
{
    return allocateBytes(reinterpret_cast<const char *>(text), std::size_t(length) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char *bytes, UINT length)
{
    return allocateBytes(bytes, length);
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<char *>(text) - kPrefix);
}

UINT SysStringLen(BSTR text)
{
    return text ? *prefixOf(text) / sizeof(OLECHAR) : 0;
}

UINT SysStringByteLen(BSTR text)
{
    return text ? *prefixOf(text) : 0;
}

BSTR bstrFromQString(const QString &text)
{
    return SysAllocStringLen(reinterpret_cast<LPCOLESTR>(text.utf16()), static_cast<UINT>(text.size()));
}

BSTR bstrFromUtf8(const char *text, qsizetype size)
{
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(size));
    if (!out)
        return nullptr;
    // Widened and checked in one pass; text with a non-ASCII byte is decoded instead.
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    unsigned char seen = 0;
    for (qsizetype i = 0; i < size; ++i) {
        seen |= bytes[i];
        out[i] = bytes[i];
    }
    if (seen < 0x80)
        return out;
    SysFreeString(out);
    return bstrFromQString(QString::fromUtf8(text, size));
}

QString qStringFromBstr(BSTR text)
{
    if (!text)
        return QString();
    // Not fromUtf16: it would drop a leading U+FEFF, which is data here.
    return QString(reinterpret_cast<const QChar *>(text), SysStringLen(text));
}

QString qStringFromOleString(LPCOLESTR text)
{
    if (!text)
        return QString();
    return QString(reinterpret_cast<const QChar *>(text), static_cast<qsizetype>(oleLength(text)));
}

void *CoTaskMemAlloc(std::size_t bytes)
{
    return std::malloc(bytes);
}

void CoTaskMemFree(void *memory)
{
    std::free(memory);
}

} // namespace orvane
