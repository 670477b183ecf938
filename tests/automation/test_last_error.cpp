// Automation objects and the per-thread last error: creation and binding
// outcomes, the text of every code, and the reset after the last release.

#include "RecordingServer.h"
#include "automation/AutomationObject.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"

#include <gtest/gtest.h>
#include <latch>
#include <thread>

using namespace orvane;

namespace
{

struct Outcome {
    HRESULT code;
    QString text;
};

Outcome lastOutcome()
{
    return {lastErrorCode(), lastErrorText()};
}

const QString kInvalidArgText = QStringLiteral("One or more arguments are invalid. Possibly a numerical "
                                               "overflow or too many nested objects, -if so, try "
                                               "splitting your method call into two or more subcalls.");
const QString kClassText = QStringLiteral("Invalid progID/CLSID. Check your spelling of the programmatic "
                                          "identifier. Also check that the component / "
                                          "ActiveX control has been registered.");

class LastError : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        orvane::test::registerRecordingServer();
        ASSERT_EQ(liveObjectCount(), 0);
    }
    void TearDown() override { EXPECT_EQ(liveObjectCount(), 0); }
};

} // namespace

TEST_F(LastError, TextOfEveryListedCode)
{
    struct Row {
        std::uint32_t code;
        const char *detail;
        const char *text;
    };
    const Row rows[] = {
        {0, "", "Okay."},
        {1, "", "The operation completed, but was only partially successful."},
        {1, "why", "The operation completed, but was only partially successful. (why)"},
        {0x80004005, "", "Unspecified error."},
        {0x80070057, "",
         "One or more arguments are invalid. Possibly a numerical overflow or too many nested "
         "objects, -if so, try splitting your method call into two or more subcalls."},
        {0x80004002, "", "Method is not implemented."},
        {0x8007000E, "",
         "Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each "
         "method/property is limited by the command engine to a maximum of 20 arguments.)"},
        {0x8000FFFF, "", "An unexpected error."},
        {0x80004003, "", "An invalid pointer was supplied."},
        {0x80004001, "",
         "Not implemented. In the case of attaching an event handler to a COM object, this could "
         "signify that the object does not provide any type information."},
        {0x800401F3, "",
         "Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
         "the component / ActiveX control has been registered."},
        {0x80040154, "",
         "Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that "
         "the component / ActiveX control has been registered."},
        {0x80080005, "",
         "Server execution failed. Usually caused by an 'out of process server' timing out when "
         "asked to create an instance of a 'class factory'."},
        {0x80020005, "", "Type mismatch in the method parameters."},
        {0x8002802B, "",
         "No type description was found in the library with the specified GUID whilst trying to "
         "create an event handler."},
        {0x80040201, "",
         "Unable to set event handler because the connection point has already reached its limit "
         "of connections."},
        {0x80040110, "", "Class does not support aggregation (or class object is remote)."},
        {0x8002000A, "", "Overflow error whilst converting between types."},
        {0x80020006, "", "Method/property not supported by this object."},
        {0x8002000E, "", "Invalid number of method/property parameters."},
        {0x80020008, "", "A method/property parameter is not a valid (variant) type."},
        {0x80020003, "",
         "Member not found. (Check that you have not omitted any optional parameters and are not "
         "trying to set a read-only property etc.)"},
        {0x80020011, "", "Does not support a collection."},
        {0x80070005, "", "A 'general' access denied error."},
        {0x8001010E, "",
         "The application called upon an interface that was marshalled for a different thread."},
        {0x80020009, "Server said no.", "Server said no."},
        {0x80020009, "", "An exception occurred during the execution of this method/property."},
        {0x80070002, "", "(FACILITY_WIN32 error 2) The system cannot find the file specified."},
        {0x8007052E, "", "(FACILITY_WIN32 error 1326) The user name or password is incorrect."},
        {0x80072030, "", "(FACILITY_WIN32 error 8240) There is no such object on the server."},
        {0x8007FFFF, "", "(FACILITY_WIN32 error 65535) Unable to retrieve error description from system!"},
        {0x80041001, "",
         "Unknown error. (Code : Hex 80041001). Please report this error code to the author at "
         "'support@orvane.org'"},
        {0x800A03EC, "",
         "Unknown error. (Code : Hex 800A03EC). Please report this error code to the author at "
         "'support@orvane.org'"},
        {0x00070002, "", "(FACILITY_WIN32 error 2) The system cannot find the file specified."},
    };
    for (const Row &row : rows) {
        const auto hr = static_cast<HRESULT>(row.code);
        recordError(nullptr, hr, true, QString::fromLatin1(row.detail));
        const Outcome o = lastOutcome();
        EXPECT_EQ(o.code, hr) << std::hex << row.code;
        EXPECT_EQ(o.text, QString::fromLatin1(row.text)) << std::hex << row.code;
    }
}

TEST_F(LastError, MarkersKeepThePreviousOutcome)
{
    recordError(nullptr, DISP_E_EXCEPTION, true, QStringLiteral("Described."));
    recordError(nullptr, kOutcomeRecorded, false, QString());
    recordError(nullptr, DISP_E_EXCEPTION, false, QString());
    const Outcome o = lastOutcome();
    EXPECT_EQ(o.code, DISP_E_EXCEPTION);
    EXPECT_EQ(o.text, QStringLiteral("Described."));
}

TEST_F(LastError, CreateObjectOutcomes)
{
    EXPECT_EQ(createObject(QString()), nullptr);
    Outcome o = lastOutcome();
    EXPECT_EQ(o.code, E_INVALIDARG);
    EXPECT_EQ(o.text, kInvalidArgText);

    EXPECT_EQ(createObject(QStringLiteral("No.Such.Class")), nullptr);
    o = lastOutcome();
    EXPECT_EQ(o.code, CO_E_CLASSSTRING);
    EXPECT_EQ(o.text, kClassText);

    AutomationObject *obj = createObject(QStringLiteral("test.recorder"));
    ASSERT_NE(obj, nullptr);
    o = lastOutcome();
    EXPECT_EQ(o.code, S_OK);
    EXPECT_EQ(o.text, QStringLiteral("Okay."));
    EXPECT_EQ(liveObjectCount(), 1);

    // By CLSID: accepted only when the class has a ProgID.
    AutomationObject *byClsid = createObject(QStringLiteral("{0BADF00D-1234-5678-9ABC-DEF012345678}"));
    EXPECT_NE(byClsid, nullptr);
    EXPECT_EQ(createObject(QStringLiteral("{00000000-1111-2222-3333-444444444444}")), nullptr);
    EXPECT_EQ(lastErrorCode(), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(createObject(QStringLiteral("{not a clsid}")), nullptr);
    EXPECT_EQ(lastErrorCode(), CO_E_CLASSSTRING);
    EXPECT_EQ(createObject(QStringLiteral("Test.Recorder"), 1234), nullptr);
    EXPECT_EQ(lastErrorCode(), E_NOTIMPL);

    EXPECT_EQ(releaseObject(byClsid), 0);
    EXPECT_EQ(releaseObject(obj), 0);
    EXPECT_EQ(releaseObject(obj), 0); // a second release of the same handle is ignored
    EXPECT_EQ(liveObjectCount(), 0);
}

TEST_F(LastError, GetObjectOutcomes)
{
    EXPECT_EQ(getObject(QString()), nullptr);
    EXPECT_EQ(lastErrorCode(), E_INVALIDARG);

    AutomationObject *bound = getObject(QStringLiteral("TEST:anything"));
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(lastErrorText(), QStringLiteral("Okay."));

    EXPECT_EQ(getObject(QStringLiteral("TEST:missing")), nullptr);
    Outcome o = lastOutcome();
    EXPECT_EQ(o.code, HRESULT_FROM_WIN32(0x2030));
    EXPECT_EQ(o.text, QStringLiteral("(FACILITY_WIN32 error 8240) There is no such object on the server."));

    EXPECT_EQ(getObject(QStringLiteral("NOSUCH://x")), nullptr);
    EXPECT_EQ(lastErrorCode(), MK_E_SYNTAX);

    // The running instance of a class.
    EXPECT_EQ(getObject(QString(), QStringLiteral("Test.Recorder")), nullptr);
    EXPECT_EQ(lastErrorCode(), MK_E_UNAVAILABLE);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(oleString(QStringLiteral("Test.Recorder")), &clsid), S_OK);
    DWORD token = 0;
    ASSERT_EQ(RegisterActiveObject(bound->dispatch, clsid, ACTIVEOBJECT_STRONG, &token), S_OK);
    AutomationObject *running = getObject(QString(), QStringLiteral("Test.Recorder"));
    ASSERT_NE(running, nullptr);
    EXPECT_EQ(running->dispatch, bound->dispatch);
    RevokeActiveObject(token, nullptr);

    // Loading a file needs IPersistFile, which the recorder does not offer.
    EXPECT_EQ(getObject(QStringLiteral("/tmp/file"), QStringLiteral("Test.Recorder")), nullptr);
    EXPECT_EQ(lastErrorCode(), E_NOINTERFACE);

    releaseObject(running);
    releaseObject(bound);
}

TEST_F(LastError, ResetAfterLastReleaseOnEveryThread)
{
    constexpr int kThreads = 4;
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    std::latch recorded(kThreads + 1), released(1), done(kThreads);
    Outcome before[kThreads], after[kThreads];
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread records and reads an outcome of its own: a success or a failure.
            if (t % 2)
                getIntegerProperty(obj, QStringLiteral("Count"));
            else
                createObject(QStringLiteral("No.Such.Class"));
            before[t] = lastOutcome();
            recorded.count_down();
            released.wait();
            after[t] = lastOutcome();
            done.count_down();
        });
    }
    recorded.arrive_and_wait();
    EXPECT_EQ(lastOutcome().code, S_OK); // the main thread's createObject
    releaseObject(obj);
    released.count_down();
    done.wait();
    for (auto &thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(before[t].code, t % 2 ? S_OK : CO_E_CLASSSTRING);
        EXPECT_FALSE(before[t].text.isEmpty());
        EXPECT_EQ(after[t].code, 0) << t;
        EXPECT_EQ(after[t].text, QString()) << t;
    }
    const Outcome mine = lastOutcome();
    EXPECT_EQ(mine.code, 0);
    EXPECT_EQ(mine.text, QString());

    // The next outcome is recorded again.
    createObject(QStringLiteral("No.Such.Class"));
    EXPECT_EQ(lastErrorCode(), CO_E_CLASSSTRING);
}

TEST_F(LastError, UnreadFailureSurvivesAnotherThreadsLastRelease)
{
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    std::latch failed(2), released(1);
    Outcome seen;
    std::thread worker([&] {
        createObject(QStringLiteral("No.Such.Class")); // fails; not read yet
        failed.count_down();
        released.wait();
        seen = lastOutcome();
    });
    failed.arrive_and_wait();
    releaseObject(obj); // the process's last object, on another thread
    released.count_down();
    worker.join();
    EXPECT_EQ(seen.code, CO_E_CLASSSTRING);
    EXPECT_EQ(seen.text, kClassText);
}

TEST_F(LastError, SuccessesInARowReadAsOkayAcrossFailuresAndReleases)
{
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    const Outcome okay{S_OK, QStringLiteral("Okay.")};
    auto succeed = [&] { getIntegerProperty(obj, QStringLiteral("Count")); };
    auto expectOutcome = [](const Outcome &got, const Outcome &want, const char *step) {
        EXPECT_EQ(got.code, want.code) << step;
        EXPECT_EQ(got.text, want.text) << step;
    };

    succeed();
    succeed();
    expectOutcome(lastOutcome(), okay, "two successes");
    succeed(); // after the code and text were read
    expectOutcome(lastOutcome(), okay, "a success after a read");
    succeed();
    EXPECT_EQ(lastErrorCode(), S_OK);
    succeed(); // between the code read and the text read
    EXPECT_EQ(lastErrorText(), okay.text) << "a success between the code and the text";

    getIntegerProperty(obj, QStringLiteral("NoSuchMember"));
    succeed(); // a failure not read, then a success
    expectOutcome(lastOutcome(), okay, "a success after a failure");

    releaseObject(obj); // the last release: the recorded success reads as none
    expectOutcome(lastOutcome(), {0, QString()}, "after the last release");
    obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    succeed();
    expectOutcome(lastOutcome(), okay, "successes after the last release");
    releaseObject(obj);
}
