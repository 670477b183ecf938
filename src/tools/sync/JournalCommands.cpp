// history and undo: the change journal as the History window lists it, and
// its undo through UndoChangeSet.

#include "Commands.h"
#include "ExitCodes.h"
#include "Interruption.h"
#include "plan/PlanApply.h"
#include "store/Journal.h"

#include <QDateTime>

namespace orvane::synctool
{

namespace
{

// Rows of cells as columns padded to their widest cell, the last one left ragged.
QStringList aligned(const QList<QStringList> &rows)
{
    QList<int> widths;
    for (const QStringList &row : rows)
        for (int i = 0; i < row.size(); ++i) {
            if (widths.size() <= i)
                widths << 0;
            widths[i] = qMax(widths[i], int(row[i].size()));
        }
    QStringList lines;
    for (const QStringList &row : rows) {
        QString line;
        for (int i = 0; i < row.size(); ++i)
            line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
        lines << line;
    }
    return lines;
}

int validateHistory(Console &console, const QCommandLineParser &parser)
{
    bool ok = true;
    const int limit = parser.value(QStringLiteral("limit")).toInt(&ok);
    if (!ok || limit < 1)
        return console.fail(ExitUsage, QStringLiteral("--limit needs a number from 1"));
    return ExitSuccess;
}

int runHistory(Session &session, const QCommandLineParser &parser)
{
    Journal journal(session.db);
    if (!journal.isUsable())
        return session.console.fail(ExitConfiguration, QStringLiteral("cannot read the change journal: ") +
                                                           session.db.lastError());
    const QList<JournalSet> sets = journal.sets(parser.value(QStringLiteral("limit")).toInt());
    QList<QStringList> rows{{QStringLiteral("SET"), QStringLiteral("TIME (UTC)"), QStringLiteral("OPERATOR"),
                             QStringLiteral("CHANGES"), QStringLiteral("WRITTEN"),
                             QStringLiteral("STARTED BY")}};
    for (const JournalSet &s : sets)
        rows << QStringList{QString::number(s.id),
                            QDateTime::fromSecsSinceEpoch(s.datetime, Qt::UTC)
                                .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                            s.operatorName,
                            QString::number(s.changes),
                            QString::number(s.written),
                            s.origin};
    const QStringList lines = aligned(rows);
    if (!session.console.quiet || !sets.isEmpty())
        session.console.out(lines.first());
    for (int i = 0; i < sets.size(); ++i) {
        session.console.out(lines[i + 1]);
        if (!session.console.verbose)
            continue;
        for (const JournalChange &c : journal.changes(sets[i].id)) {
            const QString outcome = journalOutcomeText(c);
            const QString &d = session.settings.multivaluedDelimiter;
            session.console.out(QStringLiteral("    %1  %2: \"%3\" -> \"%4\"  %5  [%6]")
                                    .arg(c.cn, c.attribute, journalValuesText(c, c.oldValues, d),
                                         journalValuesText(c, c.newValues, d), c.source, outcome));
        }
    }
    return ExitSuccess;
}

int validateUndo(Console &console, const QCommandLineParser &parser)
{
    bool ok = false;
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1 || args[0].toLongLong(&ok) < 1 || !ok)
        return console.fail(ExitUsage,
                            QStringLiteral("undo needs one change set number (see orvane-sync history)"));
    return ExitSuccess;
}

int runUndo(Session &session, const QCommandLineParser &parser)
{
    const long long id = parser.positionalArguments().value(0).toLongLong();
    Journal journal(session.db);
    bool known = false;
    for (const JournalSet &s : journal.sets(std::numeric_limits<int>::max()))
        known = known || s.id == id;
    if (!known)
        return session.console.fail(ExitConfiguration,
                                    QStringLiteral("there is no change set %1 in the journal").arg(id));
    const Interruption interruption;
    const WriteSummary s = UndoChangeSet(
        session.db, session.connection(), session.settings.multivaluedDelimiter, id,
        journalOperator(session.settings),
        [&](int done, int total) { session.console.progress(QStringLiteral("Undoing"), done, total); },
        interruption.flag());
    session.console.endProgress();
    for (const QString &line : s.failures)
        session.console.warn(QStringLiteral("failed: ") + line);
    for (const QString &line : s.conflictTexts)
        session.console.warn(QStringLiteral("changed by someone else since, left alone: ") + line);
    if (!s.journalProblem.isEmpty())
        session.console.warn(s.journalProblem);
    if (s.cancelled)
        session.console.warn(QStringLiteral("interrupted: the writes not made are recorded as skipped"));
    session.console.info(QStringLiteral("Change set %1 (undo of change set %2): %3.")
                             .arg(s.setId)
                             .arg(id)
                             .arg(s.countsText()));
    const bool complete = s.failed == 0 && s.conflicts == 0 && !s.cancelled && s.journalProblem.isEmpty();
    return complete ? ExitSuccess : ExitWritesFailed;
}

} // namespace

Command historyCommand()
{
    Command c;
    c.name = QStringLiteral("history");
    c.syntax = QStringLiteral("[--limit N]");
    c.summary =
        QStringLiteral("Lists the change sets of the journal, newest first (with --verbose also their\n"
                       "changes and outcomes).");
    c.options = {{QStringLiteral("limit"), QStringLiteral("At most N change sets (default 50)."),
                  QStringLiteral("N"), QStringLiteral("50")}};
    c.validate = validateHistory;
    c.run = runHistory;
    c.needsDirectory = false;
    return c;
}

Command undoCommand()
{
    Command c;
    c.name = QStringLiteral("undo");
    c.syntax = QStringLiteral("CHANGE-SET");
    c.summary = QStringLiteral(
        "Writes back the old values of every write of the change set that the directory still\n"
        "holds the new values of; attributes changed since are left alone. The undo is a\n"
        "change set of its own.");
    c.positionalArguments = 1;
    c.validate = validateUndo;
    c.run = runUndo;
    return c;
}

} // namespace orvane::synctool
