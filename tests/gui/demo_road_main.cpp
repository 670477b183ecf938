// orvane-demo-road: the headless demo. Starts the program on the data folder
// of XDG_DATA_HOME as the real start does, drives the administrator's road
// through the main window (Find, open a user that differs, Synchronize,
// Options "Excel files", Export) answering the questions itself, and saves the
// screenshots into the folder given as its argument.
// Usage: orvane-demo-road <screenshot folder>

#include "DemoRoad.h"
#include "ScriptedDialogs.h"
#include "app/AppContext.h"
#include "app/MainWindow.h"
#include "app/Startup.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    if (argc != 2) {
        std::fputs("usage: orvane-demo-road <screenshot folder>\n", stderr);
        return 2;
    }
    const QString shots = QString::fromLocal8Bit(argv[1]);
    orvane::AppContext ctx;
    orvane::prepareContext(ctx);
    if (ctx.quitFlag)
        return 1;
    orvane::MainWindow window(ctx);
    if (!window.open())
        return 1;
    window.showEventLog();
    window.resize(1200, 800); // an X server without a window manager does not maximise
    ScriptedDialogs boxes;

    const auto sync = orvane::test::runSyncRoad(window, ctx, boxes, shots);
    std::printf("Find \"%s\": %d users; opened %s\n", qPrintable(sync.letter), sync.listed,
                qPrintable(sync.sAMAccountName));
    std::printf("asked: %s -> Yes; status icon afterwards: %s\n", qPrintable(sync.question),
                sync.upToDateAfter ? "up to date" : "not up to date");
    orvane::test::photographExcelFilesTab(window, ctx, shots);
    const auto exported = orvane::test::runExportRoad(window, shots);
    std::printf("export: %s\n", qPrintable(exported.status));
    for (const QString &failure : {sync.failure, exported.failure}) {
        if (!failure.isEmpty())
            std::fprintf(stderr, "orvane-demo-road: %s\n", qPrintable(failure));
    }
    return sync.failure.isEmpty() && exported.failure.isEmpty() ? 0 : 1;
}
