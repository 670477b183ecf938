#pragma once
// "ADODB.Connection" for the directory provider "ADsDSOObject": holds the
// provider name and the credential properties ("User ID", "Password",
// "Encrypt Password"); "Open" checks the provider and marks the connection
// open. No network traffic happens here: the search of an "ADODB.Command"
// using this connection authenticates, through the connection pool.
//
// Members: Provider (read/write), Properties(name) (read/write),
// Open([connection string]), Close, State (0 closed, 1 open).

#include "automation/com/DispatchObject.h"
#include "directory/ldap/LdapConnection.h"

#include <map>

namespace orvane
{

/// Named properties of an ADO object (case-insensitive names, any VARIANT value).
class AdoProperties
{
  public:
    AdoProperties() = default;
    AdoProperties(const AdoProperties &) = delete;
    AdoProperties &operator=(const AdoProperties &) = delete;
    ~AdoProperties();
    /// Stores a copy of `value` under `name`.
    HRESULT set(const QString &name, const VARIANT &value);
    /// The value of `name`, or null when never set.
    const VARIANT *find(const QString &name) const;
    /// The value of `name` as text ("" when unset or not convertible).
    QString text(const QString &name) const;
    /// The value of `name` as an integer; `fallback` when unset or not convertible.
    qint64 integer(const QString &name, qint64 fallback) const;
    /// Answers a Properties(name) read or write.
    HRESULT answer(DispatchCall &call);

  private:
    std::map<QString, VARIANT> values_; // key: lower-case name
};

class AdoConnection : public DispatchObject
{
  public:
    AdoConnection();

    /// True after a successful Open (and before Close).
    bool isOpen() const { return open_; }
    /// The credentials the properties give: "User ID" and "Password", or the
    /// current user when neither is set.
    Credentials credentials() const;

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:
    enum : DISPID { Provider = 1, Properties, Open, Close, State, ConnectionString };
    static const MemberTable &table();
    HRESULT openConnection(DispatchCall &call);

    QString provider_;
    QString connectionString_;
    AdoProperties properties_;
    bool open_ = false;
};

} // namespace orvane
