// export: every directory user into the export workbook, by the export
// window's own ExportUsers (rows below what the sheet holds, nothing saved
// when it stops, a failed save reported).

#include "Commands.h"
#include "ExitCodes.h"
#include "workbook/ExportUsers.h"

#include <QDir>
#include <QFileInfo>

namespace orvane::synctool
{

namespace
{

int runExport(Session &session, const QCommandLineParser &parser)
{
    QString path = parser.value(QStringLiteral("workbook"));
    if (path.isEmpty())
        path = ExportWorkbookPath(session.db);
    if (path.isEmpty())
        return session.console.fail(
            ExitConfiguration,
            QStringLiteral("no workbook is tagged as export file (Options, Excel files) and "
                           "none was given with --workbook"));
    const QList<WorkbookBinding> bindings = LoadExportBindings(session.db);
    if (bindings.isEmpty())
        return session.console.fail(
            ExitConfiguration, QStringLiteral("the export workbook has no column bound to an attribute"));
    const ExportJob job{session.connection(), session.settings.multivaluedDelimiter,
                        QFileInfo(path).absoluteFilePath(), bindings};
    QStringList warnings;
    ExportCallbacks callbacks;
    callbacks.status = [&](const QString &text) { session.console.detail(text); };
    callbacks.progress = [&](int written) {
        session.console.progress(QStringLiteral("Exported users"), written, 0);
    };
    callbacks.warn = [&](const QString &, const QString &text) { warnings << oneLine(text); };
    session.console.detail(QStringLiteral("exporting into ") + QDir::toNativeSeparators(job.path));
    const ExportOutcome outcome = ExportUsers(job, callbacks);
    session.console.endProgress();
    if (outcome.search.failed())
        return session.console.fail(ExitConfiguration, QStringLiteral("the directory search failed: ") +
                                                           outcome.search.reason());
    if (!outcome.opened || !outcome.saved)
        return session.console.fail(ExitConfiguration, warnings.isEmpty()
                                                           ? outcome.finalStatus
                                                           : warnings.join(QStringLiteral("; ")));
    for (const QString &w : warnings)
        session.console.warn(w);
    session.console.info(outcome.finalStatus + QStringLiteral(" (from row %1).").arg(outcome.firstRow));
    return ExitSuccess;
}

} // namespace

Command exportCommand()
{
    Command c;
    c.name = QStringLiteral("export");
    c.syntax = QStringLiteral("[--workbook PATH]");
    c.summary =
        QStringLiteral("Writes every directory user as one row below what the export workbook's sheet\n"
                       "holds, one column per binding of the export workbook, and saves it in place.\n"
                       "--workbook writes those columns into another existing workbook instead.");
    c.options = {{QStringLiteral("workbook"),
                  QStringLiteral("The workbook to write into (default: the export file)."),
                  QStringLiteral("PATH")}};
    c.run = runExport;
    return c;
}

} // namespace orvane::synctool
