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

// Records `changes` as one Pending change set (one commit) and returns their ids.
QList<long long> recordPending(Journal &journal, const Settings &settings, const QString &origin,
                               QList<JournalChange> changes)
{
    QList<long long> ids;
    journal.beginBatch();
    const long long setId = journal.beginSet(journalOperator(settings), origin);
    for (JournalChange &c : changes) {
        c.setId = setId;
        ids << journal.addChange(c);
    }
    journal.endBatch();
    return ids;
}

DirectoryReport journaledOne(Database &db, const Settings &settings, const QString &origin,
                             const JournalChange &change, const std::function<DirectoryReport()> &write)
{
    Journal journal(db);
    const long long id = recordPending(journal, settings, origin, {change}).value(0);
    const DirectoryReport report = write();
    journal.complete(id, report.result == 1 ? JournalWritten : JournalFailed, reasonOf(report));
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
    const QList<long long> ids = recordPending(journal, settings, kSynchronizeOrigin, changes);
    BoundObject bound;
    const bool opened = BindForReport(connectionFromSettings(settings), entry.guid,
                                      kSynchronizationErrorTitle, &bound, &report);
    journal.beginBatch();
    if (!opened) {
        for (long long id : ids)
            journal.complete(id, JournalFailed, reasonOf(report));
        journal.endBatch();
        return report;
    }
    report.result = 1;
    for (int i = 0; i < written.size(); ++i) {
        const SyncRecord &r = written[i];
        const DirectoryReport part =
            ValueWriteSequence(bound.object(), WriteContext::Synchronization, r.attribute, r.multivalued,
                               valuesToWrite(r.value, r.multivalued, delimiter));
        journal.complete(ids.value(i), part.result == 1 ? JournalWritten : JournalFailed, reasonOf(part));
        report.messages += part.messages;
        if (!report.failure.failed())
            report.failure = part.failure;
        if (part.result != 1)
            report.result = 0;
    }
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
                        [&] {
                            return WriteAttribute(connectionFromSettings(settings), guid, attribute,
                                                  multivalued, values);
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
                        [&] {
                            const DirectoryConnection c = connectionFromSettings(settings);
                            return disable ? DisableAccount(c, guid) : EnableAccount(c, guid);
                        });
}

DirectoryReport JournaledPhotoChange(Database &db, const Settings &settings, const QString &guid,
                                     const QString &cn, const QByteArray &bytes)
{
    const DirectoryConnection c = connectionFromSettings(settings);
    const QByteArray before = ReadPhoto(c, guid).value_or(QByteArray());
    return journaledOne(db, settings, kImageOrigin,
                        changeOf(guid, cn, kPhotoAttribute, 0, Journal::binaryValues(before),
                                 Journal::binaryValues(bytes), QStringLiteral("Image window")),
                        [&] { return bytes.isEmpty() ? RemovePhoto(c, guid) : SetPhoto(c, guid, bytes); });
}

} // namespace orvane
