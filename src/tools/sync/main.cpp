// orvane-sync: the synchronization of the review window from the command
// line, for scripts and schedules. Every command runs on the program's own
// settings file and through the same operations as the windows; see --help
// and the manual page for the commands and exit codes.

#include "Commands.h"
#include "ExitCodes.h"
#include "directory/ldap/RegisterServers.h"
#include "workbook/excel/RegisterServers.h"

#include <QCoreApplication>
#include <cstdio>

namespace orvane::synctool
{
namespace
{

QList<QCommandLineOption> commonOptions()
{
    return {
        {QStringLiteral("data-dir"),
         QStringLiteral("The data folder holding data.db3 (default: the program's)."), QStringLiteral("DIR")},
        {QStringLiteral("password-file"),
         QStringLiteral("Read the directory password from the first line of FILE (or set ORVANE_PASSWORD; "
                        "otherwise the stored password is used)."),
         QStringLiteral("FILE")},
        {{QStringLiteral("q"), QStringLiteral("quiet")}, QStringLiteral("Print no summary and no progress.")},
        {{QStringLiteral("v"), QStringLiteral("verbose")},
         QStringLiteral("Say on standard error what is done.")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
    };
}

QList<Command> commands()
{
    return {planCommand(),   applyCommand(),  recoverCommand(), historyCommand(),
            undoCommand(),   exportCommand(), checkCommand()};
}

QString usageLine(const Command &command)
{
    return command.syntax.isEmpty() ? command.name : command.name + u' ' + command.syntax;
}

QString overview()
{
    QString text =
        QStringLiteral("usage: orvane-sync COMMAND [options]\n\n"
                       "The synchronization of Orvane's review window for scripts and schedules.\n\n"
                       "Commands:\n");
    for (const Command &c : commands())
        text += QStringLiteral("  ") + usageLine(c) + u'\n';
    text += QStringLiteral("\nCommon options: --data-dir DIR, --password-file FILE, --quiet, --verbose.\n"
                           "A password is never taken from the command line.\n"
                           "orvane-sync COMMAND --help describes each command.\n\n") +
            QString::fromLatin1(kExitCodeHelp);
    return text;
}

QString commandHelp(const Command &command, const QCommandLineParser &parser)
{
    QString options = parser.helpText();
    // The parser's own usage line lacks the command; ours replaces it.
    options = options.mid(options.indexOf(QStringLiteral("Options:")));
    return QStringLiteral("usage: orvane-sync %1\n\n%2\n\n").arg(usageLine(command), command.summary) +
           options + u'\n' + QString::fromLatin1(kExitCodeHelp);
}

int runCommand(const Command &command, const QStringList &arguments)
{
    Console console;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(command.options);
    parser.addOptions(commonOptions());
    if (!parser.parse(QStringList{QStringLiteral("orvane-sync")} + arguments))
        return console.fail(ExitUsage, parser.errorText() +
                                           QStringLiteral(" (see orvane-sync %1 --help)").arg(command.name));
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(commandHelp(command, parser).toUtf8().constData(), stdout);
        return ExitSuccess;
    }
    // A stray word is most often an option value that went missing ("--letter --all"): refuse it
    // rather than run on a scope the administrator did not ask for.
    if (command.positionalArguments == 0 && !parser.positionalArguments().isEmpty())
        return console.fail(ExitUsage, QStringLiteral("unexpected argument %1 (see orvane-sync %2 --help)")
                                           .arg(parser.positionalArguments().first(), command.name));
    console.quiet = parser.isSet(QStringLiteral("quiet"));
    console.verbose = parser.isSet(QStringLiteral("verbose"));
    if (const int code = command.validate ? command.validate(console, parser) : ExitSuccess)
        return code;
    Session session(
        console, {parser.value(QStringLiteral("data-dir")), parser.value(QStringLiteral("password-file"))});
    if (const int code = session.open())
        return code;
    if (command.needsDirectory) {
        if (const int code = session.resolvePassword(command.passwordRequired))
            return code;
    }
    return command.run(session, parser);
}

int run(const QStringList &arguments)
{
    const QString first = arguments.value(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
        std::fputs(overview().toUtf8().constData(), stdout);
        return ExitSuccess;
    }
    for (const Command &command : commands()) {
        if (command.name == first)
            return runCommand(command, arguments.mid(1));
    }
    std::fputs((first.isEmpty() ? QStringLiteral("orvane-sync: no command given\n")
                                : QStringLiteral("orvane-sync: unknown command %1\n").arg(first))
                   .toUtf8()
                   .constData(),
               stderr);
    std::fputs(overview().toUtf8().constData(), stderr);
    return ExitUsage;
}

} // namespace
} // namespace orvane::synctool

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-sync"));
    orvane::registerDirectoryServers();
    orvane::registerExcelServer();
    return orvane::synctool::run(QCoreApplication::arguments().mid(1));
}
