#include "plan/PreparationWhy.h"

#include "sync/MultiValuedText.h"
#include "sync/ReplacementPatterns.h"
#include "sync/ValuePreparation.h"

namespace orvane
{

PreparationWhy::PreparationWhy(const Settings &settings) : settings_(settings)
{
    // One compiled pattern per rule, so that each rule's own match can be seen.
    for (const ReplacementRule &rule : settings.replacementRules)
        rules_.push_back(std::make_unique<ReplacementPatterns>(
            QList<ReplacementRule>{rule}, settings.wordStartGuard, settings.wordEndGuard));
}

PreparationWhy::~PreparationWhy() = default;

QStringList PreparationWhy::explain(const SyncRecord &record)
{
    const QStringList elements =
        record.multivalued == 1
            ? splitMultiValued(record.rawValue, settings_.multivaluedDelimiter, EmptyParts::Keep)
            : QStringList{record.rawValue};
    QList<int> matched;
    bool upperCased = false;
    for (QString element : elements) {
        const bool runRules =
            settings_.replacementMode == AlwaysReplace ||
            (settings_.replacementMode == ReplaceWhenTooLong && element.size() > record.rangeupper);
        for (size_t i = 0; runRules && i < rules_.size(); ++i) {
            bool hit = false;
            element = rules_[i]->apply(element, &hit);
            if (hit && !matched.contains(int(i)))
                matched.append(int(i));
        }
        if (settings_.firstUpperCase == 1 && UppercaseFirst(element) != element)
            upperCased = true;
    }
    QStringList why;
    for (int i : matched) {
        const ReplacementRule &rule = settings_.replacementRules[i];
        why << QStringLiteral("replacement rule \"%1\" -> \"%2\"")
                   .arg(rule.stringtoreplace, rule.replacewith);
    }
    if (record.trimmed == 1)
        why << QStringLiteral("cut to the attribute's size of %1 characters").arg(record.rangeupper);
    if (upperCased)
        why << QStringLiteral("first letter upper-cased");
    return why;
}

} // namespace orvane
