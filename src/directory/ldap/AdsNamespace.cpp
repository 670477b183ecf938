#include "directory/ldap/AdsNamespace.h"

#include "automation/com/Bstr.h"
#include "automation/com/ComPtr.h"
#include "directory/ldap/AdsObject.h"
#include "directory/ldap/LdapErrors.h"

namespace orvane
{

namespace
{

constexpr HRESULT E_ADS_BAD_PATHNAME = hresult(0x80005000);

// parseDirectoryPath of `text`, remembered for the thread's last text: a
// journaled write announces each object's path ahead and then opens the same
// path, so the open finds the path the announcement parsed.
bool parsePath(const QString &text, DirectoryPath *path)
{
    thread_local QString lastText;
    thread_local DirectoryPath lastPath;
    thread_local bool lastParsed = false;
    if (text.isEmpty() || text != lastText) {
        lastParsed = parseDirectoryPath(text, &lastPath);
        lastText = text;
    }
    *path = lastPath;
    return lastParsed;
}

HRESULT bindPath(const QString &text, const Credentials &credentials, AdsObject **out)
{
    DirectoryPath path;
    if (!parsePath(text, &path) || path.host.isEmpty()) {
        setDirectoryError({E_ADS_BAD_PATHNAME, 0, QStringLiteral("Not an LDAP path: ") + text});
        return E_ADS_BAD_PATHNAME;
    }
    return AdsObject::bind(path, credentials, out);
}

} // namespace

AdsNamespace::AdsNamespace() : DispatchObject(table()) {}

const MemberTable &AdsNamespace::table()
{
    static const MemberTable t{{"OpenDSObject", OpenDSObject}, {"Name", Name}, {"GetObject", GetObject}};
    return t;
}

IUnknown *AdsNamespace::queryOtherInterface(REFIID iid)
{
    return iid == IID_IOpenAhead ? static_cast<IOpenAhead *>(this) : nullptr;
}

void AdsNamespace::OpenAhead(LPCOLESTR path, LPCOLESTR user, LPCOLESTR password, LPCOLESTR attributes)
{
    DirectoryPath parsed;
    if (!path || !parsePath(qStringFromOleString(path), &parsed) || parsed.host.isEmpty() ||
        !parsed.byGuid)
        return;
    Credentials credentials;
    if (user)
        credentials.user = qStringFromOleString(user);
    if (password)
        credentials.password = qStringFromOleString(password);
    QStringList names;
    if (attributes)
        for (const QString &name : qStringFromOleString(attributes).split(u',', Qt::SkipEmptyParts))
            names << name.trimmed();
    AdsObject::readAhead(parsed, credentials, names);
}

HRESULT AdsNamespace::invoke(DispatchCall &call)
{
    if (call.isPropertyPut())
        return DISP_E_MEMBERNOTFOUND;
    switch (call.dispid()) {
    case OpenDSObject:
        return open(call, true);
    case GetObject:
        return open(call, false);
    case Name:
        return call.setResultString(QStringLiteral("LDAP:"));
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AdsNamespace::open(DispatchCall &call, bool withCredentials)
{
    QString path;
    Credentials credentials;
    // GetObject(class, path); OpenDSObject(path, user, password, flags).
    HRESULT hr = call.stringArg(withCredentials ? 0 : 1, &path);
    if (SUCCEEDED(hr) && withCredentials && call.hasArg(1))
        hr = call.stringArg(1, &credentials.user);
    if (SUCCEEDED(hr) && withCredentials && call.hasArg(2))
        hr = call.stringArg(2, &credentials.password);
    qint64 flags = 0;
    if (SUCCEEDED(hr) && withCredentials && call.hasArg(3))
        hr = call.integerArg(3, &flags);
    if (FAILED(hr))
        return hr == DISP_E_PARAMNOTFOUND ? DISP_E_BADPARAMCOUNT : hr;
    AdsObject *object = nullptr;
    hr = bindPath(path, credentials, &object);
    if (FAILED(hr))
        return hr;
    auto held = ComPtr<AdsObject>::attach(object);
    return call.setResultDispatch(held.get());
}

HRESULT resolveLdapMoniker(const QString &displayName, REFIID iid, void **object)
{
    *object = nullptr;
    if (displayName.trimmed().compare(QLatin1String("LDAP:"), Qt::CaseInsensitive) == 0)
        return ComPtr<AdsNamespace>::attach(new AdsNamespace)->QueryInterface(iid, object);
    DirectoryPath path;
    if (!parseDirectoryPath(displayName, &path) || path.host.isEmpty())
        return MK_E_SYNTAX;
    AdsObject *bound = nullptr;
    const HRESULT hr = AdsObject::bind(path, Credentials(), &bound);
    if (FAILED(hr))
        return hr;
    return ComPtr<AdsObject>::attach(bound)->QueryInterface(iid, object);
}

} // namespace orvane
