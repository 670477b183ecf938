#include "automation/CommandTokens.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace orvane
{

namespace
{

bool isSeparator(char16_t c)
{
    // Every separator but the backslash is below 'A': one test for most characters.
    if (c >= u'A')
        return c == u'\\';
    return c == u'(' || c == u')' || c == u',' || c == u'\'' || c == u'=' || c == u' ';
}

bool isHexDigit(char16_t u)
{
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

uint hexValue(char16_t u)
{
    if (u <= '9')
        return u - '0';
    return (u | 0x20) - 'a' + 10;
}

// Tokenizer state for one command.
class Tokenizer
{
  public:
    Tokenizer(QStringView command, TokenTable *table)
        : text_(command.utf16()), n_(static_cast<int>(command.size())), table_(table)
    {
    }

    // Fills the table; false on a syntax error.
    bool run()
    {
        table_->memberCount = 1;
        m_ = &table_->members[0];
        *m_ = MemberTokens{0, 0, 0, 0};
        while (i_ < n_) {
            const int start = i_;
            TokenKind kind = TokenKind::Word;
            if (!isSeparator(text_[i_])) {
                while (i_ < n_ && !isSeparator(text_[i_]))
                    ++i_; // a separator after the word is examined next
            } else {
                const Step step = readSeparator(&kind);
                if (step == Step::Fail)
                    return false;
                if (step == Step::Skip)
                    continue;
            }
            table_->push({start, i_ - start, kind});
            if (++m_->count >= kMaxTokens)
                break; // the rest of the command is not read
        }
        return m_->count > 0 && m_->openCount == m_->closeCount && m_->openCount <= 1;
    }

  private:
    enum class Step { Token, Skip, Fail };

    // Reads the separator at i_: a token of `*kind`, a space or "\" that
    // makes none, or a syntax error.
    Step readSeparator(TokenKind *kind)
    {
        switch (text_[i_]) {
        case u'\'':
            return readQuoted(kind);
        case u'(':
            ++m_->openCount;
            return single(TokenKind::Open, kind);
        case u')':
            if (m_->openCount == 0)
                return Step::Fail;
            ++m_->closeCount;
            return single(TokenKind::Close, kind);
        case u'=':
            if (++equals_ > 1)
                return Step::Fail;
            return single(TokenKind::Equals, kind);
        case u',':
            return single(TokenKind::Comma, kind);
        case u'\\':
            return startMember() ? Step::Skip : Step::Fail;
        default: // space
            ++i_;
            return Step::Skip;
        }
    }

    Step single(TokenKind read, TokenKind *kind)
    {
        *kind = read;
        ++i_;
        return Step::Token;
    }

    Step readQuoted(TokenKind *kind)
    {
        int close = i_ + 1;
        while (close < n_ && text_[close] != u'\'')
            ++close;
        if (close == n_)
            return Step::Fail;
        *kind = TokenKind::Quoted;
        i_ = close + 1;
        return Step::Token;
    }

    // The "\" at i_ ends the member, which must be complete and have no "=".
    bool startMember()
    {
        if (table_->memberCount >= kMaxMembers || m_->openCount != m_->closeCount || m_->openCount > 1 ||
            m_->count == 0 || equals_ > 0)
            return false;
        m_ = &table_->members[table_->memberCount++];
        *m_ = MemberTokens{table_->size(), 0, 0, 0};
        ++i_;
        return true;
    }

    const char16_t *text_;
    int n_;
    TokenTable *table_;
    MemberTokens *m_ = nullptr;
    int i_ = 0;
    int equals_ = 0;
};

// An integer literal in the smallest type that holds it (0 is VT_I4).
VARIANT integerLiteral(long long value)
{
    VARIANT v;
    VariantInit(&v);
    if (value == 0) {
        v.vt = VT_I4;
        v.lVal = 0;
    } else if (value >= INT8_MIN && value <= INT8_MAX) {
        v.vt = VT_I1;
        v.cVal = static_cast<CHAR>(value);
    } else if (value >= INT16_MIN && value <= INT16_MAX) {
        v.vt = VT_I2;
        v.iVal = static_cast<SHORT>(value);
    } else if (value >= INT32_MIN && value <= INT32_MAX) {
        v.vt = VT_I4;
        v.lVal = static_cast<LONG>(value);
    } else {
        v.vt = VT_I8;
        v.llVal = value;
    }
    return v;
}

// `token`: an optional sign and at most 18 digits (checked by the caller).
VARIANT smallestInteger(QStringView token)
{
    qsizetype i = 0;
    const bool negative = token[0] == u'-';
    if (token[0] == u'-' || token[0] == u'+')
        i = 1;
    long long value = 0;
    for (; i < token.size(); ++i)
        value = value * 10 + (token[i].unicode() - '0');
    return integerLiteral(negative ? -value : value);
}

// `text`: ASCII digits, signs and one dot, NUL-terminated; read as a double.
std::optional<VARIANT> decimalNumber(const char *text)
{
    // from_chars, not strtod: the windows set the process locale, and a
    // decimal comma there must not change how "1.5" reads.
    const char *start = text[0] == '+' ? text + 1 : text;
    const char *stop = text + std::strlen(text);
    if (start != text && *start == '-')
        return std::nullopt;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    const auto [ptr, ec] = std::from_chars(start, stop, v.dblVal);
    if (ec != std::errc() || ptr != stop)
        return std::nullopt;
    return v;
}

// `text`: ASCII digits and signs, NUL-terminated; too long to read as smallestInteger does.
std::optional<VARIANT> longInteger(const char *text)
{
    errno = 0;
    char *end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno == ERANGE)
        return std::nullopt;
    if (!end || *end != '\0')
        return std::nullopt;
    return integerLiteral(value);
}

} // namespace

void TokenTable::grow()
{
    auto bigger = std::make_unique<Token[]>(static_cast<std::size_t>(capacity_) * 2);
    std::memcpy(bigger.get(), data_, sizeof(Token) * static_cast<std::size_t>(size_));
    heap_ = std::move(bigger);
    data_ = heap_.get();
    capacity_ *= 2;
}

bool tokenize(QStringView command, TokenTable *table)
{
    return Tokenizer(command, table).run();
}

LowerWord::LowerWord(QStringView word)
{
    bool ascii = true;
    for (const QChar c : word)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        if (word.size() >= qsizetype(sizeof text_))
            return;
        for (qsizetype i = 0; i < word.size(); ++i) {
            const char16_t c = word[i].unicode();
            text_[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        }
        size_ = static_cast<int>(word.size());
        return;
    }
    // Rare: keep QString's Unicode rules, which map a few letters to ASCII ones.
    const QString lowered = word.toString().toLower();
    if (lowered.size() >= qsizetype(sizeof text_))
        return;
    for (qsizetype i = 0; i < lowered.size(); ++i) {
        if (lowered[i].unicode() >= 0x80)
            return;
        text_[i] = static_cast<char>(lowered[i].unicode());
    }
    size_ = static_cast<int>(lowered.size());
}

bool LowerWord::operator==(const char *lower) const
{
    return std::strlen(lower) == static_cast<std::size_t>(size_) && std::memcmp(text_, lower, size_) == 0;
}

std::optional<VARIANT> parseNumber(QStringView token)
{
    int digits = 0;
    int dots = 0;
    for (qsizetype i = 0; i < token.size(); ++i) {
        const char16_t c = token[i].unicode();
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && ++dots == 1)
            continue;
        else if (!((c == '+' || c == '-') && i == 0))
            return std::nullopt;
    }
    if (digits == 0)
        return std::nullopt;
    if (!dots && digits <= 18) // cannot overflow: read here as strtoll would
        return smallestInteger(token);
    // Only ASCII digits, signs and dots are left: copied as they are.
    char small[64];
    QByteArray large;
    const char *text = small;
    if (token.size() < qsizetype(sizeof small)) {
        for (qsizetype i = 0; i < token.size(); ++i)
            small[i] = static_cast<char>(token[i].unicode());
        small[token.size()] = '\0';
    } else {
        large = token.toLatin1();
        text = large.constData();
    }
    return dots ? decimalNumber(text) : longInteger(text);
}

bool isIntegerLiteral(const VARIANT &v)
{
    return v.vt == VT_I1 || v.vt == VT_I2 || v.vt == VT_I4 || v.vt == VT_I8;
}

qint64 integerValue(const VARIANT &v)
{
    switch (v.vt) {
    case VT_I1:
        return v.cVal;
    case VT_I2:
        return v.iVal;
    case VT_I4:
        return v.lVal;
    default:
        return v.llVal;
    }
}

QString decodeEscapes(QStringView text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] != u'$') {
            out += text[i];
            continue;
        }
        qsizetype k = 1;
        while (k <= 4 && i + k < n && isHexDigit(text[i + k].unicode()))
            ++k;
        if (k <= 4 && i + k >= n)
            return out; // the text ends within the four digits: it ends at the "$"
        if (k <= 4) {
            out += text[i]; // not an escape: the "$" stays
            continue;
        }
        uint code = 0;
        for (qsizetype d = 1; d <= 4; ++d)
            code = code * 16 + hexValue(text[i + d].unicode());
        out += QChar(static_cast<char16_t>(code & 0xFF));
        i += 4;
    }
    return out;
}

QList<TokenizedMember> tokenizeCommand(const QString &command)
{
    TokenTable table;
    if (!tokenize(command, &table))
        return {};
    QList<TokenizedMember> members;
    for (int i = 0; i < table.memberCount; ++i) {
        const MemberTokens &span = table.members[i];
        TokenizedMember m;
        m.openCount = span.openCount;
        m.closeCount = span.closeCount;
        for (int k = 0; k < span.count; ++k) {
            const Token &t = table.data()[span.first + k];
            m.tokens.append(command.mid(t.start, t.length));
        }
        members.append(m);
    }
    return members;
}

} // namespace orvane
