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

SyncPlanBuilder::SyncPlanBuilder(Database &db, const Settings &settings, long long fileId,
                                 const WarningSink &warn)
    : settings_(settings)
{
    if (fileId == 0)
        fileId = primaryWorkbookId(db);
    if (fileId == 0) {
        plan_.problem = QStringLiteral("No primary workbook is registered.");
        return;
    }
    plan_.sourceFile = workbookPath(db, fileId);
    // Loaded once for the plan, not for each user.
    const std::optional<WorkbookBinding> key = firstKeyPair(db, fileId);
    bindings_ = loadWorkbookBindings(db, BindingStatement::SourceRecords, fileId);
    if (!key || key->column <= 0) {
        plan_.problem = QStringLiteral("The workbook has no key pair: ") + plan_.sourceFile;
        return;
    }
    keyAttribute_ = key->attribute;
    keyColumn_ = key->column;
    app_ = OpenWorkbook(plan_.sourceFile, warn ? warn : WarningSink([](auto &, auto &) {}));
    if (!app_) {
        plan_.problem = QStringLiteral("The workbook cannot be opened: ") + plan_.sourceFile;
        return;
    }
    plan_.fileId = fileId;
    patterns_ = std::make_unique<ReplacementPatterns>(settings);
    why_ = std::make_unique<PreparationWhy>(settings);
}

SyncPlanBuilder::~SyncPlanBuilder() = default;

bool SyncPlanBuilder::ready() const
{
    return plan_.problem.isEmpty();
}

QSet<QString> SyncPlanBuilder::comparedAttributes() const
{
    QSet<QString> names{keyAttribute_.toLower()};
    for (const WorkbookBinding &binding : bindings_)
        names.insert(binding.attribute.toLower());
    return names;
}

void SyncPlanBuilder::add(const ObjectEntry &user)
{
    if (!ready())
        return;
    const QString keyValue = user.values.value(keyAttribute_);
    const int row = keyValue.isEmpty() ? 0 : FindFirstRow(app_.get(), keyColumn_, keyValue);
    if (row > 0) {
        SyncRecordList records = ReadSourceRecords(app_.get(), bindings_, row);
        PrepareSyncRecords(settings_, *patterns_, records);
        if (MarkAttributeStatus(records, user, settings_) > 0) {
            addChanges(plan_, user, records, row, *why_);
            ++plan_.usersChanged;
        }
    } else {
        ++plan_.usersWithoutRow;
    }
    ++plan_.usersChecked;
}

SyncPlan BuildSyncPlan(Database &db, const Settings &settings, const ObjectTable &users, long long fileId,
                       const PlanProgress &progress, const std::atomic_bool *cancel, const WarningSink &warn)
{
    SyncPlanBuilder builder(db, settings, fileId, warn);
    if (!builder.ready())
        return std::move(builder.plan());
    for (const ObjectEntry &user : users) {
        if (cancel && cancel->load()) {
            builder.plan().cancelled = true;
            break;
        }
        builder.add(user);
        if (progress)
            progress(builder.plan().usersChecked, int(users.size()));
    }
    return std::move(builder.plan());
}

QString planCountText(int changes, int users)
{
    return countText(changes, QStringLiteral("change"), QStringLiteral("changes")) + QStringLiteral(" for ") +
           countText(users, QStringLiteral("user"), QStringLiteral("users"));
}

} // namespace orvane
