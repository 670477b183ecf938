#pragma once
// Applying the ticked changes of a plan and undoing a change set, both as
// journaled change sets (JournaledWrites).

#include "plan/JournaledWrites.h"
#include "plan/SyncPlan.h"

namespace orvane
{

inline const QString kReviewApplyOrigin = QStringLiteral("Review apply");

/// The write items of `changes`: the prepared value split as a
/// synchronization writes it, the directory value as the expected old values,
/// the workbook and row as the source.
QList<WriteItem> planWriteItems(const QList<PlannedChange> &changes, const QString &delimiter);

/// Writes `changes` as one change set started by `origin`.
WriteSummary ApplyPlanChanges(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                              const QList<PlannedChange> &changes, const QString &operatorName,
                              const QString &origin = kReviewApplyOrigin, const WriteProgress &progress = {},
                              const std::atomic_bool *cancel = nullptr);

/// Undoes change set `setId` by what the directory holds for each of its
/// writes: the new values are replaced by the old ones; the old values are
/// already as before (nothing written, not a conflict); an attribute left
/// empty by a write not recorded as written gets its old values back;
/// anything else is a conflict and left alone. The undo is itself a change
/// set ("Undo of change set N"), its writes in reverse order of the
/// original. A set already undone (by a set not itself undone) is not undone
/// again: the summary names that set in alreadyUndoneBy and nothing is written.
WriteSummary UndoChangeSet(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                           long long setId, const QString &operatorName, const WriteProgress &progress = {},
                           const std::atomic_bool *cancel = nullptr);

} // namespace orvane
