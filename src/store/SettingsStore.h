#pragma once
// The settings file's life at start-up: create it with its schema and seed
// rows when it is missing, open it as the program's one connection, and read
// the options into Settings. Nothing here shows messages; the shell turns the
// outcomes into the texts the user sees.

#include "store/Settings.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orvane
{

class Database;
class SecretStore;

/// A named list of characters offered by the toolbar's character combo.
struct CharacterList {
    QString name;
    QStringList characters;
};

/// The three lists a new file is seeded with, English first so it gets id 1.
QList<CharacterList> seedCharacterLists();

enum class CreateOutcome {
    AlreadyExisted,   ///< a file of that name exists; nothing was touched
    Created,          ///< schema and seed rows written
    CannotCreateFile, ///< "Could not create data file."
    CannotOpen,       ///< "Could not open local database."
};

/// Creates the settings file at `path` (mode 0600) with its ten tables and
/// seed rows when no file of that name exists (any size counts as existing).
/// The file appears complete or not at all: a failed statement leaves no file
/// and gives CannotOpen.
CreateOutcome createIfMissing(const QString &path, const QList<CharacterList> &lists);

/// Returns what an existing settings file lacks of the ten tables and the
/// seeded option rows, as "table <name>" and "option <key>"; empty when complete.
QStringList missingParts(Database &db);

/// The window geometry options the main window restores.
struct WindowOptions {
    long long state = 0;
    long long height = 0;
    long long width = 0;
    long long splitterWidth = 0;
    long long left = -1; ///< frame position in normal state; -1: centred
    long long top = -1;
    QString columns; ///< column widths of the main window's lists, as saved
};

/// Runs the replacements query and returns its rows in query order.
QList<ReplacementRule> loadReplacementRules(Database &db);

/// Reads every option Settings holds, the password from `keyring` (may be
/// nullptr) or else the scrambled column, and sets the two pattern fragments.
/// Missing rows read as 0 or "".
Settings loadSettings(Database &db, SecretStore *keyring = nullptr);

/// Reads the four window options.
WindowOptions loadWindowOptions(Database &db);

/// Writes a password option value scrambled.
bool savePassword(Database &db, const QString &password);

} // namespace orvane
