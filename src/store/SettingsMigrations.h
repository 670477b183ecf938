#pragma once
// The settings file's version and how an older file is brought up to date.
// The version is SQLite's user_version in the file's header: 0 for every file
// written before versions were kept, kSettingsVersion for a file this program
// writes. Each version's migration adds, when missing, the tables, indexes
// and option rows (with their defaults, from the option table) that version
// introduced; an older file runs every migration above its version in one
// transaction when it is opened, and records one event saying so. A file of
// a newer version is opened read-only, so that this program cannot damage
// what it does not know.

#include <QString>
#include <QStringList>

namespace orvane
{

class Database;

/// The settings version this program writes.
inline constexpr int kSettingsVersion = 2;

/// What opening the settings file found.
enum class SettingsFileState {
    Current,       ///< already of this version
    Upgraded,      ///< older; brought up to date (one event records it)
    Newer,         ///< of a later version; opened read-only
    UpgradeFailed, ///< older and could not be brought up to date; opened as it is
    CannotOpen,    ///< the file could not be opened at all
};

struct SettingsOpening {
    SettingsFileState state = SettingsFileState::CannotOpen;
    int fileVersion = 0; ///< the version the file had when it was opened
    QString error;       ///< SQLite's text when an upgrade failed
};

/// Returns the settings version of the open file `db`.
int settingsFileVersion(Database &db);

/// The tables, besides the ten every file has had, that the migrations make.
QStringList migratedTables();

/// Adds what every version above `fromVersion` introduced and is missing,
/// and sets the file's version, without a transaction or an event of its own
/// (a new file is seeded and migrated in one). Returns the descriptions of
/// what was added ("table journal_sets", "option maxchangedusers").
QStringList applyMigrations(Database &db, int fromVersion);

/// Opens `path` as the settings connection `db`: an older file is migrated
/// in one transaction (rolled back whole when a statement fails), a newer one
/// re-opened read-only. The shell and the tools all open the file this way.
SettingsOpening openSettingsFile(Database &db, const QString &path);

/// The text the user is shown for `opening` of `path`; "" when there is
/// nothing to say (current, upgraded, or not opened: that has its own text).
QString settingsOpeningMessage(const SettingsOpening &opening, const QString &path);

} // namespace orvane
