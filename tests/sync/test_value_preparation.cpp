// Cutting, first-letter upper-casing, the replacement modes and the record and
// status preparations built from them.

#include "PreparationSettings.h"
#include "sync/ValuePreparation.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

using test::preparationSettings;

SyncRecord record(const QString &value, int rangeupper, int multivalued = 0)
{
    SyncRecord r;
    r.attribute = QStringLiteral("street");
    r.displayName = QStringLiteral("Street-Address");
    r.attributeId = 19;
    r.multivalued = multivalued;
    r.rangeupper = rangeupper;
    r.value = value;
    r.rawValue = value;
    return r;
}

SyncRecord prepared(const Settings &settings, const SyncRecord &input)
{
    SyncRecordList records{input};
    PrepareSyncRecords(settings, records);
    return records.front();
}

TEST(TrimToSizeTest, KeepsRoomForTrimmedEndAndOneMore)
{
    const QString value(100, QLatin1Char('a'));
    EXPECT_EQ(TrimToSize(value, 64, "..."), QString(60, QLatin1Char('a')) + "...");
    EXPECT_EQ(TrimToSize("abcdefghij", 10, "..."), "abcdef...");
    EXPECT_EQ(TrimToSize("abcdefghij", 10, ""), "abcdefghi");
}

TEST(TrimToSizeTest, TooSmallLimitGivesTrimmedEndAlone)
{
    EXPECT_EQ(TrimToSize("abcdef", 4, "..."), "...");
    EXPECT_EQ(TrimToSize("abcdef", 2, "..."), "...");
    EXPECT_EQ(TrimToSize("abcdef", 0, "..."), "...");
    EXPECT_EQ(TrimToSize("abcdef", 5, "..."), "a...");
}

TEST(TrimToSizeTest, NeverSplitsACharacterOutsideTheBmp)
{
    // "abcde" + U+1F600 + "fg": the cut after 6 units would fall inside the emoji.
    const QString value = QStringLiteral("abcde😀fg");
    ASSERT_EQ(value.size(), 9);
    EXPECT_EQ(TrimToSize(value, 10, "..."), "abcde...");
    EXPECT_EQ(TrimToSize(value, 11, "..."), QStringLiteral("abcde😀..."));
}

struct UppercaseCase {
    QString input;
    QString expected;
};

class UppercaseFirstTest : public ::testing::TestWithParam<UppercaseCase>
{
};

TEST_P(UppercaseFirstTest, UpperCasesOnlyTheFirstCharacter)
{
    EXPECT_EQ(UppercaseFirst(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, UppercaseFirstTest,
                         ::testing::Values(UppercaseCase{"anna smith", "Anna smith"},
                                           UppercaseCase{"ANNA", "ANNA"}, UppercaseCase{"123abc", "123abc"},
                                           UppercaseCase{"", ""}, UppercaseCase{"анна", "Анна"},
                                           UppercaseCase{"ёлка", "Ёлка"}, UppercaseCase{"éa", "Éa"},
                                           // U+10428 DESERET SMALL LETTER LONG I -> U+10400
                                           UppercaseCase{"\xF0\x90\x90\xA8x", "\xF0\x90\x90\x80x"}));

// Around the limit the three preparations agree: a value that fits is never
// cut, a longer one is cut to rangeupper - 4 units + "...", and a directory
// holding what the sync writes compares as up to date.
TEST(PreparationPathsTest, AgreeAroundTheLimit)
{
    const Settings settings = preparationSettings(ReplaceWhenTooLong, 1);
    const struct {
        const char *input;
        const char *expected;
        int trimmed;
    } cases[] = {
        {"abcdefghi", "Abcdefghi", 0},
        {"abcdefghij", "Abcdefghij", 0},
        {"abcdefghijk", "Abcdef...", 1},
    };
    for (const auto &c : cases) {
        const SyncRecord single = prepared(settings, record(c.input, 10));
        EXPECT_EQ(single.value, c.expected) << c.input;
        EXPECT_EQ(single.trimmed, c.trimmed) << c.input;
        EXPECT_EQ(prepared(settings, record(c.input, 10, 1)).value, c.expected) << c.input;
        EXPECT_EQ(PrepareStatusValue(settings, c.input, 10), c.expected) << c.input;
        EXPECT_EQ(CompareMultiValued(settings, c.expected, c.input, 10), 0) << c.input;
    }
}

TEST(PrepareSyncRecordsTest, ShortValueOnlyUpperCased)
{
    const SyncRecord r = prepared(preparationSettings(ReplaceWhenTooLong, 1), record("anna smith", 64));
    EXPECT_EQ(r.value, "Anna smith");
    EXPECT_EQ(r.trimmed, 0);
    EXPECT_EQ(r.replaced, 0);
}

TEST(PrepareSyncRecordsTest, OutsideBmpCountsAsTwoUnits)
{
    // Nine characters but ten code units: above a limit of 9, so cut.
    const QString value = QStringLiteral("abcdefgh😀");
    ASSERT_EQ(value.size(), 10);
    const SyncRecord r = prepared(preparationSettings(0, 0), record(value, 9));
    EXPECT_EQ(r.value, "abcde...");
    EXPECT_EQ(r.trimmed, 1);
    EXPECT_EQ(prepared(preparationSettings(0, 0), record(value, 10)).value, value);
}

TEST(PrepareSyncRecordsTest, LeavesOtherFieldsAlone)
{
    SyncRecord input = record("Main Street", 10);
    input.upToDate = 1;
    const SyncRecord r = prepared(preparationSettings(AlwaysReplace, 1, {{"Street", "St."}}), input);
    EXPECT_EQ(r.value, "Main St.");
    EXPECT_EQ(r.replaced, 1);
    EXPECT_EQ(r.trimmed, 0);
    EXPECT_EQ(r.rawValue, "Main Street");
    EXPECT_EQ(r.upToDate, 1);
    EXPECT_EQ(r.attribute, "street");
    EXPECT_EQ(r.displayName, "Street-Address");
    EXPECT_EQ(r.attributeId, 19);
    EXPECT_EQ(r.rangeupper, 10);
}

TEST(PrepareSyncRecordsTest, EveryRecordPreparedInOrder)
{
    SyncRecordList records{record("anna", 64), record("x;y;", 64, 1), record("abcdefghijkl", 10)};
    PrepareSyncRecords(preparationSettings(ReplaceWhenTooLong, 1), records);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0].value, "Anna");
    EXPECT_EQ(records[1].value, "X;Y");
    EXPECT_EQ(records[2].value, "Abcdef...");
    EXPECT_EQ(records[2].trimmed, 1);
    EXPECT_EQ(records[0].trimmed + records[1].trimmed, 0);
}

// The replacement modes, on single values and through the status check.
struct ModeCase {
    const char *name;
    int mode;
    QString input;
    int rangeupper;
    QString syncValue;
    int replaced;
    QString statusValue;
};

class ReplacementModeTest : public ::testing::TestWithParam<ModeCase>
{
};

TEST_P(ReplacementModeTest, RulesRunAsTheModeSays)
{
    const ModeCase &c = GetParam();
    const Settings settings =
        preparationSettings(c.mode, 0, {{"Street", "St."}, {"Mainstreet", "Main St."}, {"abc", "x"}});
    const SyncRecord r = prepared(settings, record(c.input, c.rangeupper));
    EXPECT_EQ(r.value, c.syncValue);
    EXPECT_EQ(r.replaced, c.replaced);
    EXPECT_EQ(PrepareStatusValue(settings, c.input, c.rangeupper), c.statusValue);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ReplacementModeTest,
    ::testing::Values(
        ModeCase{"AlwaysShortValue", AlwaysReplace, "Mainstreet", 64, "Main St.", 1, "Main St."},
        ModeCase{"AlwaysNoMatch", AlwaysReplace, "Elm Road", 64, "Elm Road", 0, "Elm Road"},
        // 11 units against 10: the rule runs and the result fits.
        ModeCase{"TooLongReplaced", ReplaceWhenTooLong, "Main Street", 10, "Main St.", 1, "Main St."},
        // 10 units against 10: no rule runs and nothing is cut.
        ModeCase{"AtLimitNotReplaced", ReplaceWhenTooLong, "Mainstreet", 10, "Mainstreet", 0, "Mainstreet"},
        ModeCase{"ShortNotReplaced", ReplaceWhenTooLong, "Main Street", 64, "Main Street", 0, "Main Street"},
        // Length is measured before replacement: still too long after it, so cut as well.
        ModeCase{"ReplacedThenCut", ReplaceWhenTooLong, "abc Main Street road", 12, "x Main S...", 1,
                 "x Main S..."},
        ModeCase{"ModeZeroNeverReplaces", 0, "Main Street", 10, "Main S...", 0, "Main S..."},
        ModeCase{"UnknownModeNeverReplaces", 3, "Main Street", 64, "Main Street", 0, "Main Street"}),
    [](const ::testing::TestParamInfo<ModeCase> &info) { return std::string(info.param.name); });

TEST(PrepareStatusValueTest, CutsOnlyAboveRangeupperAndSetsNoFlags)
{
    const Settings settings = preparationSettings(ReplaceWhenTooLong, 1);
    EXPECT_EQ(PrepareStatusValue(settings, "abcdefghij", 10), "Abcdefghij");
    EXPECT_EQ(PrepareStatusValue(settings, "abcdefghijk", 10), "Abcdef...");
    EXPECT_EQ(PrepareStatusValue(settings, "", 10), "");
}

TEST(PrepareStatusValueTest, CyrillicRuleAndFirstLetter)
{
    const Settings settings = preparationSettings(AlwaysReplace, 1, {{"улица", "ул."}});
    EXPECT_EQ(PrepareStatusValue(settings, "улица Ленина", 64), "Ул. Ленина");
    EXPECT_EQ(PrepareStatusValue(settings, "улицами", 64), "Улицами");
}

// Multi-valued records: split, per-element preparation, join.
struct MultiValuedCase {
    const char *name;
    QString delimiter;
    int firstUpperCase;
    QString input;
    int rangeupper;
    QString expected;
    int trimmed;
};

class MultiValuedPreparationTest : public ::testing::TestWithParam<MultiValuedCase>
{
};

TEST_P(MultiValuedPreparationTest, PreparesEachElement)
{
    const MultiValuedCase &c = GetParam();
    Settings settings = preparationSettings(ReplaceWhenTooLong, c.firstUpperCase);
    settings.multivaluedDelimiter = c.delimiter;
    const SyncRecord r = prepared(settings, record(c.input, c.rangeupper, 1));
    EXPECT_EQ(r.value, c.expected);
    EXPECT_EQ(r.trimmed, c.trimmed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, MultiValuedPreparationTest,
    ::testing::Values(MultiValuedCase{"TrailingDelimiterDropped", ";", 0, "a;b;", 64, "a;b", 0},
                      MultiValuedCase{"TrailingEmptyElementsDropped", ";", 0, "a;;", 64, "a", 0},
                      MultiValuedCase{"InnerEmptyElementKept", ";", 0, "a;;b", 64, "a;;b", 0},
                      MultiValuedCase{"EmptyValue", ";", 1, "", 64, "", 0},
                      MultiValuedCase{"EachElementUpperCased", ";", 1, "a;b;", 64, "A;B", 0},
                      MultiValuedCase{"LimitPerElement", ";", 0, "abcdefghij;abc;abcdefghijkl", 10,
                                      "abcdefghij;abc;abcdef...", 1},
                      MultiValuedCase{"JoinedMayExceedLimit", ";", 0, "abcdefgh;abcdefgh", 10,
                                      "abcdefgh;abcdefgh", 0},
                      MultiValuedCase{"LongerDelimiter", ";;", 0, "a;;b;;", 64, "a;;b", 0},
                      // Whole trailing delimiters go, never part of a real element.
                      MultiValuedCase{"TwoCharacterDelimiter", "; ", 0, "a; b", 64, "a; b", 0},
                      MultiValuedCase{"TwoCharacterDelimiterEmptyTail", "; ", 0, "a; b; ; ", 64, "a; b", 0},
                      MultiValuedCase{"ElementEndingInDelimiterStart", "--", 0, "x--a-", 64, "x--a-", 0},
                      MultiValuedCase{"SemicolonElementDropped", ";", 0, "a;b;;", 64, "a;b", 0},
                      MultiValuedCase{"EmptyDelimiterDoesNotSplit", "", 1, "a;b", 64, "A;b", 0}),
    [](const ::testing::TestParamInfo<MultiValuedCase> &info) { return std::string(info.param.name); });

TEST(PrepareSyncRecordsTest, MultiValuedReplacedWhenAnyElementMatches)
{
    const Settings settings = preparationSettings(AlwaysReplace, 0, {{"Street", "St."}});
    const SyncRecord r = prepared(settings, record("Elm Road;Main Street", 64, 1));
    EXPECT_EQ(r.value, "Elm Road;Main St.");
    EXPECT_EQ(r.replaced, 1);
    EXPECT_EQ(r.trimmed, 0);
}

} // namespace
} // namespace orvane
