#include "directory/ldap/AdsObject.h"

#include "automation/com/Bstr.h"
#include "automation/com/ComPtr.h"
#include "directory/ldap/AttributeValues.h"
#include "directory/ldap/LdapErrors.h"
#include "directory/ldap/SearchAnswers.h"

namespace orvane
{

namespace
{

constexpr HRESULT E_ADS_BAD_PARAMETER = hresult(0x80005008);
constexpr HRESULT E_ADS_PROPERTY_NOT_FOUND = hresult(0x8000500D);
constexpr HRESULT kNoSuchObject = hresult(0x80072030);

enum PutExCode { Clear = 1, Update = 2, Append = 3, Delete = 4 };

bool isDistinguishedName(const QString &name)
{
    return name.compare(QLatin1String("distinguishedName"), Qt::CaseInsensitive) == 0;
}

// The first RDN of `dn` and the rest, honouring escaped commas.
std::pair<QString, QString> splitDn(const QString &dn)
{
    for (int i = 0; i < dn.size(); ++i) {
        if (dn[i] == QLatin1Char('\\'))
            ++i;
        else if (dn[i] == QLatin1Char(','))
            return {dn.left(i), dn.mid(i + 1)};
    }
    return {dn, QString()};
}

void applyToCache(LdapEntry *entry, const LdapModification &m)
{
    LdapAttribute *a = entry->find(m.attribute);
    switch (m.op) {
    case LdapModification::Op::Replace:
        if (m.values.empty()) {
            if (a)
                entry->attributes.erase(entry->attributes.begin() + (a - entry->attributes.data()));
        } else if (a) {
            a->values = m.values;
        } else {
            entry->attributes.push_back({m.attribute, m.values});
        }
        break;
    case LdapModification::Op::Add:
        if (!a) {
            entry->attributes.push_back({m.attribute, {}});
            a = &entry->attributes.back();
        }
        a->values.insert(a->values.end(), m.values.begin(), m.values.end());
        break;
    case LdapModification::Op::Delete:
        if (!a)
            break;
        if (m.values.empty()) {
            entry->attributes.erase(entry->attributes.begin() + (a - entry->attributes.data()));
            break;
        }
        for (const QByteArray &v : m.values)
            std::erase(a->values, v);
        if (a->values.empty())
            entry->attributes.erase(entry->attributes.begin() + (a - entry->attributes.data()));
        break;
    }
}

// The pool's key of the last server and credentials this thread used: a
// change set binds one user after another with the same pair, and the key's
// digest costs more than a request's own work on our side.
const std::string &poolKeyOf(const ServerAddress &server, const Credentials &credentials)
{
    struct Last {
        ServerAddress server;
        Credentials credentials;
        std::string key;
    };
    thread_local Last last;
    if (last.key.empty() || !(last.server == server) || !(last.credentials == credentials))
        last = {server, credentials, LdapPool::keyOf(server, credentials)};
    return last.key;
}

// "(objectGUID=\xx...)" with the bytes escaped as filterEscapeBytes escapes
// them, written in place: every bind and every read-ahead builds one.
QString guidFilter(const DirectoryPath &path)
{
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    static constexpr QStringView kHead = u"(objectGUID=";
    QString filter(kHead.size() + 3 * qsizetype(path.guid.size()) + 1, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(filter.data());
    for (const QChar c : kHead)
        *out++ = c.unicode();
    for (const std::uint8_t byte : path.guid) {
        *out++ = u'\\';
        *out++ = kDigits[byte >> 4];
        *out++ = kDigits[byte & 0xF];
    }
    *out = u')';
    return filter;
}

} // namespace

AdsObject::AdsObject(const ServerAddress &server, const Credentials &credentials)
    : DispatchObject(table()), server_(server), credentials_(credentials)
{
}

const MemberTable &AdsObject::table()
{
    static const MemberTable t{{"Get", Get},
                               {"GetEx", GetEx},
                               {"Put", Put},
                               {"PutEx", PutEx},
                               {"SetInfo", SetInfo},
                               {"GetInfo", GetInfo},
                               {"AccountDisabled", AccountDisabled},
                               {"Name", Name},
                               {"ADsPath", AdsPath},
                               {"GUID", Guid},
                               {"Class", Class},
                               {"Parent", Parent}};
    return t;
}

HRESULT AdsObject::bind(const DirectoryPath &path, const Credentials &credentials, AdsObject **out)
{
    *out = nullptr;
    const ServerAddress server{path.host, path.port};
    auto object = ComPtr<AdsObject>::attach(new AdsObject(server, credentials));
    SearchAnswer answer;
    if (path.byGuid && answerBind(server, credentials,
                                  QByteArrayView(reinterpret_cast<const char *>(path.guid.data()),
                                                 qsizetype(path.guid.size())),
                                  &answer)) {
        object->info_ = std::move(answer.info);
        object->entry_ = std::move(answer.entry);
        object->fetched_ = std::move(answer.attributes);
        object->partial_ = true;
        *out = object.detach();
        return S_OK;
    }
    const HRESULT hr = LdapPool::instance().run(object->poolKey(), server, credentials,
                                                [&](LdapConnection &connection) { return object->load(connection, path); });
    if (FAILED(hr))
        return hr;
    *out = object.detach();
    return S_OK;
}

HRESULT AdsObject::load(LdapConnection &connection, const DirectoryPath &path)
{
    HRESULT hr = S_OK;
    info_ = LdapPool::instance().serverInfo(connection, &hr);
    if (!info_)
        return hr;
    bool found = false;
    const auto take = [&](LdapEntry &&entry) {
        if (!found) {
            entry_ = std::move(entry);
            found = true;
        }
    };
    QStringList asked; // the attributes a read sent ahead fetched (none: the whole entry)
    if (path.byGuid) {
        const QString filter = guidFilter(path);
        const QStringList bases = info_->searchBases();
        for (qsizetype i = 0; i < bases.size(); ++i) {
            asked.clear();
            if (i > 0 || !connection.takeAhead(bases[i], SearchScope::Subtree, filter, take, &asked, &hr))
                hr = connection.search(bases[i], SearchScope::Subtree, filter, {}, 0, take);
            if (FAILED(hr) || found)
                break;
        }
    } else {
        hr = connection.search(path.dn, SearchScope::Base, QStringLiteral("(objectClass=*)"), {}, 0, take);
    }
    if (FAILED(hr))
        return hr;
    if (!found) {
        setDirectoryError(
            {kNoSuchObject, 32, QStringLiteral("No object has this GUID below the naming contexts.")});
        return kNoSuchObject;
    }
    pending_.clear();
    partial_ = aheadPartial_ = !asked.isEmpty();
    fetched_.clear();
    for (const QString &name : std::as_const(asked))
        fetched_.insert(name.toLower());
    return S_OK;
}

void AdsObject::readAhead(const DirectoryPath &path, const Credentials &credentials,
                          const QStringList &attributes)
{
    if (!path.byGuid)
        return;
    LdapLease lease;
    const ServerAddress server{path.host, path.port};
    if (!LdapPool::instance().lendIdle(poolKeyOf(server, credentials), &lease))
        return;
    const DirectoryError before = lastDirectoryError(); // the announcement leaves no trace
    HRESULT hr = S_OK;
    const std::shared_ptr<const ServerInfo> info = LdapPool::instance().serverInfo(*lease.get(), &hr);
    const QStringList bases = info ? info->searchBases() : QStringList();
    // The first naming context holds the object nearly always; a bind that
    // does not find it there searches the others as before.
    // Named attributes come with what any bound object is asked for by the
    // program (its GUID, and the account flags for AccountDisabled).
    QStringList asked = attributes;
    if (!asked.isEmpty())
        asked << QStringLiteral("objectGUID") << QStringLiteral("userAccountControl");
    if (!bases.isEmpty())
        lease->searchAhead(bases.first(), SearchScope::Subtree, guidFilter(path), asked);
    setDirectoryError(before);
}

const std::string &AdsObject::poolKey()
{
    if (poolKey_.empty()) // not before the first request: a bind answered from a search makes none
        poolKey_ = poolKeyOf(server_, credentials_);
    return poolKey_;
}

bool AdsObject::fetched(const QString &name) const
{
    if (isDistinguishedName(name) || fetched_.contains(name.toLower()))
        return true;
    const AttributeInfo *info = attributeInfo(name);
    return info && fetched_.contains(info->name.toLower());
}

bool AdsObject::answerable(DispatchCall &call) const
{
    const DISPID id = call.dispid();
    if (call.isPropertyPut())
        return false;
    if (id >= FirstAttribute && id - FirstAttribute < static_cast<DISPID>(dynamicNames_.size()))
        return fetched(dynamicNames_[id - FirstAttribute]);
    QString name;
    switch (id) {
    case AccountDisabled: {
        // Asked of every listed user: the lower-case name is looked up as it is.
        static const QString lowerName = QStringLiteral("useraccountcontrol");
        return fetched_.contains(lowerName) || fetched(QStringLiteral("userAccountControl"));
    }
    case Name:
    case AdsPath:
    case Parent:
        return true;
    case Get:
    case GetEx:
        return SUCCEEDED(call.stringArg(0, &name)) && fetched(name);
    // Changes of a read-ahead's attributes need nothing else of the entry
    // (the DN is known); those of an object answered from a search read it
    // first, as the account flags they may compute from must be current.
    case Put:
        return aheadPartial_ && SUCCEEDED(call.stringArg(0, &name)) && fetched(name);
    case PutEx:
        return aheadPartial_ && SUCCEEDED(call.stringArg(1, &name)) && fetched(name);
    case SetInfo:
        return aheadPartial_;
    }
    return false;
}

HRESULT AdsObject::completeCache()
{
    std::vector<LdapModification> pending = std::move(pending_);
    const HRESULT hr = reload(); // clears pending_
    for (const LdapModification &m : pending)
        if (SUCCEEDED(hr))
            applyToCache(&entry_, m);
    pending_ = std::move(pending);
    return hr;
}

HRESULT AdsObject::reload()
{
    DirectoryPath path;
    path.host = server_.host;
    path.port = server_.port;
    path.dn = entry_.dn;
    return LdapPool::instance().run(poolKey(), server_, credentials_,
                                    [&](LdapConnection &connection) { return load(connection, path); });
}

const AttributeInfo *AdsObject::attributeInfo(const QString &name) const
{
    return info_ ? info_->schema.find(name) : nullptr;
}

HRESULT AdsObject::GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids)
{
    const HRESULT hr = DispatchObject::GetIDsOfNames(iid, names, count, lcid, ids);
    if (hr != DISP_E_UNKNOWNNAME || count < 1 || !names || !ids ||
        members().find(qStringFromOleString(names[0])) != DISPID_UNKNOWN)
        return hr;
    const QString name = qStringFromOleString(names[0]);
    if (partial_ && !fetched(name) && SUCCEEDED(completeCache()))
        partial_ = false; // an attribute the search did not fetch: the entry tells whether it exists
    const bool known = attributeInfo(name) || entry_.find(name) || isDistinguishedName(name) ||
                       (info_ && info_->schema.size() == 0);
    if (!known)
        return DISP_E_UNKNOWNNAME;
    size_t i = 0;
    while (i < dynamicNames_.size() && dynamicNames_[i].compare(name, Qt::CaseInsensitive) != 0)
        ++i;
    if (i == dynamicNames_.size())
        dynamicNames_.push_back(name);
    ids[0] = FirstAttribute + static_cast<DISPID>(i);
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME; // named arguments of a property: none exist
}

HRESULT AdsObject::invoke(DispatchCall &call)
{
    if (partial_ && !answerable(call)) {
        const HRESULT loaded = completeCache();
        if (FAILED(loaded))
            return loaded;
        partial_ = false;
    }
    const DISPID id = call.dispid();
    if (id >= FirstAttribute && id - FirstAttribute < static_cast<DISPID>(dynamicNames_.size())) {
        const QString &name = dynamicNames_[id - FirstAttribute];
        if (call.isPropertyPut())
            return change(LdapModification::Op::Replace, name, call.putValue());
        return readAttribute(call, name, true, false);
    }
    QString name;
    HRESULT hr = S_OK;
    switch (id) {
    case Get:
    case GetEx:
        if (FAILED(hr = call.stringArg(0, &name)))
            return hr;
        return readAttribute(call, name, false, id == GetEx);
    case Put:
        if (FAILED(hr = call.stringArg(0, &name)))
            return hr;
        return call.argCount() < 2 ? DISP_E_BADPARAMCOUNT
                                   : change(LdapModification::Op::Replace, name, call.arg(1));
    case PutEx:
        return putEx(call);
    case SetInfo:
        return commit();
    case GetInfo:
        return reload();
    case AccountDisabled:
        return accountDisabled(call);
    }
    if (call.isPropertyPut())
        return DISP_E_MEMBERNOTFOUND;
    switch (id) {
    case Name:
        return call.setResultString(splitDn(entry_.dn).first);
    case AdsPath:
        return call.setResultString(pathText());
    case Parent:
        return call.setResultString(QStringLiteral("LDAP://%1:%2/%3")
                                        .arg(server_.host)
                                        .arg(server_.port)
                                        .arg(splitDn(entry_.dn).second));
    case Guid: {
        const LdapAttribute *g = entry_.find(QStringLiteral("objectGUID"));
        return call.setResultString(g && !g->values.empty() ? QString::fromLatin1(g->values.front().toHex())
                                                            : QString());
    }
    case Class: {
        const LdapAttribute *c = entry_.find(QStringLiteral("objectClass"));
        return call.setResultString(c && !c->values.empty() ? QString::fromUtf8(c->values.back())
                                                            : QString());
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

QString AdsObject::pathText() const
{
    return QStringLiteral("LDAP://%1:%2/%3").arg(server_.host).arg(server_.port).arg(entry_.dn);
}

HRESULT AdsObject::readAttribute(DispatchCall &call, const QString &name, bool byName, bool asArray)
{
    const AttributeInfo *info = attributeInfo(name);
    const ValueKind kind = info ? info->kind : ValueKind::Text;
    std::vector<QByteArray> dn;
    const LdapAttribute *a = entry_.find(name);
    const std::vector<QByteArray> *values = a ? &a->values : nullptr;
    if ((!values || values->empty()) && isDistinguishedName(name)) {
        dn.push_back(entry_.dn.toUtf8());
        values = &dn;
    }
    if (!values || values->empty()) {
        if (!byName)
            return E_ADS_PROPERTY_NOT_FOUND;
        const bool multiValued = info && !info->singleValued;
        return multiValued ? call.setResultNull() : S_OK; // an unset single value reads as empty
    }
    if (!call.result())
        return S_OK;
    return valuesToVariant(*values, kind, asArray, call.result());
}

HRESULT AdsObject::change(LdapModification::Op op, const QString &name, const VARIANT *value)
{
    if (name.isEmpty())
        return E_ADS_BAD_PARAMETER;
    const AttributeInfo *info = attributeInfo(name);
    LdapModification m;
    m.op = op;
    m.attribute = info ? info->name : name;
    if (value) {
        const HRESULT hr = variantToValues(*value, info ? info->kind : ValueKind::Text, &m.values);
        if (FAILED(hr))
            return hr;
    }
    applyToCache(&entry_, m);
    pending_.push_back(std::move(m));
    return S_OK;
}

HRESULT AdsObject::putEx(DispatchCall &call)
{
    qint64 code = 0;
    QString name;
    HRESULT hr = call.integerArg(0, &code);
    if (SUCCEEDED(hr))
        hr = call.stringArg(1, &name);
    if (FAILED(hr))
        return hr == DISP_E_PARAMNOTFOUND ? DISP_E_BADPARAMCOUNT : hr;
    switch (code) {
    case Clear:
        return change(LdapModification::Op::Replace, name, nullptr);
    case Update:
        return change(LdapModification::Op::Replace, name, call.arg(2));
    case Append:
        return call.hasArg(2) ? change(LdapModification::Op::Add, name, call.arg(2)) : DISP_E_PARAMNOTFOUND;
    case Delete:
        return call.hasArg(2) ? change(LdapModification::Op::Delete, name, call.arg(2))
                              : DISP_E_PARAMNOTFOUND;
    }
    return E_ADS_BAD_PARAMETER;
}

HRESULT AdsObject::commit()
{
    if (pending_.empty())
        return S_OK;
    std::vector<LdapModification> changes;
    changes.swap(pending_);
    const HRESULT hr = LdapPool::instance().run(poolKey(), server_, credentials_, [&](LdapConnection &connection) {
        return connection.modify(entry_.dn, changes);
    });
    if (SUCCEEDED(hr))
        return S_OK;
    // The refused changes are gone; show the directory's state again, but
    // report the modify's failure, not the re-read's.
    const DirectoryError error = lastDirectoryError();
    reload();
    setDirectoryError(error);
    return hr;
}

HRESULT AdsObject::accountDisabled(DispatchCall &call)
{
    const LdapAttribute *a = entry_.find(QStringLiteral("userAccountControl"));
    if (!a || a->values.empty())
        return E_ADS_PROPERTY_NOT_FOUND;
    const qint64 flags = a->values.front().toLongLong();
    if (!call.isPropertyPut())
        return call.setResultBool(flags & 0x2);
    bool disabled = false;
    const HRESULT hr = call.putBool(&disabled);
    if (FAILED(hr))
        return hr;
    VARIANT value;
    VariantInit(&value);
    setVariantInteger(&value, disabled ? (flags | 0x2) : (flags & ~qint64(0x2)));
    const HRESULT changed =
        change(LdapModification::Op::Replace, QStringLiteral("userAccountControl"), &value);
    VariantClear(&value);
    return changed;
}

} // namespace orvane
