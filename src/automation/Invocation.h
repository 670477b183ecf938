#pragma once
// Running command strings (CommandParser.h) on an automation object: as a
// method call, a property read with a typed result, or a property write.
// Every member of a path but the last is read as an object (flags
// DISPATCH_METHOD|DISPATCH_PROPERTYGET) and the next member invoked on it.
//
// Each operation records its outcome as the calling thread's last error
// (LastError.h); the getters return 0, "" or null on failure, so callers test
// lastErrorCode() right after the call. A member in the middle of a path that
// yields no object leaves S_FALSE with the text "... (The '<name>' property
// returned a NULL object!)"; one that yields a value that is not an object
// fails with DISP_E_TYPEMISMATCH. A server exception leaves DISP_E_EXCEPTION
// with the server's description as the text.

#include "automation/AutomationObject.h"

#include <QString>

namespace orvane
{

/// Calls the command as a method (DISPATCH_METHOD) and discards any result.
/// Returns the HRESULT (S_FALSE for a null object in the path).
HRESULT invoke(AutomationObject *obj, const QString &command);

/// Reads the command's value as a 64-bit integer (booleans: -1 / 0); 0 on failure.
qint64 getIntegerProperty(AutomationObject *obj, const QString &command);

/// Reads the command's value as an object and returns a new handle that the
/// caller releases with releaseObject; null on failure, and null with S_FALSE
/// ("The property returned a NULL object!") when the value is no object.
AutomationObject *getObjectProperty(AutomationObject *obj, const QString &command);

/// Reads the command's value as an object's IUnknown, with one reference the
/// caller releases; null on failure (as getObjectProperty).
IUnknown *getUnknownProperty(AutomationObject *obj, const QString &command);

/// Reads the command's value as text (booleans "True"/"False"); "" on failure
/// and for a null string.
QString getStringProperty(AutomationObject *obj, const QString &command);

/// Reads the command's value as the server returns it, in a new VARIANT the
/// caller frees with freeVariant; null on failure.
VARIANT *getVariantProperty(AutomationObject *obj, const QString &command);
/// Clears and frees a VARIANT from getVariantProperty; null is ignored.
void freeVariant(VARIANT *value);

/// Reads the command's value as getVariantProperty would when the server can
/// hand it over as texts joined (IPathReadJoined, Interfaces.h): `*joined` is
/// then the texts of the array each followed by `delimiter`, every delimiter
/// left at the end taken off ("" for no value), the read is recorded as a
/// success, and the answer is true. False, with nothing recorded and `*joined`
/// unchanged, when it cannot: the caller then reads the VARIANT.
bool getJoinedTexts(AutomationObject *obj, const QString &command, QStringView delimiter, QString *joined);

/// Writes a property (DISPATCH_PROPERTYPUT): the value after "=" is passed
/// as the named argument DISPID_PROPERTYPUT. Returns the HRESULT (S_FALSE for a
/// null object in the path).
HRESULT setProperty(AutomationObject *obj, const QString &command);

/// With true (the default), a read on an object that answers whole paths
/// (IPathRead, Interfaces.h) is made in one call to it, and so is a property
/// write on one that takes whole writes (IPathWrite); with false, the calling
/// thread reads and writes every path member by member. For tests that
/// compare the two routes, which give the same values, codes and texts.
void setWholePathReads(bool enabled);
/// Whether the calling thread makes whole-path reads (setWholePathReads).
bool wholePathReadsEnabled();

} // namespace orvane
