#pragma once
// DispatchObject: the base for writing an automation server. It implements
// IUnknown (atomic reference count, delete at zero) and IDispatch
// (GetIDsOfNames from a case-insensitive name table, Invoke unpacked into a
// DispatchCall) so that a server only declares its members and answers calls:
//
//   class Field : public DispatchObject {
//   public:
//       Field() : DispatchObject(members()) {}
//   protected:
//       HRESULT invoke(DispatchCall &call) override {
//           switch (call.dispid()) {
//           case DISPID_VALUE:                       // "Value"
//               return call.setResultString(value_);
//           case Name:
//               if (call.isPropertyPut()) return DISP_E_MEMBERNOTFOUND; // read-only
//               return call.setResultString(name_);
//           }
//           return DISP_E_MEMBERNOTFOUND;
//       }
//   private:
//       enum : DISPID { Name = 1 };
//       static const MemberTable &members() {
//           static const MemberTable table{{"Value", DISPID_VALUE}, {"Name", Name}};
//           return table;
//       }
//   };
//
// Errors: return a failure HRESULT as it is (HRESULT_FROM_WIN32(...) codes
// become the system's texts in the engine's last error), or return
// call.raise(description) to report DISP_E_EXCEPTION with a description, which
// the engine then shows as the last error text verbatim.

#include "automation/com/Interfaces.h"

#include <QHash>
#include <QString>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace orvane
{

/// A server class's members: name -> DISPID, names matched case-insensitively.
/// Build one per class (a function-local static) and share it by all instances.
class MemberTable
{
  public:
    MemberTable(std::initializer_list<std::pair<QString, DISPID>> members);
    /// The identifier of `name` in any case; DISPID_UNKNOWN when absent.
    DISPID find(QStringView name) const;
    DISPID find(const QString &name) const { return find(QStringView(name)); }
    /// The name as declared for `id`; "" when absent.
    QString name(DISPID id) const;

  private:
    struct AsciiSlot {
        std::string key; ///< case-folded name
        std::uint32_t hash = 0;
        DISPID id = DISPID_UNKNOWN;
        bool used = false;
    };
    static std::uint32_t hashStep(std::uint32_t hash, char c) { return (hash ^ std::uint8_t(c)) * 16777619u; }
    static constexpr std::uint32_t kHashStart = 2166136261u;

    QHash<QString, DISPID> byName_;
    QHash<DISPID, QString> byId_;
    /// The case-folded names that are ASCII, in an open-addressed table (a
    /// power of two in size, at most half full), so that an ASCII name (nearly
    /// every name a command writes) is found without building a folded copy.
    std::vector<AsciiSlot> asciiSlots_;
};

/// One Invoke as DispatchObject hands it to its server. Arguments are given in
/// the order they were written (first argument first); a VT_BYREF|VT_VARIANT
/// argument is seen through to the VARIANT it points at. The put value of a
/// property write is not among the positional arguments: see putValue().
class DispatchCall
{
  public:
    DispatchCall(DISPID dispid, WORD flags, DISPPARAMS *params, VARIANT *result);

    DISPID dispid() const { return dispid_; }
    WORD flags() const { return flags_; }
    /// DISPATCH_METHOD set (the engine sets METHOD|PROPERTYGET for reads).
    bool isMethod() const { return flags_ & DISPATCH_METHOD; }
    bool isPropertyGet() const { return flags_ & DISPATCH_PROPERTYGET; }
    /// DISPATCH_PROPERTYPUT or DISPATCH_PROPERTYPUTREF set.
    bool isPropertyPut() const { return flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF); }

    /// Number of positional arguments (named ones not counted).
    int argCount() const { return argCount_; }
    /// Positional argument `i` (from 0); null when out of range.
    const VARIANT *arg(int i) const;
    /// True when argument `i` exists and is not the "missing" marker
    /// (VT_ERROR DISP_E_PARAMNOTFOUND, which "#optional" produces).
    bool hasArg(int i) const;
    /// Argument `i` converted to text / integer / boolean with COM's rules.
    /// DISP_E_PARAMNOTFOUND when absent or missing, else the conversion's code.
    HRESULT stringArg(int i, QString *out) const;
    HRESULT integerArg(int i, qint64 *out) const;
    HRESULT boolArg(int i, bool *out) const;

    /// The new value of a property write (the DISPID_PROPERTYPUT named
    /// argument); null when the call is not a put or carries no value.
    const VARIANT *putValue() const { return putValue_; }
    /// The put value converted; DISP_E_PARAMNOTFOUND when there is none.
    HRESULT putString(QString *out) const;
    HRESULT putInteger(qint64 *out) const;
    HRESULT putBool(bool *out) const;
    /// Other named arguments (rare; the engine never sends any but the put value).
    const std::vector<std::pair<DISPID, const VARIANT *>> &namedArgs() const { return named_; }

    /// The caller's result VARIANT (VT_EMPTY on entry), or null when the
    /// caller wants no result. Fill it with the setters below or directly.
    VARIANT *result() const { return result_; }
    /// Setters store the value in the result when one is wanted and return
    /// S_OK (E_OUTOFMEMORY if a copy cannot be made), so `return call.setResult...(...)`.
    HRESULT setResultString(const QString &text);
    HRESULT setResultInteger(qint64 value);
    HRESULT setResultBool(bool value);
    HRESULT setResultDouble(double value);
    HRESULT setResultNull();
    /// Stores `object` with one new reference (AddRef'd here); null gives a null object.
    HRESULT setResultDispatch(IDispatch *object);
    HRESULT setResultBytes(const QByteArray &bytes);
    HRESULT setResultStringArray(const QStringList &texts);
    /// Stores a copy of `value` (VariantCopy).
    HRESULT setResultVariant(const VARIANT &value);

    /// Reports a server exception: Invoke returns DISP_E_EXCEPTION and the
    /// caller's EXCEPINFO carries `description`, `scode` and `source`.
    /// Returns DISP_E_EXCEPTION, so `return call.raise("...")`.
    HRESULT raise(const QString &description, HRESULT scode = E_FAIL, const QString &source = QString());
    bool raised() const { return raised_; }
    const QString &exceptionDescription() const { return description_; }
    const QString &exceptionSource() const { return source_; }
    HRESULT exceptionCode() const { return scode_; }

  private:
    DISPID dispid_;
    WORD flags_;
    /// The caller's rgvarg, read in place: argument i is positional_[positionalEnd_ - 1 - i].
    const VARIANTARG *positional_ = nullptr;
    UINT positionalEnd_ = 0; ///< cArgs
    int argCount_ = 0;
    std::vector<std::pair<DISPID, const VARIANT *>> named_;
    const VARIANT *putValue_ = nullptr;
    VARIANT *result_;
    bool raised_ = false;
    QString description_;
    QString source_;
    HRESULT scode_ = S_OK;
};

/// Base class of automation servers; see the file comment. A new instance
/// starts with one reference, owned by whoever called `new` (adopt it with
/// ComPtr<T>::attach); it deletes itself when the last reference goes. Thread-safe reference counting; the
/// server's own state is the server's concern.
class DispatchObject : public IDispatch
{
  public:
    explicit DispatchObject(const MemberTable &members);
    DispatchObject(const DispatchObject &) = delete;
    DispatchObject &operator=(const DispatchObject &) = delete;

    HRESULT QueryInterface(REFIID iid, void **object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;
    /// Unpacks the call into a DispatchCall and passes it to invoke(). Checks
    /// first: `iid` IID_NULL (else DISP_E_UNKNOWNINTERFACE), `params` given and
    /// cNamedArgs <= cArgs (else E_INVALIDARG). On DISP_E_EXCEPTION fills
    /// `excepInfo`; on any failure clears the result.
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                   EXCEPINFO *excepInfo, UINT *argError) override;

    /// Number of DispatchObjects alive in the process (for leak checks in tests).
    static long liveCount();

  protected:
    ~DispatchObject() override;
    /// Answers one call; see DispatchCall. Return DISP_E_MEMBERNOTFOUND for a
    /// member or flag combination the object does not support.
    virtual HRESULT invoke(DispatchCall &call) = 0;
    /// Other interfaces the object offers (for example IPersistFile); return
    /// the interface pointer without AddRef, or null. The base AddRef's it.
    virtual IUnknown *queryOtherInterface(REFIID iid);
    /// The member table given at construction.
    const MemberTable &members() const { return members_; }

  private:
    const MemberTable &members_;
    std::atomic<ULONG> refs_{1};
};

/// A DispatchObject that also answers whole read paths (IPathRead): the
/// server overrides ReadPath and declines (S_FALSE) every path it does not
/// answer exactly as the member-by-member route would.
class PathReadingObject : public DispatchObject, public IPathRead
{
  public:
    using DispatchObject::DispatchObject;
    HRESULT QueryInterface(REFIID iid, void **object) override { return DispatchObject::QueryInterface(iid, object); }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }

  protected:
    IUnknown *queryOtherInterface(REFIID iid) override
    {
        return iid == IID_IPathRead ? static_cast<IPathRead *>(this) : nullptr;
    }
};

/// The identifier `table` gives the name of `member` when it carries exactly
/// `arguments` positional arguments; DISPID_UNKNOWN otherwise (for ReadPath).
DISPID pathMemberId(const MemberTable &table, const PathMember &member, UINT arguments);

} // namespace orvane
