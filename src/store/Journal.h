#pragma once
// The change journal in data.db3: every directory write the program makes, as
// change sets (when, who, what started it) holding one change per attribute
// of one object (GUID, cn, attribute, old and new values, source, outcome).
//
// The tables are created when missing, so a data file from before the journal
// opens unchanged and gains them on first use. A change is recorded as
// Pending before its directory write and completed after it: a run that is
// interrupted leaves Pending rows that say exactly which writes may or may not
// have happened. Callers group statements with beginBatch/endBatch so that a
// change set costs a few transactions (and fsyncs), not one per change.
//
// A run marks the writes it is about to try as Started (committed before
// their directory traffic), so after an interruption Pending means "never
// touched" and only Started writes need a look at the directory. A set is
// recorded as running (with the process id) until its run ends; a running set
// whose process is gone was cut off. A write whose clear was committed but
// whose value could not be set nor the old one written back is Cleared: the
// attribute is empty and waits for recovery, which makes it Recovered.
//
// Values are stored as a JSON array of texts; binary values (photos) as
// Base64 texts with `binary` set.

#include "store/Settings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane
{

class Database;

enum JournalOutcome {
    JournalPending = 0,
    JournalWritten = 1,
    JournalFailed = 2,
    JournalSkipped = 3,
    JournalConflict = 4,
    JournalStarted = 5,  ///< about to be written; the directory says whether it was
    JournalCleared = 6,  ///< cleared, neither set nor restored: left empty for recovery
    JournalRecovered = 7 ///< was left empty, its old value written back by a recovery set
};

/// The outcome's short name: "pending", "written", "failed", "skipped",
/// "conflict", "started", "cleared", "recovered".
QString journalOutcomeName(int outcome);

struct JournalSet {
    long long id = 0;
    long long datetime = 0; ///< seconds, as events.datetime
    QString operatorName;
    QString origin;       ///< what started it: "Review apply", "Synchronize", "Undo of change set 3"...
    long long undoOf = 0; ///< the set this one undid; 0 for none
    int changes = 0;      ///< filled by sets()
    int written = 0;      ///< filled by sets()
    long long undoneBy = 0; ///< filled by sets(): the undo set that undid this one (itself not undone)
    bool running = false;   ///< its run had not ended when last recorded
    long long pid = 0;      ///< the process of that run
};

struct JournalChange {
    long long id = 0;
    long long setId = 0;
    QString guid;
    QString cn;
    QString attribute;
    int multivalued = 0;
    bool binary = false; ///< values are Base64 of bytes
    QStringList oldValues;
    QStringList newValues;
    QString source; ///< workbook path and row, or the dialog that wrote
    int outcome = JournalPending;
    QString outcomeText;
};

/// One side of `change` (its old or new `values`) as shown to the
/// administrator: joined by `delimiter`, or "(N bytes)" for binary values.
QString journalValuesText(const JournalChange &change, const QStringList &values, const QString &delimiter);
/// The outcome's short name followed by ": " and its text when it has one.
QString journalOutcomeText(const JournalChange &change);

/// The user named in the journal: the configured directory user, or the
/// logged-on user when the program binds with the current credentials.
QString journalOperator(const Settings &settings);

/// What one write came to, for Journal::completeAll.
struct JournalCompletion {
    long long id = 0;
    int outcome = JournalPending;
    QString text;
    std::optional<QStringList> oldValues; ///< when given, replace the recorded old values
};

class Journal
{
  public:
    /// Uses `db` (open); creates the journal tables when they are missing.
    explicit Journal(Database &db);

    /// True when both tables exist (creating them if needed succeeded).
    bool isUsable() const { return usable_; }

    /// Starts a transaction; statements until endBatch share one commit.
    void beginBatch();
    /// Commits the open transaction; true on success.
    bool endBatch();

    /// Records a new change set, running in this process, and returns its id (0 on failure).
    long long beginSet(const QString &operatorName, const QString &origin, long long undoOf = 0);
    /// Records that the run of set `setId` has ended.
    void finishSet(long long setId);
    /// Marks the Pending changes `firstId`..`lastId` of set `setId` Started.
    void markStarted(long long setId, long long firstId, long long lastId);
    /// Replaces the recorded old values of change `id`.
    void setOldValues(long long id, const QStringList &oldValues);
    /// Records `change` (its setId given) as Pending and returns its id.
    long long addChange(const JournalChange &change);
    /// Records `changes` (all of set `setId`, which must hold no changes yet)
    /// as Pending and returns their ids in the same order; empty on failure.
    QList<long long> addChanges(long long setId, const QList<JournalChange> &changes);
    /// Records what the write of change `id` came to; `oldValues`, when given,
    /// replace the recorded old values with those read just before the write.
    void complete(long long id, int outcome, const QString &text, const QStringList *oldValues = nullptr);
    /// Records each of `completions` as complete() does, in the order given.
    void completeAll(const QList<JournalCompletion> &completions);

    /// The change sets, newest first, at most `limit`.
    QList<JournalSet> sets(int limit = 500);
    /// The changes of set `setId` in the order they were recorded.
    QList<JournalChange> changes(long long setId);
    /// One set by id (id 0 when there is none).
    JournalSet set(long long setId);
    /// The undo set that undid `setId` and was not itself undone; 0 for none.
    long long undoneBy(long long setId);
    /// The sets recorded as running whose process is gone: cut off, oldest first.
    QList<JournalSet> interruptedSets();
    /// Every change left Cleared, oldest first.
    QList<JournalChange> clearedChanges();

    /// Base64 texts of `bytes` as stored for a binary value (nothing for no bytes).
    static QStringList binaryValues(const QByteArray &bytes);

  private:
    Database &db_;
    bool usable_ = false;
};

} // namespace orvane
