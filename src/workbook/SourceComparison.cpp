#include "workbook/SourceComparison.h"

#include "store/CountText.h"
#include "store/Database.h"
#include "sync/ValuePreparation.h"

namespace orvane
{

SyncRecordList ReadSourceRecords(AutomationObject *app, Database &db, long long fileId, int row)
{
    return ReadSourceRecords(app, loadWorkbookBindings(db, BindingStatement::SourceRecords, fileId), row);
}

namespace
{

// One record per binding, its value and raw value the text `readCell` gives for the binding's column.
template <typename ReadCellText>
SyncRecordList sourceRecords(const QList<WorkbookBinding> &bindings, const ReadCellText &readCell)
{
    SyncRecordList records;
    records.reserve(bindings.size());
    for (const WorkbookBinding &b : bindings) {
        SyncRecord record;
        record.displayName = b.fld;
        record.attributeId = b.attributeId;
        record.attribute = b.attribute;
        record.multivalued = b.multivalued;
        record.rangeupper = b.rangeupper;
        record.value = record.rawValue = readCell(b.column);
        records.append(record);
    }
    return records;
}

} // namespace

SyncRecordList ReadSourceRecords(AutomationObject *app, const QList<WorkbookBinding> &bindings, int row)
{
    return sourceRecords(bindings, [&](int column) { return ReadCell(app, row, column); });
}

SyncRecordList ReadSourceRecords(const ParsedWorkbookReads &reads, const QList<WorkbookBinding> &bindings, int row)
{
    return sourceRecords(bindings, [&](int column) { return reads.readCell(row, column); });
}

int MarkAttributeStatus(SyncRecordList &records, const ObjectEntry &object, const Settings &settings)
{
    ReplacementPatterns patterns(settings);
    int differing = 0;
    for (SyncRecord &record : records) {
        const QString directory = object.values.value(record.attribute);
        const bool equal = record.multivalued == 1 ? CompareMultiValued(settings, patterns, directory,
                                                                        record.value, record.rangeupper) == 0
                                                   : directory == record.value;
        record.upToDate = equal ? 1 : 0;
        if (!equal)
            ++differing;
    }
    return differing;
}

SourceComparison CompareSource(Database &db, const Settings &settings, const SourceHit &hit,
                               const ObjectEntry &object, const WarningSink &warn)
{
    SourceComparison result;
    db.query(QStringLiteral("SELECT filename FROM excelfiles WHERE id = ") + sqlQuote(hit.fileId));
    if (db.next_row())
        result.filename = db.get_text(0);
    ExcelInstance app = OpenWorkbook(result.filename, warn);
    if (!app)
        return result;
    result.opened = true;
    result.records = ReadSourceRecords(app.get(), db, hit.fileId, hit.row);
    app.close();
    PrepareSyncRecords(settings, result.records);
    result.differing = MarkAttributeStatus(result.records, object, settings);
    return result;
}

QString SynchronizeQuestion(int count, const QString &cn, const QString &source)
{
    return QStringLiteral("Synchronize ") + countText(count, QStringLiteral("attribute"), QStringLiteral("attributes")) +
           QStringLiteral(" to ") + cn +
           QStringLiteral(" AD object from source ") + source + u'?';
}

} // namespace orvane
