#pragma once
// One bound attribute of one workbook row on its way to the directory. A list
// of these is built for every load and every synchronization of one source row
// and lives only that long. Preparation rewrites `value` in place and sets the
// `trimmed` and `replaced` flags; the comparison sets `upToDate`; `rawValue`
// keeps the cell text as read so that both can be shown side by side.

#include <QList>
#include <QString>

namespace orvane
{

struct SyncRecord {
    QString attribute;         ///< directory attribute name (attributes.attribute)
    QString displayName;       ///< attributes.fld; filled only when loaded for display
    long long attributeId = 0; ///< attributes.id; item data of the matching AttributeList row
    int multivalued = 0;       ///< 1: the value holds several values joined by the delimiter
    int rangeupper = 0;        ///< largest number of UTF-16 code units a value may have
    int trimmed = 0;           ///< 1: the value, or an element of it, was cut by preparation
    int replaced = 0;          ///< 1: a replacement rule matched during preparation
    int upToDate = 0;          ///< 1: equal to the directory value (set by the comparison)
    QString value;             ///< the cell text, replaced in place by the prepared value
    QString rawValue;          ///< the cell text as read, never prepared
};

using SyncRecordList = QList<SyncRecord>;

} // namespace orvane
