#include "plan/PlanApply.h"

#include "directory/AttributeWriting.h"
#include "store/Journal.h"
#include "sync/MultiValuedText.h"

#include <algorithm>

namespace orvane
{

QList<WriteItem> planWriteItems(const QList<PlannedChange> &changes, const QString &delimiter)
{
    QList<WriteItem> items;
    items.reserve(changes.size());
    for (const PlannedChange &c : changes) {
        WriteItem item;
        item.guid = c.guid;
        item.cn = c.cn;
        item.attribute = c.attribute;
        item.multivalued = c.multivalued;
        item.newValues = valuesToWrite(c.preparedValue, c.multivalued, delimiter);
        item.plannedOld = valuesToWrite(c.directoryValue, c.multivalued, delimiter);
        item.source = c.sourceFile + QStringLiteral(" row ") + QString::number(c.sourceRow);
        items.append(item);
    }
    // One bind per object: keep each object's writes together, in plan order.
    std::stable_sort(items.begin(), items.end(),
                     [&](const WriteItem &a, const WriteItem &b) { return a.guid < b.guid; });
    return items;
}

WriteSummary ApplyPlanChanges(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                              const QList<PlannedChange> &changes, const QString &operatorName,
                              const QString &origin, const WriteProgress &progress,
                              const std::atomic_bool *cancel)
{
    return RunJournaledWrites(db, connection, delimiter, planWriteItems(changes, delimiter), operatorName,
                              origin, 0, progress, cancel);
}

WriteSummary UndoChangeSet(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                           long long setId, const QString &operatorName, const WriteProgress &progress,
                           const std::atomic_bool *cancel)
{
    Journal journal(db);
    if (const long long by = journal.undoneBy(setId)) {
        WriteSummary summary;
        summary.alreadyUndoneBy = by;
        return summary;
    }
    QList<JournalChange> changes = journal.changes(setId);
    std::reverse(changes.begin(), changes.end());
    QList<WriteItem> items;
    for (const JournalChange &c : changes) {
        // Writes known not made leave nothing to undo; for the others the directory decides.
        if (c.outcome == JournalSkipped || c.outcome == JournalConflict)
            continue;
        WriteItem item;
        item.guid = c.guid;
        item.cn = c.cn;
        item.attribute = c.attribute;
        item.multivalued = c.multivalued;
        item.newValues = c.oldValues;
        item.plannedOld = c.newValues;
        item.expectedNow = c.newValues;
        item.emptyMayBeRestored = c.outcome != JournalWritten;
        item.source = QStringLiteral("Undo of change set ") + QString::number(setId);
        items.append(item);
    }
    std::stable_sort(items.begin(), items.end(),
                     [&](const WriteItem &a, const WriteItem &b) { return a.guid < b.guid; });
    return RunJournaledWrites(db, connection, delimiter, items, operatorName,
                              QStringLiteral("Undo of change set ") + QString::number(setId), setId, progress,
                              cancel);
}

} // namespace orvane
