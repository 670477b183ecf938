// Several threads creating, invoking and releasing objects at once: each sees
// only its own outcomes, no reference is lost, and the shared state (live
// handles, the last-release reset) stays consistent. Run it under
// ThreadSanitizer too (a -fsanitize=thread build of this test).

#include "RecordingServer.h"
#include "automation/CommandEngine.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace orvane;

namespace
{

constexpr int kThreads = 8;
constexpr int kIterations = 300;

// "Nothing" with upper and lower case chosen by the bits of `t`, so that the
// null-object text names a member spelled differently by every thread.
QString spelledFor(int t)
{
    QString name = QStringLiteral("nothing");
    for (int i = 0; i < name.size(); ++i) {
        if (t & (1 << i))
            name[i] = name[i].toUpper();
    }
    return name;
}

// One thread's work; returns the number of mismatches it saw.
int runThread(int t, std::atomic<bool> *start)
{
    while (!start->load())
        std::this_thread::yield();
    int mismatches = 0;
    auto check = [&mismatches](bool ok, int line) {
        if (!ok && ++mismatches == 1)
            ADD_FAILURE() << "first mismatch at line " << line;
    };
#define expect(condition) check(condition, __LINE__)
    const QString partial =
        QStringLiteral("The operation completed, but was only partially successful. (The '") + spelledFor(t) +
        QStringLiteral("' property returned a NULL object!)");
    for (int i = 0; i < kIterations; ++i) {
        AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
        expect(obj != nullptr);
        if (!obj)
            continue;
        const QString name = QStringLiteral("thread %1 iteration %2 '$").arg(t).arg(i);
        expect(setProperty(obj, QStringLiteral("Name = ") + quoteArgument(name)) == S_OK);
        expect(getStringProperty(obj, QStringLiteral("Self\\Name")) == name);
        expect(lastErrorCode() == S_OK);

        AutomationObject *self = getObjectProperty(obj, QStringLiteral("Self"));
        expect(self != nullptr);
        expect(getIntegerProperty(self, QStringLiteral("Count")) == 42);

        // A failure of this thread's own kind, read right away.
        switch ((t + i) % 4) {
        case 0:
            expect(invoke(obj, spelledFor(t) + QStringLiteral("\\Take")) == S_FALSE);
            expect(lastErrorCode() == S_FALSE && lastErrorText() == partial);
            break;
        case 1:
            expect(invoke(obj, QStringLiteral("FailWin32")) == HRESULT_FROM_WIN32(2));
            expect(lastErrorCode() == HRESULT_FROM_WIN32(2));
            break;
        case 2:
            createObject(QStringLiteral("No.Such.Class"));
            expect(lastErrorCode() == CO_E_CLASSSTRING);
            break;
        default: {
            // (Self is the same object: keeping it would make a reference cycle.)
            AutomationObject *other = createObject(QStringLiteral("Test.Recorder"));
            expect(setProperty(obj, QStringLiteral("Keep = ") + handleNumber(other) +
                                        QStringLiteral(" as AutomationObject")) == S_OK);
            releaseObject(other);
            expect(getIntegerProperty(obj, QStringLiteral("Keep\\Count")) == 42);
            break;
        }
        }
        releaseObject(self);
        // An unread failure recorded while other threads release their last objects stays.
        expect(invoke(obj, QStringLiteral("Fail")) == DISP_E_EXCEPTION);
        releaseObject(obj);
        std::this_thread::yield();
        expect(lastErrorCode() == DISP_E_EXCEPTION || lastErrorCode() == 0);
    }
#undef expect
    return mismatches;
}

} // namespace

TEST(Concurrency, ThreadsSeeOnlyTheirOwnOutcomes)
{
    orvane::test::registerRecordingServer();
    const long baseline = DispatchObject::liveCount();
    std::atomic<bool> start{false};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &start, &mismatches] { mismatches += runThread(t, &start); });
    start = true;
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(liveObjectCount(), 0);
    EXPECT_EQ(DispatchObject::liveCount(), baseline) << "no reference lost or leaked";
    EXPECT_EQ(lastErrorCode(), 0);
    EXPECT_EQ(lastErrorText(), QString());
}

TEST(Concurrency, HandlesAreNotSharedAcrossReleases)
{
    // One thread passes its handle by number while another releases its own
    // objects: the number is accepted exactly while the handle lives.
    orvane::test::registerRecordingServer();
    AutomationObject *keeper = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(keeper, nullptr);
    std::atomic<bool> stop{false};
    std::thread churn([&stop] {
        while (!stop.load()) {
            AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
            invoke(obj, QStringLiteral("Take"));
            releaseObject(obj);
        }
    });
    int refused = 0;
    for (int i = 0; i < 2000; ++i) {
        AutomationObject *target = createObject(QStringLiteral("Test.Recorder"));
        const QString number = handleNumber(target);
        if (setProperty(keeper,
                        QStringLiteral("Keep = ") + number + QStringLiteral(" as AutomationObject")) != S_OK)
            ++refused;
        releaseObject(target);
        if (setProperty(keeper, QStringLiteral("Keep = ") + number +
                                    QStringLiteral(" as AutomationObject")) == E_INVALIDARG)
            ++refused;
    }
    stop = true;
    churn.join();
    // Every live number was accepted; released numbers were refused unless the
    // allocator handed the same address to the churn thread's new handle.
    EXPECT_GE(refused, 1000);
    releaseObject(keeper);
    EXPECT_EQ(liveObjectCount(), 0);
}
