#pragma once
// "ADODB.RecordSet" as the directory provider returns it from a search: every
// matching entry, already fetched (so RecordCount is exact), with one column
// per attribute named in the query text.
//
// Members of the record set: RecordCount, Fields([name or ordinal]), EOF,
// BOF, MoveNext, MovePrevious, MoveFirst, MoveLast, Close, State.
// Members of a field: Value (the default member), Name.
//
// Field values follow the server's schema, as the provider's do: VT_NULL when
// the entry has no value; a multi-valued attribute always as a
// VT_ARRAY|VT_VARIANT (even with one value); a single-valued one as text,
// VT_ARRAY|VT_UI1 for octet strings (objectGUID, thumbnailPhoto), VT_I4 for
// integers, VT_BOOL for booleans. "distinguishedName" is the entry's DN when
// the server does not store it; "ADsPath" is the entry's LDAP path.
//
// A field reads the record set's current record when its value is read, as
// ADO fields do; field objects stay valid after the record set is released.

#include "automation/com/ComPtr.h"
#include "automation/com/DispatchObject.h"
#include "directory/ldap/LdapConnection.h"
#include "directory/ldap/LdapSchema.h"

#include <memory>

namespace orvane {

/// The rows of one search and the cursor over them, shared by the record
/// set and its field objects.
struct RecordSetData {
    enum class Special { None, DistinguishedName, AdsPath };
    struct Column {
        QString name; ///< as requested
        ValueKind kind = ValueKind::Text;
        bool multiValued = false; ///< from the schema; unknown attributes count as single-valued
        Special special = Special::None;
    };
    struct Record {
        QString dn;
        std::vector<std::vector<QByteArray>> values; ///< per column
    };

    std::vector<Column> columns;
    QHash<QString, int> columnIndex; ///< lower-case requested names and their schema names
    std::vector<Record> records;
    QString pathPrefix;              ///< "LDAP://host:port/"
    long position = 0;               ///< current record; == records.size() at EOF
    bool open = true;

    /// Sets up the columns for `attributes` with what `schema` says of them.
    void defineColumns(const QStringList &attributes, const LdapSchema &schema);
    /// Appends `entry` as a record.
    void append(LdapEntry &&entry);
    /// The column of `name` (any case), -1 when none.
    int column(const QString &name) const;
    /// Builds the value of `column` in the current record into `*out`.
    HRESULT value(int column, VARIANT *out) const;
};

class AdoRecordSet : public DispatchObject {
public:
    /// An empty, closed record set (what "ADODB.RecordSet" creates).
    AdoRecordSet();
    /// An open record set over `data`, positioned on the first record.
    explicit AdoRecordSet(std::shared_ptr<RecordSetData> data);

protected:
    HRESULT invoke(DispatchCall &call) override;

private:
    enum : DISPID { RecordCount = 1, Fields, Eof, Bof, MoveNext, MovePrevious, MoveFirst, MoveLast, Close, State };
    static const MemberTable &table();
    HRESULT field(DispatchCall &call);
    HRESULT move(DispatchCall &call, long to);

    std::shared_ptr<RecordSetData> data_;
    std::vector<ComPtr<IDispatch>> fields_; ///< one field object per column, made on first use
};

} // namespace orvane
