#pragma once
// Every pending change for many users at once: for each user the key pair of
// one registered workbook (the primary one unless another is named) finds the
// user's row, and the row is read, prepared and compared by exactly the
// functions the single-user comparison uses (ReadSourceRecords,
// PrepareSyncRecords, MarkAttributeStatus), so the plan and the opened
// user's view always agree. Each record that is not up to date becomes one
// PlannedChange, with why its prepared value looks as it does.
//
// The workbook is opened once for the whole plan. A builder that compares
// beside its caller opens it and compares on a thread of its own, so that on a
// machine with a second core the directory search and the walk go on while
// the workbook is read and the rows are compared. Progress is reported after
// each user; a set cancel flag ends the walk early and the plan says so.

#include "directory/ObjectTable.h"
#include "store/Settings.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/WorkbookLookup.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

namespace orvane
{

class Database;

/// One attribute of one user that a synchronization would write.
struct PlannedChange {
    QString guid;
    QString cn;
    QString sAMAccountName;
    QString attribute;
    long long attributeId = 0;
    int multivalued = 0;
    int rangeupper = 0;
    QString directoryValue; ///< the user's value as listed (several values joined by the delimiter)
    QString preparedValue;  ///< what would be written (joined likewise)
    QString rawValue;       ///< the cell text as read
    QString sourceFile;
    int sourceRow = 0;
    QStringList why; ///< what preparation did: rules matched, cut, first letter upper-cased
};

struct SyncPlan {
    long long fileId = 0; ///< the workbook compared with; 0 when none was found
    QString sourceFile;
    QList<PlannedChange> changes; ///< grouped by user, users in the order given
    int usersChecked = 0;         ///< users compared (with or without a row)
    int usersChanged = 0;         ///< users with at least one change
    int usersWithoutRow = 0;      ///< users with no key value or no row in the workbook
    bool cancelled = false;
    QString problem; ///< why no plan could be built ("" when it was)

    /// Number of distinct users among the changes.
    int userCount() const;
};

/// Number of distinct users (by GUID) among `changes`.
int changedUserCount(const QList<PlannedChange> &changes);

/// Called after each user with the users done and the total.
using PlanProgress = std::function<void(int done, int total)>;

/// The workbook flagged primary, or 0 when none is.
long long primaryWorkbookId(Database &db);

class ReplacementPatterns;
class PreparationWhy;

/// Where a SyncPlanBuilder opens its workbook and compares the users handed to it.
enum class PlanComparing {
    OnCaller, ///< in the constructor and in add(), on the caller's thread
    Beside,   ///< on a thread of its own, in the order handed over, while the caller goes on
};

/// A plan built one user at a time, as a directory walk hands the users
/// over: its state is the plan so far, the open workbook, its key column and
/// bindings, so a plan of many users holds their changes, not the users.
class SyncPlanBuilder
{
  public:
    /// Finds workbook `fileId` (0: the primary one), its key pair and
    /// bindings, and opens it where `comparing` says (open failures go to
    /// `warn`, always on the caller's thread: at once, or when Beside's open
    /// is first waited for); when any of that fails, ready() is false and
    /// plan().problem says why.
    SyncPlanBuilder(Database &db, const Settings &settings, long long fileId, const WarningSink &warn = {},
                    PlanComparing comparing = PlanComparing::OnCaller);
    ~SyncPlanBuilder();
    SyncPlanBuilder(const SyncPlanBuilder &) = delete;
    SyncPlanBuilder &operator=(const SyncPlanBuilder &) = delete;

    /// True when users can be compared (Beside: waits for the workbook's open).
    bool ready();
    /// The directory attributes a comparison reads (lower case): the key's and the bound ones.
    QSet<QString> comparedAttributes() const;
    /// Compares `user` with its row and adds its changes and counts (nothing
    /// when not ready()); Beside, a copy is queued and compared later.
    void add(const ObjectEntry &user);
    /// The plan of every user added so far (Beside: waits until each is compared).
    SyncPlan &plan();

  private:
    struct Beside;
    void openWorkbook(const WarningSink &warn);
    void compare(const ObjectEntry &user);
    void compareBeside();
    void handOver();
    void settle();

    const Settings &settings_;
    SyncPlan plan_;
    QString keyAttribute_;
    int keyColumn_ = 0;
    QList<WorkbookBinding> bindings_;
    ExcelInstance app_;
    ParsedWorkbookReads reads_; ///< app_'s key Find and cell reads
    std::unique_ptr<ReplacementPatterns> patterns_;
    std::unique_ptr<PreparationWhy> why_;
    std::unique_ptr<Beside> beside_;
};

/// Builds the plan of `users` against workbook `fileId` (0: the primary
/// workbook). A workbook without a key pair, or one that cannot be opened,
/// gives an empty plan with `problem` set (and the open failure sent to
/// `warn`). `cancel` (may be null) is read before each user.
SyncPlan BuildSyncPlan(Database &db, const Settings &settings, const ObjectTable &users, long long fileId,
                       const PlanProgress &progress = {}, const std::atomic_bool *cancel = nullptr,
                       const WarningSink &warn = {});

/// "412 changes for 380 users".
QString planCountText(int changes, int users);

} // namespace orvane
