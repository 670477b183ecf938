#include "plan/JournaledEdits.h"

#include "directory/AccountState.h"
#include "directory/AttributeWriting.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"
#include "plan/JournaledWrites.h"
#include "store/Journal.h"
#include "sync/MultiValuedText.h"

#include <functional>

namespace orvane
{

namespace
{

QString reasonOf(const DirectoryReport &report)
{
    if (report.result == 1)
        return QString();
    if (report.failure.failed())
        return codeText(report.failure.code) + u' ' + report.failure.reason();
    return report.messages.isEmpty() ? QStringLiteral("not written") : report.messages.first().text;
}

// Records `changes` as one change set about to be written, each Started (one
// commit), and returns their ids; the set's id goes to `setId`.
QList<long long> recordStarted(Journal &journal, const Settings &settings, const QString &origin,
                               QList<JournalChange> changes, long long *setId)
{
    QList<long long> ids;
    journal.beginBatch();
    *setId = journal.beginSet(journalOperator(settings), origin);
    for (JournalChange &c : changes) {
        c.setId = *setId;
        ids << journal.addChange(c);
    }
    if (!ids.isEmpty())
        journal.markStarted(*setId, ids.first(), ids.last());
    journal.endBatch();
    return ids;
}

// The outcome of a write: Cleared when it may have left a value empty.
int outcomeOf(const DirectoryReport &report, WriteStage stage, const JournalChange &change)
{
    if (report.result == 1)
        return JournalWritten;
    const bool mayBeEmpty = stage == WriteStage::Unsure || stage == WriteStage::LeftEmpty;
    return mayBeEmpty && !change.oldValues.isEmpty() && !change.newValues.isEmpty() ? JournalCleared
                                                                                     : JournalFailed;
}

DirectoryReport journaledOne(Database &db, const Settings &settings, const QString &origin,
                             const JournalChange &change,
                             const std::function<DirectoryReport(WriteStage *)> &write)
{
    Journal journal(db);
    long long setId = 0;
    const long long id = recordStarted(journal, settings, origin, {change}, &setId).value(0);
    WriteStage stage = WriteStage::Untouched;
    const DirectoryReport report = write(&stage);
    journal.beginBatch();
    journal.complete(id, outcomeOf(report, stage, change), reasonOf(report));
    journal.finishSet(setId);
    journal.endBatch();
    return report;
}

JournalChange changeOf(const QString &guid, const QString &cn, const QString &attribute, int multivalued,
                       const QStringList &oldValues, const QStringList &newValues, const QString &source)
{
    JournalChange c;
    c.guid = guid;
    c.cn = cn;
    c.attribute = attribute;
    c.multivalued = multivalued;
    c.binary = attribute == kPhotoAttribute;
    c.oldValues = oldValues;
    c.newValues = newValues;
    c.source = source;
    return c;
}

} // namespace

DirectoryReport JournaledApplyPreparedValues(Database &db, const Settings &settings,
                                             const SyncRecordList &records, const ObjectTable &table,
                                             int index, const QString &source)
{
    DirectoryReport report;
    if (index < 0 || index >= table.size())
        return report;
    const ObjectEntry &entry = table[index];
    const QString &delimiter = settings.multivaluedDelimiter;
    QList<JournalChange> changes;
    SyncRecordList written;
    for (const SyncRecord &r : records) {
        if (r.upToDate == 1 || (r.multivalued != 0 && r.multivalued != 1))
            continue;
        written << r;
        changes << changeOf(entry.guid, entry.cn, r.attribute, r.multivalued,
                            valuesToWrite(entry.values.value(r.attribute), r.multivalued, delimiter),
                            valuesToWrite(r.value, r.multivalued, delimiter), source);
    }
    Journal journal(db);
    long long setId = 0;
    const QList<long long> ids = recordStarted(journal, settings, kSynchronizeOrigin, changes, &setId);
    BoundObject bound;
    const bool opened = BindForReport(connectionFromSettings(settings), entry.guid,
                                      kSynchronizationErrorTitle, &bound, &report);
    journal.beginBatch();
    if (!opened) {
        for (long long id : ids)
            journal.complete(id, JournalFailed, reasonOf(report));
        journal.finishSet(setId);
        journal.endBatch();
        return report;
    }
    report.result = 1;
    for (int i = 0; i < written.size(); ++i) {
        const SyncRecord &r = written[i];
        WriteStage stage = WriteStage::Untouched;
        const DirectoryReport part =
            ValueWriteSequence(bound.object(), WriteContext::Synchronization, r.attribute, r.multivalued,
                               valuesToWrite(r.value, r.multivalued, delimiter), &stage);
        journal.complete(ids.value(i), outcomeOf(part, stage, changes[i]), reasonOf(part));
        report.messages += part.messages;
        if (!report.failure.failed())
            report.failure = part.failure;
        if (part.result != 1)
            report.result = 0;
    }
    journal.finishSet(setId);
    journal.endBatch();
    return report;
}

DirectoryReport JournaledWriteAttribute(Database &db, const Settings &settings, const QString &guid,
                                        const QString &cn, const QString &attribute, int multivalued,
                                        const QStringList &oldValues, const QStringList &values)
{
    QStringList newValues = values;
    newValues.removeAll(QString());
    return journaledOne(db, settings, kAttributeEditOrigin,
                        changeOf(guid, cn, attribute, multivalued, oldValues, newValues,
                                 QStringLiteral("Attribute edit dialog")),
                        [&](WriteStage *stage) {
                            return WriteAttribute(connectionFromSettings(settings), guid, attribute,
                                                  multivalued, values, stage);
                        });
}

DirectoryReport JournaledAccountChange(Database &db, const Settings &settings, const QString &guid,
                                       const QString &cn, bool disable, bool wasDisabled)
{
    const auto flag = [](bool on) {
        return QStringList{on ? QStringLiteral("TRUE") : QStringLiteral("FALSE")};
    };
    return journaledOne(db, settings, kAccountOrigin,
                        changeOf(guid, cn, kAccountDisabledAttribute, 0, flag(wasDisabled), flag(disable),
                                 QStringLiteral("Object list menu")),
                        [&](WriteStage *) {
                            const DirectoryConnection c = connectionFromSettings(settings);
                            return disable ? DisableAccount(c, guid) : EnableAccount(c, guid);
                        });
}

DirectoryReport JournaledPhotoChange(Database &db, const Settings &settings, const QString &guid,
                                     const QString &cn, const QByteArray &bytes)
{
    const DirectoryConnection c = connectionFromSettings(settings);
    DirectoryFailure failure;
    const std::optional<QStringList> before =
        ReadCurrentValues(c, settings.multivaluedDelimiter, guid, kPhotoAttribute, &failure);
    if (!before) {
        // What the object holds could not be read: nothing is cleared that could not be put back.
        DirectoryReport report;
        report.failure = failure;
        report.messages.append(failureMessage(kImageFileTitle,
                                              codeText(failure.code) +
                                                  QStringLiteral(" The current image could not be read; "
                                                                 "nothing was written."),
                                              failure));
        return report;
    }
    return journaledOne(
        db, settings, kImageOrigin,
        changeOf(guid, cn, kPhotoAttribute, 0, *before, Journal::binaryValues(bytes),
                 QStringLiteral("Image window")),
        [&](WriteStage *stage) {
            const DirectoryReport r = bytes.isEmpty() ? RemovePhoto(c, guid) : SetPhoto(c, guid, bytes);
            // A failed change may have left the object without its image: look.
            if (r.result != 1 && !before->isEmpty()) {
                const std::optional<QStringList> now =
                    ReadCurrentValues(c, settings.multivaluedDelimiter, guid, kPhotoAttribute);
                *stage = !now || now->isEmpty() ? WriteStage::LeftEmpty : WriteStage::Restored;
            }
            return r;
        });
}

} // namespace orvane
