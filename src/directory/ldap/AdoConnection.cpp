#include "directory/ldap/AdoConnection.h"

#include "automation/com/VariantChangeType.h"
#include "directory/ldap/AdoErrors.h"

namespace orvane
{

AdoProperties::~AdoProperties()
{
    for (auto &[name, value] : values_)
        VariantClear(&value);
}

HRESULT AdoProperties::set(const QString &name, const VARIANT &value)
{
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopyInd(&copy, &value);
    if (FAILED(hr))
        return hr;
    VARIANT &slot = values_[name.toLower()];
    if (slot.vt != VT_EMPTY)
        VariantClear(&slot);
    slot = copy;
    return S_OK;
}

const VARIANT *AdoProperties::find(const QString &name) const
{
    const auto it = values_.find(name.toLower());
    return it == values_.end() ? nullptr : &it->second;
}

QString AdoProperties::text(const QString &name) const
{
    const VARIANT *v = find(name);
    if (!v)
        return QString();
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, v, 0, VT_BSTR)))
        return QString();
    const QString s = variantString(&t);
    VariantClear(&t);
    return s;
}

qint64 AdoProperties::integer(const QString &name, qint64 fallback) const
{
    const VARIANT *v = find(name);
    if (!v)
        return fallback;
    VARIANT t;
    VariantInit(&t);
    if (FAILED(VariantChangeType(&t, v, 0, VT_I8)))
        return fallback;
    return t.llVal;
}

HRESULT AdoProperties::answer(DispatchCall &call)
{
    QString name;
    const HRESULT hr = call.stringArg(0, &name);
    if (FAILED(hr))
        return hr == DISP_E_PARAMNOTFOUND ? DISP_E_BADPARAMCOUNT : hr;
    if (call.isPropertyPut())
        return call.putValue() ? set(name, *call.putValue()) : DISP_E_PARAMNOTFOUND;
    const VARIANT *v = find(name);
    if (!v)
        return call.setResultNull();
    return call.setResultVariant(*v);
}

AdoConnection::AdoConnection() : DispatchObject(table()) {}

const MemberTable &AdoConnection::table()
{
    static const MemberTable t{{"Provider", Provider}, {"Properties", Properties},
                               {"Open", Open},         {"Close", Close},
                               {"State", State},       {"ConnectionString", ConnectionString}};
    return t;
}

Credentials AdoConnection::credentials() const
{
    return Credentials{properties_.text(QStringLiteral("User ID")),
                       properties_.text(QStringLiteral("Password"))};
}

HRESULT AdoConnection::invoke(DispatchCall &call)
{
    switch (call.dispid()) {
    case Provider:
        if (call.isPropertyPut())
            return open_ ? raiseAdo(call, AdoError::ObjectOpen) : call.putString(&provider_);
        return call.setResultString(provider_.isEmpty() ? QStringLiteral("MSDASQL") : provider_);
    case ConnectionString:
        if (call.isPropertyPut())
            return open_ ? raiseAdo(call, AdoError::ObjectOpen) : call.putString(&connectionString_);
        return call.setResultString(connectionString_);
    case Properties:
        return properties_.answer(call);
    case Open:
        return openConnection(call);
    case Close:
        if (!open_)
            return raiseAdo(call, AdoError::ObjectClosed);
        open_ = false;
        return S_OK;
    case State:
        if (call.isPropertyPut())
            return DISP_E_MEMBERNOTFOUND;
        return call.setResultInteger(open_ ? 1 : 0);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AdoConnection::openConnection(DispatchCall &call)
{
    if (open_)
        return raiseAdo(call, AdoError::ObjectOpen);
    QString text = connectionString_;
    if (call.hasArg(0)) {
        const HRESULT hr = call.stringArg(0, &text);
        if (FAILED(hr))
            return hr;
    }
    // A connection string of "key=value;" pairs may name the provider and the
    // credentials; a plain name ("Active Directory Provider") is only a label.
    for (const QString &pair : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = pair.left(eq).trimmed();
        VARIANT value;
        VariantInit(&value);
        setVariantString(&value, pair.mid(eq + 1).trimmed());
        if (key.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0)
            provider_ = variantString(&value);
        else
            properties_.set(key, value);
        VariantClear(&value);
    }
    if (provider_.trimmed().compare(QLatin1String("ADsDSOObject"), Qt::CaseInsensitive) != 0)
        return raiseAdo(call, AdoError::ProviderNotFound);
    open_ = true;
    return S_OK;
}

} // namespace orvane
