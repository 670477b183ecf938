#include "directory/CatalogueAttributes.h"

#include "store/Database.h"

namespace orvane
{

QList<CatalogueAttribute> catalogueAttributes(Database &db)
{
    QList<CatalogueAttribute> rows;
    db.query(QStringLiteral("SELECT attribute, multivalued FROM attributes"));
    while (db.next_row() == 1)
        rows.append({db.get_text(0), static_cast<int>(db.get_long(1))});
    return rows;
}

} // namespace orvane
