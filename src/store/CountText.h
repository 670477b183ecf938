#pragma once
// A count as the program shows it, with the noun in the singular for one and
// in the plural otherwise ("1 user", "0 users", "412 changes"), for every
// window and tool text that states how many of something there are.

#include <QString>

namespace orvane
{

/// `n` in decimal, a blank and `singular` when `n` is 1, else `plural`.
inline QString countText(qint64 n, const QString &singular, const QString &plural)
{
    return QString::number(n) + u' ' + (n == 1 ? singular : plural);
}

} // namespace orvane
