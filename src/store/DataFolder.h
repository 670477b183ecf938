#pragma once
// Where the settings file lives: $XDG_DATA_HOME/orvane/ (default
// ~/.local/share/orvane/), or %APPDATA%\orvane\ on Windows.

#include <QString>

namespace orvane
{

/// Returns the data folder path, always ending with a separator.
QString dataFolderPath();

/// Creates `path` (and the XDG base folder above it) with mode 0700 when
/// missing; true when the folder exists afterwards.
bool ensureDataFolder(const QString &path);

/// Returns the settings file inside `folder`.
inline QString settingsFilePath(const QString &folder)
{
    return folder + QStringLiteral("data.db3");
}

} // namespace orvane
