// recover: the attribute values an interrupted synchronization left empty,
// listed and written back from the journal (Recovery.h); also the step apply
// takes before it plans, and the --retry-seconds option of the writing commands.

#include "Commands.h"
#include "ExitCodes.h"
#include "plan/Recovery.h"

namespace orvane::synctool
{

namespace
{

int validateRecover(Console &console, const QCommandLineParser &parser)
{
    if (const int code = validateRetrySeconds(console, parser))
        return code;
    return ExitSuccess;
}

int runRecover(Session &session, const QCommandLineParser &parser)
{
    setWriteRetrySeconds(parser.value(QStringLiteral("retry-seconds")).toInt());
    const QString &delimiter = session.settings.multivaluedDelimiter;
    const InterruptedWrites found = FindInterruptedWrites(session.db, session.connection(), delimiter);
    if (!found.problem.isEmpty())
        return session.console.fail(ExitConfiguration,
                                    QStringLiteral("cannot check the interrupted writes: ") + found.problem);
    if (found.leftEmpty.isEmpty()) {
        session.console.info(QStringLiteral("No attribute values were left empty by an interrupted "
                                            "synchronization."));
        return ExitSuccess;
    }
    session.console.out(found.statement());
    for (const JournalChange &c : found.leftEmpty)
        session.console.out(QStringLiteral("  %1: %2: \"%3\"  (change set %4)")
                                .arg(c.cn, c.attribute, journalValuesText(c, c.oldValues, delimiter))
                                .arg(c.setId));
    if (!parser.isSet(QStringLiteral("yes"))) {
        if (!Console::canAsk())
            return session.console.fail(ExitUsage, QStringLiteral("recover asks before writing, but standard "
                                                                  "input is not a terminal: give --yes"));
        if (!session.console.ask(QStringLiteral("Restore their previous values?"))) {
            session.console.info(QStringLiteral("Nothing written; \"orvane-sync recover\" restores them later."));
            return ExitChangesPending;
        }
    }
    const WriteSummary s = RecoverInterruptedWrites(
        session.db, session.connection(), delimiter, found.leftEmpty, journalOperator(session.settings),
        [&](int done, int total) { session.console.progress(QStringLiteral("Restoring"), done, total); });
    session.console.endProgress();
    return reportWrites(session.console, s, QStringLiteral(" (recovery)"));
}

} // namespace

QCommandLineOption retrySecondsOption()
{
    return {QStringLiteral("retry-seconds"),
            QStringLiteral("When the directory stops answering, wait up to N seconds in all for it to come "
                           "back (default %1).")
                .arg(kDefaultRetrySeconds),
            QStringLiteral("N"), QString::number(kDefaultRetrySeconds)};
}

int validateRetrySeconds(Console &console, const QCommandLineParser &parser)
{
    bool ok = false;
    const int seconds = parser.value(QStringLiteral("retry-seconds")).toInt(&ok);
    if (!ok || seconds < 0)
        return console.fail(ExitUsage, QStringLiteral("--retry-seconds needs a number of seconds from 0"));
    return ExitSuccess;
}

int recoverBeforeApply(Session &session)
{
    const QString &delimiter = session.settings.multivaluedDelimiter;
    if (!InterruptedWritesMayWait(session.db))
        return ExitSuccess;
    const InterruptedWrites found = FindInterruptedWrites(session.db, session.connection(), delimiter);
    if (!found.problem.isEmpty())
        return session.console.fail(ExitConfiguration,
                                    QStringLiteral("cannot check the interrupted writes: ") + found.problem);
    if (found.leftEmpty.isEmpty())
        return ExitSuccess;
    session.console.warn(found.statement() + QStringLiteral(" Restoring them first."));
    const WriteSummary s = RecoverInterruptedWrites(session.db, session.connection(), delimiter,
                                                    found.leftEmpty, journalOperator(session.settings));
    return reportWrites(session.console, s, QStringLiteral(" (recovery)"));
}

int reportWrites(Console &console, const WriteSummary &s, const QString &what)
{
    for (const QString &line : s.failures)
        console.warn(QStringLiteral("failed: ") + line);
    for (const QString &line : s.conflictTexts)
        console.warn(QStringLiteral("changed by someone else, not written: ") + line);
    for (const QString &line : s.leftEmptyTexts)
        console.warn(QStringLiteral("left empty, for \"orvane-sync recover\": ") + line);
    if (!s.journalProblem.isEmpty())
        console.warn(s.journalProblem);
    if (s.serverLost)
        console.warn(QStringLiteral("the directory server is unavailable: the writes not made are recorded "
                                    "as skipped"));
    if (s.cancelled)
        console.warn(QStringLiteral("interrupted: the writes not made are recorded as skipped"));
    console.info(QStringLiteral("Change set %1%2: %3.").arg(s.setId).arg(what, s.countsText()));
    return s.complete() ? ExitSuccess : ExitWritesFailed;
}

Command recoverCommand()
{
    Command c;
    c.name = QStringLiteral("recover");
    c.syntax = QStringLiteral("[--yes] [--retry-seconds N]");
    c.summary = QStringLiteral(
        "Lists the attribute values an interrupted synchronization left empty and writes their\n"
        "previous values back from the journal, as a change set of origin \"recovery\". Without\n"
        "--yes it asks on the terminal.");
    c.options = {{QStringLiteral("yes"), QStringLiteral("Restore without asking.")}, retrySecondsOption()};
    c.validate = validateRecover;
    c.run = runRecover;
    return c;
}

} // namespace orvane::synctool
