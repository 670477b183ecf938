#pragma once
// What the shell owns for the whole run: the settings connection, the
// in-memory settings, the pictures, the users of the last search with the
// opened one, and the quit flag. Built by start-up and handed by reference to
// every window.

#include "app/ImageList.h"
#include "automation/com/Guid.h"
#include "directory/ObjectTable.h"
#include "store/Database.h"
#include "store/PasswordStore.h"
#include "store/Settings.h"
#include "store/SettingsStore.h"

#include <QString>

namespace orvane
{

inline const QString kVersionText = QStringLiteral("v1.01 beta");

/// Turns a 16-byte GUID into its registry text form ("{...}"); the shell looks
/// it up once at start-up.
using GuidFormatter = int (*)(REFGUID guid, LPOLESTR buffer, int cchMax);

struct AppContext {
    GuidFormatter guidFormatter = nullptr;
    QString version;
    QString dataFolder;
    Database db;
    SecretStore *keyring = nullptr; ///< the desktop keyring; nullptr: the scrambled column only
    Settings settings;
    WindowOptions window;
    ImageList images;
    ObjectTable objects;    ///< the users found by the last search
    QString searchFailure;  ///< why the last search found nothing, in one line ("" when it ran)
    int currentObject = -1; ///< index in objects of the opened user, -1 when none is open
    int quitFlag = 0;
};

/// Returns the user open in the main window, or nullptr when none is: an
/// object counts as open while its entry carries the selected flag.
inline ObjectEntry *openedObject(AppContext &ctx)
{
    if (ctx.currentObject < 0 || ctx.currentObject >= ctx.objects.size())
        return nullptr;
    ObjectEntry &entry = ctx.objects[ctx.currentObject];
    return entry.selected == 1 ? &entry : nullptr;
}

} // namespace orvane
