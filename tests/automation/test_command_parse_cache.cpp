// Commands sent again run from the thread's kept parse: the same results,
// Invokes and last errors as a fresh parse, failed parses never kept, and
// arguments that name handles or addresses parsed afresh every time.

#include "RecordingServer.h"
#include "automation/CommandParseCache.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace
{

// What one run of a command leaves: its result, last error and the Invokes made.
struct Outcome {
    QString result;
    HRESULT code = 0;
    QString text;
    std::vector<QStringList> invokes; // per Invoke: member, then its argument values

    bool operator==(const Outcome &) const = default;
};

void PrintTo(const Outcome &o, std::ostream *out)
{
    *out << '"' << o.result.toStdString() << "\" " << std::hex << o.code << std::dec << " \""
         << o.text.toStdString() << '"';
    for (const QStringList &call : o.invokes)
        *out << " [" << call.join(QLatin1Char(',')).toStdString() << ']';
}

class ParseCache : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        orvane::test::registerRecordingServer();
        obj_ = createObject(QStringLiteral("Test.Recorder"));
        ASSERT_NE(obj_, nullptr);
        orvane::test::sharedLog()->take();
    }
    void TearDown() override { releaseObject(obj_); }

    Outcome run(const QString &command)
    {
        Outcome o;
        o.result = getStringProperty(obj_, command);
        o.code = lastErrorCode();
        o.text = lastErrorText();
        for (const auto &r : orvane::test::sharedLog()->take())
            o.invokes.push_back(QStringList{r.member} + r.values);
        return o;
    }

    AutomationObject *obj_ = nullptr;
};

} // namespace

TEST_F(ParseCache, RepeatedCommandsRunAsAFreshParse)
{
    const QString good[] = {
        QStringLiteral("Fields('cn')\\Value"),     QStringLiteral("Echo('it$0027s $0024 5')"),
        QStringLiteral("Echo('7' as long)"),       QStringLiteral("Echo(#true)"),
        QStringLiteral("Properties('Page Size')"),
    };
    const QString bad[] = {
        QStringLiteral("Echo('unclosed"), QStringLiteral("Echo(1 as nosuchtype)"),
        QStringLiteral("Name = 1 = 2"),   QStringLiteral("Echo(12345 as variant)"),
        QStringLiteral("NoSuchMember"),
    };
    ASSERT_EQ(setProperty(obj_, QStringLiteral("Properties('Page Size') = 100")), S_OK);
    orvane::test::sharedLog()->take();
    for (const QString &command : good) {
        clearParseCache();
        const Outcome fresh = run(command);
        EXPECT_EQ(fresh.code, S_OK) << command.toStdString();
        EXPECT_FALSE(fresh.invokes.empty());
        for (int round = 0; round < 3; ++round)
            EXPECT_EQ(run(command), fresh) << command.toStdString() << " round " << round;
        EXPECT_EQ(parseCacheSize(), 1) << command.toStdString();
    }
    // Failures between repeats: each fails alike every time, is never kept,
    // and the kept command after it records success again.
    const QString repeated = good[1];
    const Outcome expected = run(repeated);
    for (const QString &command : bad) {
        clearParseCache();
        const Outcome fresh = run(command);
        EXPECT_NE(fresh.code, S_OK) << command.toStdString();
        EXPECT_NE(fresh.text, QStringLiteral("Okay.")) << command.toStdString();
        run(repeated);
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(run(command), fresh) << command.toStdString() << " round " << round;
            EXPECT_EQ(run(repeated), expected) << "after " << command.toStdString();
        }
        EXPECT_EQ(parseCacheSize(), command == bad[4] ? 2 : 1)
            << command.toStdString() << ": only parses that succeed are kept";
    }
}

TEST_F(ParseCache, HandlesAreCheckedOnEveryRun)
{
    AutomationObject *other = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(other, nullptr);
    const QString command =
        QStringLiteral("Echo(") + handleNumber(other) + QStringLiteral(" as AutomationObject)\\Count");
    clearParseCache();
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(run(command).result, QStringLiteral("42"));
        EXPECT_EQ(lastErrorCode(), S_OK);
    }
    EXPECT_EQ(parseCacheSize(), 0) << "a handle argument is not kept";
    releaseObject(other);
    const Outcome refused = run(command);
    EXPECT_EQ(refused.code, E_INVALIDARG);
    EXPECT_TRUE(refused.text.endsWith(QStringLiteral("is not a live automation object handle.)")))
        << refused.text.toStdString();
}
