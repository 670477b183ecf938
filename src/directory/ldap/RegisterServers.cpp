#include "directory/ldap/RegisterServers.h"

#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "directory/ldap/AdoCommand.h"
#include "directory/ldap/AdoConnection.h"
#include "directory/ldap/AdoRecordSet.h"
#include "directory/ldap/AdsNamespace.h"

#include <mutex>

namespace orvane
{

namespace
{

// The CLSIDs these classes have on Windows.
constexpr CLSID kConnectionClsid{
    0x00000514, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr CLSID kCommandClsid{0x00000507, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
constexpr CLSID kRecordSetClsid{0x00000535, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

template <typename T> HRESULT make(REFIID iid, void **out)
{
    return ComPtr<T>::attach(new T)->QueryInterface(iid, out);
}

} // namespace

void registerDirectoryServers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        registerClass(QStringLiteral("ADODB.Connection"), kConnectionClsid, make<AdoConnection>);
        registerClass(QStringLiteral("ADODB.Command"), kCommandClsid, make<AdoCommand>);
        registerClass(QStringLiteral("ADODB.RecordSet"), kRecordSetClsid, make<AdoRecordSet>);
        registerMoniker(QStringLiteral("LDAP:"), resolveLdapMoniker);
    });
}

} // namespace orvane
