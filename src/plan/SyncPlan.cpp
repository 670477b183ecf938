#include "plan/SyncPlan.h"

#include "plan/PreparationWhy.h"
#include "store/CountText.h"
#include "store/Database.h"
#include "sync/ReplacementPatterns.h"
#include "sync/ValuePreparation.h"
#include "workbook/SourceComparison.h"
#include "workbook/WorkbookBinding.h"

#include <QSet>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

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

// Users travel to a builder's own thread in batches, so that the lock and the
// wake-up are paid once per batch; a bound on the batches in flight keeps a
// walk faster than the comparisons from holding every user.
constexpr size_t kBatchUsers = 64;
constexpr size_t kBatchesInFlight = 16;

} // namespace

// A builder's own thread and what passes between it and the caller. The
// thread owns app_ and plan_ from its start until settle() has seen it idle.
struct SyncPlanBuilder::Beside {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;    ///< for the thread: a batch, or the end
    std::condition_variable settled; ///< for the caller: the open done, room, or every batch compared
    std::deque<std::vector<ObjectEntry>> batches;
    std::vector<ObjectEntry> filling; ///< the caller's, not yet handed over
    QList<std::pair<QString, QString>> warnings;
    WarningSink warn;
    bool opened = false;
    bool busy = false;
    bool ending = false;
};

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
                                 const WarningSink &warn, PlanComparing comparing)
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
    plan_.fileId = fileId;
    patterns_ = std::make_unique<ReplacementPatterns>(settings);
    why_ = std::make_unique<PreparationWhy>(settings);
    if (comparing == PlanComparing::OnCaller) {
        openWorkbook(warn ? warn : WarningSink([](auto &, auto &) {}));
        return;
    }
    beside_ = std::make_unique<Beside>();
    beside_->warn = warn;
    beside_->filling.reserve(kBatchUsers);
    beside_->thread = std::thread([this] { compareBeside(); });
}

SyncPlanBuilder::~SyncPlanBuilder()
{
    if (!beside_)
        return;
    {
        // Users not compared yet are not wanted any more.
        const std::lock_guard lock(beside_->mutex);
        beside_->batches.clear();
        beside_->ending = true;
    }
    beside_->wake.notify_one();
    beside_->thread.join();
}

void SyncPlanBuilder::openWorkbook(const WarningSink &warn)
{
    app_ = OpenWorkbook(plan_.sourceFile, warn);
    if (!app_) {
        plan_.fileId = 0;
        plan_.problem = QStringLiteral("The workbook cannot be opened: ") + plan_.sourceFile;
        return;
    }
    reads_ = ParsedWorkbookReads(app_.get());
}

void SyncPlanBuilder::compareBeside()
{
    Beside &b = *beside_;
    QList<std::pair<QString, QString>> warnings;
    openWorkbook([&](const QString &title, const QString &text) { warnings.append({title, text}); });
    {
        const std::lock_guard lock(b.mutex);
        b.warnings = std::move(warnings);
        b.opened = true;
    }
    b.settled.notify_all();
    for (;;) {
        std::vector<ObjectEntry> batch;
        {
            std::unique_lock lock(b.mutex);
            b.wake.wait(lock, [&] { return !b.batches.empty() || b.ending; });
            if (b.batches.empty())
                return;
            batch = std::move(b.batches.front());
            b.batches.pop_front();
            b.busy = true;
        }
        b.settled.notify_all();
        for (const ObjectEntry &user : batch)
            compare(user);
        {
            const std::lock_guard lock(b.mutex);
            b.busy = false;
        }
        b.settled.notify_all();
    }
}

void SyncPlanBuilder::handOver()
{
    Beside &b = *beside_;
    if (b.filling.empty())
        return;
    {
        std::unique_lock lock(b.mutex);
        b.settled.wait(lock, [&] { return b.batches.size() < kBatchesInFlight; });
        b.batches.push_back(std::move(b.filling));
    }
    b.wake.notify_one();
    b.filling = {};
    b.filling.reserve(kBatchUsers);
}

void SyncPlanBuilder::settle()
{
    if (!beside_)
        return;
    Beside &b = *beside_;
    handOver();
    QList<std::pair<QString, QString>> warnings;
    {
        std::unique_lock lock(b.mutex);
        b.settled.wait(lock, [&] { return b.opened && b.batches.empty() && !b.busy; });
        warnings.swap(b.warnings);
    }
    // Told here, once, as an open on this thread would have told them.
    if (b.warn)
        for (const auto &[title, text] : warnings)
            b.warn(title, text);
}

bool SyncPlanBuilder::ready()
{
    settle();
    return plan_.problem.isEmpty();
}

SyncPlan &SyncPlanBuilder::plan()
{
    settle();
    return plan_;
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
    if (!beside_) {
        compare(user);
        return;
    }
    beside_->filling.push_back(user);
    if (beside_->filling.size() >= kBatchUsers)
        handOver();
}

void SyncPlanBuilder::compare(const ObjectEntry &user)
{
    if (!plan_.problem.isEmpty())
        return;
    const QString keyValue = user.values.value(keyAttribute_);
    const int row = keyValue.isEmpty() ? 0 : reads_.findFirstRow(keyColumn_, keyValue);
    if (row > 0) {
        SyncRecordList records = ReadSourceRecords(reads_, bindings_, row);
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
