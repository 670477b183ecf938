#include "automation/CommandParser.h"

#include "automation/AutomationObject.h"
#include "automation/PassedAddress.h"
#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

namespace orvane
{

namespace
{

// Every command the program sends goes through here, tens of thousands of
// times for one directory search, so a parse allocates nothing in the common
// case: the command is read in one pass into token positions (never copied
// out), then each member's tokens become its name and argument slots, with
// names and plain string arguments laid out as BSTRs in the ParsedCommand's
// own room. Only the slots used are touched.

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

enum class TokenKind : unsigned char { Word, Quoted, Open, Close, Comma, Equals };

// One token: its place in the command. A quoted token includes its quotes.
struct Token {
    int start;
    int length;
    TokenKind kind;
};

bool isPunctuation(const Token &t)
{
    return t.kind >= TokenKind::Open;
}

// Set when the tokenizer reaches the member (the table leaves the others unset).
struct MemberTokens {
    int first; // index of the member's first token in the table
    int count;
    int openCount;
    int closeCount;
};

// The tokens of one command, in the order read; up to 64 of them need no allocation.
class TokenTable
{
  public:
    TokenTable() = default;
    TokenTable(const TokenTable &) = delete;
    TokenTable &operator=(const TokenTable &) = delete;

    void push(const Token &t)
    {
        if (size_ == capacity_)
            grow();
        data_[size_++] = t;
    }
    int size() const { return size_; }
    const Token *data() const { return data_; }

    MemberTokens members[kMaxMembers];
    int memberCount = 0;

  private:
    void grow()
    {
        auto bigger = std::make_unique<Token[]>(static_cast<std::size_t>(capacity_) * 2);
        std::memcpy(bigger.get(), data_, sizeof(Token) * static_cast<std::size_t>(size_));
        heap_ = std::move(bigger);
        data_ = heap_.get();
        capacity_ *= 2;
    }

    static constexpr int kInline = 64;
    Token inline_[kInline];
    std::unique_ptr<Token[]> heap_;
    Token *data_ = inline_;
    int size_ = 0;
    int capacity_ = kInline;
};

// Tokenizer state for one command.
class Tokenizer
{
  public:
    Tokenizer(QStringView command, TokenTable *table) : command_(command), table_(table) {}

    // Fills the table; false on a syntax error.
    bool run()
    {
        const char16_t *text = command_.utf16();
        const int n = static_cast<int>(command_.size());
        table_->memberCount = 1;
        MemberTokens *m = &table_->members[0];
        *m = MemberTokens{0, 0, 0, 0};
        int equals = 0;
        int i = 0;
        while (i < n) {
            const int start = i;
            TokenKind kind = TokenKind::Word;
            if (!isSeparator(text[i])) {
                while (i < n && !isSeparator(text[i]))
                    ++i; // a separator after the word is examined next
            } else {
                switch (text[i]) {
                case u'\'': {
                    int close = i + 1;
                    while (close < n && text[close] != u'\'')
                        ++close;
                    if (close == n)
                        return false;
                    kind = TokenKind::Quoted;
                    i = close + 1;
                    break;
                }
                case u'(':
                    ++m->openCount;
                    kind = TokenKind::Open;
                    ++i;
                    break;
                case u')':
                    if (m->openCount == 0)
                        return false;
                    ++m->closeCount;
                    kind = TokenKind::Close;
                    ++i;
                    break;
                case u'=':
                    if (++equals > 1)
                        return false;
                    kind = TokenKind::Equals;
                    ++i;
                    break;
                case u',':
                    kind = TokenKind::Comma;
                    ++i;
                    break;
                case u'\\':
                    if (table_->memberCount >= kMaxMembers || m->openCount != m->closeCount ||
                        m->openCount > 1 || m->count == 0 || equals > 0)
                        return false;
                    m = &table_->members[table_->memberCount++];
                    *m = MemberTokens{table_->size(), 0, 0, 0};
                    ++i;
                    continue;
                default: // space
                    ++i;
                    continue;
                }
            }
            table_->push({start, i - start, kind});
            if (++m->count >= kMaxTokens)
                break; // the rest of the command is not read
        }
        return m->count > 0 && m->openCount == m->closeCount && m->openCount <= 1;
    }

  private:
    QStringView command_;
    TokenTable *table_;
};

// A word lower-cased as QString::toLower does it, held when the result is
// short ASCII text (every keyword, modifier and type name is); empty otherwise.
class LowerWord
{
  public:
    explicit LowerWord(QStringView word)
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
    bool operator==(const char *lower) const
    {
        return std::strlen(lower) == static_cast<std::size_t>(size_) && std::memcmp(text_, lower, size_) == 0;
    }

  private:
    char text_[24];
    int size_ = 0;
};

// The tokens of one member within their command.
struct MemberText {
    QStringView command;
    const Token *tokens;
    int count;

    QStringView text(int k) const { return command.mid(tokens[k].start, tokens[k].length); }
    // The token lower-cased when it is a word; nothing matches a quoted string or punctuation.
    LowerWord lower(int k) const
    {
        return LowerWord(k < count && tokens[k].kind == TokenKind::Word ? text(k) : QStringView());
    }
};

// Target type of an "as" type name; VT_EMPTY for an unknown name.
VARTYPE typeNamed(const LowerWord &name)
{
    struct Entry {
        const char *name;
        VARTYPE vt;
    };
    static const Entry types[] = {
        {"boolean", VT_BOOL},
        {"string", VT_BSTR},
        {"bstr", VT_BSTR},
        {"byte", VT_I1},
        {"ubyte", VT_UI1},
        {"word", VT_I2},
        {"uword", VT_UI2},
        {"long", VT_I4},
        {"dword", VT_I4},
        {"ulong", VT_UI4},
        {"udword", VT_UI4},
        {"quad", VT_I8},
        {"qword", VT_I8},
        {"uquad", VT_UI8},
        {"uqword", VT_UI8},
        {"integer", VT_INT},
        {"int", VT_INT},
        {"uinteger", VT_UINT},
        {"uint", VT_UINT},
        {"date", VT_DATE},
        {"object", VT_DISPATCH},
        {"idispatch", VT_DISPATCH},
        {"automationobject", VT_DISPATCH},
        {"iunknown", VT_UNKNOWN},
        {"float", VT_R4},
        {"single", VT_R4},
        {"double", VT_R8},
        {"variant", VT_VARIANT},
    };
    for (const Entry &e : types) {
        if (name == e.name)
            return e.vt;
    }
    return VT_EMPTY;
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

QString decodeEscapesOf(QStringView text)
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

bool isInlineText(const ParsedCommand &parsed, const OLECHAR *text)
{
    const std::less<const OLECHAR *> before;
    return text && !before(text, parsed.inlineText) && before(text, parsed.inlineText + kInlineTextUnits);
}

// A BSTR of `text` in the command's own room when `parsed` is given and the
// text fits there, else allocated. Null when out of memory.
BSTR commandString(ParsedCommand *parsed, QStringView text)
{
    constexpr int kPrefixUnits = sizeof(std::uint32_t) / sizeof(OLECHAR);
    // Prefix, text and NUL, rounded up so that the next prefix stays aligned.
    const qsizetype units = (kPrefixUnits + text.size() + 1 + 1) & ~qsizetype(1);
    if (!parsed || units > kInlineTextUnits - parsed->inlineTextUsed)
        return SysAllocStringLen(reinterpret_cast<LPCOLESTR>(text.utf16()), static_cast<UINT>(text.size()));
    OLECHAR *at = parsed->inlineText + parsed->inlineTextUsed;
    const auto bytes = static_cast<std::uint32_t>(text.size() * sizeof(OLECHAR));
    std::memcpy(at, &bytes, sizeof bytes);
    if (!text.isEmpty())
        std::memcpy(at + kPrefixUnits, text.utf16(), bytes);
    at[kPrefixUnits + text.size()] = 0;
    parsed->inlineTextUsed += static_cast<int>(units);
    return at + kPrefixUnits;
}

// `literal` = VT_BSTR of the text between a string argument's quotes, escapes
// decoded; kept in `room` (the command's own room; null: allocated).
HRESULT setStringLiteral(VARIANT *literal, QStringView text, ParsedCommand *room)
{
    BSTR b = nullptr;
    if (text.contains(u'$'))
        b = commandString(room, decodeEscapesOf(text));
    else
        b = commandString(room, text);
    if (!b)
        return E_OUTOFMEMORY;
    literal->vt = VT_BSTR;
    literal->bstrVal = b;
    return S_OK;
}

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

std::optional<VARIANT> numberOf(QStringView token)
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
    VARIANT v;
    VariantInit(&v);
    errno = 0;
    char *end = nullptr;
    if (dots) {
        // from_chars, not strtod: the windows set the process locale, and a
        // decimal comma there must not change how "1.5" reads.
        const char *start = text[0] == '+' ? text + 1 : text;
        const char *stop = text + std::strlen(text);
        if (start != text && *start == '-')
            return std::nullopt;
        v.vt = VT_R8;
        const auto [ptr, ec] = std::from_chars(start, stop, v.dblVal);
        if (ec != std::errc() || ptr != stop)
            return std::nullopt;
        return v;
    } else {
        const long long value = std::strtoll(text, &end, 10);
        if (errno == ERANGE)
            return std::nullopt;
        v = integerLiteral(value);
    }
    if (!end || *end != '\0')
        return std::nullopt;
    return v;
}

// Reads the literal of the argument at token `k` (string, keyword or number)
// into `literal`; a string goes into `room` (see setStringLiteral).
HRESULT readLiteral(const MemberText &member, int k, VARIANT *literal, ParsedCommand *room)
{
    if (member.tokens[k].kind == TokenKind::Quoted) {
        const Token &t = member.tokens[k];
        return setStringLiteral(literal, member.command.mid(t.start + 1, t.length - 2), room);
    }
    const LowerWord lower = member.lower(k);
    if (lower == "#nullstring")
        return setStringLiteral(literal, QStringView(), room);
    if (lower == "#false" || lower == "#true") {
        literal->vt = VT_BOOL;
        literal->boolVal = lower == "#true" ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (lower == "#empty" || lower == "#optional" || lower == "#opt") {
        literal->vt = VT_ERROR;
        literal->scode = DISP_E_PARAMNOTFOUND;
        return S_OK;
    }
    if (lower == "#void") {
        literal->vt = VT_I4;
        literal->lVal = 0;
        return S_OK;
    }
    std::optional<VARIANT> number = numberOf(member.text(k));
    if (!number)
        return E_INVALIDARG;
    *literal = *number;
    return S_OK;
}

struct Modifiers {
    bool byref = false;
    bool hasType = false;
    bool automationObject = false; // "as AutomationObject": the number is an engine handle
    VARTYPE target = VT_EMPTY;
};

// Reads "byref", "as <type>", "byref" after the literal at token *k; moves *k to the last token used.
HRESULT readModifiers(const MemberText &member, int *k, Modifiers *m)
{
    if (member.lower(*k + 1) == "byref") {
        m->byref = true;
        ++*k;
    }
    if (member.lower(*k + 1) == "as" && *k + 2 < member.count && !isPunctuation(member.tokens[*k + 2])) {
        const LowerWord typeName(member.text(*k + 2));
        m->target = typeNamed(typeName);
        if (m->target == VT_EMPTY)
            return E_INVALIDARG;
        m->automationObject = typeName == "automationobject";
        m->hasType = true;
        *k += 2;
    }
    if (member.lower(*k + 1) == "byref") {
        m->byref = true;
        ++*k;
    }
    return S_OK;
}

// The name a refusal gives for the way the number was to be used.
const char *useName(const Modifiers &m, VARTYPE target)
{
    if (m.byref)
        return "byref";
    if (target == VT_VARIANT)
        return "as variant";
    return target == VT_UNKNOWN ? "as iunknown" : "as object";
}

// Fills `slot` from the registered address `number` under the registry's lock,
// so that the registration cannot be withdrawn before the copy or reference
// is taken; an address not registered for this use is explained in `*detail`.
HRESULT takePassedAddress(qint64 number, const Modifiers &m, VARTYPE target, VARIANT *slot, QString *detail)
{
    const PassedUse use = m.byref                ? PassedUse::ByRef
                          : target == VT_VARIANT ? PassedUse::Variant
                          : target == VT_UNKNOWN ? PassedUse::Unknown
                                                 : PassedUse::Dispatch;
    std::unique_lock<std::mutex> lock = lockPassedAddresses();
    if (number <= 0 || !isPassedAddressLocked(static_cast<quintptr>(number), use, target)) {
        *detail = QString::number(number) + QStringLiteral(" is not an address registered for passing ") +
                  QLatin1String(useName(m, target)) + QLatin1Char('.');
        return E_INVALIDARG;
    }
    void *pointer = reinterpret_cast<void *>(static_cast<quintptr>(number));
    if (m.byref) {
        slot->vt = target | VT_BYREF;
        slot->byref = pointer;
    } else if (target == VT_DISPATCH) {
        slot->pdispVal = static_cast<IDispatch *>(pointer);
        slot->pdispVal->AddRef();
        slot->vt = VT_DISPATCH;
    } else if (target == VT_UNKNOWN) {
        slot->punkVal = static_cast<IUnknown *>(pointer);
        slot->punkVal->AddRef();
        slot->vt = VT_UNKNOWN;
    } else { // VT_VARIANT: a copy of the caller's VARIANT
        VariantInit(slot);
        HRESULT hr = VariantCopy(slot, static_cast<const VARIANT *>(pointer));
        if (FAILED(hr)) {
            VariantInit(slot);
            return hr;
        }
    }
    return S_OK;
}

// Gives `slot` its final form from `literal` (which it takes over) and the
// modifiers; a refused address or handle is explained in `*detail`.
HRESULT finishArgument(VARIANT *literal, const Modifiers &m, VARIANT *slot, QString *detail)
{
    const VARTYPE target = m.hasType ? m.target : literal->vt;
    const bool pointerForm = m.byref || target == VT_DISPATCH || target == VT_UNKNOWN || target == VT_VARIANT;
    if (!pointerForm) {
        *slot = *literal;
        VariantInit(literal);
        if (slot->vt == target)
            return S_OK;
        HRESULT hr = VariantChangeType(slot, slot, VARIANT_LOCALBOOL, target);
        if (FAILED(hr))
            VariantClear(slot);
        return hr;
    }
    if (!isIntegerLiteral(*literal))
        return E_INVALIDARG;
    const qint64 number = integerValue(*literal);
    if (number == 0 && target == VT_VARIANT && !m.byref) {
        *slot = *literal; // "0 as variant" passes the integer 0
        VariantInit(literal);
        return S_OK;
    }
    if (m.automationObject && !m.byref) {
        IDispatch *dispatch = number > 0 ? dispatchOfHandle(static_cast<quintptr>(number)) : nullptr;
        if (!dispatch) {
            *detail = QString::number(number) + QStringLiteral(" is not a live automation object handle.");
            return E_INVALIDARG;
        }
        slot->vt = VT_DISPATCH;
        slot->pdispVal = dispatch; // the reference dispatchOfHandle took
        return S_OK;
    }
    // A number is used as a pointer only when the program registered it for
    // passing: anything else, typed or stale, would be dereferenced blindly.
    return takePassedAddress(number, m, target, slot, detail);
}

// Builds the argument written at token *k into the member's next free slot.
HRESULT buildArgument(ParsedCommand *command, ParsedMember *parsed, const MemberText &member, int *k)
{
    if (parsed->argumentCount >= kMaxArguments)
        return E_OUTOFMEMORY;
    // Only a word can be a modifier. Without one, a string literal becomes the
    // slot's value as it is and may live in the command's own room; a literal
    // that is converted or refused is freed on its own, so it is allocated.
    const bool modified = *k + 1 < member.count && member.tokens[*k + 1].kind == TokenKind::Word;
    VARIANT literal;
    VariantInit(&literal);
    HRESULT hr = readLiteral(member, *k, &literal, modified ? nullptr : command);
    Modifiers modifiers;
    if (SUCCEEDED(hr) && modified)
        hr = readModifiers(member, k, &modifiers);
    VARIANT *slot = &parsed->arguments[kMaxArguments - 1 - parsed->argumentCount];
    VariantInit(slot);
    if (SUCCEEDED(hr))
        hr = finishArgument(&literal, modifiers, slot, &command->failureDetail);
    if (literal.vt != VT_EMPTY) // taken over by the slot unless the argument failed
        VariantClear(&literal);
    if (FAILED(hr))
        return hr;
    ++parsed->argumentCount;
    return S_OK;
}

enum class State { Start, AfterName, AfterOpen, AfterArgument, AfterClose, ExpectValue };

HRESULT parseMember(ParsedCommand *command, ParsedMember *parsed, const MemberText &member)
{
    State state = State::Start;
    bool inParens = false;
    for (int k = 0; k < member.count; ++k) {
        const Token &token = member.tokens[k];
        if (k == 0) {
            if (isPunctuation(token))
                return E_INVALIDARG;
            parsed->name = commandString(command, member.text(0));
            if (!parsed->name)
                return E_OUTOFMEMORY;
            state = State::AfterName;
            continue;
        }
        switch (token.kind) {
        case TokenKind::Open:
            if (k != 1)
                return E_INVALIDARG;
            state = State::AfterOpen;
            inParens = true;
            break;
        case TokenKind::Close:
            if (!inParens || (state != State::AfterOpen && state != State::AfterArgument))
                return E_INVALIDARG;
            state = State::AfterClose;
            inParens = false;
            break;
        case TokenKind::Equals:
            if (state != State::AfterClose && state != State::AfterName)
                return E_INVALIDARG;
            state = State::ExpectValue;
            break;
        case TokenKind::Comma:
            if (state != State::AfterArgument || !inParens)
                return E_INVALIDARG;
            state = State::ExpectValue;
            break;
        default: {
            if (state != State::AfterOpen && state != State::ExpectValue)
                return E_INVALIDARG;
            HRESULT hr = buildArgument(command, parsed, member, &k);
            if (FAILED(hr))
                return hr;
            state = State::AfterArgument;
        }
        }
    }
    // "A =" has no value to write.
    return state == State::ExpectValue ? E_INVALIDARG : S_OK;
}

} // namespace

QList<TokenizedMember> tokenizeCommand(const QString &command)
{
    TokenTable table;
    if (!Tokenizer(command, &table).run())
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

std::optional<VARIANT> parseNumber(const QString &token)
{
    return numberOf(token);
}

QString decodeEscapes(const QString &text)
{
    return decodeEscapesOf(text);
}

QString quoteArgument(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == u'\'')
            out += QLatin1String("$0027");
        else if (c == u'$')
            out += QLatin1String("$0024");
        else
            out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

HRESULT parseCommandInto(const QString &command, ParsedCommand *parsed)
{
    if (!parsed)
        return E_POINTER;
    parsed->memberCount = 0;
    parsed->inlineTextUsed = 0;
    parsed->failureDetail.clear();
    if (command.isEmpty())
        return E_INVALIDARG;
    TokenTable table;
    if (!Tokenizer(command, &table).run())
        return E_INVALIDARG;
    parsed->memberCount = table.memberCount;
    for (int i = 0; i < table.memberCount; ++i) {
        parsed->members[i].name = nullptr;
        parsed->members[i].argumentCount = 0;
    }
    for (int i = 0; i < table.memberCount; ++i) {
        const MemberTokens &span = table.members[i];
        const MemberText member{command, table.data() + span.first, span.count};
        HRESULT hr = parseMember(parsed, &parsed->members[i], member);
        if (FAILED(hr)) {
            clearParsedCommand(parsed);
            return hr;
        }
    }
    return S_OK;
}

void clearParsedCommand(ParsedCommand *parsed)
{
    for (int i = 0; i < parsed->memberCount; ++i) {
        ParsedMember &m = parsed->members[i];
        for (int slot = kMaxArguments - m.argumentCount; slot < kMaxArguments; ++slot) {
            VARIANT &v = m.arguments[slot];
            if (v.vt == VT_BSTR && isInlineText(*parsed, v.bstrVal))
                VariantInit(&v); // lives in the command's room
            else
                VariantClear(&v);
        }
        if (!isInlineText(*parsed, m.name))
            SysFreeString(m.name);
        m.name = nullptr;
        m.argumentCount = 0;
    }
    parsed->memberCount = 0;
    parsed->inlineTextUsed = 0;
}

HRESULT parseCommand(const QString &command, ParsedCommand **parsed)
{
    if (!parsed)
        return E_POINTER;
    *parsed = nullptr;
    if (command.isEmpty())
        return E_INVALIDARG;
    auto *result = new (std::nothrow) ParsedCommand;
    if (!result)
        return E_OUTOFMEMORY;
    const HRESULT hr = parseCommandInto(command, result);
    if (FAILED(hr)) {
        delete result;
        return hr;
    }
    *parsed = result;
    return S_OK;
}

void freeParsedCommand(ParsedCommand *parsed)
{
    if (!parsed)
        return;
    clearParsedCommand(parsed);
    delete parsed;
}

} // namespace orvane
