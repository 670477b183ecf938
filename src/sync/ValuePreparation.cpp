#include "sync/ValuePreparation.h"

#include <vector>

namespace orvane
{

namespace
{

// When the two length-dependent steps of one preparation happen.
struct Thresholds {
    qsizetype replaceWhenLongerThan; // used by ReplaceWhenTooLong only
    qsizetype cutWhenLongerThan;
};

struct PreparedValue {
    QString value;
    bool replaced = false;
    bool trimmed = false;
};

bool shouldReplace(int mode, qsizetype length, const Thresholds &limits)
{
    if (mode == AlwaysReplace)
        return true;
    return mode == ReplaceWhenTooLong && length > limits.replaceWhenLongerThan;
}

PreparedValue prepareValue(const Settings &settings, ReplacementPatterns &patterns, const QString &value,
                           int rangeupper, const Thresholds &limits)
{
    PreparedValue prepared{value};
    if (shouldReplace(settings.replacementMode, value.size(), limits))
        prepared.value = patterns.apply(value, &prepared.replaced);
    if (prepared.value.size() > limits.cutWhenLongerThan) {
        prepared.value = TrimToSize(prepared.value, rangeupper, settings.trimmedEnd);
        prepared.trimmed = true;
    }
    if (settings.firstUpperCase == 1)
        prepared.value = UppercaseFirst(prepared.value);
    return prepared;
}

// A value that fits its attribute is never cut: cutting one of exactly
// rangeupper units would write a damaged value that the status check calls
// up to date, so every preparation cuts only above rangeupper.
Thresholds attributeThresholds(int rangeupper)
{
    return {rangeupper, rangeupper};
}

void prepareRecord(const Settings &settings, ReplacementPatterns &patterns, SyncRecord &record)
{
    const Thresholds limits = attributeThresholds(record.rangeupper);
    if (record.multivalued == 0) {
        const PreparedValue prepared =
            prepareValue(settings, patterns, record.value, record.rangeupper, limits);
        record.value = prepared.value;
        record.replaced = prepared.replaced ? 1 : record.replaced;
        record.trimmed = prepared.trimmed ? 1 : record.trimmed;
        return;
    }
    QStringList elements = splitMultiValued(record.value, settings.multivaluedDelimiter, EmptyParts::Keep);
    for (QString &element : elements) {
        const PreparedValue prepared = prepareValue(settings, patterns, element, record.rangeupper, limits);
        element = prepared.value;
        record.replaced = prepared.replaced ? 1 : record.replaced;
        record.trimmed = prepared.trimmed ? 1 : record.trimmed;
    }
    record.value = joinMultiValued(elements, settings.multivaluedDelimiter);
}

// Kuhn's augmenting path: tries to give directory element `d` a source
// element of its own, moving earlier pairings along when that frees one.
bool pairDirectoryElement(qsizetype d, const std::vector<std::vector<bool>> &equal,
                          std::vector<qsizetype> &ownerOfSource, std::vector<bool> &visited)
{
    for (size_t s = 0; s < equal[d].size(); ++s) {
        if (!equal[d][s] || visited[s])
            continue;
        visited[s] = true;
        if (ownerOfSource[s] < 0 || pairDirectoryElement(ownerOfSource[s], equal, ownerOfSource, visited)) {
            ownerOfSource[s] = d;
            return true;
        }
    }
    return false;
}

bool everyDirectoryElementPaired(const std::vector<std::vector<bool>> &equal)
{
    const size_t n = equal.size();
    std::vector<qsizetype> ownerOfSource(n, -1);
    for (size_t d = 0; d < n; ++d) {
        std::vector<bool> visited(n, false);
        if (!pairDirectoryElement(qsizetype(d), equal, ownerOfSource, visited))
            return false;
    }
    return true;
}

} // namespace

QString ApplyReplacements(const Settings &settings, const QString &value, bool *matched)
{
    ReplacementPatterns patterns(settings);
    return patterns.apply(value, matched);
}

QString ApplyReplacements(ReplacementPatterns &patterns, const QString &value, bool *matched)
{
    return patterns.apply(value, matched);
}

QString TrimToSize(const QString &value, int rangeupper, const QString &trimmedEnd)
{
    qsizetype keep = qsizetype(rangeupper) - trimmedEnd.size() - 1;
    if (keep <= 0)
        return trimmedEnd;
    if (keep < value.size() && value.at(keep - 1).isHighSurrogate() && value.at(keep).isLowSurrogate())
        --keep;
    return value.left(keep) + trimmedEnd;
}

QString UppercaseFirst(const QString &value)
{
    if (value.isEmpty())
        return value;
    const bool pair = value.size() > 1 && value.at(0).isHighSurrogate() && value.at(1).isLowSurrogate();
    const char32_t first = pair ? QChar::surrogateToUcs4(value.at(0), value.at(1)) : value.at(0).unicode();
    const char32_t upper = QChar::toUpper(first);
    if (upper == first)
        return value;
    const auto units = QChar::fromUcs4(upper);
    QString result = QStringView(units).toString();
    result += QStringView(value).mid(pair ? 2 : 1);
    return result;
}

void PrepareSyncRecords(const Settings &settings, SyncRecordList &records)
{
    ReplacementPatterns patterns(settings);
    PrepareSyncRecords(settings, patterns, records);
}

void PrepareSyncRecords(const Settings &settings, ReplacementPatterns &patterns, SyncRecordList &records)
{
    for (SyncRecord &record : records)
        prepareRecord(settings, patterns, record);
}

QString PrepareStatusValue(const Settings &settings, const QString &value, int rangeupper)
{
    ReplacementPatterns patterns(settings);
    return PrepareStatusValue(settings, patterns, value, rangeupper);
}

QString PrepareStatusValue(const Settings &settings, ReplacementPatterns &patterns, const QString &value,
                           int rangeupper)
{
    return prepareValue(settings, patterns, value, rangeupper, attributeThresholds(rangeupper)).value;
}

int CompareMultiValued(const Settings &settings, const QString &directoryValue, const QString &sourceValue,
                       int rangeupper)
{
    ReplacementPatterns patterns(settings);
    return CompareMultiValued(settings, patterns, directoryValue, sourceValue, rangeupper);
}

int CompareMultiValued(const Settings &settings, ReplacementPatterns &patterns, const QString &directoryValue,
                       const QString &sourceValue, int rangeupper)
{
    const QStringList directory =
        splitMultiValued(directoryValue, settings.multivaluedDelimiter, EmptyParts::Keep);
    const QStringList source = splitMultiValued(sourceValue, settings.multivaluedDelimiter, EmptyParts::Keep);
    if (directory.size() != source.size())
        return 1;
    // Which source element, prepared against which directory element, equals it.
    std::vector<std::vector<bool>> equal(directory.size(), std::vector<bool>(source.size(), false));
    for (qsizetype d = 0; d < directory.size(); ++d) {
        const Thresholds limits{directory[d].size(), rangeupper};
        for (qsizetype s = 0; s < source.size(); ++s)
            equal[d][s] =
                prepareValue(settings, patterns, source[s], rangeupper, limits).value == directory[d];
    }
    return everyDirectoryElementPaired(equal) ? 0 : 1;
}

QString fitToAttributeSize(const QString &value, int rangeupper, const QString &trimmedEnd)
{
    if (value.size() <= rangeupper)
        return value;
    return TrimToSize(value, rangeupper, trimmedEnd);
}

} // namespace orvane
