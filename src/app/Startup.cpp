#include "app/Startup.h"

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "directory/ldap/RegisterServers.h"
#include "store/DataFolder.h"
#include "workbook/excel/RegisterServers.h"

#include <QApplication>
#include <QTimer>

namespace orvane
{
namespace
{

// The directory service and the workbook engine are automation servers of
// our own; they must be in the class registry before the first command runs.
void registerAutomationServers()
{
    registerDirectoryServers();
    registerExcelServer();
}

void prepareGuidFormatter(AppContext &ctx)
{
    ctx.guidFormatter = &StringFromGUID2;
    if (!ctx.guidFormatter) {
        dialogs().show(nullptr, QStringLiteral("Error"),
                       QStringLiteral("Cannot open Ole32.dll. Program will be terminated."),
                       DialogIcon::None);
        ctx.quitFlag = 1;
    }
}

void prepareDataFolder(AppContext &ctx)
{
    ctx.dataFolder = dataFolderPath();
    if (ensureDataFolder(ctx.dataFolder))
        return;
    dialogs().show(nullptr, QStringLiteral("Application error"),
                   QStringLiteral("Cannot create folder: ") + ctx.dataFolder +
                       QStringLiteral(". Application will be terminated."),
                   DialogIcon::Warning);
    ctx.quitFlag = 1;
}

void prepareSettingsFile(AppContext &ctx)
{
    const QString path = settingsFilePath(ctx.dataFolder);
    switch (createIfMissing(path, seedCharacterLists())) {
    case CreateOutcome::CannotCreateFile:
        dialogs().warn(nullptr, QStringLiteral("Error"), QStringLiteral("Could not create data file."));
        break;
    case CreateOutcome::CannotOpen:
        dialogs().warn(nullptr, QStringLiteral("Error"), QStringLiteral("Could not open local database."));
        break;
    case CreateOutcome::AlreadyExisted:
    case CreateOutcome::Created:
        break;
    }
    if (!ctx.db.open(path))
        dialogs().warn(nullptr, QStringLiteral("Error"), QStringLiteral("Could not open local database."));
    ctx.settings = loadSettings(ctx.db);
    ctx.window = loadWindowOptions(ctx.db);
}

} // namespace

void prepareContext(AppContext &ctx)
{
    registerAutomationServers();
    prepareGuidFormatter(ctx);
    ctx.version = kVersionText;
    ctx.images.load();
    prepareDataFolder(ctx);
    prepareSettingsFile(ctx);
}

int runProgram(AppContext &ctx)
{
    prepareContext(ctx);
    MainWindow window(ctx);
    if (!window.open())
        return 0;
    window.showEventLog();
    if (ctx.quitFlag)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
    return 0;
}

} // namespace orvane
