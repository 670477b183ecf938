#pragma once
// The values of a multi-valued attribute carried as one text, separated by
// the multivalued delimiter: the one split and the one join every part of the
// program uses, so the workbook's side, the directory's side, the writes and
// the plan files all cut and glue values alike.
//
// The delimiter is matched as a whole string, left to right, so a
// multi-character delimiter never matches inside a longer run of itself
// twice ("a;;;b" with ";;" is "a" and ";b"), and an empty delimiter never
// splits.

#include <QString>
#include <QStringList>

namespace orvane
{

/// What a split does with empty parts (between two delimiters, before the
/// first, after the last, or an empty text).
enum class EmptyParts {
    Keep, ///< n delimiters give n + 1 parts, an empty text one empty part: how values are prepared and
          ///< compared
    Drop, ///< only the non-empty parts, an empty text none: the values a write sends
};

/// Splits `text` at every whole occurrence of `delimiter`, left to right;
/// with an empty delimiter the whole text is the one part.
QStringList splitMultiValued(const QString &text, const QString &delimiter, EmptyParts empty);

/// Joins `values` with `delimiter` after each one, then removes every whole
/// trailing occurrence of the delimiter (so trailing empty values go too:
/// "a", "" gives "a"; with "; " the values a, b give "a; b"); a run of the
/// delimiter's first character that is part of a value stays.
QString joinMultiValued(const QStringList &values, const QString &delimiter);

/// The values a text stands for when written: a multi-valued text split with
/// empty parts dropped, a single-valued one as its one value, none when empty.
QStringList valuesToWrite(const QString &text, int multivalued, const QString &delimiter);

} // namespace orvane
