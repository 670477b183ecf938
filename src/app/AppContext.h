#pragma once
// What the shell owns for the whole run: the settings connection, the
// in-memory settings, the pictures and the quit flag. Built by start-up and
// handed by reference to every window.

#include "app/ImageList.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "store/SettingsStore.h"

#include <QString>

namespace orvane {

inline const QString kVersionText = QStringLiteral("v1.01 beta");

struct AppContext {
    QString version;
    QString dataFolder;
    Database db;
    Settings settings;
    WindowOptions window;
    ImageList images;
    int quitFlag = 0;
};

}  // namespace orvane
