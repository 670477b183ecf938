#pragma once
// The "LDAP:" namespace object, reached by the moniker "LDAP:", with
// OpenDSObject(path, user, password, flags): binds the directory object at
// `path` with the given credentials (empty user and password: the current
// user) and returns it. The flags (ADS_SECURE_AUTHENTICATION and the rest)
// are accepted and need no action: stored credentials always travel inside
// TLS and current credentials by Kerberos (LdapConnection.h).
//
// IOpenAhead lets a caller that binds one object after another announce the
// next GUID path, whose search then travels beside the current object's writes.
//
// The moniker "LDAP://host:port/<GUID=...>" (or any other ADsPath) binds that
// object as the current user; see resolveLdapMoniker.

#include "automation/com/DispatchObject.h"
#include "automation/com/OpenAhead.h"

namespace orvane
{

class AdsNamespace : public DispatchObject, public IOpenAhead
{
  public:
    AdsNamespace();

    HRESULT QueryInterface(REFIID iid, void **object) override { return DispatchObject::QueryInterface(iid, object); }
    ULONG AddRef() override { return DispatchObject::AddRef(); }
    ULONG Release() override { return DispatchObject::Release(); }
    /// Sends the search of a GUID path's bind ahead (AdsObject::readAhead); other paths are ignored.
    void OpenAhead(LPCOLESTR path, LPCOLESTR user, LPCOLESTR password, LPCOLESTR attributes) override;

  protected:
    HRESULT invoke(DispatchCall &call) override;
    IUnknown *queryOtherInterface(REFIID iid) override;

  private:
    enum : DISPID { OpenDSObject = 1, Name, GetObject };
    static const MemberTable &table();
    HRESULT open(DispatchCall &call, bool withCredentials);
};

/// The moniker resolver of the prefix "LDAP:": "LDAP:" gives the namespace
/// object; an ADsPath gives the bound object (current credentials).
/// MK_E_SYNTAX for a name that is no ADsPath; otherwise the bind's HRESULT.
HRESULT resolveLdapMoniker(const QString &displayName, REFIID iid, void **object);

} // namespace orvane
