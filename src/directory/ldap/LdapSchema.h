#pragma once
// What the automation servers need to know about a server's attributes: is
// the attribute multi-valued, and what kind of VARIANT carries its values.
// Built from the attributeTypes of the server's subschema entry, as ADSI
// builds its property cache types from the schema (supertypes followed for
// syntax and single-valuedness).

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

namespace orvane
{

/// How the values of an attribute are handed to automation clients.
enum class ValueKind {
    Text,    ///< VT_BSTR (UTF-8 on the wire)
    Binary,  ///< VT_ARRAY|VT_UI1 (octet strings: objectGUID, thumbnailPhoto, ...)
    Integer, ///< VT_I4, or VT_I8 when it does not fit
    Boolean, ///< VT_BOOL ("TRUE"/"FALSE" on the wire)
};

struct AttributeInfo {
    QString name; ///< the schema's first name for it, in the schema's case
    bool singleValued = false;
    ValueKind kind = ValueKind::Text;
};

class LdapSchema
{
  public:
    /// Parses attributeTypes descriptions ("( 2.5.4.3 NAME 'cn' ... )");
    /// descriptions that do not parse are skipped.
    static LdapSchema fromAttributeTypes(const QList<QByteArray> &descriptions);

    /// The attribute `name` (any case, or its OID); null when the schema does not know it.
    const AttributeInfo *find(const QString &name) const;
    /// Number of attributes known.
    int size() const { return static_cast<int>(attributes_.size()); }

  private:
    std::vector<AttributeInfo> attributes_;
    QHash<QString, int> index_; // lower-case names and OIDs -> attributes_
};

/// The kind of values of an LDAP syntax OID (binary for octet strings,
/// certificates, JPEG and the like; integer; boolean; text otherwise).
ValueKind valueKindOfSyntax(const QString &syntaxOid);

} // namespace orvane
