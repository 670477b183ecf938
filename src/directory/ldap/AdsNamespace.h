#pragma once
// The "LDAP:" namespace object, reached by the moniker "LDAP:", with
// OpenDSObject(path, user, password, flags): binds the directory object at
// `path` with the given credentials (empty user and password: the current
// user) and returns it. The flags (ADS_SECURE_AUTHENTICATION and the rest)
// are accepted and need no action: stored credentials always travel inside
// TLS and current credentials by Kerberos (LdapConnection.h).
//
// The moniker "LDAP://host:port/<GUID=...>" (or any other ADsPath) binds that
// object as the current user; see resolveLdapMoniker.

#include "automation/com/DispatchObject.h"

namespace orvane
{

class AdsNamespace : public DispatchObject
{
  public:
    AdsNamespace();

  protected:
    HRESULT invoke(DispatchCall &call) override;

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
