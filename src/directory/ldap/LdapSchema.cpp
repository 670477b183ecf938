#include "directory/ldap/LdapSchema.h"

#include <ldap.h>
#include <ldap_schema.h>

namespace orvane
{

namespace
{

struct RawType {
    QStringList names;
    QString oid;
    QString sup;
    QString syntax;
    bool singleValued = false;
};

bool parseOne(const QByteArray &description, RawType *out)
{
    int code = 0;
    const char *error = nullptr;
    LDAPAttributeType *at =
        ldap_str2attributetype(description.constData(), &code, &error, LDAP_SCHEMA_ALLOW_ALL);
    if (!at)
        return false;
    out->oid = QString::fromUtf8(at->at_oid ? at->at_oid : "");
    for (char **n = at->at_names; n && *n; ++n)
        out->names << QString::fromUtf8(*n);
    out->sup = QString::fromUtf8(at->at_sup_oid ? at->at_sup_oid : "");
    out->syntax = QString::fromUtf8(at->at_syntax_oid ? at->at_syntax_oid : "");
    out->singleValued = at->at_single_value != 0;
    ldap_attributetype_free(at);
    return true;
}

} // namespace

ValueKind valueKindOfSyntax(const QString &syntaxOid)
{
    // Strip a length bound ("...15{64}").
    const QString oid = syntaxOid.section(QLatin1Char('{'), 0, 0);
    static const QString prefix = QStringLiteral("1.3.6.1.4.1.1466.115.121.1.");
    if (!oid.startsWith(prefix))
        return ValueKind::Text;
    switch (oid.mid(prefix.size()).toInt()) {
    case 4:  // audio
    case 5:  // binary
    case 8:  // certificate
    case 9:  // certificate list
    case 10: // certificate pair
    case 23: // fax
    case 28: // JPEG
    case 40: // octet string
    case 49: // supported algorithm
        return ValueKind::Binary;
    case 27:
        return ValueKind::Integer;
    case 7:
        return ValueKind::Boolean;
    default:
        return ValueKind::Text;
    }
}

LdapSchema LdapSchema::fromAttributeTypes(const QList<QByteArray> &descriptions)
{
    std::vector<RawType> raw;
    raw.reserve(descriptions.size());
    QHash<QString, int> byKey;
    for (const QByteArray &d : descriptions) {
        RawType t;
        if (!parseOne(d, &t))
            continue;
        const int i = static_cast<int>(raw.size());
        byKey.insert(t.oid.toLower(), i);
        for (const QString &n : t.names)
            byKey.insert(n.toLower(), i);
        raw.push_back(t);
    }

    LdapSchema schema;
    schema.attributes_.reserve(raw.size());
    for (const RawType &t : raw) {
        // A syntax given by a supertype only; the chain is short and acyclic
        // in any sane schema, but is cut off after a few steps regardless.
        QString syntax = t.syntax;
        QString sup = t.sup;
        for (int depth = 0; syntax.isEmpty() && !sup.isEmpty() && depth < 8; ++depth) {
            const auto it = byKey.constFind(sup.toLower());
            if (it == byKey.constEnd())
                break;
            syntax = raw[*it].syntax;
            sup = raw[*it].sup;
        }
        AttributeInfo info;
        info.name = t.names.isEmpty() ? t.oid : t.names.first();
        // Active Directory's cn is single-valued; X.500 schemas such as
        // OpenLDAP's built-in one (which cannot be replaced) declare it
        // multi-valued. Entries carry one cn in practice, and clients read it
        // as text, so it is presented as Active Directory presents it.
        info.singleValued = t.singleValued || t.oid == QLatin1String("2.5.4.3");
        info.kind = valueKindOfSyntax(syntax);
        const int i = static_cast<int>(schema.attributes_.size());
        schema.index_.insert(t.oid.toLower(), i);
        for (const QString &n : t.names)
            schema.index_.insert(n.toLower(), i);
        schema.attributes_.push_back(info);
    }
    return schema;
}

const AttributeInfo *LdapSchema::find(const QString &name) const
{
    const auto it = index_.constFind(name.toLower());
    return it == index_.constEnd() ? nullptr : &attributes_[*it];
}

} // namespace orvane
