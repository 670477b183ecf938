#include "store/CatalogueQueries.h"

#include "store/Database.h"
#include "store/OptionTable.h"

namespace orvane
{

QString attributeFld(Database &db, long long id)
{
    db.query(QStringLiteral("SELECT fld FROM attributes WHERE id = ") + sqlQuote(id));
    db.next_row();
    return db.get_text(0);
}

QString displayObjectByFld(Database &db)
{
    db.query(
        QStringLiteral("SELECT attributes.fld FROM options, attributes WHERE options.val = attributes.id "
                       "AND options.fld = ") +
        sqlQuote(optionKey(Option::DisplayObjBy)));
    db.next_row();
    return db.get_text(0);
}

QList<CatalogueAttribute> catalogueByFld(Database &db)
{
    QList<CatalogueAttribute> rows;
    db.query(QStringLiteral("SELECT fld, attribute, id FROM attributes ORDER BY fld ASC"));
    while (db.next_row()) {
        CatalogueAttribute row;
        row.fld = db.get_text(0);
        row.attribute = db.get_text(1);
        row.id = db.get_long(2);
        rows.append(row);
    }
    return rows;
}

QList<CatalogueAttribute> attributesByFld(Database &db)
{
    // Read in descending order and put each first, as the combos are filled.
    QList<CatalogueAttribute> names;
    db.query(QStringLiteral("SELECT id, fld FROM attributes ORDER BY fld DESC"));
    while (db.next_row()) {
        CatalogueAttribute a;
        a.id = db.get_long(0);
        a.fld = db.get_text(1);
        names.prepend(a);
    }
    return names;
}

} // namespace orvane
