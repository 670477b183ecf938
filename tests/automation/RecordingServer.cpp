#include "RecordingServer.h"

#include "automation/com/Bstr.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "automation/com/SafeArray.h"
#include "automation/com/VariantChangeType.h"

namespace orvane::test
{

namespace
{

enum : DISPID {
    Name = 1,
    Count,
    Big,
    Flag,
    Null,
    Nothing,
    Empty,
    Fields,
    Properties,
    Self,
    Echo,
    Take,
    Fail,
    FailPlain,
    FailWin32,
    Keep,
    Bytes,
    Multi,
};

const MemberTable &recorderMembers()
{
    static const MemberTable table{
        {"Name", Name},   {"Count", Count},         {"Big", Big},
        {"Flag", Flag},   {"Null", Null},           {"Nothing", Nothing},
        {"Empty", Empty}, {"Fields", Fields},       {"Properties", Properties},
        {"Self", Self},   {"Echo", Echo},           {"Take", Take},
        {"Fail", Fail},   {"FailPlain", FailPlain}, {"FailWin32", FailWin32},
        {"Keep", Keep},   {"Bytes", Bytes},         {"Multi", Multi},
    };
    return table;
}

// The object Fields(name) returns: its default member Value.
class Field : public DispatchObject
{
  public:
    Field(std::shared_ptr<InvokeLog> log, QString value)
        : DispatchObject(members()), log_(std::move(log)), value_(std::move(value))
    {
    }
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                   EXCEPINFO *excepInfo, UINT *argError) override
    {
        InvokeRecord r;
        r.member = members().name(id);
        r.dispid = id;
        r.flags = flags;
        r.argCount = params ? params->cArgs : 0;
        log_->add(r);
        return DispatchObject::Invoke(id, iid, lcid, flags, params, result, excepInfo, argError);
    }

  protected:
    HRESULT invoke(DispatchCall &call) override
    {
        return call.dispid() == DISPID_VALUE ? call.setResultString(value_) : DISP_E_MEMBERNOTFOUND;
    }

  private:
    static const MemberTable &members()
    {
        static const MemberTable table{{"Value", DISPID_VALUE}};
        return table;
    }
    std::shared_ptr<InvokeLog> log_;
    QString value_;
};

QString valueText(const VARIANT &v)
{
    VARIANT text;
    VariantInit(&text);
    QString out;
    if (SUCCEEDED(VariantChangeType(&text, &v, VARIANT_LOCALBOOL | VARIANT_NOVALUEPROP, VT_BSTR)))
        out = qStringFromBstr(text.bstrVal);
    VariantClear(&text);
    return out;
}

} // namespace

void InvokeLog::add(InvokeRecord record)
{
    std::lock_guard lock(mutex_);
    records_.push_back(std::move(record));
}

std::vector<InvokeRecord> InvokeLog::take()
{
    std::lock_guard lock(mutex_);
    return std::exchange(records_, {});
}

std::size_t InvokeLog::size() const
{
    std::lock_guard lock(mutex_);
    return records_.size();
}

RecordingServer::RecordingServer(std::shared_ptr<InvokeLog> log)
    : DispatchObject(recorderMembers()), log_(std::move(log))
{
}

RecordingServer::~RecordingServer()
{
    if (kept_ && kept_ != static_cast<IDispatch *>(this))
        kept_->Release();
}

HRESULT RecordingServer::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params,
                                VARIANT *result, EXCEPINFO *excepInfo, UINT *argError)
{
    InvokeRecord r;
    r.member = recorderMembers().name(id);
    r.dispid = id;
    r.flags = flags;
    if (params) {
        r.argCount = params->cArgs;
        for (UINT i = 0; i < params->cArgs; ++i) {
            r.types.push_back(params->rgvarg[i].vt);
            r.values.append(valueText(params->rgvarg[i]));
        }
        for (UINT i = 0; i < params->cNamedArgs; ++i)
            r.named.push_back(params->rgdispidNamedArgs[i]);
    }
    log_->add(std::move(r));
    return DispatchObject::Invoke(id, iid, lcid, flags, params, result, excepInfo, argError);
}

HRESULT RecordingServer::invoke(DispatchCall &call)
{
    std::lock_guard lock(mutex_);
    switch (call.dispid()) {
    case Name:
        if (call.isPropertyPut())
            return call.putString(&name_);
        return call.setResultString(name_);
    case Count:
        return call.setResultInteger(42);
    case Big:
        return call.setResultInteger(qint64(1) << 40);
    case Flag:
        if (call.isPropertyPut())
            return call.putBool(&flag_);
        return call.setResultBool(flag_);
    case Null:
        return call.setResultNull();
    case Nothing:
        return call.setResultDispatch(nullptr);
    case Empty:
        return S_OK;
    case Fields: {
        QString name;
        HRESULT hr = call.stringArg(0, &name);
        if (FAILED(hr))
            return hr;
        if (name == QLatin1String("none"))
            return call.setResultDispatch(nullptr);
        auto field = ComPtr<Field>::attach(new Field(log_, QStringLiteral("value of ") + name));
        return call.setResultDispatch(field.get());
    }
    case Properties: {
        QString name;
        HRESULT hr = call.stringArg(0, &name);
        if (FAILED(hr))
            return hr;
        if (call.isPropertyPut()) {
            QString value;
            hr = call.putString(&value);
            if (SUCCEEDED(hr))
                properties_.insert(name, value);
            return hr;
        }
        return call.setResultString(properties_.value(name));
    }
    case Self:
        return call.setResultDispatch(this);
    case Echo:
        if (call.argCount() != 1)
            return DISP_E_BADPARAMCOUNT;
        return call.setResultVariant(*call.arg(0));
    case Take:
        return S_OK;
    case Fail:
        return call.raise(QStringLiteral("Recorder failed on purpose."), E_FAIL,
                          QStringLiteral("Test.Recorder"));
    case FailPlain:
        return call.raise(QString());
    case FailWin32:
        return HRESULT_FROM_WIN32(2);
    case Keep:
        if (call.isPropertyPut()) {
            const VARIANT *v = call.putValue();
            if (!v || v->vt != VT_DISPATCH)
                return DISP_E_TYPEMISMATCH;
            // Keeping itself would be a reference cycle: itself is held weakly.
            IDispatch *self = static_cast<IDispatch *>(this);
            if (v->pdispVal && v->pdispVal != self)
                v->pdispVal->AddRef();
            if (kept_ && kept_ != self)
                kept_->Release();
            kept_ = v->pdispVal;
            return S_OK;
        }
        return call.setResultDispatch(kept_);
    case Bytes: {
        QByteArray bytes;
        for (int i = 0; i < 16; ++i)
            bytes.append(static_cast<char>(i));
        return call.setResultBytes(bytes);
    }
    case Multi: {
        VARIANT v;
        VariantInit(&v);
        setVariantStringArray(&v, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("3")});
        // Make the last element a number, as directories mix types.
        VARIANT *elements = static_cast<VARIANT *>(v.parray->pvData);
        setVariantInteger(&elements[2], 3);
        HRESULT hr = call.setResultVariant(v);
        VariantClear(&v);
        return hr;
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

std::shared_ptr<InvokeLog> sharedLog()
{
    static auto log = std::make_shared<InvokeLog>();
    return log;
}

void registerRecordingServer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const CLSID clsid{0x0BADF00D, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};
        registerClass(QStringLiteral("Test.Recorder"), clsid, [](REFIID iid, void **out) {
            return ComPtr<RecordingServer>::attach(new RecordingServer(sharedLog()))
                ->QueryInterface(iid, out);
        });
        registerMoniker(QStringLiteral("TEST:"), [](const QString &name, REFIID iid, void **out) -> HRESULT {
            if (name.compare(QLatin1String("TEST:missing"), Qt::CaseInsensitive) == 0)
                return HRESULT_FROM_WIN32(0x2030);
            auto server = ComPtr<RecordingServer>::attach(new RecordingServer(sharedLog()));
            return server->QueryInterface(iid, out);
        });
    });
}

} // namespace orvane::test
