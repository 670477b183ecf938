#include "workbook/WorkbookColumns.h"

#include "automation/Invocation.h"
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

} // namespace orvane
