// check: the configuration piece by piece, one line each, by
// CheckConfiguration when this build has it.

#include "Commands.h"
#include "ExitCodes.h"
#ifdef ORVANE_SYNC_CHECK
#include "plan/ConfigurationCheck.h"
#endif

namespace orvane::synctool
{

namespace
{

int runCheck(Session &session, const QCommandLineParser &)
{
#ifdef ORVANE_SYNC_CHECK
    const auto print = [&](const CheckLine &line) {
        const QString state = line.skipped  ? QStringLiteral("skipped")
                              : line.passed ? QStringLiteral("ok")
                                            : QStringLiteral("FAILED");
        QString text = state.leftJustified(8) + line.name;
        if (!line.detail.isEmpty())
            text += QStringLiteral(": ") + oneLine(line.detail);
        session.console.out(text);
    };
    const QList<CheckLine> lines =
        CheckConfiguration(session.db, session.settings, session.connection(), print);
    return allChecksPassed(lines) ? ExitSuccess : ExitConfiguration;
#else
    return session.console.fail(ExitConfiguration, QStringLiteral("this build has no configuration check"));
#endif
}

} // namespace

Command checkCommand()
{
    Command c;
    c.name = QStringLiteral("check");
    c.syntax = QString();
    c.summary = QStringLiteral(
        "Tests the configuration: server reachable, TLS established (and with which CA), bind\n"
        "as the configured user or by Kerberos, base DN found, every registered workbook\n"
        "opens, every binding's column and attribute exist. One line per check: \"ok\",\n"
        "\"FAILED\" or \"skipped\" (a check that needs a failed one). Exit code 0 when all\n"
        "passed, 3 otherwise.");
    c.run = runCheck;
    c.passwordRequired = false; // a missing password is the bind check's failure to report
    return c;
}

} // namespace orvane::synctool
