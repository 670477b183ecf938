#include "workbook/WorkbookBinding.h"

#include "store/Database.h"

namespace orvane
{

namespace
{

// The one bindings query; `fileId` 0 reads every workbook's.
QList<WorkbookBinding> queryBindings(Database &db, long long fileId, OrphanBindings orphans)
{
    QString statement = QStringLiteral(
        "SELECT excelfiles_bind.file_id, excelfiles_bind.fld_order, excelfiles_bind.attribute_id, "
        "attributes.id, attributes.fld, attributes.attribute, attributes.multivalued, attributes.rangeupper, "
        "excelfiles_bind.key_flag, excelfiles_bind.search_flag, excelfiles_bind.show_flag FROM "
        "excelfiles_bind LEFT JOIN attributes ON excelfiles_bind.attribute_id = attributes.id");
    if (fileId != 0)
        statement += QStringLiteral(" WHERE excelfiles_bind.file_id = ") + sqlQuote(fileId);
    statement += QStringLiteral(" ORDER BY excelfiles_bind.rowid");
    QList<WorkbookBinding> bindings;
    db.query(statement);
    while (db.next_row()) {
        WorkbookBinding b;
        b.fileId = db.get_long(0);
        b.column = int(db.get_long(1));
        b.attributeId = db.get_long(2);
        b.inCatalogue = !db.get_text(3).isEmpty();
        if (!b.inCatalogue && orphans == OrphanBindings::Skip)
            continue;
        b.fld = db.get_text(4);
        b.attribute = db.get_text(5);
        b.multivalued = int(db.get_long(6));
        b.rangeupper = int(db.get_long(7));
        b.keyFlag = int(db.get_long(8));
        b.lookupFlag = int(db.get_long(9));
        b.showFlag = int(db.get_long(10));
        bindings.append(b);
    }
    return bindings;
}

} // namespace

QList<WorkbookBinding> loadWorkbookBindings(Database &db, long long fileId, OrphanBindings orphans)
{
    // Ids start at 1: a workbook that does not exist has no bindings.
    if (fileId <= 0)
        return {};
    return queryBindings(db, fileId, orphans);
}

QList<WorkbookBinding> loadEveryWorkbookBinding(Database &db)
{
    return queryBindings(db, 0, OrphanBindings::Skip);
}

const WorkbookBinding *firstKeyPair(const QList<WorkbookBinding> &bindings)
{
    for (const WorkbookBinding &b : bindings) {
        if (b.keyFlag == 1)
            return &b;
    }
    return nullptr;
}

} // namespace orvane
