#include "plan/JournaledWrites.h"

#include "automation/CommandEngine.h"
#include "automation/VariantArrays.h"
#include "directory/AccountState.h"
#include "directory/AttributeWriting.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"
#include "plan/DirectoryWait.h"
#include "store/Journal.h"

#include <QElapsedTimer>
#include <future>

namespace orvane
{

namespace
{

// Each commit of a run marks a window of the next writes Started and carries
// the outcomes since the last one. A commit is the dearest step of a write on a
// disk that syncs slowly (four fsyncs and an unlink of the rollback journal),
// while an interrupted run costs recovery only one read per Started write, so
// the windows are wide: the first is kFirstWindow writes, so that the journal
// shows a run under way soon after it starts, and each next one twice the last
// up to kWidestWindow. Outcomes are committed at least every kOutcomeMs too,
// so that a slow directory does not leave them uncommitted for long.
constexpr int kFirstWindow = 250;
constexpr int kWidestWindow = 1000;
constexpr qint64 kOutcomeMs = 5000;
constexpr HRESULT kPropertyNotFound = hresult(0x8000500D);

std::atomic_int retrySeconds{kDefaultRetrySeconds};

QString reasonOf(const DirectoryFailure &failure)
{
    return codeText(failure.code) + u' ' + failure.reason();
}

QString reasonOf(const DirectoryReport &report)
{
    if (!report.failure.reason().isEmpty())
        return reasonOf(report.failure);
    return report.messages.isEmpty() ? QStringLiteral("write failed") : report.messages.first().text;
}

// What the directory holds for one write's attribute.
struct Reading {
    bool ok = false;
    QStringList values;
    DirectoryFailure failure;
};

struct Outcome {
    int code = JournalPending;
    QString text;
    QStringList before;
    bool unavailable = false; ///< the directory stopped answering during it
    bool mayBeEmpty = false;  ///< it may have left the attribute cleared
    bool already = false;     ///< nothing to do: the directory held the values to write
    bool read = true;         ///< `before` is what the directory held (else the journal keeps its old values)
};

// One object bound for the writes of consecutive items with its GUID.
class Binding
{
  public:
    explicit Binding(const DirectoryConnection &connection) : connection_(connection) {}

    AutomationObject *object(const QString &guid, DirectoryFailure *failure)
    {
        if (guid != guid_ || !bound_) {
            bound_.reset();
            failure_ = {};
            guid_ = guid;
            BindObject(connection_, guid, &bound_, &failure_);
            if (!bound_ && !failure_.failed())
                failure_ = {E_FAIL, QStringLiteral("not found"), QString(), QString()};
        }
        *failure = failure_;
        return bound_ ? bound_.object() : nullptr;
    }
    void forget() { guid_.clear(); bound_.reset(); }
    const DirectoryConnection &connection() const { return connection_; }

  private:
    const DirectoryConnection &connection_;
    BoundObject bound_;
    QString guid_;
    DirectoryFailure failure_;
};

Reading readNow(Binding &binding, const QString &delimiter, const WriteItem &item)
{
    Reading r;
    if (item.attribute == kAccountDisabledAttribute) {
        const bool disabled = ReadAccountDisabled(binding.connection(), item.guid, &r.failure) == 1;
        r.ok = !r.failure.failed();
        r.values = QStringList{disabled ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
        return r;
    }
    AutomationObject *object = binding.object(item.guid, &r.failure);
    if (!object)
        return r;
    VARIANT *v = getVariantProperty(object, item.attribute);
    const HRESULT code = lastErrorCode();
    if (FAILED(code) && code != DISP_E_UNKNOWNNAME && code != kPropertyNotFound) {
        r.failure = captureFailure(item.attribute);
        freeVariant(v);
        return r;
    }
    if (item.attribute == kPhotoAttribute)
        r.values = Journal::binaryValues(variantToBytes(v).value_or(QByteArray()));
    else if (const std::optional<QStringList> texts = variantArrayTexts(v))
        r.values = *texts;
    else if (const QString text = variantText(v, delimiter); !text.isEmpty())
        r.values << text;
    freeVariant(v);
    r.ok = true;
    return r;
}

Outcome readFailure(const Reading &r)
{
    Outcome out;
    out.code = JournalFailed;
    out.read = false;
    out.text = QStringLiteral("cannot read the values before the write: ") + reasonOf(r.failure);
    out.unavailable = directoryUnavailable(r.failure.code);
    return out;
}

// The conflict or nothing-to-do outcome when the directory does not hold what the write expects.
std::optional<Outcome> judge(const WriteItem &item, const QStringList &now, const QString &delimiter)
{
    if (!item.expectedNow || sameValues(now, *item.expectedNow, item.multivalued))
        return std::nullopt;
    Outcome out;
    out.before = now;
    if (sameValues(now, item.newValues, item.multivalued)) {
        out.code = JournalSkipped;
        out.text = QStringLiteral("already as before");
        out.already = true;
        return out;
    }
    if (item.emptyMayBeRestored && now.isEmpty() && !item.newValues.isEmpty())
        return std::nullopt;
    out.code = JournalConflict;
    const bool binary = item.attribute == kPhotoAttribute;
    out.text = QStringLiteral("changed since; now: ") +
               (binary ? QStringLiteral("another image") : now.join(delimiter));
    return out;
}

// The write itself, the values before it known; `fallback` are values an
// earlier, interrupted attempt cleared.
Outcome writeNow(Binding &binding, const WriteItem &item, const QStringList &before,
                 const QStringList *fallback)
{
    Outcome out;
    out.before = before;
    DirectoryReport r;
    if (item.attribute == kPhotoAttribute) {
        const QByteArray bytes = QByteArray::fromBase64(item.newValues.value(0).toLatin1());
        r = bytes.isEmpty() ? RemovePhoto(binding.connection(), item.guid)
                            : SetPhoto(binding.connection(), item.guid, bytes);
        out.mayBeEmpty = r.result != 1 && !before.isEmpty();
    } else if (item.attribute == kAccountDisabledAttribute) {
        r = item.newValues.value(0) == QLatin1String("TRUE") ? DisableAccount(binding.connection(), item.guid)
                                                             : EnableAccount(binding.connection(), item.guid);
    } else {
        DirectoryFailure failure;
        AutomationObject *object = binding.object(item.guid, &failure);
        if (!object) {
            out.code = JournalFailed;
            out.text = QStringLiteral("cannot open the object: ") + reasonOf(failure);
            out.unavailable = directoryUnavailable(failure.code);
            return out;
        }
        WriteStage stage = WriteStage::Untouched;
        r = ValueWriteSequence(object, WriteContext::Synchronization, item.attribute, item.multivalued,
                               item.newValues, &stage, fallback);
        out.mayBeEmpty = (stage == WriteStage::Unsure || stage == WriteStage::LeftEmpty) && !before.isEmpty();
    }
    out.code = r.result == 1 ? JournalWritten : JournalFailed;
    out.text = r.result == 1 ? QString() : reasonOf(r);
    out.unavailable = r.result != 1 && directoryUnavailable(r.failure.code);
    if (out.unavailable)
        binding.forget();
    return out;
}

Outcome attempt(Binding &binding, const QString &delimiter, const WriteItem &item)
{
    const Reading now = readNow(binding, delimiter, item);
    if (!now.ok)
        return readFailure(now);
    if (std::optional<Outcome> judged = judge(item, now.values, delimiter))
        return *judged;
    return writeNow(binding, item, now.values, nullptr);
}

// The same write once the directory is back after `first` was cut off.
Outcome attemptAgain(Binding &binding, const QString &delimiter, const WriteItem &item, const Outcome &first)
{
    const Reading now = readNow(binding, delimiter, item);
    if (!now.ok) {
        Outcome out = readFailure(now);
        out.before = first.before;
        out.read = first.read;
        out.mayBeEmpty = first.mayBeEmpty;
        return out;
    }
    if (sameValues(now.values, item.newValues, item.multivalued)) {
        Outcome out;
        out.code = JournalWritten;
        out.before = first.before;
        return out;
    }
    if (first.mayBeEmpty && now.values.isEmpty())
        return writeNow(binding, item, first.before, &first.before);
    return attempt(binding, delimiter, item);
}

// At the first write of an object, names the next object to the directory,
// so that the read of its values before (the one search a bind makes) is
// answered while this object's writes are, not after them. That read is made
// one object's writes earlier than otherwise, still after every write made to
// its object, and its Started marks and old values are still committed before
// its own writes.
void announceNextObject(const DirectoryConnection &connection, const QList<WriteItem> &items, qsizetype i)
{
    if (i > 0 && items[i - 1].guid == items[i].guid)
        return;
    qsizetype next = i + 1;
    while (next < items.size() && items[next].guid == items[i].guid)
        ++next;
    if (next >= items.size())
        return;
    // Only the attributes its writes read and write: the search that reads
    // them costs the directory a fraction of the whole entry's.
    QStringList attributes;
    for (qsizetype j = next; j < items.size() && items[j].guid == items[next].guid; ++j)
        if (items[j].attribute != kAccountDisabledAttribute)
            attributes << items[j].attribute;
    if (attributes.isEmpty())
        attributes << QStringLiteral("objectGUID");
    AnnounceBind(connection, items[next].guid, attributes);
}

void count(WriteSummary &s, const WriteItem &item, const Outcome &out)
{
    const QString who = item.cn + QStringLiteral(": ") + item.attribute;
    s.outcomes << (out.already ? kAlreadyAsBefore : out.code);
    switch (out.code) {
    case JournalWritten:
        ++s.written;
        break;
    case JournalFailed:
        ++s.failed;
        s.failures << who + QStringLiteral(": ") + out.text;
        break;
    case JournalConflict:
        ++s.conflicts;
        s.conflictTexts << who + QStringLiteral(": ") + out.text;
        break;
    case JournalCleared:
        ++s.leftForRecovery;
        s.leftEmptyTexts << who;
        break;
    default:
        if (out.already)
            ++s.alreadyAsBefore;
        else
            ++s.skipped;
    }
}

// The journal side of a run: Started marks ahead of the writes, outcomes
// carried by the same commits. Constructed inside the transaction that records
// the set's Pending writes, so that the first window's marks share its commit.
//
// The commit that marks the next window is made on a helper thread while the
// last quarter of the current window is written, so that its syncs are not
// waited for between two writes; a write beyond the marks on disk waits for it
// (or commits its window itself, as before), so every write's Started mark is
// on disk before the write is made. While that commit runs nothing else
// touches the database: every other step of the journal waits for it first.
class RunRecord
{
  public:
    RunRecord(Journal &journal, long long setId, const QList<long long> &ids)
        : journal_(journal), setId_(setId), ids_(ids)
    {
        markFrom(0);
        sinceCommit_.start();
    }
    ~RunRecord() { settle(); }

    // Before item `i` is tried: its Started mark committed (with the next ones').
    void aboutToTry(int i)
    {
        if (i > startedThrough_)
            settle(); // the window committed ahead may already hold item i
        if (i > startedThrough_) {
            markFrom(i);
            commit();
        } else if (i >= aheadFrom_ && !ahead_.valid() && startedThrough_ + 1 < ids_.size()) {
            commitNextWindowAhead();
        }
    }
    // The values found before item `i`'s write, committed before it is made.
    void foundBefore(int i, const QStringList &values)
    {
        settle();
        journal_.setOldValues(ids_.value(i), values);
        commit();
    }
    // Outcomes wait in memory for the next commit, which records them in a few
    // statements. `journaledOld`, when given, are the old values the journal
    // holds for item `i`: an outcome that found just those leaves them as stored.
    void done(int i, const Outcome &out, const QStringList *journaledOld)
    {
        const bool keepOld = !out.read || (out.code == JournalSkipped && !out.already) ||
                             (journaledOld && out.before == *journaledOld);
        JournalCompletion c{ids_.value(i), out.code, out.text, std::nullopt};
        if (!keepOld)
            c.oldValues = out.before;
        outcomes_ << std::move(c);
        if (sinceCommit_.elapsed() >= kOutcomeMs)
            commit();
    }
    bool finish()
    {
        settle();
        journal_.completeAll(outcomes_);
        journal_.finishSet(setId_);
        return journal_.endBatch();
    }

  private:
    struct Window {
        int last = -1;      ///< the window's last item
        int aheadFrom = 0;  ///< from this item on, the next window is committed ahead
    };
    // The window from item `i`, the next one made wider.
    Window nextWindow(int i)
    {
        Window w;
        w.last = std::min(i + window_, int(ids_.size())) - 1;
        w.aheadFrom = w.last - (w.last - i + 1) / 4 + 1;
        window_ = std::min(2 * window_, kWidestWindow);
        return w;
    }
    // Marks the window from item `i` Started (uncommitted).
    void markFrom(int i)
    {
        if (i >= ids_.size())
            return;
        const Window w = nextWindow(i);
        startedThrough_ = w.last;
        aheadFrom_ = w.aheadFrom;
        journal_.markStarted(setId_, ids_.value(i), ids_.value(w.last));
    }
    void commit()
    {
        settle();
        journal_.completeAll(outcomes_);
        outcomes_.clear();
        journal_.endBatch();
        journal_.beginBatch();
        sinceCommit_.restart();
    }
    // The next window's marks and the outcomes so far, committed on a helper
    // thread that touches nothing but the database; the window counts as
    // marked once settle() has seen that commit done.
    void commitNextWindowAhead()
    {
        const int from = startedThrough_ + 1;
        aheadWindow_ = nextWindow(from);
        ahead_ = std::async(std::launch::async,
                            [this, first = ids_.value(from), last = ids_.value(aheadWindow_.last),
                             outcomes = std::move(outcomes_)] {
                                journal_.completeAll(outcomes);
                                journal_.markStarted(setId_, first, last);
                                journal_.endBatch();
                                journal_.beginBatch();
                            });
        outcomes_.clear();
        sinceCommit_.restart();
    }
    // Waits for the commit made ahead, if one is under way.
    void settle()
    {
        if (!ahead_.valid())
            return;
        ahead_.get();
        startedThrough_ = aheadWindow_.last;
        aheadFrom_ = aheadWindow_.aheadFrom;
    }

    Journal &journal_;
    long long setId_;
    const QList<long long> &ids_;
    int startedThrough_ = -1; ///< the last item whose Started mark is on disk
    int aheadFrom_ = 0;       ///< from this item on, the next window is committed ahead
    int window_ = kFirstWindow;
    QList<JournalCompletion> outcomes_; ///< not yet recorded
    QElapsedTimer sinceCommit_;
    std::future<void> ahead_; ///< the commit of the next window, while it runs
    Window aheadWindow_;      ///< the window it marks
};

} // namespace

int writeRetrySeconds()
{
    return retrySeconds.load();
}

void setWriteRetrySeconds(int seconds)
{
    retrySeconds = std::max(0, seconds);
}

QString WriteSummary::countsText() const
{
    QString text =
        QStringLiteral("Written: %1, failed: %2, skipped: %3").arg(written).arg(failed).arg(skipped);
    if (conflicts > 0)
        text += QStringLiteral(", conflicts: %1").arg(conflicts);
    if (alreadyAsBefore > 0)
        text += QStringLiteral(", already as before: %1").arg(alreadyAsBefore);
    if (leftForRecovery > 0 || serverLost)
        text += QStringLiteral(", left for recovery: %1").arg(leftForRecovery);
    return text;
}

bool WriteSummary::complete() const
{
    return failed == 0 && conflicts == 0 && leftForRecovery == 0 && !cancelled && !serverLost &&
           journalProblem.isEmpty();
}

std::optional<QStringList> ReadCurrentValues(const DirectoryConnection &connection, const QString &delimiter,
                                             const QString &guid, const QString &attribute,
                                             DirectoryFailure *failure)
{
    Binding binding(connection);
    WriteItem item;
    item.guid = guid;
    item.attribute = attribute;
    const Reading r = readNow(binding, delimiter, item);
    if (failure)
        *failure = r.failure;
    return r.ok ? std::optional<QStringList>(r.values) : std::nullopt;
}

bool sameValues(const QStringList &a, const QStringList &b, int multivalued)
{
    if (multivalued != 1)
        return a == b;
    QStringList x = a, y = b;
    x.sort();
    y.sort();
    return x == y;
}

WriteSummary RunJournaledWrites(Database &db, const DirectoryConnection &connection, const QString &delimiter,
                                const QList<WriteItem> &items, const QString &operatorName,
                                const QString &origin, long long undoOf, const WriteProgress &progress,
                                const std::atomic_bool *cancel)
{
    WriteSummary summary;
    Journal journal(db);
    journal.beginBatch();
    summary.setId = journal.beginSet(operatorName, origin, undoOf);
    QList<JournalChange> changes;
    changes.reserve(items.size());
    for (const WriteItem &item : items) {
        JournalChange c;
        c.guid = item.guid;
        c.cn = item.cn;
        c.attribute = item.attribute;
        c.multivalued = item.multivalued;
        c.binary = item.attribute == kPhotoAttribute;
        c.oldValues = item.plannedOld;
        c.newValues = item.newValues;
        c.source = item.source;
        changes << c;
    }
    const QList<long long> ids =
        summary.setId == 0 ? QList<long long>() : journal.addChanges(summary.setId, changes);
    const bool recorded = summary.setId != 0 && ids.size() == items.size() && !ids.contains(0);
    std::optional<RunRecord> record;
    if (recorded)
        record.emplace(journal, summary.setId, ids);
    // A write the journal does not hold could be neither undone nor recovered
    // after an interruption, so nothing is written without its record.
    if (!journal.endBatch() || !recorded) {
        summary.journalProblem =
            QStringLiteral("The journal could not record the change set; nothing was written.");
        summary.skipped = int(items.size());
        for (int i = 0; i < items.size(); ++i)
            summary.outcomes << JournalSkipped;
        return summary;
    }

    journal.beginBatch();
    Binding binding(connection);
    for (int i = 0; i < items.size(); ++i) {
        const WriteItem &item = items[i];
        const QStringList *journaledOld = &item.plannedOld;
        Outcome out;
        if (cancel && cancel->load()) {
            summary.cancelled = true;
            out = {JournalSkipped, QStringLiteral("cancelled"), item.plannedOld};
        } else if (summary.serverLost) {
            out = {JournalSkipped, QStringLiteral("the directory server is unavailable"), item.plannedOld};
        } else {
            record->aboutToTry(i);
            const Reading now = readNow(binding, delimiter, item);
            if (now.ok)
                announceNextObject(connection, items, i);
            if (now.ok && !sameValues(now.values, item.plannedOld, item.multivalued)) {
                record->foundBefore(i, now.values);
                journaledOld = nullptr; // the journal holds what was found; the outcome records it again
            }
            if (!now.ok)
                out = readFailure(now);
            else if (std::optional<Outcome> judged = judge(item, now.values, delimiter))
                out = *judged;
            else
                out = writeNow(binding, item, now.values, nullptr);
            DirectoryWait wait(writeRetrySeconds());
            while (out.unavailable) {
                const auto tick = [&] {
                    if (progress)
                        progress(i, int(items.size()));
                };
                if (!wait.untilBack(connection, item.guid, cancel, tick)) {
                    summary.serverLost = true;
                    out.code = out.mayBeEmpty ? JournalCleared : JournalSkipped;
                    out.text = out.mayBeEmpty ? QStringLiteral("left empty: the directory server went away "
                                                               "between the clear and the set")
                                              : QStringLiteral("the directory server is unavailable");
                    if (!out.mayBeEmpty && out.before.isEmpty())
                        out.before = item.plannedOld;
                    break;
                }
                binding.forget();
                out = attemptAgain(binding, delimiter, item, out);
            }
        }
        record->done(i, out, journaledOld);
        count(summary, item, out);
        if (progress)
            progress(i + 1, int(items.size()));
    }
    if (!record->finish() && summary.journalProblem.isEmpty())
        summary.journalProblem = QStringLiteral("The journal could not record every outcome.");
    return summary;
}

} // namespace orvane
