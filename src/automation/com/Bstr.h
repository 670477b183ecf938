#pragma once
// BSTR: a UTF-16 string preceded by its length in bytes (32 bits) and followed
// by a NUL, so that the text may itself hold NULs. The pointer addresses the
// first character. A null BSTR is a valid empty string everywhere. Every BSTR
// returned here is owned by the caller and freed with SysFreeString.

#include "automation/com/Types.h"

#include <QString>

namespace orvane
{

/// Copies the NUL-terminated `text`; null for a null `text` or on allocation failure.
BSTR SysAllocString(LPCOLESTR text);
/// Copies `length` characters of `text` (which may hold NULs); with a null
/// `text` the characters are zero. Null on allocation failure.
BSTR SysAllocStringLen(LPCOLESTR text, UINT length);
/// Copies `length` bytes of `bytes` into a BSTR of that byte length (an odd
/// length is kept exactly); null `bytes` gives zero bytes.
BSTR SysAllocStringByteLen(const char *bytes, UINT length);
/// Frees a BSTR; harmless on null.
void SysFreeString(BSTR text);
/// Number of characters (not counting the terminating NUL); 0 for null.
UINT SysStringLen(BSTR text);
/// Number of bytes; 0 for null.
UINT SysStringByteLen(BSTR text);

/// Makes a BSTR holding `text`; null on allocation failure.
BSTR bstrFromQString(const QString &text);
/// Makes a BSTR of UTF-8 `text` decoded as QString::fromUtf8 decodes it; ASCII
/// text (nearly every directory value and cell) is widened without a QString
/// in between. Null on allocation failure.
BSTR bstrFromUtf8(const char *text, qsizetype size);
/// Copies a BSTR's whole text (NULs included); "" for null.
QString qStringFromBstr(BSTR text);
/// Copies a NUL-terminated UTF-16 string (not a BSTR); "" for null.
QString qStringFromOleString(LPCOLESTR text);
/// A NUL-terminated view of `text` for calls taking LPCOLESTR; valid while `text` lives unchanged.
inline LPCOLESTR oleString(const QString &text)
{
    return reinterpret_cast<LPCOLESTR>(text.utf16());
}

/// Allocates memory that CoTaskMemFree frees (ProgIDFromCLSID returns such strings).
void *CoTaskMemAlloc(std::size_t bytes);
void CoTaskMemFree(void *memory);

} // namespace orvane
