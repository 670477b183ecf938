#include "app/Startup.h"

#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/RecoveryQuestion.h"
#include "directory/ldap/RegisterServers.h"
#include "store/DataFolder.h"
#include "store/PrivateFiles.h"
#include "store/SettingsMigrations.h"
#include "store/keyring/SystemKeyring.h"
#include "workbook/excel/RegisterServers.h"

#include <QApplication>
#include <QDir>
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

// A damaged file may lack parts the migrations cannot make (the seeded tables
// and options); the program goes on with what it has, but says once what is
// missing.
void reportMissingParts(AppContext &ctx, const QString &path)
{
    const QStringList missing = missingParts(ctx.db);
    if (missing.isEmpty())
        return;
    dialogs().warn(nullptr, QStringLiteral("Settings file"),
                   QStringLiteral("The settings file ") + QDir::toNativeSeparators(path) +
                       QStringLiteral(" is incomplete. Missing: ") + missing.join(QStringLiteral(", ")) +
                       QStringLiteral(".\nOrvane goes on with what the file holds; missing options read as 0 "
                                      "or empty."));
}

void prepareSettingsFile(AppContext &ctx)
{
    const QString path = settingsFilePath(ctx.dataFolder);
    const CreateOutcome outcome = createIfMissing(path, seedCharacterLists());
    switch (outcome) {
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
    const SettingsOpening opening = openSettingsFile(ctx.db, path);
    if (opening.state == SettingsFileState::CannotOpen) {
        dialogs().warn(nullptr, QStringLiteral("Error"), QStringLiteral("Could not open local database."));
    } else {
        const QString message = settingsOpeningMessage(opening, path);
        if (!message.isEmpty())
            dialogs().warn(nullptr, QStringLiteral("Settings file"), message);
        if (outcome == CreateOutcome::AlreadyExisted)
            reportMissingParts(ctx, path);
        secureSettingsFile(ctx.db, ctx.dataFolder, path);
    }
    if (!ctx.keyring)
        ctx.keyring = &systemKeyring();
    ctx.settings = loadSettings(ctx.db, ctx.keyring);
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
    offerInterruptedWritesRecovery(ctx, &window);
    if (ctx.quitFlag)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QApplication::exec();
    return 0;
}

} // namespace orvane
