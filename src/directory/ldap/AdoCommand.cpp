#include "directory/ldap/AdoCommand.h"

#include "directory/ldap/AdoErrors.h"
#include "directory/ldap/AdoRecordSet.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/SearchAnswers.h"

namespace orvane
{

AdoCommand::AdoCommand() : DispatchObject(table()) {}

const MemberTable &AdoCommand::table()
{
    static const MemberTable t{{"ActiveConnection", ActiveConnection},
                               {"Properties", Properties},
                               {"CommandText", CommandText},
                               {"Execute", Execute}};
    return t;
}

HRESULT AdoCommand::invoke(DispatchCall &call)
{
    switch (call.dispid()) {
    case ActiveConnection:
        if (call.isPropertyPut())
            return setConnection(call);
        return call.setResultDispatch(connection_.get());
    case Properties:
        return properties_.answer(call);
    case CommandText:
        if (call.isPropertyPut())
            return call.putString(&commandText_);
        return call.setResultString(commandText_);
    case Execute:
        if (call.isPropertyPut())
            return DISP_E_MEMBERNOTFOUND;
        return execute(call);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AdoCommand::setConnection(DispatchCall &call)
{
    const VARIANT *v = call.putValue();
    if (!v)
        return DISP_E_PARAMNOTFOUND;
    IDispatch *object = nullptr;
    if (v->vt == VT_DISPATCH)
        object = v->pdispVal;
    else if (v->vt == (VT_DISPATCH | VT_BYREF) && v->ppdispVal)
        object = *v->ppdispVal;
    else if (v->vt == VT_EMPTY || v->vt == VT_NULL) {
        connection_.reset();
        return S_OK;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    if (object && !dynamic_cast<AdoConnection *>(object))
        return DISP_E_TYPEMISMATCH; // somebody else's object
    connection_ = ComPtr<IDispatch>(object);
    return S_OK;
}

HRESULT AdoCommand::execute(DispatchCall &call)
{
    auto *connection = dynamic_cast<AdoConnection *>(connection_.get());
    if (!connection || !connection->isOpen())
        return raiseAdo(call, AdoError::InvalidConnection);
    QueryText query;
    if (!parseQueryText(commandText_, &query))
        return raiseAdo(call, AdoError::CommandText);
    if (!query.scopeGiven) {
        const qint64 scope = properties_.integer(QStringLiteral("searchscope"), 2);
        query.scope = scope == 0   ? SearchScope::Base
                      : scope == 1 ? SearchScope::OneLevel
                                   : SearchScope::Subtree;
    }
    const int pageSize =
        static_cast<int>(std::clamp<qint64>(properties_.integer(QStringLiteral("Page Size"), 0), 0, 1 << 20));
    const ServerAddress server{query.path.host, query.path.port};

    auto data = std::make_shared<RecordSetData>();
    data->pathPrefix = QStringLiteral("LDAP://%1:%2/").arg(server.host).arg(server.port);
    // An empty list asks for every attribute; nothing needs adding then.
    const QStringList hidden =
        query.attributes.isEmpty() ? QStringList() : answerAttributes(query.attributes);
    std::shared_ptr<const ServerInfo> info;
    const HRESULT hr = LdapPool::instance().run(server, connection->credentials(), [&](LdapConnection &c) {
        HRESULT infoResult = S_OK;
        info = LdapPool::instance().serverInfo(c, &infoResult);
        if (!info)
            return infoResult;
        data->defineColumns(query.attributes, info->schema, hidden);
        return c.search(query.path.dn, query.scope, query.filter, query.attributes + hidden, pageSize, *data);
    });
    if (FAILED(hr))
        return hr;
    publishSearch(server, connection->credentials(), info, data);
    auto recordSet = ComPtr<AdoRecordSet>::attach(new AdoRecordSet(std::move(data)));
    return call.setResultDispatch(recordSet.get());
}

} // namespace orvane
