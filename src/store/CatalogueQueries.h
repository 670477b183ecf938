#pragma once
// Reading the attribute catalogue for lists and titles: the display names
// (fld) by id, and the attribute the object list is shown by.

#include "store/AttributeCatalogue.h"

#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// Returns the fld of attribute `id` ("" when there is none).
QString attributeFld(Database &db, long long id);

/// Returns the fld of the attribute named by the `displayobjby` option.
QString displayObjectByFld(Database &db);

/// Returns every catalogue attribute by fld ascending, with only its id and
/// fld read (as the combos list them).
QList<CatalogueAttribute> attributesByFld(Database &db);

/// Returns every catalogue row's id, fld and LDAP name by fld ascending, as
/// the opened user's attribute list shows them.
QList<CatalogueAttribute> catalogueByFld(Database &db);

} // namespace orvane
