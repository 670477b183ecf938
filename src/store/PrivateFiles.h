#pragma once
// The data folder and the settings file hold the directory password (at least
// scrambled), so no other local account may read them: the folder is 0700,
// the file and SQLite's journal, WAL and shared-memory files beside it 0600.
// Used by the program at start and by every tool that creates or writes the file.

#include <QString>
#include <QStringList>

namespace orvane
{

class Database;

/// Creates folder `path` and any missing folder above it with mode 0700; true
/// when `path` is a folder afterwards. Existing folders are left as they are.
bool makePrivateFolder(const QString &path);

/// Returns the settings file `file` and the SQLite files that may sit beside
/// it with its content ("-journal", "-wal", "-shm"), whether they exist or not.
QStringList settingsFileFamily(const QString &file);

/// Removes group and other access from `folder` (skipped when empty) and from
/// every existing file of `file`'s family. Returns one line per path changed,
/// "<path>: <old mode> -> <new mode>" in octal; empty when nothing was open.
QStringList tightenPermissions(const QString &folder, const QString &file);

/// Writes the one warning event that lists what tightenPermissions changed;
/// writes nothing when `changed` is empty. True when the event was stored.
bool recordTightening(Database &db, const QStringList &changed);

/// Tightens `file`'s family (and `folder`, when not empty) and records what
/// changed in `db` with one event; returns the lines of tightenPermissions.
QStringList secureSettingsFile(Database &db, const QString &folder, const QString &file);

} // namespace orvane
