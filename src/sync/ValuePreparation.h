#pragma once
// Value preparation: turning free text typed into a workbook cell into a value
// fit for a directory attribute, and comparing such values with the
// directory's. Pure string logic over the in-memory Settings.
//
// A value is prepared in three steps, always in this order: the replacement
// rules (always, or only for a value longer than the limit, as the replacement
// mode says; any other mode replaces nothing), cutting an over-long value to
// the limit with the trimmed end appended, and upper-casing its first
// character when that option is on. Every preparation cuts only a value
// longer than rangeupper, so a value that fits is never cut and the three
// agree on what a value becomes; they differ only in when the replacement
// mode "when too long" runs the rules:
//   - PrepareSyncRecords: when longer than rangeupper; records what it did in
//     the record's flags;
//   - PrepareStatusValue: when longer than rangeupper;
//   - CompareMultiValued: when a source element is longer than the directory
//     element it is compared with.
// A multi-valued value is split at its delimiter, empty elements kept
// (MultiValuedText.h), and prepared element by element against the same
// per-value limit.
//
// Lengths are counts of UTF-16 code units (QString::size()); equality is exact
// and case-sensitive. Nothing here fails visibly. Each entry point taking a
// Settings compiles the replacement rules at most once per call; callers that
// prepare many values in a row may build one ReplacementPatterns and use the
// overloads that take it.

#include "store/Settings.h"
#include "sync/MultiValuedText.h"
#include "sync/ReplacementPatterns.h"
#include "sync/SyncRecord.h"

#include <QString>
#include <QStringList>

namespace orvane
{

/// Runs every replacement rule of `settings` over `value` in list order (see
/// ReplacementPatterns::apply) and returns the result; sets *matched, when
/// given, to whether any rule matched.
QString ApplyReplacements(const Settings &settings, const QString &value, bool *matched = nullptr);
/// The same with rules compiled beforehand.
QString ApplyReplacements(ReplacementPatterns &patterns, const QString &value, bool *matched = nullptr);

/// Returns the first rangeupper - size(trimmedEnd) - 1 code units of `value`
/// followed by `trimmedEnd`, or `trimmedEnd` alone when that count is zero or
/// less. A character outside the BMP is never split: when the cut would fall
/// between its two code units, the whole character is dropped.
QString TrimToSize(const QString &value, int rangeupper, const QString &trimmedEnd);

/// Returns `value` unchanged when it has at most `rangeupper` characters,
/// else cut as TrimToSize cuts; what a typed edit writes for one value.
QString fitToAttributeSize(const QString &value, int rangeupper, const QString &trimmedEnd);

/// Returns `value` with its first character (a whole code point, even outside
/// the BMP) replaced by its upper-case form; the rest is unchanged and an empty
/// value stays empty.
QString UppercaseFirst(const QString &value);

/// Prepares the `value` of every record in place and sets its `trimmed` and
/// `replaced` flags when a cut or a rule match happened (to the value or to any
/// element of a multi-valued one); leaves every other field untouched. A
/// multi-valued value is joined back with the delimiter after each element,
/// then every whole trailing occurrence of the delimiter is removed, so "a;;"
/// becomes "a", "a; b; " with "; " becomes "a; b", "x--a-" with "--" stays,
/// and an empty value stays empty.
void PrepareSyncRecords(const Settings &settings, SyncRecordList &records);
/// The same with rules compiled beforehand.
void PrepareSyncRecords(const Settings &settings, ReplacementPatterns &patterns, SyncRecordList &records);

/// Prepares a single value for the status check against a workbook: like a
/// single-valued PrepareSyncRecords, except that the value is cut only when
/// longer than `rangeupper`. Returns the prepared value.
QString PrepareStatusValue(const Settings &settings, const QString &value, int rangeupper);
/// The same with rules compiled beforehand.
QString PrepareStatusValue(const Settings &settings, ReplacementPatterns &patterns, const QString &value,
                           int rangeupper);

/// Compares a directory value with a workbook value of a multi-valued
/// attribute, both joined by the delimiter; `sourceValue` is taken as given.
/// Returns 0 when equal, 1 when different. They are equal when both have the
/// same number of elements and every directory element can be paired with its
/// own source element that, prepared against it, equals it; order does not
/// matter, and one source element never stands in for two directory elements.
int CompareMultiValued(const Settings &settings, const QString &directoryValue, const QString &sourceValue,
                       int rangeupper);
/// The same with rules compiled beforehand.
int CompareMultiValued(const Settings &settings, ReplacementPatterns &patterns, const QString &directoryValue,
                       const QString &sourceValue, int rangeupper);

} // namespace orvane
