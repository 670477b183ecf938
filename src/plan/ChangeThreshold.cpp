#include "plan/ChangeThreshold.h"

#include "store/OptionTable.h"

namespace orvane
{

ChangeThreshold loadChangeThreshold(Database &db)
{
    return {optionLong(db, Option::MaxChangedUsers), optionLong(db, Option::MaxChangedPercent)};
}

ThresholdVerdict checkChangeThreshold(const ChangeThreshold &limits, const PlanCounts &counts)
{
    ThresholdVerdict verdict;
    const long long changed = counts.usersChanged, checked = counts.usersChecked;
    if (limits.maxUsers > 0 && changed > limits.maxUsers)
        verdict.reasons << QStringLiteral("%1 of the %2 users checked would change, more than the %3 allowed.")
                               .arg(changed)
                               .arg(checked)
                               .arg(limits.maxUsers);
    // Compared in whole numbers: 10 % of 30 users allows 3, not 2.9999.
    if (limits.maxPercent > 0 && changed * 100 > limits.maxPercent * checked)
        verdict.reasons << QStringLiteral("%1 % of the users checked would change (%2 of %3), more than the "
                                          "%4 % allowed.")
                               .arg(checked > 0 ? changed * 100 / checked : 0)
                               .arg(changed)
                               .arg(checked)
                               .arg(limits.maxPercent);
    if (counts.usersWithoutRow * 2LL > checked)
        verdict.reasons << QStringLiteral("%1 of the %2 users checked have no row in the workbook: is it the "
                                          "right file, with the right key column?")
                               .arg(counts.usersWithoutRow)
                               .arg(checked);
    return verdict;
}

} // namespace orvane
