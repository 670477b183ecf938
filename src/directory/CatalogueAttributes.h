#pragma once
// The attribute catalogue as the directory operations read it: every
// attribute name with its multivalued flag, in the order the store returns
// them ("SELECT attribute, multivalued FROM attributes").

#include <QList>
#include <QString>

namespace orvane
{

class Database;

struct CatalogueAttribute {
    QString attribute;
    int multivalued = 0; ///< 0 single, 1 multi; any other value: neither read nor written
};

/// Every catalogue row of `db` in the order returned.
QList<CatalogueAttribute> catalogueAttributes(Database &db);

} // namespace orvane
