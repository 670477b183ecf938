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

/// Writes back the old values of every write of change set `setId` that the
/// directory still holds the new values of; attributes changed since are
/// conflicts and left alone. The undo is itself a change set ("Undo of change
/// set N"), its writes in reverse order of the original.
WriteSummary UndoChangeSet(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                           long long setId, const QString &operatorName, const WriteProgress &progress = {},
                           const std::atomic_bool *cancel = nullptr);

} // namespace orvane
