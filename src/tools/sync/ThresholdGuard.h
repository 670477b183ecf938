#pragma once
// The change threshold on the command line: apply refuses a plan over it
// (exit code 5, nothing written) unless the run raises the limits or forces
// it, and plan says on standard error that its plan is over it.

#include "Session.h"
#include "plan/SyncPlan.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

namespace orvane::synctool
{

/// --max-changes N, --max-percent P and --force of apply.
QList<QCommandLineOption> thresholdOptions();

/// ExitUsage after saying why when --max-changes or --max-percent is not a whole number from 0.
int validateThresholdOptions(Console &console, const QCommandLineParser &parser);

/// 0 when `plan` (its changes as they will be written) may be written; else
/// says why with the counts and how to go on, and returns ExitThreshold.
int refuseOverThreshold(Session &session, const QCommandLineParser &parser, const SyncPlan &plan);

/// Warns on standard error when `plan` is over the stored threshold.
void warnOverThreshold(Session &session, const SyncPlan &plan);

} // namespace orvane::synctool
