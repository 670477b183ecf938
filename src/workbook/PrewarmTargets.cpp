#include "workbook/PrewarmTargets.h"

#include "workbook/Registration.h"
#include "workbook/WorkbookBinding.h"

#include <QMap>

namespace orvane
{

QList<PrewarmTarget> prewarmTargets(Database &db)
{
    // The lookup searches every lookup column; the Find's status check the primary key column.
    QMap<long long, RegisteredWorkbook> workbooks; // by id, the order the targets take
    for (const RegisteredWorkbook &w : loadWorkbooks(db))
        workbooks.insert(w.id, w);
    QMap<long long, PrewarmTarget> targets;
    for (const WorkbookBinding &b : loadEveryWorkbookBinding(db)) {
        const auto workbook = workbooks.constFind(b.fileId);
        if (workbook == workbooks.cend())
            continue;
        if (b.lookupFlag != 1 && !(b.keyFlag == 1 && workbook->primaryFlag == 1))
            continue;
        PrewarmTarget &target = targets[b.fileId];
        target.path = workbook->filename;
        if (!target.columns.contains(b.column))
            target.columns.append(b.column);
    }
    return targets.values();
}

} // namespace orvane
