#include "automation/com/DispatchObject.h"

#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

#include <cstring>

namespace orvane
{

namespace
{

std::atomic<long> liveObjects{0};

QString memberKey(const QString &name)
{
    return name.toCaseFolded();
}

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// A VT_BYREF|VT_VARIANT argument stands for the VARIANT it points at.
const VARIANT *seeThrough(const VARIANT *v)
{
    while (v && v->vt == (VT_BYREF | VT_VARIANT))
        v = v->pvarVal;
    return v;
}

bool isMissing(const VARIANT *v)
{
    return !v || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

// Converts a present argument to `type` with COM's rules and hands the
// converted value to `take`; DISP_E_PARAMNOTFOUND when the argument is missing.
template <typename Take> HRESULT converted(const VARIANT *v, VARTYPE type, USHORT flags, Take take)
{
    if (isMissing(v))
        return DISP_E_PARAMNOTFOUND;
    VARIANT tmp;
    VariantInit(&tmp);
    HRESULT hr = VariantChangeType(&tmp, v, flags, type);
    if (SUCCEEDED(hr))
        take(tmp);
    VariantClear(&tmp);
    return hr;
}

HRESULT convertedText(const VARIANT *v, QString *out)
{
    // A text argument is copied once, without the BSTR copy a conversion makes.
    if (v && v->vt == VT_BSTR) {
        *out = qStringFromBstr(v->bstrVal);
        return S_OK;
    }
    return converted(v, VT_BSTR, VARIANT_LOCALBOOL,
                     [out](const VARIANT &t) { *out = qStringFromBstr(t.bstrVal); });
}

HRESULT convertedInteger(const VARIANT *v, qint64 *out)
{
    return converted(v, VT_I8, 0, [out](const VARIANT &t) { *out = t.llVal; });
}

HRESULT convertedBool(const VARIANT *v, bool *out)
{
    return converted(v, VT_BOOL, VARIANT_LOCALBOOL,
                     [out](const VARIANT &t) { *out = t.boolVal != VARIANT_FALSE; });
}

} // namespace

MemberTable::MemberTable(std::initializer_list<std::pair<QString, DISPID>> members)
{
    for (const auto &[name, id] : members) {
        byName_.insert(memberKey(name), id);
        byId_.insert(id, name);
    }
    std::size_t size = 2;
    while (size < std::size_t(byName_.size()) * 2)
        size *= 2;
    asciiSlots_.resize(size);
    for (auto it = byName_.cbegin(); it != byName_.cend(); ++it) {
        if (!isAscii(it.key()))
            continue;
        AsciiSlot entry;
        entry.key = it.key().toStdString();
        entry.hash = kHashStart;
        for (const char c : entry.key)
            entry.hash = hashStep(entry.hash, c);
        entry.id = it.value();
        entry.used = true;
        std::size_t at = entry.hash & (size - 1);
        while (asciiSlots_[at].used)
            at = (at + 1) & (size - 1);
        asciiSlots_[at] = std::move(entry);
    }
}

DISPID MemberTable::find(QStringView name) const
{
    // Case folding maps ASCII letters to their lower case and nothing else to
    // ASCII text that an ASCII name could equal, so an ASCII name is looked up
    // among the ASCII keys, lower-cased and hashed in one pass.
    char lower[64];
    if (name.size() < qsizetype(sizeof lower)) {
        std::uint32_t hash = kHashStart;
        qsizetype i = 0;
        for (; i < name.size(); ++i) {
            char16_t c = name[i].unicode();
            if (c >= 0x80)
                break;
            if (c >= 'A' && c <= 'Z')
                c += 'a' - 'A';
            lower[i] = static_cast<char>(c);
            hash = hashStep(hash, lower[i]);
        }
        if (i == name.size()) {
            const std::size_t mask = asciiSlots_.size() - 1;
            for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
                const AsciiSlot &slot = asciiSlots_[at];
                if (!slot.used)
                    return DISPID_UNKNOWN;
                if (slot.hash == hash && slot.key.size() == std::size_t(name.size()) &&
                    std::memcmp(slot.key.data(), lower, slot.key.size()) == 0)
                    return slot.id;
            }
        }
    }
    return byName_.value(memberKey(name.toString()), DISPID_UNKNOWN);
}

DISPID pathMemberId(const MemberTable &table, const PathMember &member, UINT arguments)
{
    if (!member.name || member.params.cArgs != arguments || member.params.cNamedArgs != 0)
        return DISPID_UNKNOWN;
    return table.find(QStringView(member.name));
}

QString MemberTable::name(DISPID id) const
{
    return byId_.value(id);
}

DispatchCall::DispatchCall(DISPID dispid, WORD flags, DISPPARAMS *params, VARIANT *result)
    : dispid_(dispid), flags_(flags), result_(result)
{
    if (!params || !params->rgvarg)
        return;
    // rgvarg: named arguments first, then the positional ones last-first.
    for (UINT i = 0; i < params->cNamedArgs && i < params->cArgs; ++i) {
        const DISPID id = params->rgdispidNamedArgs ? params->rgdispidNamedArgs[i] : DISPID_UNKNOWN;
        const VARIANT *value = seeThrough(&params->rgvarg[i]);
        if (id == DISPID_PROPERTYPUT && isPropertyPut())
            putValue_ = value;
        else
            named_.emplace_back(id, value);
    }
    // Read in place (no copy of the pointers): argument i is rgvarg[cArgs - 1 - i].
    if (params->cArgs > params->cNamedArgs) {
        positional_ = params->rgvarg;
        argCount_ = static_cast<int>(params->cArgs - params->cNamedArgs);
        positionalEnd_ = params->cArgs;
    }
}

const VARIANT *DispatchCall::arg(int i) const
{
    return (i >= 0 && i < argCount_) ? seeThrough(&positional_[positionalEnd_ - 1 - static_cast<UINT>(i)])
                                     : nullptr;
}

bool DispatchCall::hasArg(int i) const
{
    return !isMissing(arg(i));
}

HRESULT DispatchCall::stringArg(int i, QString *out) const
{
    return convertedText(arg(i), out);
}
HRESULT DispatchCall::integerArg(int i, qint64 *out) const
{
    return convertedInteger(arg(i), out);
}
HRESULT DispatchCall::boolArg(int i, bool *out) const
{
    return convertedBool(arg(i), out);
}
HRESULT DispatchCall::putString(QString *out) const
{
    return convertedText(putValue_, out);
}
HRESULT DispatchCall::putInteger(qint64 *out) const
{
    return convertedInteger(putValue_, out);
}
HRESULT DispatchCall::putBool(bool *out) const
{
    return convertedBool(putValue_, out);
}

HRESULT DispatchCall::setResultString(const QString &text)
{
    return result_ ? setVariantString(result_, text) : S_OK;
}

HRESULT DispatchCall::setResultInteger(qint64 value)
{
    if (result_)
        setVariantInteger(result_, value);
    return S_OK;
}

HRESULT DispatchCall::setResultBool(bool value)
{
    if (result_)
        setVariantBool(result_, value);
    return S_OK;
}

HRESULT DispatchCall::setResultDouble(double value)
{
    if (result_)
        setVariantDouble(result_, value);
    return S_OK;
}

HRESULT DispatchCall::setResultNull()
{
    if (result_)
        setVariantNull(result_);
    return S_OK;
}

HRESULT DispatchCall::setResultDispatch(IDispatch *object)
{
    if (result_)
        setVariantDispatch(result_, object);
    return S_OK;
}

HRESULT DispatchCall::setResultBytes(const QByteArray &bytes)
{
    return result_ ? setVariantBytes(result_, bytes) : S_OK;
}

HRESULT DispatchCall::setResultStringArray(const QStringList &texts)
{
    return result_ ? setVariantStringArray(result_, texts) : S_OK;
}

HRESULT DispatchCall::setResultVariant(const VARIANT &value)
{
    return result_ ? VariantCopy(result_, &value) : S_OK;
}

HRESULT DispatchCall::raise(const QString &description, HRESULT scode, const QString &source)
{
    raised_ = true;
    description_ = description;
    scode_ = scode;
    source_ = source;
    return DISP_E_EXCEPTION;
}

DispatchObject::DispatchObject(const MemberTable &members) : members_(members)
{
    ++liveObjects;
}

DispatchObject::~DispatchObject()
{
    --liveObjects;
}

long DispatchObject::liveCount()
{
    return liveObjects.load();
}

HRESULT DispatchObject::QueryInterface(REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    IUnknown *found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch)
        found = static_cast<IDispatch *>(this);
    else
        found = queryOtherInterface(iid);
    if (!found) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    found->AddRef();
    *object = found;
    return S_OK;
}

ULONG DispatchObject::AddRef()
{
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG DispatchObject::Release()
{
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

IUnknown *DispatchObject::queryOtherInterface(REFIID)
{
    return nullptr;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids)
        return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = members_.find(names[i] ? QStringView(names[i]) : QStringView());
        if (ids[i] == DISPID_UNKNOWN)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                               EXCEPINFO *excepInfo, UINT *)
{
    if (iid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    if (!params || params->cNamedArgs > params->cArgs || (params->cArgs > 0 && !params->rgvarg) ||
        (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    if (result)
        VariantInit(result);
    DispatchCall call(id, flags, params, result);
    HRESULT hr = invoke(call);
    if (hr == DISP_E_EXCEPTION && excepInfo) {
        *excepInfo = EXCEPINFO();
        excepInfo->scode = call.raised() ? call.exceptionCode() : DISP_E_EXCEPTION;
        if (!call.exceptionDescription().isEmpty())
            excepInfo->bstrDescription = bstrFromQString(call.exceptionDescription());
        if (!call.exceptionSource().isEmpty())
            excepInfo->bstrSource = bstrFromQString(call.exceptionSource());
    }
    if (FAILED(hr) && result)
        VariantClear(result);
    return hr;
}

} // namespace orvane
