#pragma once
// Handles to automation objects. A handle is made by createObject (from a
// ProgID or "{CLSID}"), getObject (from a moniker name, a file, or the running
// instance of a class) or getObjectProperty (Invocation.h); it owns one
// reference to the object's IDispatch and lives until releaseObject, which the
// caller calls exactly once. A command string may name a handle by its number
// in decimal with "as AutomationObject" (handleNumber gives that number);
// the engine accepts only handles that are alive.
//
// Every operation records its outcome as the calling thread's last error
// (LastError.h). All functions are thread-safe; each thread uses its own
// handles.

#include "automation/com/Interfaces.h"

#include <QString>
#include <mutex>

namespace orvane
{

/// One handle. Callers treat it as opaque.
struct AutomationObject {
    /// The object's IDispatch; the record owns one reference.
    IDispatch *dispatch = nullptr;
};

/// Creates a new object of class `progID` ("Excel.Application", or a CLSID
/// in braces whose class has a ProgID). Returns the handle, or null with the
/// last error set: E_INVALIDARG for an empty ProgID, CO_E_CLASSSTRING for an
/// unknown one, otherwise the server's code. `hostWindow` must be 0 (hosting
/// controls is not supported: E_NOTIMPL otherwise). `initCOM` initialises COM
/// on the calling thread first.
AutomationObject *createObject(const QString &progID, qintptr hostWindow = 0, bool initCOM = true);

/// Binds an existing object: with `name` only, through its moniker ("LDAP:",
/// "LDAP://host/<GUID=...>"); with `name` and `progID`, by loading file
/// `name` into a new object of that class; with `progID` only, the class's
/// running instance. Returns the handle or null with the last error set
/// (E_INVALIDARG when both are empty).
AutomationObject *getObject(const QString &name, const QString &progID = QString(), bool initCOM = true);

/// Releases the handle's reference and the handle; returns 0. Null is
/// ignored. When this was the last live handle of the process, every thread's
/// last error resets (LastError.h).
int releaseObject(AutomationObject *obj);

/// Makes a handle that takes over the caller's reference to `dispatch`; null
/// (and the reference released) on allocation failure or for a null pointer.
AutomationObject *adoptDispatch(IDispatch *dispatch);

/// Number of live handles.
int liveObjectCount();

/// The decimal number by which a command names `obj` ("... = " + handleNumber(obj) + " as AutomationObject").
QString handleNumber(const AutomationObject *obj);

/// The IDispatch of the live handle whose number is `handle`, with one new
/// reference for the caller; null when no live handle has that number.
IDispatch *dispatchOfHandle(quintptr handle);

/// Serialises the live-object count's transitions to and from 0 with the
/// last-error epoch (see LastError.cpp). Engine-internal.
std::mutex &lifecycleMutex();

} // namespace orvane
