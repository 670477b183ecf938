#include "workbook/WorkbookColumns.h"

#include "automation/Invocation.h"
#include "store/Database.h"
#include "workbook/WorkbookLookup.h"

namespace orvane
{

WorkbookColumns usedColumns(const QString &path)
{
    WorkbookColumns result;
    ExcelInstance app =
        OpenWorkbook(path, [&](const QString &, const QString &text) { result.failure = text; });
    if (!app)
        return result;
    result.opened = true;
    result.last = int(
        getIntegerProperty(app.get(), QStringLiteral("ActiveSheet\\UsedRange\\SpecialCells(11)\\Column")));
    return result;
}

QList<BoundColumn> boundColumns(Database &db, long long fileId)
{
    QList<BoundColumn> bound;
    db.query(
        QStringLiteral("SELECT excelfiles_bind.fld_order, excelfiles_bind.attribute_id, attributes.id, "
                       "attributes.fld, attributes.attribute FROM excelfiles_bind LEFT JOIN attributes ON "
                       "excelfiles_bind.attribute_id = attributes.id WHERE excelfiles_bind.file_id = ") +
        sqlQuote(fileId));
    while (db.next_row())
        bound.append(
            {int(db.get_long(0)), db.get_long(1), !db.get_text(2).isEmpty(), db.get_text(3), db.get_text(4)});
    return bound;
}

} // namespace orvane
