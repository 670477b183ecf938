#include "plan/SyncPlan.h"

#include "plan/PreparationWhy.h"
#include "store/CountText.h"
#include "store/Database.h"
#include "sync/ReplacementPatterns.h"
#include "sync/ValuePreparation.h"
#include "workbook/SourceComparison.h"
#include "workbook/WorkbookBinding.h"

#include <QSet>

namespace orvane
{

namespace
{

QString workbookPath(Database &db, long long fileId)
{
    db.query(QStringLiteral("SELECT filename FROM excelfiles WHERE id = ") + sqlQuote(fileId));
    return db.next_row() ? db.get_text(0) : QString();
}

void addChanges(SyncPlan &plan, const ObjectEntry &user, const SyncRecordList &records, int row,
                PreparationWhy &why)
{
    for (const SyncRecord &record : records) {
        if (record.upToDate == 1)
            continue;
        PlannedChange change;
        change.guid = user.guid;
        change.cn = user.cn;
        change.sAMAccountName = user.sAMAccountName;
        change.attribute = record.attribute;
        change.attributeId = record.attributeId;
        change.multivalued = record.multivalued;
        change.rangeupper = record.rangeupper;
        change.directoryValue = user.values.value(record.attribute);
        change.preparedValue = record.value;
        change.rawValue = record.rawValue;
        change.sourceFile = plan.sourceFile;
        change.sourceRow = row;
        change.why = why.explain(record);
        plan.changes.append(change);
    }
}

} // namespace

int changedUserCount(const QList<PlannedChange> &changes)
{
    QSet<QString> guids;
    for (const PlannedChange &change : changes)
        guids.insert(change.guid);
    return int(guids.size());
}

int SyncPlan::userCount() const
{
    return changedUserCount(changes);
}

long long primaryWorkbookId(Database &db)
{
    db.query(QStringLiteral("SELECT id FROM excelfiles WHERE primary_flag = '1'"));
    return db.next_row() ? db.get_long(0) : 0;
}

SyncPlan BuildSyncPlan(Database &db, const Settings &settings, const ObjectTable &users, long long fileId,
                       const PlanProgress &progress, const std::atomic_bool *cancel, const WarningSink &warn)
{
    SyncPlan plan;
    if (fileId == 0)
        fileId = primaryWorkbookId(db);
    if (fileId == 0) {
        plan.problem = QStringLiteral("No primary workbook is registered.");
        return plan;
    }
    plan.sourceFile = workbookPath(db, fileId);
    // Loaded once for the plan, not for each user.
    const std::optional<WorkbookBinding> key = firstKeyPair(db, fileId);
    const QList<WorkbookBinding> bindings = loadWorkbookBindings(db, BindingStatement::SourceRecords, fileId);
    if (!key || key->column <= 0) {
        plan.problem = QStringLiteral("The workbook has no key pair: ") + plan.sourceFile;
        return plan;
    }
    ExcelInstance app = OpenWorkbook(plan.sourceFile, warn ? warn : WarningSink([](auto &, auto &) {}));
    if (!app) {
        plan.problem = QStringLiteral("The workbook cannot be opened: ") + plan.sourceFile;
        return plan;
    }
    plan.fileId = fileId;
    ReplacementPatterns patterns(settings);
    PreparationWhy why(settings);
    for (const ObjectEntry &user : users) {
        if (cancel && cancel->load()) {
            plan.cancelled = true;
            break;
        }
        const QString keyValue = user.values.value(key->attribute);
        const int row = keyValue.isEmpty() ? 0 : FindFirstRow(app.get(), key->column, keyValue);
        if (row > 0) {
            SyncRecordList records = ReadSourceRecords(app.get(), bindings, row);
            PrepareSyncRecords(settings, patterns, records);
            if (MarkAttributeStatus(records, user, settings) > 0) {
                addChanges(plan, user, records, row, why);
                ++plan.usersChanged;
            }
        } else {
            ++plan.usersWithoutRow;
        }
        ++plan.usersChecked;
        if (progress)
            progress(plan.usersChecked, int(users.size()));
    }
    return plan;
}

QString planCountText(int changes, int users)
{
    return countText(changes, QStringLiteral("change"), QStringLiteral("changes")) + QStringLiteral(" for ") +
           countText(users, QStringLiteral("user"), QStringLiteral("users"));
}

} // namespace orvane
