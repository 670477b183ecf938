#include "automation/com/ClassRegistry.h"

#include "automation/com/Bstr.h"
#include "automation/com/ComPtr.h"

#include <QHash>
#include <atomic>
#include <mutex>
#include <vector>

namespace orvane
{

namespace
{

struct ClassEntry {
    QString progID; // as registered
    CLSID clsid;
    InstanceFactory factory;
};

struct MonikerEntry {
    QString prefix;
    MonikerResolver resolver;
};

struct ActiveEntry {
    DWORD token;
    CLSID clsid;
    IUnknown *object; // one reference held by the table
};

struct Registry {
    std::mutex mutex;
    std::vector<ClassEntry> classes;
    std::vector<MonikerEntry> monikers;
    std::vector<ActiveEntry> active;
    DWORD nextToken = 1;
};

Registry &registry()
{
    static Registry *r = new Registry; // never destroyed: servers may unregister during static destruction
    return *r;
}

// The class factory handed out by CoGetClassObject: a thin wrapper around the
// registered InstanceFactory.
class FunctionClassFactory final : public IClassFactory
{
  public:
    explicit FunctionClassFactory(InstanceFactory factory) : factory_(std::move(factory)) {}

    HRESULT QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            AddRef();
            *object = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return factory_(iid, object);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

  private:
    ~FunctionClassFactory() override = default;
    InstanceFactory factory_;
    std::atomic<ULONG> refs_{1};
};

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

HRESULT registerClass(const QString &progID, REFCLSID clsid, InstanceFactory factory)
{
    if (progID.isEmpty() || !factory)
        return E_INVALIDARG;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (ClassEntry &e : r.classes) {
        if (sameName(e.progID, progID)) {
            e = ClassEntry{progID, clsid, std::move(factory)};
            return S_OK;
        }
    }
    r.classes.push_back(ClassEntry{progID, clsid, std::move(factory)});
    return S_OK;
}

HRESULT unregisterClass(const QString &progID)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.classes.begin(); it != r.classes.end(); ++it) {
        if (sameName(it->progID, progID)) {
            r.classes.erase(it);
            return S_OK;
        }
    }
    return REGDB_E_CLASSNOTREG;
}

HRESULT registerMoniker(const QString &prefix, MonikerResolver resolver)
{
    if (prefix.isEmpty() || !resolver)
        return E_INVALIDARG;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (MonikerEntry &e : r.monikers) {
        if (sameName(e.prefix, prefix)) {
            e.resolver = std::move(resolver);
            return S_OK;
        }
    }
    r.monikers.push_back(MonikerEntry{prefix, std::move(resolver)});
    return S_OK;
}

HRESULT unregisterMoniker(const QString &prefix)
{
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.monikers.begin(); it != r.monikers.end(); ++it) {
        if (sameName(it->prefix, prefix)) {
            r.monikers.erase(it);
            return S_OK;
        }
    }
    return MK_E_SYNTAX;
}

HRESULT CLSIDFromProgID(LPCOLESTR progID, CLSID *clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    const QString name = qStringFromOleString(progID);
    if (name.isEmpty())
        return CO_E_CLASSSTRING;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (const ClassEntry &e : r.classes) {
        if (sameName(e.progID, name)) {
            *clsid = e.clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *progID)
{
    if (!progID)
        return E_INVALIDARG;
    *progID = nullptr;
    QString name;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        for (const ClassEntry &e : r.classes) {
            if (e.clsid == clsid) {
                name = e.progID;
                break;
            }
        }
    }
    if (name.isEmpty())
        return REGDB_E_CLASSNOTREG;
    auto *text = static_cast<LPOLESTR>(CoTaskMemAlloc((std::size_t(name.size()) + 1) * sizeof(OLECHAR)));
    if (!text)
        return E_OUTOFMEMORY;
    for (qsizetype i = 0; i < name.size(); ++i)
        text[i] = name[i].unicode();
    text[name.size()] = 0;
    *progID = text;
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void *serverInfo, REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (serverInfo)
        return E_INVALIDARG;
    InstanceFactory factory;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        for (const ClassEntry &e : r.classes) {
            if (e.clsid == clsid) {
                factory = e.factory;
                break;
            }
        }
    }
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    auto classFactory = ComPtr<IClassFactory>::attach(new FunctionClassFactory(std::move(factory)));
    return classFactory->QueryInterface(iid, object);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.put());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(outer, iid, object);
}

HRESULT CoGetObject(LPCOLESTR name, BIND_OPTS *, REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const QString displayName = qStringFromOleString(name);
    if (displayName.isEmpty())
        return E_INVALIDARG;
    MonikerResolver resolver;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        qsizetype best = 0;
        for (const MonikerEntry &e : r.monikers) {
            if (e.prefix.size() > best && displayName.startsWith(e.prefix, Qt::CaseInsensitive)) {
                best = e.prefix.size();
                resolver = e.resolver;
            }
        }
    }
    if (!resolver)
        return MK_E_SYNTAX;
    return resolver(displayName, iid, object);
}

HRESULT RegisterActiveObject(IUnknown *object, REFCLSID clsid, DWORD, DWORD *registration)
{
    if (!object || !registration)
        return E_INVALIDARG;
    object->AddRef();
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    *registration = r.nextToken++;
    r.active.push_back(ActiveEntry{*registration, clsid, object});
    return S_OK;
}

HRESULT RevokeActiveObject(DWORD registration, void *)
{
    IUnknown *object = nullptr;
    {
        Registry &r = registry();
        std::lock_guard lock(r.mutex);
        for (auto it = r.active.begin(); it != r.active.end(); ++it) {
            if (it->token == registration) {
                object = it->object;
                r.active.erase(it);
                break;
            }
        }
    }
    if (!object)
        return E_INVALIDARG;
    object->Release(); // outside the lock: the object may run arbitrary code as it goes
    return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, void *, IUnknown **object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    Registry &r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.active.rbegin(); it != r.active.rend(); ++it) {
        if (it->clsid == clsid) {
            it->object->AddRef();
            *object = it->object;
            return S_OK;
        }
    }
    return MK_E_UNAVAILABLE;
}

} // namespace orvane
