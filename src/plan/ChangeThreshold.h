#pragma once
// The change threshold of an unattended synchronization: a plan that would
// change more users than the administrator allows (a number, a share of the
// users checked, or both), or in which most checked users have no row (the
// wrong workbook, the wrong key column), is not written without being asked
// for once more. orvane-sync apply refuses it; the review window asks again.

#include <QString>
#include <QStringList>

namespace orvane
{

class Database;

/// The limits, from the options maxchangedusers and maxchangedpercent.
struct ChangeThreshold {
    long long maxUsers = 500;  ///< most users one run may change; 0: no limit
    long long maxPercent = 10; ///< most users changed, in % of the users checked; 0: no limit
};

/// Reads the two threshold options.
ChangeThreshold loadChangeThreshold(Database &db);

/// What a plan is judged by.
struct PlanCounts {
    int usersChecked = 0;    ///< users compared, with or without a row
    int usersChanged = 0;    ///< users with at least one change to write
    int usersWithoutRow = 0; ///< users with no key value or no row in the workbook
};

/// The judgement of one plan: empty `reasons` when it may be written.
struct ThresholdVerdict {
    QStringList reasons; ///< one sentence per limit passed, counts included

    bool exceeded() const { return !reasons.isEmpty(); }
    /// The reasons as one text, each on its own line.
    QString text() const { return reasons.join(u'\n'); }
};

/// Judges `counts` against `limits`: over when more users change than
/// maxUsers, when more than maxPercent % of the checked users change, or when
/// more than half of the checked users have no row (whatever the limits say).
ThresholdVerdict checkChangeThreshold(const ChangeThreshold &limits, const PlanCounts &counts);

} // namespace orvane
