// plan and apply: the users listed as Find lists them, the plan built by the
// review window's BuildSyncPlan, written by its ApplyPlanChanges.

#include "Commands.h"
#include "ExitCodes.h"
#include "Interruption.h"
#include "PlanOutput.h"
#include "ThresholdGuard.h"
#include "plan/PlanApply.h"
#include "plan/PlanFiles.h"
#include "plan/Recovery.h"
#include "store/CountText.h"
#include "store/Journal.h"

#include <QFileInfo>
#include <QSet>
#include <cstdio>

namespace orvane::synctool
{

namespace
{

const QString kToolApplyOrigin = QStringLiteral("orvane-sync apply");

QCommandLineOption workbookOption()
{
    return {QStringLiteral("workbook"),
            QStringLiteral("Compare with this registered workbook (path or id) instead of the primary one."),
            QStringLiteral("PATH-or-id")};
}

// Lists the users of the scope and builds their plan; 0 or an exit code.
int buildPlan(Session &session, const QCommandLineParser &parser, SyncPlan *plan)
{
    long long fileId = 0;
    if (parser.isSet(QStringLiteral("workbook"))) {
        fileId = session.registeredWorkbook(parser.value(QStringLiteral("workbook")));
        if (fileId == 0)
            return ExitConfiguration;
    }
    QString prefix;
    scopePrefix(session.console, parser, &prefix);
    QStringList warnings;
    // The workbook opens, and each user is compared, beside the search and
    // the walk; a search failure is still told before a workbook problem
    // (users handed over when the open has failed are not compared).
    SyncPlanBuilder builder(session.db, session.settings, fileId,
                            [&](const QString &, const QString &text) { warnings << oneLine(text); },
                            PlanComparing::Beside);
    const UserSink compare([&](ObjectEntry &user) { builder.add(user); });
    if (const int code = session.listUsers(prefix, compare, builder.comparedAttributes()))
        return code;
    *plan = std::move(builder.plan());
    if (!plan->problem.isEmpty()) {
        const QString why =
            warnings.isEmpty() ? QString() : QStringLiteral(": ") + warnings.join(QStringLiteral("; "));
        return session.console.fail(ExitConfiguration, plan->problem + why);
    }
    for (const QString &w : warnings)
        session.console.warn(w);
    session.console.detail(
        QStringLiteral("compared %1 with %2")
            .arg(countText(plan->usersChecked, QStringLiteral("user"), QStringLiteral("users")), plan->sourceFile));
    return ExitSuccess;
}

int validatePlan(Console &console, const QCommandLineParser &parser)
{
    QString prefix;
    if (const int code = scopePrefix(console, parser, &prefix))
        return code;
    if (!kPlanFormats.contains(parser.value(QStringLiteral("format"))))
        return console.fail(ExitUsage, QStringLiteral("unknown format %1 (text, csv, json or ldif)")
                                           .arg(parser.value(QStringLiteral("format"))));
    return ExitSuccess;
}

int runPlan(Session &session, const QCommandLineParser &parser)
{
    if (InterruptedWritesMayWait(session.db))
        session.console.warn(QStringLiteral("writes of an interrupted synchronization are waiting: "
                                            "\"orvane-sync recover\" restores what they left empty "
                                            "(apply does it first)"));
    SyncPlan plan;
    if (const int code = buildPlan(session, parser, &plan))
        return code;
    warnOverThreshold(session, plan);
    const QByteArray text = formattedPlan(session, plan, parser.value(QStringLiteral("format")));
    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty()) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    } else {
        QString error;
        if (!savePlanText(output, QString::fromUtf8(text), &error))
            return session.console.fail(ExitConfiguration, error);
        session.console.detail(QStringLiteral("plan written to ") + output);
    }
    return plan.changes.isEmpty() ? ExitSuccess : ExitChangesPending;
}

QStringList onlyAttributes(const QCommandLineParser &parser)
{
    QStringList names;
    for (const QString &name :
         parser.value(QStringLiteral("only-attributes")).split(u',', Qt::SkipEmptyParts))
        names << name.trimmed();
    return names;
}

int validateApply(Console &console, const QCommandLineParser &parser)
{
    QString prefix;
    if (const int code = scopePrefix(console, parser, &prefix))
        return code;
    if (const int code = validateThresholdOptions(console, parser))
        return code;
    if (parser.isSet(QStringLiteral("only-attributes")) && onlyAttributes(parser).isEmpty())
        return console.fail(ExitUsage,
                            QStringLiteral("--only-attributes needs attribute names, e.g. title,department"));
    if (const int code = validateRetrySeconds(console, parser))
        return code;
    if (!parser.isSet(QStringLiteral("yes")) && !Console::canAsk())
        return console.fail(ExitUsage,
                            QStringLiteral("apply asks before writing, but standard input is not a "
                                           "terminal: give --yes to apply without asking"));
    return ExitSuccess;
}

// The changes of the attributes named by --only-attributes (all without it),
// as the review window's attribute filter keeps them; an unknown name is bad usage.
int filterAttributes(Session &session, const QCommandLineParser &parser, QList<PlannedChange> *changes)
{
    if (!parser.isSet(QStringLiteral("only-attributes")))
        return ExitSuccess;
    QSet<QString> wanted;
    for (const QString &name : onlyAttributes(parser)) {
        session.db.query(QStringLiteral("SELECT attribute FROM attributes WHERE lower(attribute) = lower(") +
                         sqlQuote(name) + u')');
        if (!session.db.next_row())
            return session.console.fail(ExitUsage,
                                        QStringLiteral("no attribute %1 in the catalogue").arg(name));
        wanted.insert(session.db.get_text(0).toLower());
    }
    QList<PlannedChange> kept;
    for (const PlannedChange &c : *changes)
        if (wanted.contains(c.attribute.toLower()))
            kept << c;
    *changes = kept;
    return ExitSuccess;
}

int runApply(Session &session, const QCommandLineParser &parser)
{
    setWriteRetrySeconds(parser.value(QStringLiteral("retry-seconds")).toInt());
    if (!parser.isSet(QStringLiteral("no-recover"))) {
        if (const int code = recoverBeforeApply(session))
            return code;
    }
    SyncPlan plan;
    if (const int code = buildPlan(session, parser, &plan))
        return code;
    if (const int code = filterAttributes(session, parser, &plan.changes))
        return code;
    const QString count = planCountText(int(plan.changes.size()), plan.userCount());
    if (plan.changes.isEmpty()) {
        session.console.info(
            QStringLiteral("No changes (%1 compared with %2).")
                .arg(countText(plan.usersChecked, QStringLiteral("user"), QStringLiteral("users")), plan.sourceFile));
        return ExitSuccess;
    }
    if (const int code = refuseOverThreshold(session, parser, plan))
        return code;
    if (!parser.isSet(QStringLiteral("yes"))) {
        session.console.out(planText(plan).trimmed());
        if (!session.console.ask(QStringLiteral("Write %1 to the directory?").arg(count))) {
            session.console.info(QStringLiteral("Nothing written."));
            return ExitChangesPending;
        }
    }
    const Interruption interruption;
    const WriteSummary summary = ApplyPlanChanges(
        session.db, session.connection(), session.settings.multivaluedDelimiter, plan.changes,
        journalOperator(session.settings), kToolApplyOrigin,
        [&](int done, int total) { session.console.progress(QStringLiteral("Writing"), done, total); },
        interruption.flag());
    session.console.endProgress();
    return reportWrites(session.console, summary);
}

} // namespace

QList<QCommandLineOption> scopeOptions()
{
    return {{QStringLiteral("letter"),
             QStringLiteral("Only the users whose pick attribute (Options, Object selection) begins with X "
                            "(a letter, or any longer beginning), "
                            "as Find lists them."),
             QStringLiteral("X")},
            {QStringLiteral("all"), QStringLiteral("Every user (the default).")}};
}

int scopePrefix(Console &console, const QCommandLineParser &parser, QString *prefix)
{
    const bool letter = parser.isSet(QStringLiteral("letter"));
    if (letter && parser.isSet(QStringLiteral("all")))
        return console.fail(ExitUsage, QStringLiteral("give either --letter or --all, not both"));
    *prefix = letter ? parser.value(QStringLiteral("letter")) : QString();
    // "--letter --all" gives the letter "--all": an option taken for the value, not a beginning.
    if (letter && (prefix->isEmpty() || prefix->startsWith(QStringLiteral("--"))))
        return console.fail(ExitUsage, QStringLiteral("--letter needs a character"));
    return ExitSuccess;
}

Command planCommand()
{
    Command c;
    c.name = QStringLiteral("plan");
    c.syntax = QStringLiteral("[--letter X | --all] [--workbook PATH-or-id] [--format text|csv|json|ldif] "
                              "[--output FILE]");
    c.summary =
        QStringLiteral("Prints every pending change of the listed users against the primary (or the named)\n"
                       "workbook, with why each prepared value looks as it does. Exit code 1 when there\n"
                       "are changes, 0 when there are none; nothing is written to the directory.");
    c.options =
        scopeOptions() +
        QList<QCommandLineOption>{
            workbookOption(),
            {QStringLiteral("format"), QStringLiteral("text (default), csv, json or ldif."),
             QStringLiteral("FORMAT"), QStringLiteral("text")},
            {QStringLiteral("output"), QStringLiteral("Write the plan to FILE (whole or not at all)."),
             QStringLiteral("FILE")}};
    c.validate = validatePlan;
    c.run = runPlan;
    return c;
}

Command applyCommand()
{
    Command c;
    c.name = QStringLiteral("apply");
    c.syntax = QStringLiteral("[--letter X | --all] [--workbook PATH-or-id] [--yes] [--only-attributes a,b]\n"
                              "      [--retry-seconds N] [--no-recover] [--max-changes N] [--max-percent P] [--force]");
    c.summary =
        QStringLiteral("Writes the pending changes as one change set of the journal (origin \"orvane-sync\n"
                       "apply\"), which History and \"orvane-sync undo\" can undo. Without --yes it prints\n"
                       "the plan and asks on the terminal; without a terminal it refuses (exit code 4).\n"
                       "Attribute values an interrupted synchronization left empty are restored first\n"
                       "(as \"orvane-sync recover --yes\"), unless --no-recover is given.\n"
                       "A plan over the change threshold (Options, Active Directory: at most N changed users and\n"
                       "P % of the users checked), or in which more than half of the users checked have\n"
                       "no row, is not written: exit code 5, nothing written.");
    c.options =
        scopeOptions() +
        QList<QCommandLineOption>{
            workbookOption(),
            {QStringLiteral("yes"), QStringLiteral("Apply without asking.")},
            {QStringLiteral("only-attributes"),
             QStringLiteral("Write only the changes of these attributes (LDAP names, comma-separated)."),
             QStringLiteral("a,b")},
            retrySecondsOption(),
            {QStringLiteral("no-recover"),
             QStringLiteral("Do not restore what an interrupted synchronization left empty first.")}} +
        thresholdOptions();
    c.validate = validateApply;
    c.run = runApply;
    return c;
}

} // namespace orvane::synctool
