#include "automation/CommandParser.h"

#include "automation/AutomationObject.h"
#include "automation/CommandShapes.h"
#include "automation/CommandTokens.h"
#include "automation/PassedAddress.h"
#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <cstring>
#include <functional>
#include <new>

namespace orvane
{

namespace
{

// Every command the program sends goes through here, tens of thousands of
// times for one directory search, so a parse allocates nothing in the common
// case: each member's tokens (see CommandTokens.h) become its name and
// argument slots, with names and plain string arguments laid out as BSTRs in
// the ParsedCommand's own room. Only the slots used are touched.

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

// `literal` = VT_BSTR of the text between a string argument's quotes, escapes
// decoded; kept in `room` (the command's own room; null: allocated).
HRESULT setStringLiteral(VARIANT *literal, QStringView text, ParsedCommand *room)
{
    BSTR b = nullptr;
    if (text.contains(u'$'))
        b = commandString(room, decodeEscapes(text));
    else
        b = commandString(room, text);
    if (!b)
        return E_OUTOFMEMORY;
    literal->vt = VT_BSTR;
    literal->bstrVal = b;
    return S_OK;
}

// Reads the literal of the argument at token `k` (string, keyword or number)
// into `literal`; a string goes into `room` (see setStringLiteral).
HRESULT readLiteral(const MemberText &member, int k, VARIANT *literal, ParsedCommand *room)
{
    if (member.tokens[k].kind == TokenKind::Quoted) {
        const Token &t = member.tokens[k];
        return setStringLiteral(literal, member.command.mid(t.start + 1, t.length - 2), room);
    }
    // Every keyword begins with "#", which no other character lower-cases to,
    // so a number (the common argument) skips the keyword comparisons.
    const QStringView word = member.text(k);
    if (!word.isEmpty() && word[0] == u'#') {
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
    }
    std::optional<VARIANT> number = parseNumber(member.text(k));
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
    // A handle, an address or a copy of the caller's VARIANT is taken when the
    // command runs, not read from its text.
    const VARTYPE typed = modifiers.hasType ? modifiers.target : VT_EMPTY;
    if (modifiers.byref || typed == VT_DISPATCH || typed == VT_UNKNOWN || typed == VT_VARIANT)
        command->fromTextAlone = false;
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

bool isInlineText(const ParsedCommand &parsed, const OLECHAR *text)
{
    const std::less<const OLECHAR *> before;
    return text && !before(text, parsed.inlineText) && before(text, parsed.inlineText + kInlineTextUnits);
}

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

QString quoteArgument(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    // Nearly every value has neither character to escape: copied whole.
    if (!text.contains(u'\'') && !text.contains(u'$')) {
        out += text;
        out += QLatin1Char('\'');
        return out;
    }
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
    parsed->fromTextAlone = true;
    if (command.isEmpty())
        return E_INVALIDARG;
    if (parseCommandShape(command, parsed))
        return S_OK;
    TokenTable table;
    if (!tokenize(command, &table))
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
