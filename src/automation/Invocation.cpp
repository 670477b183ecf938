#include "automation/Invocation.h"

#include "automation/CommandParseCache.h"
#include "automation/CommandParser.h"
#include "automation/LastError.h"
#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <new>

namespace orvane
{

namespace
{

constexpr WORD kReadFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

thread_local bool wholePathReads = true;

// Why the parse of this thread's current command refused an argument, from
// invokeCommand to the operation's closing finish() on the same thread.
thread_local QString refusalDetail;

// Calls `member` on `dispatch`. A server exception is
// recorded here with its description.
HRESULT invokeMember(AutomationObject *obj, WORD flags, VARIANT *result, IDispatch *dispatch,
                     ParsedMember &member)
{
    DISPID dispid = DISPID_UNKNOWN;
    LPOLESTR name = member.name;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr))
        return hr;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params;
    params.rgvarg = member.firstArgument();
    params.cArgs = static_cast<UINT>(member.argumentCount);
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.cNamedArgs = 1;
        params.rgdispidNamedArgs = &putId;
    }
    EXCEPINFO excep;
    UINT argError = 0;
    hr = dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &argError);
    if (hr == DISP_E_EXCEPTION) {
        if (excep.pfnDeferredFillIn)
            excep.pfnDeferredFillIn(&excep);
        SysFreeString(excep.bstrSource);
        recordError(obj, DISP_E_EXCEPTION, true, qStringFromBstr(excep.bstrDescription));
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    return hr;
}

// Turns an integer of 32 bits or less into VT_I8 in place, as VariantChangeType
// would (integers are the common result of getIntegerProperty); false for any
// other type, which VariantChangeType then converts.
bool widenToI8(VARIANT *v)
{
    qint64 value = 0;
    switch (v->vt) {
    case VT_I1:
        value = v->cVal;
        break;
    case VT_UI1:
        value = v->bVal;
        break;
    case VT_I2:
        value = v->iVal;
        break;
    case VT_UI2:
        value = v->uiVal;
        break;
    case VT_I4:
    case VT_INT:
        value = v->lVal;
        break;
    case VT_UI4:
    case VT_UINT:
        value = v->ulVal;
        break;
    default:
        return false;
    }
    VariantInit(v);
    v->vt = VT_I8;
    v->llVal = value;
    return true;
}

// Converts a read's result to `resultType` (0: as returned); S_OK or the conversion's code.
HRESULT convertResult(VARIANT *result, VARTYPE resultType)
{
    if (!result || resultType == VT_EMPTY || result->vt == resultType ||
        (resultType == VT_I8 && widenToI8(result)))
        return S_OK;
    return VariantChangeType(result, result, VARIANT_LOCALBOOL, resultType);
}

// The members of `parsed` laid out as a server's whole-path call takes them;
// only the members written are set up (a read runs this for every field).
// `withoutPutValue` leaves out the last member's put value, which sits in its
// first slot (arguments run last-first).
union WholePath {
    WholePath(ParsedCommand &parsed, bool withoutPutValue)
    {
        for (int i = 0; i < parsed.memberCount; ++i) {
            ParsedMember &member = parsed.members[i];
            PathMember *slot = new (&members[i]) PathMember;
            slot->name = member.name;
            const int dropped = withoutPutValue && i == parsed.memberCount - 1 ? 1 : 0;
            slot->params.rgvarg = member.argumentCount > dropped ? member.firstArgument() + dropped : nullptr;
            slot->params.cArgs = static_cast<UINT>(member.argumentCount - dropped);
        }
    }
    PathMember members[kMaxMembers];
};

// Lets a server that answers whole read paths (IPathRead) read `parsed` in
// one call; false when it has no such answer, `*result` then untouched. Its
// answer is what the member-by-member route would give, so codes and texts
// stay those of that route, which runs whenever the server declines.
bool readWholePath(IDispatch *first, ParsedCommand &parsed, VARTYPE resultType, VARIANT *result)
{
    IPathRead *reader = nullptr;
    if (FAILED(first->QueryInterface(IID_IPathRead, reinterpret_cast<void **>(&reader))) || !reader)
        return false;
    WholePath path(parsed, false);
    // A value the caller converts may come as an object's default value, as
    // the conversion would read it; an object or a VARIANT as returned may not.
    const bool valueOfObject = resultType != VT_EMPTY && resultType != VT_DISPATCH && resultType != VT_UNKNOWN;
    const HRESULT hr =
        reader->ReadPath(path.members, static_cast<UINT>(parsed.memberCount), valueOfObject, result);
    reader->Release();
    if (hr == S_OK)
        return true;
    VariantClear(result);
    return false;
}

// Lets a server that hands text over as text (IPathReadText) answer a text
// read of `parsed`; false when it declines, `*text` then untouched.
bool readWholePathText(IDispatch *first, ParsedCommand &parsed, QString *text)
{
    IPathReadText *reader = nullptr;
    if (FAILED(first->QueryInterface(IID_IPathReadText, reinterpret_cast<void **>(&reader))) || !reader)
        return false;
    WholePath path(parsed, false);
    const HRESULT hr = reader->ReadPathText(path.members, static_cast<UINT>(parsed.memberCount), text);
    reader->Release();
    return hr == S_OK;
}

// Lets a server that hands multi-valued texts over joined (IPathReadJoined)
// answer a read of `parsed`; false when it declines, `*joined` then untouched.
bool readWholePathJoined(IDispatch *first, ParsedCommand &parsed, QStringView delimiter, QString *joined)
{
    IPathReadJoined *reader = nullptr;
    if (FAILED(first->QueryInterface(IID_IPathReadJoined, reinterpret_cast<void **>(&reader))) || !reader)
        return false;
    WholePath path(parsed, false);
    const HRESULT hr =
        reader->ReadPathJoined(path.members, static_cast<UINT>(parsed.memberCount), delimiter, joined);
    reader->Release();
    return hr == S_OK;
}

// Lets a server that takes whole property writes (IPathWrite) do the write of
// `parsed` in one call; false when it declines, nothing then written. The put
// value is the last member's last written argument (its first slot).
bool writeWholePath(IDispatch *first, ParsedCommand &parsed)
{
    ParsedMember &last = parsed.members[parsed.memberCount - 1];
    if (last.argumentCount < 1)
        return false;
    IPathWrite *writer = nullptr;
    if (FAILED(first->QueryInterface(IID_IPathWrite, reinterpret_cast<void **>(&writer))) || !writer)
        return false;
    WholePath path(parsed, true);
    const HRESULT hr =
        writer->WritePath(path.members, static_cast<UINT>(parsed.memberCount), last.firstArgument());
    writer->Release();
    return hr == S_OK;
}

// Runs the whole path of `command`: intermediate members are read as objects,
// the last is invoked with `flags` into `result` and converted to `resultType`
// (0: as returned). Returns the code, or kOutcomeRecorded when a null object in
// the path has been recorded already. With `text`, a text read the server
// answers as text lands there, `*textAnswered` set and `*result` left empty.
HRESULT invokeCommand(AutomationObject *obj, WORD flags, VARTYPE resultType, VARIANT *result,
                      const QString &command, QString *text = nullptr, bool *textAnswered = nullptr)
{
    // A command sent again runs from this thread's parse of the same text;
    // its parse is read here, never changed (the servers read arguments only).
    CommandParse parse;
    HRESULT hr = parse.parse(command);
    if (FAILED(hr)) {
        refusalDetail = parse.failureDetail();
        return hr;
    }
    ParsedCommand &parsed = parse.command();
    // A released or foreign handle is refused instead of dereferenced.
    IDispatch *current = dispatchOfHandle(reinterpret_cast<quintptr>(obj));
    if (!current)
        return obj ? E_HANDLE : E_POINTER;
    if (text && wholePathReads && readWholePathText(current, parsed, text)) {
        current->Release();
        *textAnswered = true;
        return S_OK;
    }
    if (flags == kReadFlags && result && wholePathReads && readWholePath(current, parsed, resultType, result)) {
        current->Release();
        return convertResult(result, resultType);
    }
    if (flags == DISPATCH_PROPERTYPUT && !result && wholePathReads && writeWholePath(current, parsed)) {
        current->Release();
        return S_OK;
    }
    for (int i = 0; i < parsed.memberCount - 1 && current; ++i) {
        VARIANT working;
        VariantInit(&working);
        hr = invokeMember(obj, kReadFlags, &working, current, parsed.members[i]);
        current->Release();
        current = nullptr;
        if (FAILED(hr)) {
            VariantClear(&working);
            break;
        }
        if (working.vt == VT_DISPATCH) {
            current = working.pdispVal; // the reference passes to current
        } else if (working.vt != VT_EMPTY) {
            // A value where the path needs an object: never taken for a pointer.
            VariantClear(&working);
            hr = DISP_E_TYPEMISMATCH;
            break;
        }
        if (!current) {
            recordError(obj, S_FALSE, false,
                        QStringLiteral("The '") + qStringFromBstr(parsed.members[i].name) +
                            QStringLiteral("' property returned a NULL object!"));
            hr = kOutcomeRecorded;
            break;
        }
    }
    if (current) {
        hr = invokeMember(obj, flags, result, current, parsed.members[parsed.memberCount - 1]);
        current->Release();
        if (SUCCEEDED(hr))
            hr = convertResult(result, resultType);
    }
    return hr;
}

// The closing step shared by every operation: records `hr` (unless already
// recorded) and gives the HRESULT that invoke/setProperty return.
HRESULT finish(AutomationObject *obj, HRESULT hr)
{
    if (hr == kOutcomeRecorded)
        return S_FALSE;
    recordError(obj, hr, false, hr == E_INVALIDARG ? refusalDetail : QString());
    refusalDetail.clear();
    return hr;
}

HRESULT runWithoutResult(AutomationObject *obj, WORD flags, const QString &command)
{
    const HRESULT hr =
        command.isEmpty() ? E_INVALIDARG : invokeCommand(obj, flags, VT_EMPTY, nullptr, command);
    return finish(obj, hr);
}

// Reads the command into `value` as `resultType`; `value` is cleared on failure.
// `text` and `textAnswered` as invokeCommand's.
HRESULT read(AutomationObject *obj, VARTYPE resultType, VARIANT *value, const QString &command,
             QString *text = nullptr, bool *textAnswered = nullptr)
{
    VariantInit(value);
    HRESULT hr = command.isEmpty()
                     ? E_INVALIDARG
                     : invokeCommand(obj, kReadFlags, resultType, value, command, text, textAnswered);
    if (FAILED(hr) || hr == kOutcomeRecorded)
        VariantClear(value);
    return hr;
}

// Reads an interface pointer (VT_DISPATCH or VT_UNKNOWN); null with the outcome recorded.
IUnknown *readInterface(AutomationObject *obj, VARTYPE type, const QString &command)
{
    VARIANT value;
    HRESULT hr = read(obj, type, &value, command);
    if (SUCCEEDED(hr) && hr != kOutcomeRecorded && !value.punkVal) {
        VariantClear(&value);
        recordError(obj, S_FALSE, false, QStringLiteral("The property returned a NULL object!"));
        return nullptr;
    }
    finish(obj, hr);
    return (SUCCEEDED(hr) && hr != kOutcomeRecorded) ? value.punkVal : nullptr;
}

} // namespace

HRESULT invoke(AutomationObject *obj, const QString &command)
{
    return runWithoutResult(obj, DISPATCH_METHOD, command);
}

HRESULT setProperty(AutomationObject *obj, const QString &command)
{
    return runWithoutResult(obj, DISPATCH_PROPERTYPUT, command);
}

qint64 getIntegerProperty(AutomationObject *obj, const QString &command)
{
    VARIANT value;
    HRESULT hr = read(obj, VT_I8, &value, command);
    finish(obj, hr);
    const qint64 result = (SUCCEEDED(hr) && hr != kOutcomeRecorded) ? value.llVal : 0;
    VariantClear(&value);
    return result;
}

AutomationObject *getObjectProperty(AutomationObject *obj, const QString &command)
{
    auto *dispatch = static_cast<IDispatch *>(readInterface(obj, VT_DISPATCH, command));
    if (!dispatch)
        return nullptr;
    AutomationObject *result = adoptDispatch(dispatch);
    if (!result)
        recordError(obj, E_OUTOFMEMORY, false, QString());
    return result;
}

IUnknown *getUnknownProperty(AutomationObject *obj, const QString &command)
{
    return readInterface(obj, VT_UNKNOWN, command);
}

QString getStringProperty(AutomationObject *obj, const QString &command)
{
    VARIANT value;
    QString text;
    bool textAnswered = false;
    HRESULT hr = read(obj, VT_BSTR, &value, command, &text, &textAnswered);
    finish(obj, hr);
    if (textAnswered)
        return text;
    const QString result =
        (SUCCEEDED(hr) && hr != kOutcomeRecorded) ? qStringFromBstr(value.bstrVal) : QString();
    VariantClear(&value);
    return result;
}

bool getJoinedTexts(AutomationObject *obj, const QString &command, QStringView delimiter, QString *joined)
{
    if (command.isEmpty() || !wholePathReads)
        return false;
    CommandParse parse;
    if (FAILED(parse.parse(command)))
        return false;
    IDispatch *current = dispatchOfHandle(reinterpret_cast<quintptr>(obj));
    if (!current)
        return false;
    const bool answered = readWholePathJoined(current, parse.command(), delimiter, joined);
    current->Release();
    if (answered)
        finish(obj, S_OK);
    return answered;
}

VARIANT *getVariantProperty(AutomationObject *obj, const QString &command)
{
    auto *value = new (std::nothrow) VARIANT;
    if (!value) {
        finish(obj, E_OUTOFMEMORY);
        return nullptr;
    }
    HRESULT hr = read(obj, VT_EMPTY, value, command);
    finish(obj, hr);
    if (FAILED(hr) || hr == kOutcomeRecorded) {
        delete value;
        return nullptr;
    }
    return value;
}

void setWholePathReads(bool enabled)
{
    wholePathReads = enabled;
}

bool wholePathReadsEnabled()
{
    return wholePathReads;
}

void freeVariant(VARIANT *value)
{
    if (!value)
        return;
    VariantClear(value);
    delete value;
}

} // namespace orvane
