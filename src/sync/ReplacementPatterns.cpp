#include "sync/ReplacementPatterns.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace orvane
{

namespace
{

// \C matches a single byte even in UTF mode; a rule using it could cut a
// character in half and leave broken UTF-8 behind, so such a pattern is
// refused at compile time and therefore matches nothing.
constexpr uint32_t kCompileOptions = PCRE2_UTF | PCRE2_NEVER_BACKSLASH_C;

constexpr uint32_t kSubstituteOptions =
    PCRE2_SUBSTITUTE_GLOBAL | PCRE2_SUBSTITUTE_LITERAL | PCRE2_SUBSTITUTE_OVERFLOW_LENGTH;

} // namespace

ReplacementPatterns::ReplacementPatterns(const Settings &settings)
    : ReplacementPatterns(settings.replacementRules,
                          settings.wordStartGuard.isEmpty() ? kWordStartGuard : settings.wordStartGuard,
                          settings.wordEndGuard.isEmpty() ? kWordEndGuard : settings.wordEndGuard)
{
}

ReplacementPatterns::ReplacementPatterns(const QList<ReplacementRule> &rules, const QString &wordStartGuard,
                                         const QString &wordEndGuard)
    : rules_(rules), wordStartGuard_(wordStartGuard), wordEndGuard_(wordEndGuard)
{
}

ReplacementPatterns::~ReplacementPatterns()
{
    for (CompiledRule &rule : compiledRules_) {
        pcre2_match_data_free(rule.matchData);
        pcre2_code_free(rule.code);
    }
}

void ReplacementPatterns::compile()
{
    compiled_ = true;
    for (const ReplacementRule &rule : rules_) {
        if (rule.stringtoreplace.isEmpty())
            continue;
        const QByteArray pattern = (wordStartGuard_ + rule.stringtoreplace + wordEndGuard_).toUtf8();
        int errorCode = 0;
        PCRE2_SIZE errorOffset = 0;
        pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()), pattern.size(),
                                         kCompileOptions, &errorCode, &errorOffset, nullptr);
        if (!code)
            continue;
        pcre2_match_data *matchData = pcre2_match_data_create_from_pattern(code, nullptr);
        if (!matchData) {
            pcre2_code_free(code);
            continue;
        }
        compiledRules_.push_back({code, matchData, rule.replacewith.toUtf8()});
    }
}

bool ReplacementPatterns::substitute(const CompiledRule &rule, QByteArray &subject)
{
    // Room for a few growing replacements; when it is not enough PCRE2 tells
    // the exact size needed and the second attempt uses it.
    PCRE2_SIZE capacity = subject.size() * 2 + rule.replacement.size() + 64;
    QByteArray output;
    for (int attempt = 0; attempt < 2; ++attempt) {
        output.resize(static_cast<qsizetype>(capacity));
        PCRE2_SIZE length = capacity;
        const int rc = pcre2_substitute(rule.code, reinterpret_cast<PCRE2_SPTR>(subject.constData()),
                                        subject.size(), 0, kSubstituteOptions, rule.matchData, nullptr,
                                        reinterpret_cast<PCRE2_SPTR>(rule.replacement.constData()),
                                        rule.replacement.size(),
                                        reinterpret_cast<PCRE2_UCHAR *>(output.data()), &length);
        if (rc == PCRE2_ERROR_NOMEMORY) {
            capacity = length;
            continue;
        }
        if (rc <= 0)
            return false;
        output.truncate(static_cast<qsizetype>(length));
        subject = output;
        return true;
    }
    return false;
}

QString ReplacementPatterns::apply(const QString &value, bool *matched)
{
    if (!compiled_)
        compile();
    bool anyMatched = false;
    QByteArray subject;
    if (!compiledRules_.empty())
        subject = value.toUtf8();
    for (const CompiledRule &rule : compiledRules_)
        anyMatched = substitute(rule, subject) || anyMatched;
    if (matched)
        *matched = anyMatched;
    // Converting back only after a match keeps a value no rule touched
    // exactly as it came in.
    return anyMatched ? QString::fromUtf8(subject) : value;
}

int ReplacementPatterns::usableRuleCount()
{
    if (!compiled_)
        compile();
    return static_cast<int>(compiledRules_.size());
}

} // namespace orvane
