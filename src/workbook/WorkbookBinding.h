#pragma once
// A worksheet column of a registered workbook bound to a catalogue
// attribute, as every reader of bindings sees it: the lookup of a user's rows,
// the primary status check, the comparison with a row, the plan, the export,
// the Excel files tab and the configuration check. Each reader names the
// statement it reads bindings with; the statements stand in one table in
// WorkbookBinding.cpp, with what each of them fills in, and one loader runs
// them. Rows come in the order the statement returns them.

#include <QList>
#include <QString>
#include <optional>

namespace orvane
{

class Database;

struct WorkbookBinding {
    long long fileId = 0;
    int column = 0; ///< fld_order, 1 = A
    long long attributeId = 0;
    bool inCatalogue = true; ///< false: attribute_id names no catalogue row, the four below are empty
    QString fld;             ///< the catalogue's display name
    QString attribute;       ///< the LDAP name
    int multivalued = 0;
    int rangeupper = 0;
    int keyFlag = 0;    ///< 1: the key pair, the binding that identifies a user
    int lookupFlag = 0; ///< 1: the lookup pair, the binding a user's rows are searched by
    int showFlag = 0;   ///< the box of its row in the binding list
    // The workbook's own columns, for the statements that read the workbook with its bindings.
    QString filename;
    QString desc;
    int primaryFlag = 0;
};

/// The binding statements; each fills only the members it selects (and
/// fileId from the file it is given).
enum class BindingStatement {
    KeyPairs,       ///< one workbook's key pairs: column, attribute
    EveryKeyPair,   ///< every workbook's key pairs: fileId, column, attribute, primaryFlag
    LookupPairs,    ///< every lookup pair: fileId, filename, desc, attribute, column, keyFlag, lookupFlag
    StatusBindings, ///< one workbook's bindings for the status check: column, attribute, multivalued,
                    ///< rangeupper
    BindingList,    ///< the Excel files tab's list: column, fld, attributeId, keyFlag, lookupFlag, showFlag
    ExportBindings, ///< the export workbook's bindings: attribute, multivalued, column (no file id taken)
    SourceRecords,  ///< one workbook's bindings read from a row: column, fld, attributeId, attribute,
                    ///< multivalued, rangeupper
    CheckedBindings ///< one workbook's bindings, those whose attribute left the catalogue too (inCatalogue
                    ///< false)
};

/// The rows of `statement` in the order it returns them. The statements of one
/// workbook read workbook `fileId` (none when it is not above 0); the others
/// ignore it. Only CheckedBindings gives bindings whose attribute is no longer
/// in the catalogue.
QList<WorkbookBinding> loadWorkbookBindings(Database &db, BindingStatement statement, long long fileId = 0);

/// The first key pair of workbook `fileId` (the first row of KeyPairs), or none when none is tagged.
std::optional<WorkbookBinding> firstKeyPair(Database &db, long long fileId);

} // namespace orvane
