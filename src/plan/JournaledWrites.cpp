#include "plan/JournaledWrites.h"

#include "automation/CommandEngine.h"
#include "automation/VariantArrays.h"
#include "directory/AccountState.h"
#include "directory/AttributeWriting.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"
#include "store/Journal.h"

#include <QElapsedTimer>

namespace orvane
{

namespace
{

// Outcomes are committed at least this often, so that an interruption loses little.
constexpr int kBatchWrites = 250;
constexpr qint64 kBatchMs = 1000;

QStringList currentValues(AutomationObject *object, const QString &attribute, const QString &delimiter)
{
    VARIANT *v = getVariantProperty(object, attribute);
    QStringList values;
    if (const std::optional<QStringList> texts = variantArrayTexts(v))
        values = *texts;
    else if (const QString text = variantText(v, delimiter); !text.isEmpty())
        values << text;
    freeVariant(v);
    return values;
}

QString reasonOf(const DirectoryReport &report)
{
    if (!report.failure.reason().isEmpty())
        return codeText(report.failure.code) + u' ' + report.failure.reason();
    return report.messages.isEmpty() ? QStringLiteral("write failed") : report.messages.first().text;
}

struct Outcome {
    int code = JournalPending;
    QString text;
    QStringList before;
};

Outcome writePhoto(const DirectoryConnection &connection, const WriteItem &item)
{
    Outcome out;
    const std::optional<QByteArray> now = ReadPhoto(connection, item.guid);
    out.before = Journal::binaryValues(now.value_or(QByteArray()));
    if (item.expectedNow && !sameValues(out.before, *item.expectedNow, 0))
        return {JournalConflict, QStringLiteral("changed since"), out.before};
    const QByteArray bytes = QByteArray::fromBase64(item.newValues.value(0).toLatin1());
    const DirectoryReport r =
        bytes.isEmpty() ? RemovePhoto(connection, item.guid) : SetPhoto(connection, item.guid, bytes);
    out.code = r.result == 1 ? JournalWritten : JournalFailed;
    out.text = r.result == 1 ? QString() : reasonOf(r);
    return out;
}

Outcome writeAccount(const DirectoryConnection &connection, const WriteItem &item)
{
    Outcome out;
    DirectoryFailure failure;
    const bool disabled = ReadAccountDisabled(connection, item.guid, &failure) == 1;
    out.before = QStringList{disabled ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
    if (failure.failed())
        return {JournalFailed, codeText(failure.code) + u' ' + failure.reason(), out.before};
    if (item.expectedNow && !sameValues(out.before, *item.expectedNow, 0))
        return {JournalConflict, QStringLiteral("changed since; now: ") + out.before.value(0), out.before};
    const bool disable = item.newValues.value(0) == QLatin1String("TRUE");
    const DirectoryReport r =
        disable ? DisableAccount(connection, item.guid) : EnableAccount(connection, item.guid);
    out.code = r.result == 1 ? JournalWritten : JournalFailed;
    out.text = r.result == 1 ? QString() : reasonOf(r);
    return out;
}

Outcome writeValue(AutomationObject *object, const QString &delimiter, const WriteItem &item)
{
    Outcome out;
    out.before = currentValues(object, item.attribute, delimiter);
    if (item.expectedNow && !sameValues(out.before, *item.expectedNow, item.multivalued)) {
        out.code = JournalConflict;
        out.text = QStringLiteral("changed since; now: ") + out.before.join(delimiter);
        return out;
    }
    const DirectoryReport r = ValueWriteSequence(object, WriteContext::Synchronization, item.attribute,
                                                 item.multivalued, item.newValues);
    out.code = r.result == 1 ? JournalWritten : JournalFailed;
    out.text = r.result == 1 ? QString() : reasonOf(r);
    return out;
}

void count(WriteSummary &s, const WriteItem &item, const Outcome &out)
{
    const QString who = item.cn + QStringLiteral(": ") + item.attribute + QStringLiteral(": ");
    switch (out.code) {
    case JournalWritten:
        ++s.written;
        break;
    case JournalFailed:
        ++s.failed;
        s.failures << who + out.text;
        break;
    case JournalConflict:
        ++s.conflicts;
        s.conflictTexts << who + out.text;
        break;
    default:
        ++s.skipped;
    }
}

} // namespace

QString WriteSummary::countsText() const
{
    QString text =
        QStringLiteral("Written: %1, failed: %2, skipped: %3").arg(written).arg(failed).arg(skipped);
    if (conflicts > 0)
        text += QStringLiteral(", conflicts: %1").arg(conflicts);
    return text;
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
    QList<long long> ids;
    journal.beginBatch();
    summary.setId = journal.beginSet(operatorName, origin, undoOf);
    for (const WriteItem &item : items) {
        JournalChange c;
        c.setId = summary.setId;
        c.guid = item.guid;
        c.cn = item.cn;
        c.attribute = item.attribute;
        c.multivalued = item.multivalued;
        c.binary = item.attribute == kPhotoAttribute;
        c.oldValues = item.plannedOld;
        c.newValues = item.newValues;
        c.source = item.source;
        ids << journal.addChange(c);
    }
    if (!journal.endBatch() || summary.setId == 0 || ids.contains(0))
        summary.journalProblem = QStringLiteral("The journal could not record the change set.");

    journal.beginBatch();
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    int sinceBatch = 0;
    BoundObject bound;
    QString boundGuid;
    DirectoryFailure bindFailure;
    for (int i = 0; i < items.size(); ++i) {
        const WriteItem &item = items[i];
        Outcome out;
        if (cancel && cancel->load()) {
            summary.cancelled = true;
            out = {JournalSkipped, QStringLiteral("cancelled"), item.plannedOld};
        } else if (item.attribute == kPhotoAttribute) {
            out = writePhoto(connection, item);
        } else if (item.attribute == kAccountDisabledAttribute) {
            out = writeAccount(connection, item);
        } else {
            if (item.guid != boundGuid) {
                bound.reset();
                bindFailure = {};
                boundGuid = item.guid;
                BindObject(connection, item.guid, &bound, &bindFailure);
            }
            if (bound)
                out = writeValue(bound.object(), delimiter, item);
            else
                out = {JournalFailed,
                       QStringLiteral("cannot open the object: ") +
                           (bindFailure.failed() ? codeText(bindFailure.code) + u' ' + bindFailure.reason()
                                                 : QStringLiteral("not found")),
                       item.plannedOld};
        }
        journal.complete(ids.value(i), out.code, out.text, &out.before);
        count(summary, item, out);
        if (++sinceBatch >= kBatchWrites || sinceCommit.elapsed() >= kBatchMs) {
            journal.endBatch();
            journal.beginBatch();
            sinceBatch = 0;
            sinceCommit.restart();
        }
        if (progress)
            progress(i + 1, int(items.size()));
    }
    if (!journal.endBatch() && summary.journalProblem.isEmpty())
        summary.journalProblem = QStringLiteral("The journal could not record every outcome.");
    return summary;
}

} // namespace orvane
