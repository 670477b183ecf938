// The change threshold judged on counts alone: each limit, both, none, and
// the plan in which most checked users have no row.

#include "plan/ChangeThreshold.h"

#include <gtest/gtest.h>

using namespace orvane;

TEST(ChangeThreshold, EachLimitAndTheMissingRowsRuleSayWhy)
{
    const struct {
        ChangeThreshold limits;
        PlanCounts counts;
        QStringList reasons;
    } cases[] = {
        {{500, 10}, {1000, 100, 0}, {}},
        {{500, 10}, {1000, 101, 0}, {"10 % of the users checked would change (101 of 1000), more than the 10 % allowed."}},
        {{500, 10}, {10000, 501, 0}, {"501 of the 10000 users checked would change, more than the 500 allowed."}},
        {{500, 0}, {3, 3, 0}, {}},
        {{0, 0}, {20000, 20000, 0}, {}},
        {{0, 50}, {3, 2, 1},
         {"66 % of the users checked would change (2 of 3), more than the 50 % allowed."}},
        {{0, 0}, {10, 0, 6},
         {"6 of the 10 users checked have no row in the workbook: is it the right file, with the right key "
          "column?"}},
        {{0, 0}, {10, 0, 5}, {}},
        {{1, 10}, {4, 4, 0},
         {"4 of the 4 users checked would change, more than the 1 allowed.",
          "100 % of the users checked would change (4 of 4), more than the 10 % allowed."}},
        {{500, 10}, {0, 0, 0}, {}},
    };
    for (const auto &c : cases) {
        const ThresholdVerdict verdict = checkChangeThreshold(c.limits, c.counts);
        EXPECT_EQ(verdict.reasons, c.reasons) << c.counts.usersChecked << " " << c.counts.usersChanged;
        EXPECT_EQ(verdict.exceeded(), !c.reasons.isEmpty());
    }
}
