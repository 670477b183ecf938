// Comparing a multi-valued directory value with a workbook value: element
// counts, order, one-to-one pairing, per-pair preparation.

#include "PreparationSettings.h"
#include "sync/ValuePreparation.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

using test::preparationSettings;

struct CompareCase {
    const char *name;
    int mode;
    int firstUpperCase;
    QString directory;
    QString source;
    int rangeupper;
    int expected;
};

class CompareMultiValuedTest : public ::testing::TestWithParam<CompareCase>
{
};

TEST_P(CompareMultiValuedTest, EqualWhenEveryElementHasItsOwnPartner)
{
    const CompareCase &c = GetParam();
    const Settings settings = preparationSettings(c.mode, c.firstUpperCase, {{"Street", "St."}});
    EXPECT_EQ(CompareMultiValued(settings, c.directory, c.source, c.rangeupper), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareMultiValuedTest,
    ::testing::Values(
        CompareCase{"SameOrder", 0, 0, "a;b", "a;b", 64, 0},
        CompareCase{"OtherOrder", 0, 0, "a;b", "b;a", 64, 0},
        CompareCase{"ElementCountsDiffer", 0, 0, "a;b", "a", 64, 1},
        CompareCase{"TrailingEmptyElementCounts", 0, 0, "a;b", "a;b;", 64, 1},
        CompareCase{"BothEmpty", 0, 0, "", "", 64, 0},
        CompareCase{"CaseSensitive", 0, 0, "a;b", "A;b", 64, 1},
        // A repeated value no longer makes up for a missing one.
        CompareCase{"RepeatedSourceValue", 0, 0, "x;y", "y;y", 64, 1},
        CompareCase{"RepeatedDirectoryValue", 0, 0, "a;a", "a;b", 64, 1},
        CompareCase{"SourceRepeatsOneOfTwo", 0, 0, "a;b", "a;a", 64, 1},
        CompareCase{"SameRepetition", 0, 0, "a;a;b", "a;b;a", 64, 0},
        // Each source element is prepared against the directory element it meets.
        CompareCase{"FirstUpperCase", 0, 1, "Anna;Bob", "bob;anna", 64, 0},
        CompareCase{"CyrillicFirstUpperCase", 0, 1, "Иван;Пётр", "пётр;иван", 64, 0},
        CompareCase{"LongerSourceCut", 0, 0, "abcdef...;x", "x;abcdefghijk", 10, 0},
        CompareCase{"ShorterSourceNotCut", 0, 0, "abcdef...;x", "x;abcdef", 10, 1},
        // A source element that fits is never cut, even when longer than the directory's.
        CompareCase{"FittingSourceNotCut", 0, 0, "abcdef...;x", "x;abcdefghij", 10, 1},
        CompareCase{"ReplacedWhenLongerThanDirectoryElement", ReplaceWhenTooLong, 0, "Main St.;x",
                    "x;Main Street", 64, 0},
        CompareCase{"NotReplacedWhenNotLonger", ReplaceWhenTooLong, 0, "Main Street St.;x",
                    "x;Main Street St.", 64, 0},
        CompareCase{"AlwaysReplaced", AlwaysReplace, 0, "Main Street St.;x", "x;Main Street St.", 64, 1},
        CompareCase{"WithoutReplacementLongerIsCut", 0, 0, "Main St.;x", "x;Main Street", 64, 1},
        // The first directory element could take either source element; only one
        // choice leaves a partner for the second.
        CompareCase{"PairingMovesAlong", ReplaceWhenTooLong, 0, "Main St.;Main Street",
                    "Main Street;Main St.", 64, 0}),
    [](const ::testing::TestParamInfo<CompareCase> &info) { return std::string(info.param.name); });

TEST(CompareMultiValuedTest, PreparedRecordInOtherOrderIsUpToDate)
{
    const Settings settings = preparationSettings(ReplaceWhenTooLong, 1);
    SyncRecord r;
    r.multivalued = 1;
    r.rangeupper = 64;
    r.value = QStringLiteral("+1 555 0101;+1 555 0100;");
    SyncRecordList records{r};
    PrepareSyncRecords(settings, records);
    EXPECT_EQ(records[0].value, "+1 555 0101;+1 555 0100");
    EXPECT_EQ(CompareMultiValued(settings, "+1 555 0100;+1 555 0101", records[0].value, 64), 0);
    EXPECT_EQ(CompareMultiValued(settings, "+1 555 0100;+1 555 0102", records[0].value, 64), 1);
}

TEST(CompareMultiValuedTest, OtherDelimiter)
{
    Settings settings = preparationSettings(0, 0);
    settings.multivaluedDelimiter = QStringLiteral(", ");
    EXPECT_EQ(CompareMultiValued(settings, "a, b", "b, a", 64), 0);
    EXPECT_EQ(CompareMultiValued(settings, "a, b", "a;b", 64), 1);
}

} // namespace
} // namespace orvane
