// orvane-probe: a script of lines run against the recording server prints
// the expected results and errors; the executable itself survives bad input.

#include "RecordingServer.h"
#include "automation/AutomationObject.h"
#include "automation/ProbeSession.h"

#include <QFileInfo>
#include <QProcess>
#include <cstring>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

const char *const kNullFields =
    "last 1 0x00000001 \"The operation completed, but was only partially successful. (The 'Fields' property "
    "returned a NULL object!)\"";
const char *const kInvalidArg =
    "last -2147024809 0x80070057 \"One or more arguments are invalid. Possibly a numerical overflow or too "
    "many "
    "nested objects, -if so, try splitting your method call into two or more subcalls.\"";
const char *const kOkay = "last 0 0x00000000 \"Okay.\"";

} // namespace

TEST(Probe, ScriptAgainstTheRecordingServer)
{
    orvane::test::registerRecordingServer();
    struct Step {
        const char *line;
        std::vector<const char *> printed;
    };
    const Step steps[] = {
        {"# a comment, then a blank line", {}},
        {"", {}},
        {"create Test.Recorder", {"=> @1", kOkay}},
        {"str @1 Fields('cn')\\Value", {"=> \"value of cn\"", kOkay}},
        {"int @1 Count", {"=> 42", kOkay}},
        {"INT 1 Flag", {"=> -1", kOkay}},
        {"set @1 Name = 'O$0027Brien'", {"=> 0x00000000", kOkay}},
        {"str @1 Name", {"=> \"O'Brien\"", kOkay}},
        {"invoke @1 Fail", {"=> 0x80020009", "last -2147352567 0x80020009 \"Recorder failed on purpose.\""}},
        {"object @1 Self", {"=> @2", kOkay}},
        {"int @2 Count", {"=> 42", kOkay}},
        {"variant @1 Bytes",
         {"=> @v1 VT_ARRAY|VT_UI1 [16 bytes] 000102030405060708090a0b0c0d0e0f guid "
          "{03020100-0504-0706-0809-0A0B0C0D0E0F}",
          kOkay}},
        {"variant @1 Multi",
         {"=> @v2 VT_ARRAY|VT_VARIANT [0..2] {VT_BSTR \"a\", VT_BSTR \"b\", VT_I4 3}", kOkay}},
        {"variant @1 Null", {"=> @v3 VT_NULL", kOkay}},
        {"variant @1 Self", {"=> @v4 VT_DISPATCH @3", kOkay}},
        {"variant @1 Echo(@v1 as variant)",
         {"=> @v5 VT_ARRAY|VT_UI1 [16 bytes] 000102030405060708090a0b0c0d0e0f guid "
          "{03020100-0504-0706-0809-0A0B0C0D0E0F}",
          kOkay}},
        {"set @1 Keep = @2 as AutomationObject", {"=> 0x00000000", kOkay}},
        {"int @1 Keep\\Count", {"=> 42", kOkay}},
        {"str @1 Fields('none')\\Value", {"=> \"\"", kNullFields}},
        {"object @1 Nothing",
         {"=> null", "last 1 0x00000001 \"The operation completed, but was only partially successful. (The "
                     "property returned a NULL object!)\""}},
        {"str @1 Echo('a@1b')", {"=> \"a@1b\"", kOkay}},
        {"str @1 Echo('tab$0009quote\"back\\slash$000D$000A')",
         {"=> \"tab\\tquote\\\"back\\\\slash\\r\\n\"", kOkay}},
        {"int @1 Name", {"=> 0", "last -2147352571 0x80020005 \"Type mismatch in the method parameters.\""}},
        {"set @1 A = 1 = 2", {"=> 0x80070057", kInvalidArg}},
        {"create", {"=> null", kInvalidArg}},
        {"get TEST:x", {"=> @4", kOkay}},
        {"invoke @9 Take", {"error: no handle @9"}},
        {"invoke", {"error: no handle given"}},
        {"invoke @1 Take(@7)", {"error: unknown reference @7"}},
        {"invoke @1 Take(@v9 as variant)", {"error: unknown reference @v9"}},
        {"bogus words", {"error: unknown command \"bogus\""}},
        {"release @2", {"=> released @2"}},
        {"release @2", {"error: no handle @2"}},
        {"live", {"=> 3"}},
    };
    {
        ProbeSession session;
        for (const Step &step : steps) {
            QStringList expected;
            for (const char *line : step.printed)
                expected.append(QString::fromUtf8(line));
            EXPECT_EQ(session.runLine(QString::fromUtf8(step.line)), expected) << step.line;
        }
    }
    EXPECT_EQ(liveObjectCount(), 0) << "the session releases what is left";
}

TEST(Probe, ExecutableAnswersEveryLine)
{
    const QString program = QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-probe");
    ASSERT_TRUE(QFileInfo::exists(program)) << "build the orvane-probe target first";
    QProcess probe;
    probe.start(program, {});
    ASSERT_TRUE(probe.waitForStarted());
    // Numbers that the program never registered for passing are refused, not
    // dereferenced: each line answers E_INVALIDARG and the process lives on.
    const char *const addressLines[] = {
        "Zz(1 as variant)",
        "Zz(12345 as object)",
        "Zz(4096 as iunknown)",
        "Zz(8 as idispatch)",
        "Properties('k') = 5 as long byref",
    };
    const char *const addressUses[] = {"as variant", "as object", "as iunknown", "as object", "byref"};
    const char *const addressNumbers[] = {"1", "12345", "4096", "8", "5"};
    QByteArray script = "create Excel.Application\n";
    for (const char *line : addressLines)
        script += QByteArray(std::strchr(line, '=') ? "set @1 " : "invoke @1 ") + line + '\n';
    probe.write(script);
    probe.write("create No.Such.Class\n"
                "create\n"
                "\n"
                "str @3 Name\n"
                "\x01\x02 garbage \xff\n"
                "get NOSUCH:thing\n"
                "live\n");
    probe.closeWriteChannel();
    ASSERT_TRUE(probe.waitForFinished(10000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(QLatin1Char('\n'));
    QStringList expected = {QStringLiteral("=> @1"), QString::fromUtf8(kOkay)};
    for (int i = 0; i < 5; ++i)
        expected << QStringLiteral("=> 0x80070057")
                 << QString::fromUtf8(kInvalidArg).chopped(1) +
                        QStringLiteral(" (%1 is not an address registered for passing %2.)\"")
                            .arg(QLatin1String(addressNumbers[i]), QLatin1String(addressUses[i]));
    expected += QStringList{
        QStringLiteral("=> null"),
        QStringLiteral(
            "last -2147221005 0x800401F3 \"Invalid progID/CLSID. Check your spelling of the programmatic "
            "identifier. Also check that the component / ActiveX control has been registered.\""),
        QStringLiteral("=> null"),
        QString::fromUtf8(kInvalidArg),
        QStringLiteral("error: no handle @3"),
        QStringLiteral("error: unknown command \"\\x01\\x02\""),
        QStringLiteral("=> null"),
        QStringLiteral(
            "last -2147221020 0x800401E4 \"Unknown error. (Code : Hex 800401E4). Please report this error "
            "code to the author at 'support@orvane.org'\""),
        QStringLiteral("=> 1"),
        QString(),
    };
    EXPECT_EQ(lines, expected);
}
