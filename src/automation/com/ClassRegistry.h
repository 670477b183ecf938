#pragma once
// The class registry: what the Windows registry and the running-object table
// are to COM. Automation servers register themselves here at start-up:
//   - a class: ProgID + CLSID + a function that makes instances; found by
//     CLSIDFromProgID / ProgIDFromCLSID and instantiated through CoGetClassObject;
//   - a moniker prefix ("LDAP:"): CoGetObject hands every display name that
//     starts with it (case-insensitively, the longest prefix winning) to the
//     prefix's resolver;
//   - a running object: RegisterActiveObject, found by GetActiveObject.
// ProgIDs compare case-insensitively, as registry keys do. All functions are
// thread-safe; factories and resolvers run outside the registry's lock and may
// be called from several threads at once.

#include "automation/com/Bstr.h"
#include "automation/com/Interfaces.h"

#include <functional>

namespace orvane
{

/// Makes a new instance and returns interface `iid` of it in `*object` (one
/// reference for the caller). Typically:
///   [](REFIID iid, void **out) { return ComPtr<MyServer>::attach(new MyServer)->QueryInterface(iid, out); }
using InstanceFactory = std::function<HRESULT(REFIID iid, void **object)>;

/// Binds a display name ("LDAP://host/<GUID=...>") to an object and returns its
/// interface `iid` in `*object`. Returns a failure code (MK_E_SYNTAX for a name
/// it cannot read, MK_E_NOOBJECT or a server error when nothing is there).
using MonikerResolver = std::function<HRESULT(const QString &displayName, REFIID iid, void **object)>;

/// Registers (or replaces) class `progID` with `clsid`; S_OK, or E_INVALIDARG
/// for an empty ProgID or a missing factory. A ProgID already registered under
/// another CLSID is moved to the new one.
HRESULT registerClass(const QString &progID, REFCLSID clsid, InstanceFactory factory);
/// Removes class `progID`; S_OK, or REGDB_E_CLASSNOTREG when not registered.
HRESULT unregisterClass(const QString &progID);
/// Registers (or replaces) the resolver for display names beginning with
/// `prefix` ("LDAP:"); E_INVALIDARG for an empty prefix or a missing resolver.
HRESULT registerMoniker(const QString &prefix, MonikerResolver resolver);
/// Removes a moniker prefix; S_OK, or MK_E_SYNTAX when not registered.
HRESULT unregisterMoniker(const QString &prefix);

/// CLSID of ProgID `progID`; CO_E_CLASSSTRING when not registered (or empty).
HRESULT CLSIDFromProgID(LPCOLESTR progID, CLSID *clsid);
/// ProgID of `clsid` in a new string the caller frees with CoTaskMemFree;
/// REGDB_E_CLASSNOTREG when no class has that CLSID.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR *progID);

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;

/// The class factory of `clsid` as interface `iid` (IID_IClassFactory or
/// IID_IUnknown); REGDB_E_CLASSNOTREG for an unknown class. Every context
/// counts as in-process here; `serverInfo` must be null.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void *serverInfo, REFIID iid, void **object);
/// Shortcut: CoGetClassObject + CreateInstance + Release of the factory.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid, void **object);

/// Bind options (unused by this model; accepted for the signature's sake).
struct BIND_OPTS {
    DWORD cbStruct = sizeof(BIND_OPTS);
    DWORD grfFlags = 0;
    DWORD grfMode = 0;
    DWORD dwTickCountDeadline = 0;
};
/// Binds the display name `name` through the registered moniker prefixes and
/// returns interface `iid`; MK_E_SYNTAX when no prefix matches, E_INVALIDARG
/// for an empty name, otherwise the resolver's own result.
HRESULT CoGetObject(LPCOLESTR name, BIND_OPTS *bindOptions, REFIID iid, void **object);

inline constexpr DWORD ACTIVEOBJECT_STRONG = 0;
inline constexpr DWORD ACTIVEOBJECT_WEAK = 1;
/// Announces `object` as the running instance of `clsid`; the table keeps one
/// reference until RevokeActiveObject(`*registration`). A newer registration
/// of the same CLSID hides an older one until it is revoked.
HRESULT RegisterActiveObject(IUnknown *object, REFCLSID clsid, DWORD flags, DWORD *registration);
/// Withdraws a registration and releases the table's reference; E_INVALIDARG for an unknown one.
HRESULT RevokeActiveObject(DWORD registration, void *reserved);
/// The running instance of `clsid` with one reference for the caller;
/// MK_E_UNAVAILABLE when none is registered.
HRESULT GetActiveObject(REFCLSID clsid, void *reserved, IUnknown **object);

} // namespace orvane
