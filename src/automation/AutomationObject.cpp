#include "automation/AutomationObject.h"

#include "automation/LastError.h"
#include "automation/com/Bstr.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"

#include <new>
#include <unordered_set>

namespace orvane
{

namespace
{

// Live handles, so that a number in a command string is dereferenced only
// when it names one of them. Guarded by lifecycleMutex().
std::unordered_set<const AutomationObject *> &liveHandles()
{
    static auto *set = new std::unordered_set<const AutomationObject *>;
    return *set;
}

HRESULT classFromName(const QString &progID, CLSID *clsid)
{
    if (progID.startsWith(QLatin1Char('{'))) {
        HRESULT hr = CLSIDFromString(oleString(progID), clsid);
        if (FAILED(hr))
            return hr;
        // A CLSID counts only when its class has a ProgID, as the engine has always required.
        LPOLESTR name = nullptr;
        hr = ProgIDFromCLSID(*clsid, &name);
        CoTaskMemFree(name);
        return hr;
    }
    return CLSIDFromProgID(oleString(progID), clsid);
}

HRESULT createDispatch(const CLSID &clsid, IDispatch **dispatch)
{
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr,
                                  IID_IClassFactory, factory.put());
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void **>(dispatch));
    if (SUCCEEDED(hr))
        return hr;
    ComPtr<IUnknown> unknown;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, unknown.put());
    if (FAILED(hr))
        return hr;
    return unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(dispatch));
}

HRESULT loadFromFile(const QString &fileName, const QString &progID, IDispatch **dispatch)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(oleString(progID), &clsid);
    if (FAILED(hr))
        return hr;
    ComPtr<IClassFactory> factory;
    hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                          factory.put());
    if (FAILED(hr))
        return hr;
    ComPtr<IPersistFile> file;
    hr = factory->CreateInstance(nullptr, IID_IPersistFile, file.put());
    if (FAILED(hr))
        return hr;
    hr = file->Load(oleString(fileName), 0);
    if (FAILED(hr))
        return hr;
    return file->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(dispatch));
}

HRESULT runningObject(const QString &progID, IDispatch **dispatch)
{
    CLSID clsid;
    HRESULT hr = classFromName(progID, &clsid);
    if (FAILED(hr))
        return hr;
    ComPtr<IUnknown> running;
    hr = GetActiveObject(clsid, nullptr, reinterpret_cast<IUnknown **>(running.put()));
    if (FAILED(hr))
        return hr;
    return running->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(dispatch));
}

// Makes a handle for `dispatch` (taking over its reference) and counts it.
AutomationObject *newHandle(IDispatch *dispatch)
{
    auto *obj = new (std::nothrow) AutomationObject;
    if (!obj)
        return nullptr;
    obj->dispatch = dispatch;
    std::lock_guard lock(lifecycleMutex());
    liveHandles().insert(obj);
    return obj;
}

} // namespace

std::mutex &lifecycleMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

AutomationObject *adoptDispatch(IDispatch *dispatch)
{
    if (!dispatch)
        return nullptr;
    AutomationObject *obj = newHandle(dispatch);
    if (!obj)
        dispatch->Release();
    return obj;
}

AutomationObject *createObject(const QString &progID, qintptr hostWindow, bool initCOM)
{
    if (initCOM)
        CoInitialize(nullptr);
    HRESULT hr = S_OK;
    AutomationObject *obj = nullptr;
    CLSID clsid;
    IDispatch *dispatch = nullptr;
    if (progID.isEmpty())
        hr = E_INVALIDARG;
    else if (hostWindow != 0)
        hr = E_NOTIMPL;
    else if (SUCCEEDED(hr = classFromName(progID, &clsid)) &&
             SUCCEEDED(hr = createDispatch(clsid, &dispatch))) {
        obj = adoptDispatch(dispatch);
        if (!obj)
            hr = E_OUTOFMEMORY;
    }
    recordError(obj, hr, false, QString());
    return obj;
}

AutomationObject *getObject(const QString &name, const QString &progID, bool initCOM)
{
    if (initCOM)
        CoInitialize(nullptr);
    HRESULT hr = S_OK;
    IDispatch *dispatch = nullptr;
    if (name.isEmpty() && progID.isEmpty())
        hr = E_INVALIDARG;
    else if (progID.isEmpty())
        hr = CoGetObject(oleString(name), nullptr, IID_IDispatch, reinterpret_cast<void **>(&dispatch));
    else if (!name.isEmpty())
        hr = loadFromFile(name, progID, &dispatch);
    else
        hr = runningObject(progID, &dispatch);
    AutomationObject *obj = nullptr;
    if (SUCCEEDED(hr) && !dispatch)
        hr = E_POINTER; // a resolver that claims success without an object
    if (SUCCEEDED(hr)) {
        obj = adoptDispatch(dispatch);
        if (!obj)
            hr = E_OUTOFMEMORY;
    }
    recordError(obj, hr, false, QString());
    return obj;
}

int releaseObject(AutomationObject *obj)
{
    if (!obj)
        return 0;
    {
        std::lock_guard lock(lifecycleMutex());
        if (liveHandles().erase(obj) == 0)
            return 0; // not a live handle: released twice, or never ours
        if (liveHandles().empty())
            resetLastErrors();
    }
    if (obj->dispatch)
        obj->dispatch->Release();
    delete obj;
    return 0;
}

int liveObjectCount()
{
    std::lock_guard lock(lifecycleMutex());
    return static_cast<int>(liveHandles().size());
}

QString handleNumber(const AutomationObject *obj)
{
    return QString::number(reinterpret_cast<quintptr>(obj));
}

IDispatch *dispatchOfHandle(quintptr handle)
{
    std::lock_guard lock(lifecycleMutex());
    auto it = liveHandles().find(reinterpret_cast<const AutomationObject *>(handle));
    if (it == liveHandles().end() || !(*it)->dispatch)
        return nullptr;
    (*it)->dispatch->AddRef();
    return (*it)->dispatch;
}

} // namespace orvane
