#pragma once
// What a configuration check needs to know of a registered workbook: whether
// the workbook engine opens it and how many columns its sheet uses, and its
// bindings with the catalogue attribute each one names (or the lack of one).

#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// The outcome of opening a workbook to count its used columns.
struct WorkbookColumns {
    bool opened = false;
    int last = 0;    ///< the last used column of the sheet the program reads (1 = A); 0 when empty
    QString failure; ///< the engine's message when it did not open (names the file)
};

/// Opens `path` through the workbook engine as lookups do and reads the last
/// used column of its active sheet; the engine is closed again.
WorkbookColumns usedColumns(const QString &path);

/// One binding of a workbook with its catalogue attribute.
struct BoundColumn {
    int column = 0; ///< fld_order, 1 = A
    long long attributeId = 0;
    bool inCatalogue = false; ///< false: the attribute id names no catalogue row
    QString fld;              ///< the catalogue's display name
    QString attribute;        ///< the LDAP name
};

/// Every binding of workbook `fileId` in table order, including those whose
/// attribute has left the catalogue.
QList<BoundColumn> boundColumns(Database &db, long long fileId);

} // namespace orvane
