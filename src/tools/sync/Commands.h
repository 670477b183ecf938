#pragma once
// The commands of orvane-sync: each names its options, its help and the
// function that runs it once the command line has been parsed.

#include "Session.h"
#include "plan/JournaledWrites.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QStringList>

namespace orvane::synctool
{

struct Command {
    QString name;
    QString syntax;  ///< the arguments after the command's name, as --help shows them
    QString summary; ///< what it does, for --help
    QList<QCommandLineOption> options;
    /// Checks the arguments alone (before anything is opened); returns 0 or ExitUsage after saying why.
    std::function<int(Console &, const QCommandLineParser &)> validate;
    /// Runs the command on an open session; returns the exit code.
    std::function<int(Session &, const QCommandLineParser &)> run;
    bool needsDirectory = true;   ///< resolve the password before running
    bool passwordRequired = true; ///< no password found is an error before running
    int positionalArguments = 0;  ///< how many plain arguments follow the options (undo: the change set)
};

Command planCommand();
Command applyCommand();
Command historyCommand();
Command undoCommand();
Command exportCommand();
Command checkCommand();
Command recoverCommand();

/// --retry-seconds N of the commands that write.
QCommandLineOption retrySecondsOption();
/// ExitUsage after saying why when --retry-seconds is not a number from 0.
int validateRetrySeconds(Console &console, const QCommandLineParser &parser);
/// Restores what an interrupted synchronization left empty, before apply plans; 0 or an exit code.
int recoverBeforeApply(Session &session);
/// Says what change set `s` (described by `what`, e.g. " (recovery)") came
/// to: its failures, conflicts, writes left empty and counts; the exit code.
int reportWrites(Console &console, const WriteSummary &s, const QString &what = QString());

/// --letter X and --all, shared by plan and apply.
QList<QCommandLineOption> scopeOptions();
/// The prefix of --letter, "" for --all (the default); ExitUsage after saying why when both are given.
int scopePrefix(Console &console, const QCommandLineParser &parser, QString *prefix);

} // namespace orvane::synctool
