#pragma once
// Keeps the directory password out of the options table in plain text. This is
// scrambling, not protection against someone who has the program: the key is
// built in. Short passwords are padded so their length does not show.

#include <QString>

namespace orvane
{

/// Returns the Base64 text stored for `password`: AES-128-ECB with ciphertext
/// stealing over its UTF-8 bytes, left-padded with spaces to 17 characters when
/// it has fewer than 16 bytes (so "" is stored as 17 scrambled spaces).
QString scramblePassword(const QString &password);

/// Returns the password stored as `stored`, with leading and trailing spaces
/// removed; "" when the text decodes to fewer than 16 bytes.
QString unscramblePassword(const QString &stored);

} // namespace orvane
