#pragma once
// A directory object as ADSI presents it, bound by an ADsPath
// ("LDAP://host:port/<GUID=...>" or "LDAP://host:port/dn") with stored or
// current credentials (LdapConnection.h for the rules).
//
// Binding reads the whole entry into a property cache (one search; a GUID
// path searches "(objectGUID=\xx...)" below the server's naming contexts);
// reads come from the cache; Put/PutEx change the cache and queue the change;
// SetInfo sends all queued changes as one modify request.
//
// Members: Get(name), GetEx(name), Put(name, value), PutEx(code, name, value)
// with codes 1 clear, 2 update, 3 append, 4 delete; SetInfo, GetInfo;
// AccountDisabled (bit 0x2 of userAccountControl, read as -1/0, written as a
// change of userAccountControl); Name, ADsPath, GUID, Class, Parent; and every
// attribute of the server's schema by its name as a property (read and write).
//
// Reading an attribute by name: one value -> the value (text, bytes, number);
// several -> VT_ARRAY|VT_VARIANT; none -> VT_NULL for a multi-valued
// attribute and VT_EMPTY (empty text) for a single-valued one, so that reading
// an unset single value is no error. Get/GetEx of an absent attribute fail
// with E_ADS_PROPERTY_NOT_FOUND (0x8000500D) as in ADSI.
//
// A GUID bind that follows a search of the same thread may be answered from
// that search (SearchAnswers.h): the object then holds only the attributes the
// search fetched and reads the whole entry before anything else is asked.
//
// A GUID bind that the caller announced (readAhead, reached through the
// namespace's IOpenAhead) takes the answer of the search sent then, which
// travelled while the caller's earlier requests were answered: a read from
// the directory made after every write this connection made to that object.
// When the caller named the attributes it will use, only those were read;
// reading and changing them, and SetInfo, need nothing more, and anything
// else reads the whole entry first (keeping changes not yet sent).
//
// A failed SetInfo drops the queued changes and re-reads the entry, so that
// the cache again shows what the directory holds and a later SetInfo does not
// resend the refused change.

#include "automation/com/DispatchObject.h"
#include "directory/ldap/LdapPool.h"

#include <QSet>

namespace orvane
{

class AdsObject : public DispatchObject
{
  public:
    /// Binds `path` as `credentials`. On success `*out` holds the new object
    /// (one reference for the caller); on failure `*out` is null and the
    /// HRESULT says why (0x80072030 when no object has that GUID or DN).
    static HRESULT bind(const DirectoryPath &path, const Credentials &credentials, AdsObject **out);

    /// Sends the search a bind of the GUID path `path` as `credentials`
    /// makes on an idle pooled connection without waiting for it, so that
    /// such a bind following soon on that connection takes its answer instead
    /// of asking then; with `attributes`, only those (the object then reads
    /// the whole entry when anything else is asked). Never opens a connection
    /// and never reports; a bind that does not follow costs only the
    /// abandoned search.
    static void readAhead(const DirectoryPath &path, const Credentials &credentials,
                          const QStringList &attributes = {});

    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:
    enum : DISPID {
        Get = 1,
        GetEx,
        Put,
        PutEx,
        SetInfo,
        GetInfo,
        AccountDisabled,
        Name,
        AdsPath,
        Guid,
        Class,
        Parent,
        FirstAttribute = 1000
    };
    static const MemberTable &table();

    AdsObject(const ServerAddress &server, const Credentials &credentials);
    HRESULT load(LdapConnection &connection, const DirectoryPath &path);
    HRESULT reload();
    /// Reads the whole entry for a partial cache, keeping the changes not yet sent.
    HRESULT completeCache();
    /// True when `call` can be answered from the attributes a search fetched.
    bool answerable(DispatchCall &call) const;
    bool fetched(const QString &name) const;
    const AttributeInfo *attributeInfo(const QString &name) const;
    HRESULT readAttribute(DispatchCall &call, const QString &name, bool byName, bool asArray);
    HRESULT change(LdapModification::Op op, const QString &name, const VARIANT *value);
    HRESULT putEx(DispatchCall &call);
    HRESULT commit();
    HRESULT accountDisabled(DispatchCall &call);
    QString pathText() const;
    const std::string &poolKey();

    ServerAddress server_;
    Credentials credentials_;
    std::string poolKey_; ///< LdapPool::keyOf(server_, credentials_), digested on first need
    std::shared_ptr<const ServerInfo> info_;
    LdapEntry entry_;                       ///< the property cache
    std::vector<LdapModification> pending_; ///< changes not yet sent
    std::vector<QString> dynamicNames_;     ///< attribute names given DISPIDs from FirstAttribute on
    bool partial_ = false;                  ///< the cache holds only what a search fetched
    bool aheadPartial_ = false;             ///< ...and that search was a read ahead of named attributes
    QSet<QString> fetched_;                 ///< lower-case names of those attributes
};

} // namespace orvane
