#pragma once
// Whether a directory user is up to date with its row in the primary
// workbook: the key pair finds the row, every binding of the workbook is read
// from it, prepared for the status check and compared with the user's value.
// PrimaryStatusCheck opens the primary workbook and loads its bindings once
// and then answers for any number of users, which is how a search checks
// thousands of listed users without opening the workbook for each.

#include "store/Settings.h"
#include "sync/ReplacementPatterns.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/WorkbookLookup.h"

#include <QList>
#include <QString>

namespace orvane
{

/// What CheckObjectStatus found.
enum ObjectStatus { StatusUpToDate = 0, StatusDiffers = 1, StatusNoKeyValue = 2, StatusNoRow = 3 };

/// Image-list indexes of the object list's status column; -1 no image.
inline constexpr int kImageStatusUpToDate = 5;
inline constexpr int kImageStatusDiffers = 4;

/// Compares `object` with the row of the opened workbook `reads` reads whose
/// `keyColumn` holds the object's value of `keyAttribute`: StatusNoKeyValue
/// when the object has no such value, StatusNoRow when no row holds it, else
/// StatusDiffers when any binding's prepared cell differs from the object's
/// value, StatusUpToDate otherwise. A multi-valued cell is compared without
/// its trailing empty values, as the comparison of an opened user sees it.
/// The caller owns and closes the workbook's instance.
int CheckObjectStatus(const ParsedWorkbookReads &reads, int keyColumn, const QString &keyAttribute,
                      const ObjectEntry &object, const QList<WorkbookBinding> &bindings,
                      const Settings &settings, ReplacementPatterns &patterns);

/// When PrimaryStatusCheck opens its workbook: at once, or at the first
/// check(), so that the caller can have it parsed meanwhile on another thread.
enum class PrimaryOpening { Now, AtFirstCheck };

/// The primary workbook opened once for checking many users.
class PrimaryStatusCheck
{
  public:
    /// Finds the primary workbook and its first key pair and opens it (now or
    /// at the first check, as `opening` says); a missing or unopenable
    /// workbook is reported to `warn` and leaves the check inactive.
    /// `settings` must outlive the check.
    PrimaryStatusCheck(Database &db, const Settings &settings, const WarningSink &warn,
                       PrimaryOpening opening = PrimaryOpening::Now);

    /// True when the workbook is open and every check() gives a status.
    bool isActive() const { return static_cast<bool>(app_); }
    /// True when there is a primary workbook with a key pair to open.
    bool hasWorkbook() const { return !filename_.isEmpty(); }
    /// Opens the workbook unless that was done or tried already.
    void open();
    /// Closes the workbook; check() then answers -1.
    void close();
    /// The status of `object`, or -1 when the check is inactive.
    int check(const ObjectEntry &object);

  private:
    const Settings &settings_;
    WarningSink warn_;
    ReplacementPatterns patterns_;
    QString filename_;
    int keyColumn_ = 0;
    QString keyAttribute_;
    QList<WorkbookBinding> bindings_;
    bool opened_ = false;
    ExcelInstance app_;
    ParsedWorkbookReads reads_; ///< of app_'s workbook; let go before app_ quits
};

/// Opens the primary workbook for one user: its status, or -1 when there is
/// no primary workbook, no key pair, or it cannot be opened.
int PrimaryStatusOf(Database &db, const Settings &settings, const ObjectEntry &object,
                    const WarningSink &warn);

} // namespace orvane
