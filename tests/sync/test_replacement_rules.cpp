// Replacement rules: word guards, rule order, literal replacement text,
// invalid patterns, Unicode text.

#include "PreparationSettings.h"
#include "sync/ValuePreparation.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

using test::preparationSettings;
using test::RulePairs;

struct ReplacementCase {
    const char *name;
    RulePairs rules;
    QString input;
    QString expected;
    bool matched;
};

class ReplacementRuleTest : public ::testing::TestWithParam<ReplacementCase>
{
};

TEST_P(ReplacementRuleTest, ReplacesWholeWordsInListOrder)
{
    const ReplacementCase &c = GetParam();
    const Settings settings = preparationSettings(AlwaysReplace, 0, c.rules);
    bool matched = !c.matched;
    EXPECT_EQ(ApplyReplacements(settings, c.input, &matched), c.expected);
    EXPECT_EQ(matched, c.matched);
}

const RulePairs kStreet = {{"Street", "St."}};

INSTANTIATE_TEST_SUITE_P(
    Rules, ReplacementRuleTest,
    ::testing::Values(
        ReplacementCase{"WordAtEnd", kStreet, "Main Street", "Main St.", true},
        ReplacementCase{"PartOfLongerWord", kStreet, "Streetwise", "Streetwise", false},
        ReplacementCase{"FollowedByHyphen", kStreet, "Street-level", "St.-level", true},
        ReplacementCase{"EveryMatch", kStreet, "Street, Street;Street", "St., St.;St.", true},
        ReplacementCase{"GuardCharacters", kStreet, "'Street'.\"Street\"!Street?", "'St.'.\"St.\"!St.?",
                        true},
        ReplacementCase{"CaseSensitive", kStreet, "Main street", "Main street", false},
        ReplacementCase{
            "EachRuleOnPreviousResult", {{"Rd", "Road"}, {"Road", "Rd."}}, "Mill Rd", "Mill Rd.", true},
        ReplacementCase{"PatternIsVerbatimFragment", {{"St.", "Street"}}, "Stx", "Street", true},
        ReplacementCase{
            "ReplacementIsLiteral", {{"(Main)", "$1\\0${1}"}}, "Main Street", "$1\\0${1} Street", true},
        ReplacementCase{"InvalidPatternMatchesNothing", {{"(", "x"}}, "a ( b", "a ( b", false},
        ReplacementCase{"InvalidPatternSkippedOthersRun", {{"(", "x"}, {"b", "c"}}, "a ( b", "a ( c", true},
        ReplacementCase{"EmptyStringToReplaceSkipped", {{"", "x"}}, "a b", "a b", false},
        ReplacementCase{"EmptyRuleList", {}, "Main Street", "Main Street", false},
        ReplacementCase{"EmptyValue", kStreet, "", "", false},
        ReplacementCase{"ByteMatcherRefused", {{"\\C\\C", "x"}}, "я", "я", false},
        ReplacementCase{
            "CyrillicWholeWord", {{"улица", "ул."}}, "улица Ленина, дом 1", "ул. Ленина, дом 1", true},
        ReplacementCase{
            "CyrillicPartOfWord", {{"улица", "ул."}}, "переулица улицами", "переулица улицами", false},
        ReplacementCase{
            "CyrillicPhrase", {{"Санкт-Петербург", "СПб"}}, "г. Санкт-Петербург.", "г. СПб.", true},
        ReplacementCase{"OutsideBmp", {{"😀", ":)"}}, "hi 😀!", "hi :)!", true}),
    [](const ::testing::TestParamInfo<ReplacementCase> &info) { return std::string(info.param.name); });

TEST(ReplacementPatternsTest, OutputLongerThanFirstBufferIsComplete)
{
    const QString longWord(500, QLatin1Char('y'));
    ReplacementPatterns patterns(QList<ReplacementRule>{{1, "x", longWord}}, kWordStartGuard, kWordEndGuard);
    QStringList words(40, QStringLiteral("x"));
    bool matched = false;
    const QString result = ApplyReplacements(patterns, words.join(' '), &matched);
    EXPECT_TRUE(matched);
    EXPECT_EQ(result, QStringList(40, longWord).join(' '));
}

TEST(ReplacementPatternsTest, OnlyCompilablePatternsAreUsable)
{
    ReplacementPatterns patterns(preparationSettings(AlwaysReplace, 0, {{"a", "b"}, {"(", "c"}, {"", "d"}}));
    EXPECT_EQ(patterns.usableRuleCount(), 1);
}

TEST(ReplacementPatternsTest, UnloadedGuardsFallBackToWordGuards)
{
    Settings settings;
    settings.replacementRules = {{1, "Street", "St."}};
    EXPECT_EQ(ApplyReplacements(settings, "Streetwise Street"), "Streetwise St.");
}

TEST(ReplacementPatternsTest, UntouchedValueKeepsLoneSurrogate)
{
    // A value no rule matches is returned as it came, even when it is not valid UTF-16.
    const QString broken = QString(QChar(0xD800)) + QStringLiteral("abc");
    EXPECT_EQ(ApplyReplacements(preparationSettings(AlwaysReplace, 0, {{"Street", "St."}}), broken), broken);
}

} // namespace
} // namespace orvane
