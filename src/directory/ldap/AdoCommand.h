#pragma once
// "ADODB.Command" for the directory provider: an active connection (an
// "ADODB.Connection" of this process, opened with provider "ADsDSOObject"),
// the properties "Page Size" and "searchscope", and a command text in the
// provider's LDAP dialect "<LDAP://host:port/base>;filter;attributes;scope".
// "Execute()" runs the search (paged when "Page Size" is above 0, through the
// connection pool with the connection's credentials) and returns a new
// "ADODB.RecordSet" holding every match.
//
// The scope named in the command text wins over "searchscope"; the property
// (0 base, 1 one level, 2 subtree) applies only to a text that names none.
// Directory failures come back as their HRESULTs (LdapErrors.h); misuse of
// ADO (no open connection, unreadable command text) as ADO's own errors.

#include "automation/com/ComPtr.h"
#include "directory/ldap/AdoConnection.h"

namespace orvane
{

class AdoCommand : public DispatchObject
{
  public:
    AdoCommand();

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:
    enum : DISPID { ActiveConnection = 1, Properties, CommandText, Execute };
    static const MemberTable &table();
    HRESULT setConnection(DispatchCall &call);
    HRESULT execute(DispatchCall &call);

    ComPtr<IDispatch> connection_;
    AdoProperties properties_;
    QString commandText_;
};

} // namespace orvane
