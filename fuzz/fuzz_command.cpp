// The command language and its invocation: the input is an orvane-probe
// script (ProbeSession.h), run against "Fuzz.Recorder" objects, which @1
// already names. Each line's command is parsed, walked and invoked as the
// program would; stored variants (@v1) are the only addresses a command can
// lawfully carry. Its first line is also parsed on its own. After every input
// no object may be left alive: a reference the engine forgot is a finding.

#include "FuzzRecorder.h"
#include "automation/CommandParser.h"
#include "automation/ProbeSession.h"
#include "automation/com/DispatchObject.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    orvane::fuzz::registerFuzzRecorder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString script =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    orvane::ParsedCommand *parsed = nullptr;
    if (orvane::SUCCEEDED(orvane::parseCommand(script.section(QLatin1Char('\n'), 0, 0), &parsed)))
        orvane::freeParsedCommand(parsed);
    {
        orvane::ProbeSession session;
        session.runLine(QStringLiteral("create Fuzz.Recorder"));
        session.runScript(script);
    }
    orvane::fuzz::clearRecorderLog();
    if (orvane::DispatchObject::liveCount() != 0) {
        std::fprintf(stderr, "FINDING: %ld automation objects alive after the session ended\n",
                     orvane::DispatchObject::liveCount());
        std::abort();
    }
    return 0;
}
