#pragma once
// Settings records for preparation tests: the seeded options (replace when too
// long, first upper case on, ";" and "...") with the rules a case needs.

#include "store/Settings.h"

#include <QList>
#include <QString>
#include <utility>

namespace orvane::test
{

using RulePairs = QList<std::pair<QString, QString>>;

inline Settings preparationSettings(int replacementMode, int firstUpperCase, const RulePairs &rules = {})
{
    Settings settings;
    settings.replacementMode = replacementMode;
    settings.firstUpperCase = firstUpperCase;
    settings.multivaluedDelimiter = QStringLiteral(";");
    settings.trimmedEnd = QStringLiteral("...");
    settings.wordStartGuard = kWordStartGuard;
    settings.wordEndGuard = kWordEndGuard;
    long long id = 0;
    for (const auto &[from, to] : rules)
        settings.replacementRules.append({++id, from, to});
    return settings;
}

} // namespace orvane::test
