#include "workbook/SourceComparison.h"

#include "store/Database.h"
#include "sync/ValuePreparation.h"

namespace orvane
{

SyncRecordList ReadSourceRecords(AutomationObject *app, Database &db, long long fileId, int row)
{
    struct Bound {
        int column;
        SyncRecord record;
    };
    QList<Bound> bound;
    db.query(
        QStringLiteral("SELECT excelfiles_bind.fld_order, attributes.fld, attributes.id, "
                       "attributes.attribute, attributes.multivalued, attributes.rangeupper FROM "
                       "excelfiles_bind, attributes WHERE attributes.id = excelfiles_bind.attribute_id And "
                       "excelfiles_bind.file_id = ") +
        sqlQuote(fileId));
    while (db.next_row()) {
        SyncRecord record;
        record.displayName = db.get_text(1);
        record.attributeId = db.get_long(2);
        record.attribute = db.get_text(3);
        record.multivalued = int(db.get_long(4));
        record.rangeupper = int(db.get_long(5));
        bound.append({int(db.get_long(0)), record});
    }
    // The cells are read after the query: the store keeps one result open at a time.
    SyncRecordList records;
    records.reserve(bound.size());
    for (Bound &b : bound) {
        b.record.value = b.record.rawValue = ReadCell(app, row, b.column);
        records.append(b.record);
    }
    return records;
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
    return QStringLiteral("Synchronize ") + QString::number(count) + QStringLiteral(" attributes to ") + cn +
           QStringLiteral(" AD object from source ") + source + u'?';
}

} // namespace orvane
