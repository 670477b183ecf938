#pragma once
// Binding one directory object by its GUID, and reading it.
//
// BindObject is the one bind sequence every per-object operation starts
// with: the GUID text is checked (no directory traffic for a bad one), the
// "LDAP:" namespace is fetched, and the object is opened with
// "OpenDSObject(path, user, password, '513')" (stored credentials) or fetched
// by its path (current credentials). A BoundObject releases the object and
// then the namespace when it goes away.
//
// AnnounceBind names the object a caller binds next, for a server that can
// start reading it beside the caller's current requests.
//
// Readers: FormatObjectGuid (objectGUID bytes to GUID text), JoinValues (a
// record-set field's values joined), readValueText (one attribute of a bound
// object as text), ReadAccountDisabled and ReloadObject.
//
// An attribute that the catalogue calls single-valued but the server's schema
// holds as multi-valued (postOfficeBox on AD; givenName, sn, title, mail...
// with the standard LDAP user schema) arrives as an array: it reads as its
// values joined by the delimiter, never as empty text.

#include "automation/com/Variant.h"
#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"
#include "directory/ObjectTable.h"

#include <QString>
#include <QStringList>

namespace orvane
{

struct AutomationObject;
class Database;

/// True when `guid` is 36 characters of upper-case hex digits 8-4-4-4-12.
bool isGuidText(const QString &guid);

/// "LDAP://" + server address + "/<GUID=" + guid + ">".
QString objectPath(const QString &serverAddress, const QString &guid);

/// A bound directory object and the namespace object it came from; releases
/// both (object first) when destroyed or reset.
class BoundObject
{
  public:
    BoundObject() = default;
    ~BoundObject() { reset(); }
    BoundObject(const BoundObject &) = delete;
    BoundObject &operator=(const BoundObject &) = delete;

    AutomationObject *object() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void reset();

    /// Takes over both handles (either may be null), releasing what it held.
    void adopt(AutomationObject *object, AutomationObject *namespaceObject);

  private:
    AutomationObject *object_ = nullptr;
    AutomationObject *namespace_ = nullptr;
};

enum class BindResult {
    Bound,      ///< `*out` holds the object
    Silent,     ///< bad GUID text, no namespace, or no object without an error: nothing to report
    OpenFailed, ///< the open failed: the caller reports "<code> ... open AD object." with `*failure`
};

/// Binds the object with GUID text `guid`. `spacedArguments` writes the
/// OpenDSObject arguments with a blank after each comma (as the account-state
/// read does). `failure` (may be null) receives the open failure or, for a
/// silent stop, its cause.
BindResult BindObject(const DirectoryConnection &connection, const QString &guid, BoundObject *out,
                      DirectoryFailure *failure = nullptr, bool spacedArguments = false);

/// Tells the directory that `guid` will be bound soon (as BindObject binds
/// it) to read and write `attributes` (empty: any), so that a server able to
/// (IOpenAhead) starts reading it while the caller's current requests are
/// answered. Sends no command and reports nothing; the bind that follows
/// reads and reports as it always does.
void AnnounceBind(const DirectoryConnection &connection, const QString &guid,
                  const QStringList &attributes = {});

/// BindObject for an operation whose messages are titled `title`: true when
/// the object is bound (`report->failure` then empty). An open failure adds
/// "<code> COM method error occurred while trying to open AD object." to
/// `report->messages`; `report->failure` keeps the cause of any failure.
bool BindForReport(const DirectoryConnection &connection, const QString &guid, const QString &title,
                   BoundObject *out, DirectoryReport *report);

/// The GUID text of an objectGUID value (a 16-byte VT_ARRAY|VT_UI1); "" for
/// anything else.
QString FormatObjectGuid(const VARIANT *value);

/// The value of a record-set field object ("value") joined by `delimiter`
/// (joinMultiValued): "" for VT_NULL, the joined elements of an array, the
/// text of a plain value.
QString JoinValues(AutomationObject *field, const QString &delimiter);

/// The value `variant` as text: an array's elements joined by `delimiter`,
/// "" for VT_NULL/VT_EMPTY, a boolean "True"/"False", otherwise its text.
QString variantText(const VARIANT *variant, const QString &delimiter);

/// Reads `command` (an attribute name, or "Fields('x')\Value") of `object`
/// as text with variantText; the engine's last error tells whether it worked.
QString readValueText(AutomationObject *object, const QString &command, const QString &delimiter);

/// Reads a single value ("Fields('x')\Value") of a record set as text with
/// getStringProperty; when that fails (an array: a single value the schema
/// keeps multi-valued; no value at all) it is read again with readValueText,
/// whose outcome the engine's last error then tells.
QString readFieldText(AutomationObject *recordSet, const QString &command, const QString &delimiter);

/// 1 when the account of `guid` is disabled, else 0 (also on any failure,
/// which is silent; `failure`, when given, records it).
int ReadAccountDisabled(const DirectoryConnection &connection, const QString &guid,
                        DirectoryFailure *failure = nullptr);

/// Re-reads every catalogue attribute of the object `guid` into
/// table[index].values (only the values change). Messages titled "Reload
/// object error": one for an open failure (entry unchanged), one per attribute
/// that failed to read. result 1 when the object was bound.
DirectoryReport ReloadObject(const DirectoryConnection &connection, Database &db, const QString &guid,
                             ObjectTable *table, int index, const QString &delimiter);

} // namespace orvane
