#pragma once
// The COM interfaces of this model: IUnknown (reference counting and interface
// queries), IDispatch (late-bound calls by name), IClassFactory and
// IPersistFile, with the records Invoke uses (DISPPARAMS, EXCEPINFO) and the
// constants that go with them. Method names and signatures follow OLE, so code
// reads as it would against Windows COM.
//
// Reference counting: every interface pointer handed out (QueryInterface,
// CreateInstance, CoGetObject, a VT_DISPATCH result) carries one reference the
// receiver must Release. AddRef/Release are thread-safe in every implementation
// of this model (DispatchObject uses an atomic count).

#include "automation/com/Guid.h"
#include "automation/com/Variant.h"

#include <QString>

namespace orvane
{

struct IUnknown {
    /// Gives `*object` the interface `iid` with one new reference; E_NOINTERFACE
    /// (and `*object` null) when the object has no such interface.
    virtual HRESULT QueryInterface(REFIID iid, void **object) = 0;
    /// Adds one reference; returns the new count (for diagnostics only).
    virtual ULONG AddRef() = 0;
    /// Drops one reference; the object deletes itself at 0. Returns the new count.
    virtual ULONG Release() = 0;

  protected:
    virtual ~IUnknown() = default;
};

// Invoke flags.
inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = 0x8;

// Reserved member identifiers.
inline constexpr DISPID DISPID_UNKNOWN = -1;
/// The default member (a collection's Item, a field's Value, ...).
inline constexpr DISPID DISPID_VALUE = 0;
/// The named-argument identifier that marks the new value of a property put.
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

/// Arguments of one Invoke. rgvarg holds the named arguments first (matching
/// rgdispidNamedArgs), then the positional arguments in REVERSE order: the
/// last argument written is rgvarg[cNamedArgs], the first is rgvarg[cArgs-1].
struct DISPPARAMS {
    VARIANTARG *rgvarg = nullptr;
    DISPID *rgdispidNamedArgs = nullptr;
    UINT cArgs = 0;
    UINT cNamedArgs = 0;
};

/// What a server fills in when Invoke returns DISP_E_EXCEPTION. The receiver
/// calls pfnDeferredFillIn if set, then frees the three BSTRs.
struct EXCEPINFO {
    WORD wCode = 0;
    WORD wReserved = 0;
    BSTR bstrSource = nullptr;
    BSTR bstrDescription = nullptr;
    BSTR bstrHelpFile = nullptr;
    DWORD dwHelpContext = 0;
    void *pvReserved = nullptr;
    HRESULT (*pfnDeferredFillIn)(EXCEPINFO *) = nullptr;
    SCODE scode = 0;
};

struct IDispatch : IUnknown {
    /// Maps `count` names (the member first, then named-argument names) to
    /// identifiers. Names match case-insensitively. DISP_E_UNKNOWNNAME when any
    /// is unknown (its identifier is DISPID_UNKNOWN). `iid` must be IID_NULL.
    virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) = 0;
    /// Calls member `id` with `flags` and `params` (see DISPPARAMS). `result`
    /// may be null when the caller wants none; otherwise the caller owns what
    /// is stored there. On DISP_E_EXCEPTION `excepInfo` (when not null) holds
    /// the description; on DISP_E_TYPEMISMATCH or DISP_E_PARAMNOTFOUND
    /// `*argError` (when not null) is the index into rgvarg of the bad argument.
    virtual HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                           EXCEPINFO *excepInfo, UINT *argError) = 0;
};

/// One member of a read path: its name and its positional arguments, laid
/// out as Invoke takes them (no named arguments).
struct PathMember {
    LPOLESTR name = nullptr;
    DISPPARAMS params;
};

/// Offered by servers that can answer a whole read path in one call, without
/// making the objects its members would hand out one by one ("Fields('cn')\Value"
/// straight from a record, "Cells(4, 2)" straight from the cell store). A caller
/// that finds it tries it first and goes member by member when it declines.
inline constexpr IID IID_IPathRead{0x6f2d1c4a, 0x93b7, 0x4e0d, {0xa5, 0x1e, 0x27, 0x8c, 0x40, 0xd9, 0x3b, 0x16}};
struct IPathRead : IUnknown {
    /// Gives in `*result` (VT_EMPTY on entry) what reading `path[0..count)`
    /// member by member with DISPATCH_METHOD|DISPATCH_PROPERTYGET would give,
    /// each member called on the object the one before returned; with
    /// `valueOfObject`, an object the last member returns may be given as its
    /// default member's value instead. S_OK when answered; any other code
    /// declines, with nothing changed and `*result` still VT_EMPTY, and the
    /// caller then reads member by member (which also reports every failure).
    virtual HRESULT ReadPath(const PathMember *path, UINT count, bool valueOfObject, VARIANT *result) = 0;
};

/// Offered by servers that hold a text value in a form of their own (a record's
/// UTF-8 bytes) and can hand a text read of a whole path over as the QString
/// the caller keeps, without the BSTR a VARIANT would carry in between.
inline constexpr IID IID_IPathReadText{0x9a41c7e3, 0x2d58, 0x4b6f, {0x91, 0x0c, 0x5e, 0x73, 0xa2, 0x84, 0x6b, 0xd9}};
struct IPathReadText : IUnknown {
    /// Gives in `*text` what reading `path[0..count)` member by member and
    /// converting the result to VT_BSTR would give; S_OK when answered, any
    /// other code declines with `*text` unchanged and the caller then reads
    /// as before (which also reports every failure).
    virtual HRESULT ReadPathText(const PathMember *path, UINT count, QString *text) = 0;
};

/// Offered by servers that hold the values of a multi-valued read as texts
/// of their own (a record's UTF-8 values) and can hand them over joined into
/// the QString the caller keeps, without the array of BSTRs a VARIANT would
/// carry in between.
inline constexpr IID IID_IPathReadJoined{0x5c17e0a9, 0x6b3d, 0x4f28, {0x8d, 0x44, 0x1e, 0x9a, 0x70, 0xc2, 0x35, 0xfb}};
struct IPathReadJoined : IUnknown {
    /// When reading `path[0..count)` member by member would give no value
    /// (VT_NULL) or an array of texts, sets `*joined` to those texts, each
    /// followed by `delimiter`, with every `delimiter` left at the end taken
    /// off (trailing empty values go with them); S_OK when answered, any other
    /// code declines with `*joined` unchanged and the caller then reads the
    /// VARIANT (which also reports every failure).
    virtual HRESULT ReadPathJoined(const PathMember *path, UINT count, QStringView delimiter, QString *joined) = 0;
};

/// Offered by record sets that keep every record's fields in columns of their
/// own. A walk reads the same field paths on every record: it resolves each
/// path to its column once and then reads the current record's column, with
/// no path to take apart per read. Each answer is the one the whole-path
/// interfaces above give for the resolved path.
inline constexpr IID IID_IRecordColumns{0x2e6b9d47, 0xa1c3, 0x4f85, {0x9b, 0x27, 0x61, 0xd0, 0x3e, 0x8a, 0xc5, 0x14}};
struct IRecordColumns : IUnknown {
    /// The column `path[0..count)` reads on every record: "Fields(name)\Value"
    /// (its value) or "Fields(name)" (its field object). S_OK with `*column`
    /// set; any other code when the path is no such read, `*column` unchanged.
    virtual HRESULT ColumnOfPath(const PathMember *path, UINT count, int *column) = 0;
    /// Sets `*text` to what ReadPathText of the column's value path gives on
    /// the current record; S_OK when answered, any other code declines with
    /// `*text` unchanged.
    virtual HRESULT ColumnText(int column, QString *text) = 0;
    /// Sets `*joined` to what ReadPathJoined of "value" on the column's field
    /// object gives on the current record; S_OK when answered, any other code
    /// declines with `*joined` unchanged.
    virtual HRESULT ColumnJoined(int column, QStringView delimiter, QString *joined) = 0;
    /// S_OK when reading the column's value path on the current record gives
    /// VT_NULL (the record holds no value of it); any other code otherwise.
    virtual HRESULT ColumnIsNull(int column) = 0;
};

/// Offered by servers that can take a whole property write in one call
/// ("Cells(4, 2)\Value = 'text'" straight into the cell store, without the
/// range object the path would hand out). As with IPathRead, a caller tries it
/// first and goes member by member when it declines.
inline constexpr IID IID_IPathWrite{0x3b8e5f21, 0x7c4a, 0x4d92, {0x8e, 0x03, 0x5a, 0xc1, 0x96, 0x2f, 0x7d, 0x48}};
struct IPathWrite : IUnknown {
    /// Does what writing `value` to the last of `path[0..count)` would do,
    /// the members before it read as objects one after another (the last
    /// member's params hold its arguments without the value). S_OK when done;
    /// any other code declines with nothing changed, and the caller then
    /// writes member by member (which also reports every failure).
    virtual HRESULT WritePath(const PathMember *path, UINT count, const VARIANT *value) = 0;
};

struct IClassFactory : IUnknown {
    /// Makes a new instance and gives its interface `iid`; CLASS_E_NOAGGREGATION
    /// when `outer` is not null.
    virtual HRESULT CreateInstance(IUnknown *outer, REFIID iid, void **object) = 0;
    /// Keeps the server loaded; meaningless in-process, returns S_OK.
    virtual HRESULT LockServer(BOOL lock) = 0;
};

struct IPersistFile : IUnknown {
    /// Loads the object's state from the file `fileName`.
    virtual HRESULT Load(LPCOLESTR fileName, DWORD mode) = 0;
};

/// Initialises "COM" on the calling thread: S_OK the first time on a thread,
/// S_FALSE afterwards. Our model needs no per-thread set-up; the call exists
/// so that code reads as on Windows.
HRESULT CoInitialize(void *reserved);
/// Undoes one CoInitialize on the calling thread.
void CoUninitialize();

} // namespace orvane
