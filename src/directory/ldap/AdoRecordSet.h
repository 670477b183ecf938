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

#include <QSet>
#include <array>
#include <cstring>
#include <memory>
#include <vector>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orvane
{

/// The rows of one search and the cursor over them, shared by the record
/// set and its field objects. Filled as the EntryVisitor of the search; each
/// record is kept back to back with the others in large blocks (its DN and
/// values behind a short header of variable-length counts), so that a user
/// with forty attributes costs little more than its value bytes and no
/// allocation of its own. The cursor only moves forward, as the record set
/// of a command's Execute does in ADO: a block the cursor has left is freed,
/// so memory drops as a walk goes on.
class RecordSetData : public EntryVisitor
{
  public:
    enum class Special { None, DistinguishedName, AdsPath };
    struct Column {
        QString name;      ///< as requested
        QString lowerName; ///< the same in lower case
        ValueKind kind = ValueKind::Text;
        bool multiValued = false; ///< from the schema; unknown attributes count as single-valued
        Special special = Special::None;
    };

    QString pathPrefix; ///< "LDAP://host:port/"
    long position = 0;  ///< current record; == recordCount() at EOF
    bool open = true;

    /// Sets up the columns for `attributes` with what `schema` says of them
    /// and forgets any records. `hidden` attributes are kept for binds that
    /// follow the search (SearchAnswers.h) but are no fields of the record set.
    void defineColumns(const QStringList &attributes, const LdapSchema &schema,
                       const QStringList &hidden = {});
    /// Every column, the hidden ones last.
    const std::vector<Column> &columns() const { return columns_; }
    /// The number of columns that are fields.
    int fieldCount() const { return fieldCount_; }
    /// The record whose objectGUID is `guid` as an entry with the values of
    /// the columns at `columns` (indices into columns()); false when none.
    bool entryByGuid(QByteArrayView guid, const std::vector<int> &columns, LdapEntry *out) const;
    long recordCount() const { return static_cast<long>(records_.size()); }
    /// The first record still held; records before it were passed and freed.
    long firstKept() const { return released_; }
    /// Frees the blocks whose records all lie before the current position.
    void releasePassed();
    /// The column of `name` (any case), -1 when none.
    int column(QStringView name) const;
    /// Builds the value of `column` in the current record into `*out`.
    HRESULT value(int column, VARIANT *out) const;
    /// Gives the value of `column` in the current record as the text value()
    /// would carry in its BSTR, when it is one non-empty text; false otherwise.
    bool text(int column, QString *out) const;
    /// Gives the values of multi-valued text `column` in the current record
    /// joined as IPathReadJoined describes (each text followed by `delimiter`,
    /// every delimiter at the end taken off); false for any other column.
    bool joinedTexts(int column, QStringView delimiter, QString *joined) const;
    /// True when value() gives VT_NULL for `column` in the current record:
    /// the record holds no value of an attribute that is not a name.
    bool isNull(int column) const;

    void beginEntry(QByteArrayView dn) override;
    void attribute(const AttributeView &attribute) override;
    void endEntry() override;

  private:
    struct Value {
        int column;
        int offset; ///< from the first value byte of the record
        int length;
    };
    struct Block {
        std::unique_ptr<char[]> bytes;
        size_t size = 0;
        size_t used = 0;
        long end = 0; ///< one past the last record stored in the block
    };
    struct Location {
        quint32 block;
        quint32 offset;
    };
    /// Record `r` read from its block: the DN, its values sorted by column and where they start.
    struct Decoded {
        QByteArrayView dn;
        const char *data = nullptr;
        std::vector<Value> values;
    };
    bool decode(long r, Decoded *out) const;
    const Decoded &currentRecord() const;
    struct ViewHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Utf16ViewHash {
        using is_transparent = void;
        /// FNV-1a over the units: a field name is hashed at every read.
        size_t operator()(std::u16string_view s) const
        {
            size_t hash = 14695981039346656037ull;
            for (const char16_t c : s)
                hash = (hash ^ c) * 1099511628211ull;
            return hash;
        }
    };
    int columnOfReturned(QByteArrayView name);

    std::vector<Column> columns_;
    int fieldCount_ = 0;
    QHash<QString, int> columnIndex_; ///< lower-case requested names and their schema names (fields only)
    QHash<QString, int> storedIndex_; ///< the same for every column, hidden ones included
    mutable std::unordered_map<std::string, long>
        guidIndex_; ///< objectGUID bytes -> record, built on first use
    /// The last names asked for by the address of their text (a kept command's
    /// argument stays where it is), checked against a copy before use.
    struct AskedSlot {
        const char16_t *at = nullptr;
        std::u16string text;
        int column = -1;
    };
    mutable std::array<AskedSlot, 64> askedByAddress_{};
    /// Names as clients wrote them (saves lower-casing), found without copying the name.
    mutable std::unordered_map<std::u16string, int, Utf16ViewHash, std::equal_to<>> askedIndex_;
    std::unordered_map<std::string, int, ViewHash, std::equal_to<>>
        returnedIndex_; ///< names as the server sends them
    /// Names as the server sends them with their columns, in slots chosen by
    /// a few of their bytes: each name of each entry is then nearly always
    /// found with one compare instead of a lookup in the general map.
    std::array<std::pair<std::string, int>, 256> returnedSlots_{};
    std::vector<int> columnStarts_;   ///< endEntry's counts of values per column
    std::vector<Value> sortedValues_; ///< endEntry's values in column order
    std::vector<Block> blocks_;
    std::vector<Location> records_;
    long released_ = 0;       ///< records before this one are freed
    size_t firstBlock_ = 0;   ///< the first block not yet freed
    std::string receivedDn_;  ///< the entry being received
    std::string received_;    ///< its values in arrival order
    std::vector<Value> receivedValues_;
    mutable long decodedAt_ = -1; ///< the record held in decoded_
    mutable Decoded decoded_;
};

class AdoRecordSet : public PathReadingObject, public IPathReadText, public IRecordColumns
{
  public:
    HRESULT QueryInterface(REFIID iid, void **object) override { return DispatchObject::QueryInterface(iid, object); }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }

    /// An empty, closed record set (what "ADODB.RecordSet" creates).
    AdoRecordSet();
    /// An open record set over `data`, positioned on the first record.
    explicit AdoRecordSet(std::shared_ptr<RecordSetData> data);

    /// Finds the members a record-set walk names thousands of times without
    /// case folding when they are written as declared.
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;
    /// Answers "Fields('name')\Value" from the current record, and "Fields('name')"
    /// as its field object, when they read a named field of an open record set
    /// on a record; declines everything else.
    HRESULT ReadPath(const PathMember *path, UINT count, bool valueOfObject, VARIANT *result) override;
    /// Answers "Fields('name')\Value" as text straight from the current
    /// record's bytes when ReadPath would give one non-empty text; declines
    /// everything else.
    HRESULT ReadPathText(const PathMember *path, UINT count, QString *text) override;
    /// Resolves "Fields('name')\Value" and "Fields('name')" to the named
    /// column, whatever the position; declines everything else.
    HRESULT ColumnOfPath(const PathMember *path, UINT count, int *column) override;
    /// ReadPathText's answer for the column, off the current record.
    HRESULT ColumnText(int column, QString *text) override;
    /// The field object's ReadPathJoined answer for the column, off the current record.
    HRESULT ColumnJoined(int column, QStringView delimiter, QString *joined) override;
    /// Whether the column's value is VT_NULL on the current record.
    HRESULT ColumnIsNull(int column) override;

  protected:
    HRESULT invoke(DispatchCall &call) override;
    IUnknown *queryOtherInterface(REFIID iid) override;

  private:
    enum : DISPID {
        RecordCount = 1,
        Fields,
        Eof,
        Bof,
        MoveNext,
        MovePrevious,
        MoveFirst,
        MoveLast,
        Close,
        State
    };
    static const MemberTable &table();
    HRESULT field(DispatchCall &call);
    int namedColumn(const PathMember &fields) const;
    int valueColumn(const PathMember *path, UINT count) const;
    bool onRecord() const;
    bool knownColumn(int column) const;
    bool readsValue(const PathMember &member) const;
    IDispatch *fieldObject(int column);
    HRESULT move(DispatchCall &call, long to);

    std::shared_ptr<RecordSetData> data_;
    std::vector<ComPtr<IDispatch>> fields_; ///< one field object per column, made on first use
};

} // namespace orvane
