#include "ThresholdGuard.h"

#include "ExitCodes.h"
#include "plan/ChangeThreshold.h"

namespace orvane::synctool
{

namespace
{

PlanCounts countsOf(const SyncPlan &plan)
{
    return {plan.usersChecked, changedUserCount(plan.changes), plan.usersWithoutRow};
}

bool wholeNumber(const QString &text)
{
    bool ok = false;
    return text.toLongLong(&ok) >= 0 && ok;
}

} // namespace

QList<QCommandLineOption> thresholdOptions()
{
    return {{QStringLiteral("max-changes"),
             QStringLiteral("For this run, allow at most N changed users (0: no limit) instead of the "
                            "stored threshold (Options, Active Directory)."),
             QStringLiteral("N")},
            {QStringLiteral("max-percent"),
             QStringLiteral("For this run, allow at most P % of the users checked to change (0: no limit)."),
             QStringLiteral("P")},
            {QStringLiteral("force"),
             QStringLiteral("Write even when the plan is over the change threshold, or most checked users "
                            "have no row.")}};
}

int validateThresholdOptions(Console &console, const QCommandLineParser &parser)
{
    for (const QString &name : {QStringLiteral("max-changes"), QStringLiteral("max-percent")}) {
        if (parser.isSet(name) && !wholeNumber(parser.value(name)))
            return console.fail(ExitUsage, QStringLiteral("--%1 needs a whole number from 0").arg(name));
    }
    return ExitSuccess;
}

int refuseOverThreshold(Session &session, const QCommandLineParser &parser, const SyncPlan &plan)
{
    if (parser.isSet(QStringLiteral("force")))
        return ExitSuccess;
    ChangeThreshold limits = loadChangeThreshold(session.db);
    if (parser.isSet(QStringLiteral("max-changes")))
        limits.maxUsers = parser.value(QStringLiteral("max-changes")).toLongLong();
    if (parser.isSet(QStringLiteral("max-percent")))
        limits.maxPercent = parser.value(QStringLiteral("max-percent")).toLongLong();
    const ThresholdVerdict verdict = checkChangeThreshold(limits, countsOf(plan));
    if (!verdict.exceeded())
        return ExitSuccess;
    for (const QString &reason : verdict.reasons)
        session.console.warn(reason);
    session.console.warn(QStringLiteral("To go on: check the plan (orvane-sync plan), then allow more for this "
                                        "run with --max-changes N or --max-percent P, or give --force."));
    return session.console.fail(ExitThreshold, QStringLiteral("threshold exceeded: nothing written"));
}

void warnOverThreshold(Session &session, const SyncPlan &plan)
{
    const ThresholdVerdict verdict = checkChangeThreshold(loadChangeThreshold(session.db), countsOf(plan));
    for (const QString &reason : verdict.reasons)
        session.console.warn(QStringLiteral("over the change threshold, apply would refuse: ") + reason);
}

} // namespace orvane::synctool
