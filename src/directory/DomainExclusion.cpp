#include "directory/DomainExclusion.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace orvane
{

DomainExclusion::DomainExclusion(const QString &baseDn)
{
    // The base DN is quoted (\Q...\E) so that characters such as "(" or "+"
    // in it are matched literally rather than breaking the expression.
    QString quoted = baseDn;
    quoted.replace(QLatin1String("\\E"), QLatin1String("\\E\\\\E\\Q"));
    const QString pattern = QStringLiteral("(?i:dc=)(?i:.+)(?i:,\\Q") + quoted + QStringLiteral("\\E)$");
    int error = 0;
    PCRE2_SIZE offset = 0;
    const QByteArray utf8 = pattern.toUtf8();
    auto *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8.constData()), utf8.size(), PCRE2_UTF, &error,
                               &offset, nullptr);
    code_ = code;
    if (code)
        matchData_ = pcre2_match_data_create_from_pattern(code, nullptr);
}

DomainExclusion::~DomainExclusion()
{
    pcre2_match_data_free(static_cast<pcre2_match_data *>(matchData_));
    pcre2_code_free(static_cast<pcre2_code *>(code_));
}

bool DomainExclusion::excludes(const QString &distinguishedName) const
{
    if (!code_ || !matchData_)
        return false;
    const QByteArray lower = distinguishedName.toLower().toUtf8();
    return pcre2_match(static_cast<pcre2_code *>(code_), reinterpret_cast<PCRE2_SPTR>(lower.constData()),
                       lower.size(), 0, 0, static_cast<pcre2_match_data *>(matchData_), nullptr) >= 0;
}

} // namespace orvane
