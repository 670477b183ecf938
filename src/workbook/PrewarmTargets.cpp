#include "workbook/PrewarmTargets.h"

#include "workbook/Registration.h"
#include "workbook/WorkbookBinding.h"

#include <QMap>

namespace orvane
{

namespace
{

void addColumn(QMap<long long, PrewarmTarget> &targets, long long fileId, const QString &path, int column)
{
    PrewarmTarget &target = targets[fileId];
    target.path = path;
    if (!target.columns.contains(column))
        target.columns.append(column);
}

} // namespace

QList<PrewarmTarget> prewarmTargets(Database &db)
{
    // Read by the statements the lookup itself reads: the Find's status check
    // searches the primary workbook's key column (the key pairs), the lookup
    // every lookup column (the lookup pairs).
    QMap<long long, RegisteredWorkbook> workbooks; // by id, the order the targets take
    for (const RegisteredWorkbook &w : loadWorkbooks(db))
        workbooks.insert(w.id, w);
    QMap<long long, PrewarmTarget> targets;
    for (const WorkbookBinding &key : loadWorkbookBindings(db, BindingStatement::EveryKeyPair)) {
        const auto workbook = workbooks.constFind(key.fileId);
        if (key.primaryFlag == 1 && workbook != workbooks.cend())
            addColumn(targets, key.fileId, workbook->filename, key.column);
    }
    for (const WorkbookBinding &pair : loadWorkbookBindings(db, BindingStatement::LookupPairs))
        addColumn(targets, pair.fileId, pair.filename, pair.column);
    return targets.values();
}

} // namespace orvane
