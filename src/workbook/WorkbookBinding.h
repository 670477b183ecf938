#pragma once
// A worksheet column of a registered workbook bound to a catalogue
// attribute, as every reader of bindings sees it: the lookup of a user's rows,
// the primary status check, the comparison with a row, the plan, the export,
// the Excel files tab and the configuration check. One query loads them, so
// they all see the same bindings in the same order (the order the bindings
// were added in) and none can drift from the others.

#include <QList>
#include <QString>

namespace orvane
{

class Database;

struct WorkbookBinding {
    long long fileId = 0;
    int column = 0; ///< fld_order, 1 = A
    long long attributeId = 0;
    bool inCatalogue = false; ///< false: attribute_id names no catalogue row, the four below are empty
    QString fld;              ///< the catalogue's display name
    QString attribute;        ///< the LDAP name
    int multivalued = 0;
    int rangeupper = 0;
    int keyFlag = 0;    ///< 1: the key pair, the binding that identifies a user
    int lookupFlag = 0; ///< 1: the lookup pair, the binding a user's rows are searched by
    int showFlag = 0;   ///< the box of its row in the binding list
};

/// Whether loadWorkbookBindings also gives bindings whose attribute has left the catalogue.
enum class OrphanBindings { Skip, Keep };

/// Every binding of workbook `fileId` in the order they were added. Bindings
/// whose attribute is no longer in the catalogue are left out unless `orphans`
/// keeps them.
QList<WorkbookBinding> loadWorkbookBindings(Database &db, long long fileId,
                                            OrphanBindings orphans = OrphanBindings::Skip);

/// Every binding of every workbook, by the same query and in the same order,
/// without those whose attribute left the catalogue. A binding whose workbook
/// is no longer registered is given as the table holds it; callers match
/// bindings to workbooks.
QList<WorkbookBinding> loadEveryWorkbookBinding(Database &db);

/// The first key pair of `bindings` (of one workbook), or null when none is tagged.
const WorkbookBinding *firstKeyPair(const QList<WorkbookBinding> &bindings);

} // namespace orvane
