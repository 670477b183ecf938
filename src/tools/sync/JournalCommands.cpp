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
                             QStringLiteral("UNDONE"), QStringLiteral("STARTED BY")}};
    for (const JournalSet &s : sets)
        rows << QStringList{QString::number(s.id),
                            QDateTime::fromSecsSinceEpoch(s.datetime, Qt::UTC)
                                .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                            s.operatorName,
                            QString::number(s.changes),
                            QString::number(s.written),
                            s.undoneBy ? QStringLiteral("by %1").arg(s.undoneBy) : QStringLiteral("-"),
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
    if (const int code = validateRetrySeconds(console, parser))
        return code;
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
    if (const long long by = journal.undoneBy(id)) {
        session.console.info(
            QStringLiteral("Change set %1 was already undone by change set %2; nothing written.").arg(id).arg(by));
        return ExitSuccess;
    }
    setWriteRetrySeconds(parser.value(QStringLiteral("retry-seconds")).toInt());
    const Interruption interruption;
    const WriteSummary s = UndoChangeSet(
        session.db, session.connection(), session.settings.multivaluedDelimiter, id,
        journalOperator(session.settings),
        [&](int done, int total) { session.console.progress(QStringLiteral("Undoing"), done, total); },
        interruption.flag());
    session.console.endProgress();
    return reportWrites(session.console, s, QStringLiteral(" (undo of change set %1)").arg(id));
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
        "holds the new values of (or holds empty where an interrupted write left it so);\n"
        "values already as before need nothing, attributes changed since are left alone.\n"
        "The undo is a change set of its own; a set undone before is not undone again.");
    c.options = {retrySecondsOption()};
    c.positionalArguments = 1;
    c.validate = validateUndo;
    c.run = runUndo;
    return c;
}

} // namespace orvane::synctool
