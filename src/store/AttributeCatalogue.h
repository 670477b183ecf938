#pragma once
// The directory attributes the program knows: one row of the attributes
// table. The rows seeded into a new settings file are listed here; after
// seeding, the table is the authority and loadCatalogue reads it.

#include <QList>
#include <QString>

namespace orvane
{

class Database;

struct CatalogueAttribute {
    long long id = 0;
    QString fld;            ///< display name (schema common name)
    QString attribute;      ///< LDAP name
    int multivalued = 0;    ///< 0 single, 1 multi; any other value: neither read nor written
    int rangeupper = 0;     ///< the largest number of characters of one value
    long long elements = 0; ///< the largest number of values
};

/// The 39 rows a new settings file is seeded with, in increasing id order
/// (ids 1..41 without 12 and 21).
const QList<CatalogueAttribute> &seededCatalogue();

/// Every row of the attributes table of `db`, in table order.
QList<CatalogueAttribute> loadCatalogue(Database &db);

/// The row with `id` of the table, or one with id 0 and multivalued -1 when
/// there is none.
CatalogueAttribute catalogueAttribute(Database &db, long long id);

} // namespace orvane
