// The one split and the one join of multi-valued texts: empty parts kept for
// preparation and comparison, dropped for writing; whole trailing delimiters
// removed by the join; multi-character delimiters matched whole, left to right.

#include "sync/MultiValuedText.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

struct SplitCase {
    const char *text;
    const char *delimiter;
    QStringList kept;
    QStringList dropped;
};

TEST(MultiValuedTextTest, SplitKeepsOrDropsEmptyParts)
{
    const SplitCase cases[] = {
        {"a;b", ";", {"a", "b"}, {"a", "b"}},
        {"", ";", {""}, {}},
        {";", ";", {"", ""}, {}},
        {";;", ";", {"", "", ""}, {}},
        {"a;b;", ";", {"a", "b", ""}, {"a", "b"}},
        {"555;;666;", ";", {"555", "", "666", ""}, {"555", "666"}},
        {";a", ";", {"", "a"}, {"a"}},
        {"a;;;b", ";;", {"a", ";b"}, {"a", ";b"}},
        {"a; b; ", "; ", {"a", "b", ""}, {"a", "b"}},
        {"x--a-", "--", {"x", "a-"}, {"x", "a-"}},
        {"a;b", "", {"a;b"}, {"a;b"}},
        {"", "", {""}, {}},
    };
    for (const SplitCase &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QString delimiter = QString::fromUtf8(c.delimiter);
        EXPECT_EQ(splitMultiValued(text, delimiter, EmptyParts::Keep), c.kept)
            << c.text << " / " << c.delimiter;
        EXPECT_EQ(splitMultiValued(text, delimiter, EmptyParts::Drop), c.dropped)
            << c.text << " / " << c.delimiter;
    }
}

struct JoinCase {
    QStringList values;
    const char *delimiter;
    const char *joined;
};

TEST(MultiValuedTextTest, JoinRemovesWholeTrailingDelimiters)
{
    const JoinCase cases[] = {
        {{"one", "two", "three"}, ";", "one;two;three"},
        {{"one"}, ";", "one"},
        {{}, ";", ""},
        {{""}, ";", ""},
        {{"a", "", ""}, ";", "a"},
        {{"a", "", "b"}, ";", "a;;b"},
        {{"a", "b"}, "|-", "a|-b"},
        {{"a", "b"}, "; ", "a; b"},
        {{"x--a-"}, "--", "x--a-"},
        {{"a;"}, ";", "a"},
        {{"a", "b"}, "", "ab"},
    };
    for (const JoinCase &c : cases)
        EXPECT_EQ(joinMultiValued(c.values, QString::fromUtf8(c.delimiter)), QString::fromUtf8(c.joined))
            << c.joined;
}

TEST(MultiValuedTextTest, SplitUndoesJoinForNonEmptyValues)
{
    const QStringList values{"555", "+7 (495) 000-00-00", "a;b"};
    for (const char *delimiter : {"|", "; ", "--"}) {
        const QString d = QString::fromUtf8(delimiter);
        EXPECT_EQ(splitMultiValued(joinMultiValued(values, d), d, EmptyParts::Drop), values) << delimiter;
    }
}

TEST(MultiValuedTextTest, ValuesToWrite)
{
    EXPECT_EQ(valuesToWrite("a;;b;", 1, ";"), QStringList({"a", "b"}));
    EXPECT_EQ(valuesToWrite("a;;b;", 0, ";"), QStringList({"a;;b;"}));
    EXPECT_TRUE(valuesToWrite("", 0, ";").isEmpty());
    EXPECT_TRUE(valuesToWrite(";;", 1, ";").isEmpty());
}

} // namespace
} // namespace orvane
