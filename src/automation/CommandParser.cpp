#include "automation/CommandParser.h"

#include "automation/AutomationObject.h"
#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <cerrno>
#include <cstdlib>
#include <new>

namespace orvane
{

namespace
{

const QString kSeparators = QStringLiteral("(),\\'= ");

bool isPunctuation(const QString &token)
{
    return token == QLatin1String("(") || token == QLatin1String(")") || token == QLatin1String(",") ||
           token == QLatin1String("=");
}

bool isHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
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

// Target type of an "as" type name; VT_EMPTY for an unknown name.
VARTYPE typeNamed(const QString &lowerName)
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
        if (lowerName == QLatin1String(e.name))
            return e.vt;
    }
    return VT_EMPTY;
}

// Reads the literal of one argument (string, keyword or number) into `literal`.
HRESULT readLiteral(QString token, VARIANT *literal)
{
    if (token.toLower() == QLatin1String("#nullstring"))
        token.clear();
    if (token.isEmpty() || token.startsWith(QLatin1Char('\''))) {
        QString text = token.size() >= 2 ? token.mid(1, token.size() - 2) : QString();
        if (!text.isEmpty())
            text = decodeEscapes(text);
        return setVariantString(literal, text);
    }
    const QString lower = token.toLower();
    if (lower == QLatin1String("#false") || lower == QLatin1String("#true")) {
        literal->vt = VT_BOOL;
        literal->boolVal = lower == QLatin1String("#true") ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (lower == QLatin1String("#empty") || lower == QLatin1String("#optional") ||
        lower == QLatin1String("#opt")) {
        literal->vt = VT_ERROR;
        literal->scode = DISP_E_PARAMNOTFOUND;
        return S_OK;
    }
    if (lower == QLatin1String("#void")) {
        literal->vt = VT_I4;
        literal->lVal = 0;
        return S_OK;
    }
    std::optional<VARIANT> number = parseNumber(token);
    if (!number)
        return E_INVALIDARG;
    *literal = *number;
    return S_OK;
}

struct Modifiers {
    bool byref = false;
    bool hasType = false;
    QString typeName; // lower case
    VARTYPE target = VT_EMPTY;
};

// Reads "byref", "as <type>", "byref" after the literal at tokens[*k]; moves *k to the last token used.
HRESULT readModifiers(const QStringList &tokens, int *k, Modifiers *m)
{
    auto lowerAt = [&tokens](int j) { return j < tokens.size() ? tokens[j].toLower() : QString(); };
    if (lowerAt(*k + 1) == QLatin1String("byref")) {
        m->byref = true;
        ++*k;
    }
    if (lowerAt(*k + 1) == QLatin1String("as") && *k + 2 < tokens.size() && !isPunctuation(tokens[*k + 2])) {
        m->typeName = tokens[*k + 2].toLower();
        m->target = typeNamed(m->typeName);
        if (m->target == VT_EMPTY)
            return E_INVALIDARG;
        m->hasType = true;
        *k += 2;
    }
    if (lowerAt(*k + 1) == QLatin1String("byref")) {
        m->byref = true;
        ++*k;
    }
    return S_OK;
}

// Gives `slot` its final form from `literal` (which it takes over) and the modifiers.
HRESULT finishArgument(VARIANT *literal, const Modifiers &m, VARIANT *slot)
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
    // No address or handle is 0 or negative; taking a reference on one would crash.
    if (number < 0 || (number == 0 && target != VT_VARIANT) || (number == 0 && m.byref))
        return E_INVALIDARG;
    void *pointer = reinterpret_cast<void *>(static_cast<quintptr>(number));
    if (m.byref) {
        slot->vt = target | VT_BYREF;
        slot->byref = pointer;
    } else if (target == VT_DISPATCH) {
        IDispatch *dispatch = nullptr;
        if (m.typeName == QLatin1String("automationobject")) {
            dispatch = dispatchOfHandle(static_cast<quintptr>(number)); // AddRef'd; null unless a live handle
            if (!dispatch)
                return E_INVALIDARG;
        } else {
            dispatch = static_cast<IDispatch *>(pointer);
            dispatch->AddRef();
        }
        slot->vt = VT_DISPATCH;
        slot->pdispVal = dispatch;
    } else if (target == VT_UNKNOWN) {
        auto *unknown = static_cast<IUnknown *>(pointer);
        unknown->AddRef();
        slot->vt = VT_UNKNOWN;
        slot->punkVal = unknown;
    } else if (number != 0) { // VT_VARIANT: a copy of the caller's VARIANT
        VariantInit(slot);
        HRESULT hr = VariantCopy(slot, static_cast<const VARIANT *>(pointer));
        if (FAILED(hr)) {
            VariantInit(slot);
            return hr;
        }
    } else {
        *slot = *literal; // "0 as variant" passes the integer 0
        VariantInit(literal);
    }
    return S_OK;
}

// Builds the argument written at tokens[*k] into the member's next free slot.
HRESULT buildArgument(ParsedMember *member, const QStringList &tokens, int *k)
{
    if (member->argumentCount >= kMaxArguments)
        return E_OUTOFMEMORY;
    VARIANT literal;
    VariantInit(&literal);
    HRESULT hr = readLiteral(tokens[*k], &literal);
    Modifiers modifiers;
    if (SUCCEEDED(hr))
        hr = readModifiers(tokens, k, &modifiers);
    VARIANT *slot = &member->arguments[kMaxArguments - 1 - member->argumentCount];
    VariantInit(slot);
    if (SUCCEEDED(hr))
        hr = finishArgument(&literal, modifiers, slot);
    VariantClear(&literal);
    if (FAILED(hr))
        return hr;
    ++member->argumentCount;
    return S_OK;
}

enum class State { Start, AfterName, AfterOpen, AfterArgument, AfterClose, ExpectValue };

HRESULT parseMember(ParsedMember *member, const TokenizedMember &tokenized)
{
    const QStringList &tokens = tokenized.tokens;
    State state = State::Start;
    bool inParens = false;
    for (int k = 0; k < tokens.size(); ++k) {
        const QString &token = tokens[k];
        if (k == 0) {
            if (isPunctuation(token))
                return E_INVALIDARG;
            member->name = bstrFromQString(token);
            if (!member->name)
                return E_OUTOFMEMORY;
            state = State::AfterName;
        } else if (token == QLatin1String("(")) {
            if (k != 1)
                return E_INVALIDARG;
            state = State::AfterOpen;
            inParens = true;
        } else if (token == QLatin1String(")")) {
            if (!inParens || (state != State::AfterOpen && state != State::AfterArgument))
                return E_INVALIDARG;
            state = State::AfterClose;
            inParens = false;
        } else if (token == QLatin1String("=")) {
            if (state != State::AfterClose && state != State::AfterName)
                return E_INVALIDARG;
            state = State::ExpectValue;
        } else if (token == QLatin1String(",")) {
            if (state != State::AfterArgument || !inParens)
                return E_INVALIDARG;
            state = State::ExpectValue;
        } else {
            if (state != State::AfterOpen && state != State::ExpectValue)
                return E_INVALIDARG;
            HRESULT hr = buildArgument(member, tokens, &k);
            if (FAILED(hr))
                return hr;
            state = State::AfterArgument;
        }
    }
    // "A =" has no value to write.
    return state == State::ExpectValue ? E_INVALIDARG : S_OK;
}

// Tokenizer state for one command.
class Tokenizer
{
  public:
    explicit Tokenizer(const QString &command) : command_(command) { members_.append(TokenizedMember()); }

    QList<TokenizedMember> run()
    {
        const int n = static_cast<int>(command_.size());
        int i = 0;
        while (i < n && !full_) {
            const QChar c = command_[i];
            if (!kSeparators.contains(c)) {
                buffer_ += c;
                if (i == n - 1)
                    flush();
                ++i;
            } else if (!buffer_.isEmpty()) {
                flush(); // the separator is examined again
            } else if (!separator(c, &i)) {
                return {};
            }
        }
        const TokenizedMember &last = members_.back();
        if (last.tokens.isEmpty() || last.openCount != last.closeCount || last.openCount > 1)
            return {};
        return members_;
    }

  private:
    void add(const QString &token)
    {
        TokenizedMember &m = members_.back();
        m.tokens.append(token);
        if (m.tokens.size() >= kMaxTokens)
            full_ = true; // the rest of the command is not read
    }
    void flush()
    {
        add(buffer_);
        buffer_.clear();
    }
    // Handles separator `c` at *i (buffer empty); false on a syntax error.
    bool separator(QChar c, int *i)
    {
        TokenizedMember &m = members_.back();
        switch (c.unicode()) {
        case u'\'': {
            const qsizetype close = command_.indexOf(QLatin1Char('\''), *i + 1);
            if (close < 0)
                return false;
            add(command_.mid(*i, close - *i + 1));
            *i = static_cast<int>(close) + 1;
            return true;
        }
        case u'(':
            ++m.openCount;
            add(QStringLiteral("("));
            break;
        case u')':
            if (m.openCount == 0)
                return false;
            ++m.closeCount;
            add(QStringLiteral(")"));
            break;
        case u'=':
            if (++equals_ > 1)
                return false;
            add(QStringLiteral("="));
            break;
        case u',':
            add(QStringLiteral(","));
            break;
        case u'\\':
            if (members_.size() >= kMaxMembers || m.openCount != m.closeCount || m.openCount > 1 ||
                m.tokens.isEmpty() || equals_ > 0)
                return false;
            members_.append(TokenizedMember());
            break;
        default: // space
            break;
        }
        ++*i;
        return true;
    }

    const QString &command_;
    QList<TokenizedMember> members_;
    QString buffer_;
    int equals_ = 0;
    bool full_ = false;
};

} // namespace

QList<TokenizedMember> tokenizeCommand(const QString &command)
{
    return Tokenizer(command).run();
}

std::optional<VARIANT> parseNumber(const QString &token)
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
    const QByteArray text = token.toLatin1();
    VARIANT v;
    VariantInit(&v);
    errno = 0;
    char *end = nullptr;
    if (dots) {
        v.vt = VT_R8;
        v.dblVal = std::strtod(text.constData(), &end);
    } else {
        const long long value = std::strtoll(text.constData(), &end, 10);
        if (errno == ERANGE)
            return std::nullopt;
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
    }
    if (!end || *end != '\0')
        return std::nullopt;
    return v;
}

QString decodeEscapes(const QString &text)
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
        while (k <= 4 && i + k < n && isHexDigit(text[i + k]))
            ++k;
        if (k <= 4 && i + k >= n)
            return out; // the text ends within the four digits: it ends at the "$"
        if (k <= 4) {
            out += text[i]; // not an escape: the "$" stays
            continue;
        }
        const uint code = text.mid(i + 1, 4).toUInt(nullptr, 16);
        out += QChar(static_cast<char16_t>(code & 0xFF));
        i += 4;
    }
    return out;
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
    for (ParsedMember &m : result->members) {
        for (VARIANT &slot : m.arguments)
            VariantInit(&slot);
    }
    const QList<TokenizedMember> members = tokenizeCommand(command);
    if (members.isEmpty()) {
        freeParsedCommand(result);
        return E_INVALIDARG;
    }
    result->memberCount = static_cast<int>(members.size());
    for (int i = 0; i < result->memberCount; ++i) {
        HRESULT hr = parseMember(&result->members[i], members[i]);
        if (FAILED(hr)) {
            freeParsedCommand(result);
            return hr;
        }
    }
    *parsed = result;
    return S_OK;
}

void freeParsedCommand(ParsedCommand *parsed)
{
    if (!parsed)
        return;
    for (ParsedMember &m : parsed->members) {
        for (int slot = kMaxArguments - m.argumentCount; slot < kMaxArguments; ++slot)
            VariantClear(&m.arguments[slot]);
        SysFreeString(m.name);
    }
    delete parsed;
}

} // namespace orvane
