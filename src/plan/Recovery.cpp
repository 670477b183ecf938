#include "plan/Recovery.h"

#include "store/CountText.h"

#include <QDateTime>
#include <QSet>

namespace orvane
{

namespace
{

const QString kNotTried = QStringLiteral("not tried: the run was interrupted");

bool restorable(const JournalChange &c)
{
    return c.attribute != kAccountDisabledAttribute && !c.oldValues.isEmpty() && !c.newValues.isEmpty();
}

// What an interrupted Started write came to, judged by what the directory holds now.
std::pair<int, QString> settle(const JournalChange &c, const QStringList &now)
{
    if (sameValues(now, c.newValues, c.multivalued))
        return {JournalWritten, QStringLiteral("found written after the run was interrupted")};
    if (sameValues(now, c.oldValues, c.multivalued))
        return {JournalSkipped, kNotTried};
    if (now.isEmpty() && restorable(c))
        return {JournalCleared, QStringLiteral("left empty by an interrupted run")};
    return {JournalFailed, QStringLiteral("interrupted; the directory holds other values now")};
}

QString setText(const JournalSet &s)
{
    return QStringLiteral("change set %1, %2")
        .arg(s.id)
        .arg(QDateTime::fromSecsSinceEpoch(s.datetime, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
}

} // namespace

QString InterruptedWrites::statement() const
{
    const int n = int(leftEmpty.size());
    return QStringLiteral("%1 %2 left empty by an interrupted synchronization (%3).")
        .arg(countText(n, QStringLiteral("attribute value"), QStringLiteral("attribute values")),
             n == 1 ? QStringLiteral("was") : QStringLiteral("were"), setText(firstSet));
}

QString InterruptedWrites::question() const
{
    return statement() + QStringLiteral(" Restore their previous values?");
}

bool InterruptedWritesMayWait(Database &db)
{
    Journal journal(db);
    return !journal.interruptedSets().isEmpty() || !journal.clearedChanges().isEmpty();
}

InterruptedWrites FindInterruptedWrites(Database &db, const DirectoryConnection &connection,
                                        const QString &delimiter)
{
    InterruptedWrites found;
    Journal journal(db);
    QSet<long long> seen;
    const auto unreadable = [&](const JournalChange &c, const DirectoryFailure &failure) {
        found.problem = QStringLiteral("%1: %2: cannot be read: %3")
                            .arg(c.cn, c.attribute, codeText(failure.code) + u' ' + failure.reason());
    };
    for (const JournalSet &set : journal.interruptedSets()) {
        journal.beginBatch();
        for (const JournalChange &c : journal.changes(set.id)) {
            if (c.outcome == JournalPending) {
                journal.complete(c.id, JournalSkipped, kNotTried);
                continue;
            }
            if (c.outcome != JournalStarted)
                continue;
            DirectoryFailure failure;
            const std::optional<QStringList> now =
                ReadCurrentValues(connection, delimiter, c.guid, c.attribute, &failure);
            if (!now) {
                unreadable(c, failure);
                break;
            }
            const auto [outcome, text] = settle(c, *now);
            journal.complete(c.id, outcome, text);
            if (outcome == JournalCleared)
                seen.insert(c.id);
        }
        if (found.problem.isEmpty())
            journal.finishSet(set.id);
        journal.endBatch();
        if (!found.problem.isEmpty())
            return found;
    }
    journal.beginBatch();
    for (JournalChange c : journal.clearedChanges()) {
        if (!seen.contains(c.id)) {
            DirectoryFailure failure;
            const std::optional<QStringList> now =
                ReadCurrentValues(connection, delimiter, c.guid, c.attribute, &failure);
            if (!now) {
                unreadable(c, failure);
                break;
            }
            if (!now->isEmpty()) {
                const bool back = sameValues(*now, c.oldValues, c.multivalued);
                journal.complete(c.id, back ? JournalRecovered : JournalFailed,
                                 back ? QStringLiteral("found restored")
                                      : QStringLiteral("was left empty; written since by someone else"));
                continue;
            }
        }
        if (found.leftEmpty.isEmpty())
            found.firstSet = journal.set(c.setId);
        found.leftEmpty << c;
    }
    journal.endBatch();
    return found;
}

WriteSummary RecoverInterruptedWrites(Database &db, const DirectoryConnection &connection,
                                      const QString &delimiter, const QList<JournalChange> &leftEmpty,
                                      const QString &operatorName, const WriteProgress &progress)
{
    QList<WriteItem> items;
    for (const JournalChange &c : leftEmpty) {
        WriteItem item;
        item.guid = c.guid;
        item.cn = c.cn;
        item.attribute = c.attribute;
        item.multivalued = c.multivalued;
        item.newValues = c.oldValues;
        item.expectedNow = QStringList();
        item.source = QStringLiteral("Recovery of change set ") + QString::number(c.setId);
        items << item;
    }
    WriteSummary summary = RunJournaledWrites(db, connection, delimiter, items, operatorName, kRecoveryOrigin,
                                              0, progress);
    Journal journal(db);
    journal.beginBatch();
    for (int i = 0; i < leftEmpty.size(); ++i) {
        const int outcome = summary.outcomes.value(i);
        if (outcome == JournalWritten || outcome == kAlreadyAsBefore)
            journal.complete(leftEmpty[i].id, JournalRecovered,
                             QStringLiteral("restored by change set %1").arg(summary.setId));
    }
    journal.endBatch();
    return summary;
}

} // namespace orvane
