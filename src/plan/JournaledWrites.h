#pragma once
// Writing many attributes of many users as one journaled change set, the one
// road by which a review apply and an undo reach the directory.
//
// Every write is recorded Pending in the journal before any directory traffic
// (one commit for the whole set), then each object is bound once and its
// attributes are written through ValueWriteSequence (photos through
// SetPhoto/RemovePhoto); outcomes are committed in batches, so the journal
// costs a handful of fsyncs per set, and a run that stops midway leaves the
// unfinished writes visibly Pending. A failed write does not stop the
// others; a set cancel flag marks the remaining writes Skipped. A write may
// name the values it expects the directory to hold: when the directory holds
// anything else the write is a conflict and is not made.

#include "directory/DirectoryConnection.h"

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
    QString source;                         ///< workbook and row, or the dialog
};

/// What a change set came to.
struct WriteSummary {
    long long setId = 0;
    int written = 0;
    int failed = 0;
    int skipped = 0;
    int conflicts = 0;
    bool cancelled = false;
    QStringList failures;      ///< "cn: attribute: reason", one per failed write
    QStringList conflictTexts; ///< "cn: attribute: now ..." per conflict
    QString journalProblem;    ///< "" when the journal took every record

    /// "Written: 3, failed: 1, skipped: 0" and, when there are any, conflicts.
    QString countsText() const;
};

/// Called after each write with the writes done and the total.
using WriteProgress = std::function<void(int done, int total)>;

/// Writes `items` (grouped by object: consecutive items of one GUID share a
/// bind) as a new change set of `operatorName` started by `origin`.
/// `delimiter` joins multi-valued texts where a value is read as one text.
WriteSummary RunJournaledWrites(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                                const QList<WriteItem> &items, const QString &operatorName,
                                const QString &origin, long long undoOf = 0,
                                const WriteProgress &progress = {}, const std::atomic_bool *cancel = nullptr);

/// True when two value lists hold the same values; for a multi-valued
/// attribute order does not matter.
bool sameValues(const QStringList &a, const QStringList &b, int multivalued);

} // namespace orvane
