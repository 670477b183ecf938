#include "directory/DomainExclusion.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace orvane
{

namespace
{

bool printableAscii(char16_t c)
{
    return c >= 0x20 && c <= 0x7E;
}

// A unit of a name that the quick decision can take as it is: printable
// ASCII, or beyond ASCII and neither lowering to ASCII nor matching an ASCII
// letter without regard to case (dotted I, long s, the Kelvin and Angstrom
// signs do). Such a unit beyond ASCII never equals a unit of "dc=" or of an
// ASCII base, as in the expression.
bool plainUnit(char16_t c)
{
    if (c < 0x80)
        return printableAscii(c);
    return c != 0x0130 && c != 0x017F && c != 0x212A && c != 0x212B;
}

char16_t lowerAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

} // namespace

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
    asciiBase_ = code && matchData_;
    asciiTail_.assign(1, ',');
    for (const QChar c : baseDn) {
        asciiBase_ = asciiBase_ && printableAscii(c.unicode());
        asciiTail_.push_back(static_cast<char>(lowerAscii(c.unicode())));
    }
    if (!asciiBase_)
        asciiTail_.clear();
}

DomainExclusion::~DomainExclusion()
{
    pcre2_match_data_free(static_cast<pcre2_match_data *>(matchData_));
    pcre2_code_free(static_cast<pcre2_code *>(code_));
}

bool DomainExclusion::matchesExpression(const QString &distinguishedName) const
{
    if (!code_ || !matchData_)
        return false;
    const QByteArray lower = distinguishedName.toLower().toUtf8();
    return pcre2_match(static_cast<pcre2_code *>(code_), reinterpret_cast<PCRE2_SPTR>(lower.constData()),
                       lower.size(), 0, 0, static_cast<pcre2_match_data *>(matchData_), nullptr) >= 0;
}

bool DomainExclusion::excludes(const QString &distinguishedName) const
{
    // A name of plain units against a printable ASCII base is decided here,
    // as the expression would: it ends in "," + base, and "dc=" begins at
    // least one character before that tail. Every other name (case folding
    // into ASCII, control characters, line ends before which "$" also
    // matches) takes the expression itself. A walk of a million users pays
    // this for each.
    const auto *dn = reinterpret_cast<const char16_t *>(distinguishedName.utf16());
    const qsizetype length = distinguishedName.size();
    bool plain = asciiBase_;
    for (qsizetype i = 0; plain && i < length; ++i)
        plain = plainUnit(dn[i]);
    if (!plain)
        return matchesExpression(distinguishedName);
    const auto tail = static_cast<qsizetype>(asciiTail_.size());
    if (length < tail)
        return false;
    const qsizetype tailStart = length - tail;
    for (qsizetype j = 0; j < tail; ++j) {
        if (lowerAscii(dn[tailStart + j]) != static_cast<unsigned char>(asciiTail_[static_cast<size_t>(j)]))
            return false;
    }
    for (qsizetype i = 0; i + 3 < tailStart; ++i) {
        if (lowerAscii(dn[i]) == u'd' && lowerAscii(dn[i + 1]) == u'c' && dn[i + 2] == u'=')
            return true;
    }
    return false;
}

} // namespace orvane
