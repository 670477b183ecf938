#pragma once
// The administrator's replacement rules, compiled for one preparation.
//
// A rule's `stringtoreplace` is itself a regular-expression fragment, inserted
// verbatim between the word-start and word-end guards, so that a rule replaces
// whole words or phrases and never part of a longer word. Patterns are compiled
// with PCRE2 (8-bit API, UTF mode, case-sensitive) the first time they are
// needed, once per object: a caller builds one object per preparation call and
// applies it to as many values as that call handles. A rule with an empty
// `stringtoreplace`, or whose pattern does not compile, matches nothing.
//
// Not thread-safe: an object is used by one thread at a time.

#include "store/Settings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

namespace orvane
{

class ReplacementPatterns
{
  public:
    /// Keeps a copy of the rules and the two guards of `settings`; compiles
    /// nothing yet. Empty guards in `settings` fall back to kWordStartGuard and
    /// kWordEndGuard, so a record that was never loaded still bounds words.
    explicit ReplacementPatterns(const Settings &settings);
    /// Keeps a copy of `rules`, to be wrapped in `wordStartGuard` and `wordEndGuard`.
    ReplacementPatterns(const QList<ReplacementRule> &rules, const QString &wordStartGuard,
                        const QString &wordEndGuard);
    ~ReplacementPatterns();
    ReplacementPatterns(const ReplacementPatterns &) = delete;
    ReplacementPatterns &operator=(const ReplacementPatterns &) = delete;

    /// Runs every rule over `value` in list order, each on the result of the
    /// previous one, replacing every non-overlapping match left to right by the
    /// rule's `replacewith` taken literally. Returns the result (the unchanged
    /// `value` when nothing matched) and sets *matched, when given, to whether
    /// any rule matched. A rule that fails while matching (for example by
    /// exceeding PCRE2's match limit) leaves the text as it was.
    QString apply(const QString &value, bool *matched = nullptr);

    /// Number of rules whose pattern compiled; compiles them first if needed.
    int usableRuleCount();

  private:
    struct CompiledRule {
        pcre2_real_code_8 *code = nullptr;
        pcre2_real_match_data_8 *matchData = nullptr;
        QByteArray replacement;
    };

    void compile();
    static bool substitute(const CompiledRule &rule, QByteArray &subject);

    QList<ReplacementRule> rules_;
    QString wordStartGuard_;
    QString wordEndGuard_;
    bool compiled_ = false;
    std::vector<CompiledRule> compiledRules_;
};

} // namespace orvane
