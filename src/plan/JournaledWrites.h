#pragma once
// Writing many attributes of many users as one journaled change set, the one
// road by which a review apply and an undo reach the directory.
//
// Every write is recorded Pending in the journal before any directory traffic
// (one commit for the whole set), then each object is bound once and its
// attributes are written through ValueWriteSequence (photos through
// SetPhoto/RemovePhoto); outcomes are committed in batches, so the journal
// costs a handful of fsyncs per set, and a run that stops midway leaves the
// unfinished writes visibly Pending: before a batch of writes is tried its
// writes are marked Started (committed), and the old values read just
// before a write are committed first when they differ from those journaled,
// so after an interruption the journal says exactly which writes may have
// touched the directory and what they found there.
//
// A failed write does not stop the others; a set cancel flag marks the
// remaining writes Skipped. When the directory stops answering, the run
// waits for it with a short backoff (writeRetrySeconds in all); once it is
// back, a write the outage cut off between its clear and its set is written
// again with the values it cleared to fall back on. If it does not come back
// the run stops: an attribute it may have left empty is recorded Cleared
// (left for recovery) and the writes not tried are Skipped ("the directory
// server is unavailable").
//
// A write may name the values it expects the directory to hold: when the
// directory holds anything else the write is a conflict and is not made,
// unless it already holds the values the write would give (nothing to do,
// "already as before") or, for a write that restores, holds nothing where an
// interrupted write left it empty.

#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>

namespace orvane
{

class Database;

inline const QString kPhotoAttribute = QStringLiteral("thumbnailPhoto");
/// The account state as the journal records it: values "TRUE" (disabled) or "FALSE".
inline const QString kAccountDisabledAttribute = QStringLiteral("AccountDisabled");

/// One attribute of one object to write. For the photo, values are Base64 texts of the bytes.
struct WriteItem {
    QString guid;
    QString cn;
    QString attribute;
    int multivalued = 0;
    QStringList newValues;                  ///< empty: the attribute is cleared
    QStringList plannedOld;                 ///< the values expected before the write, journaled first
    std::optional<QStringList> expectedNow; ///< write only while the directory holds these
    bool emptyMayBeRestored = false;        ///< with expectedNow: an empty attribute is written too
    QString source;                         ///< workbook and row, or the dialog
};

/// What a change set came to.
struct WriteSummary {
    long long setId = 0;
    int written = 0;
    int failed = 0;
    int skipped = 0;
    int conflicts = 0;
    int alreadyAsBefore = 0;  ///< the directory already held the values to write
    int leftForRecovery = 0;  ///< attributes left empty (Cleared) when the directory went away
    bool cancelled = false;
    bool serverLost = false;  ///< the directory stopped answering and did not come back
    QStringList failures;      ///< "cn: attribute: reason", one per failed write
    QStringList conflictTexts; ///< "cn: attribute: now ..." per conflict
    QStringList leftEmptyTexts; ///< "cn: attribute" per write left for recovery
    QList<int> outcomes;       ///< the journal outcome of each item in the order given (kAlreadyAsBefore: nothing to do)
    long long alreadyUndoneBy = 0; ///< undo only: the set was undone before by this one; nothing written
    QString journalProblem;    ///< "" when the journal took every record

    /// "Written: 3, failed: 1, skipped: 0" and, when there are any, conflicts,
    /// writes already as before and writes left for recovery.
    QString countsText() const;
    /// True when every write was made or had nothing to do.
    bool complete() const;
};

/// In WriteSummary::outcomes: the directory already held the values to write.
inline constexpr int kAlreadyAsBefore = -1;

inline constexpr int kDefaultRetrySeconds = 30;
/// How long a run waits in all for a directory that stopped answering (process-wide).
int writeRetrySeconds();
/// Sets writeRetrySeconds (0: give up at once).
void setWriteRetrySeconds(int seconds);

/// Called after each write with the writes done and the total.
using WriteProgress = std::function<void(int done, int total)>;

/// Writes `items` (grouped by object: consecutive items of one GUID share a
/// bind) as a new change set of `operatorName` started by `origin`.
/// `delimiter` joins multi-valued texts where a value is read as one text.
WriteSummary RunJournaledWrites(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                                const QList<WriteItem> &items, const QString &operatorName,
                                const QString &origin, long long undoOf = 0,
                                const WriteProgress &progress = {}, const std::atomic_bool *cancel = nullptr);

/// What the directory holds for `attribute` of object `guid`, read as a
/// write reads it (photos as Base64, the account flag as "TRUE"/"FALSE");
/// nothing, with `failure` set, when it cannot be read.
std::optional<QStringList> ReadCurrentValues(const DirectoryConnection &connection, const QString &delimiter,
                                             const QString &guid, const QString &attribute,
                                             DirectoryFailure *failure = nullptr);

/// True when two value lists hold the same values; for a multi-valued
/// attribute order does not matter.
bool sameValues(const QStringList &a, const QStringList &b, int multivalued);

} // namespace orvane
