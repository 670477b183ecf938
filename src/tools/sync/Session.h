#pragma once
// One run's settings file, settings and directory connection, opened as the
// program opens them, but never created: a script that names the wrong data
// folder gets an error, not a fresh empty configuration.

#include "Console.h"
#include "directory/DirectoryConnection.h"
#include "directory/ObjectTable.h"
#include "directory/UserSearch.h"
#include "store/Database.h"
#include "store/Settings.h"

#include <QString>

namespace orvane::synctool
{

/// The options every command takes.
struct CommonOptions {
    QString dataDir;      ///< "" for the program's data folder
    QString passwordFile; ///< "" when none was given
};

class Session
{
  public:
    Session(Console &console, CommonOptions options) : console(console), options_(std::move(options)) {}

    /// Opens the settings file of the data folder and reads the settings;
    /// returns 0, or the exit code after saying why.
    int open();
    /// Fills the directory password: the password file, ORVANE_PASSWORD or the
    /// stored one (keyring first), none with current credentials; returns 0 or
    /// an exit code (none found is an error only when `required`).
    int resolvePassword(bool required = true);
    /// The connection of the settings with the resolved password.
    DirectoryConnection connection() const;

    /// Lists the users as Find does for `prefix` of the pick attribute (every
    /// user with the attribute when empty), each handed to `sink` as it is
    /// read with the values of `onlyValues` (all when empty); returns 0 or an exit code.
    int listUsers(const QString &prefix, const UserSink &sink, const QSet<QString> &onlyValues = {});

    /// The registered workbook `text` names, by id or by path; 0 after saying why.
    long long registeredWorkbook(const QString &text);

    Console &console;
    Database db;
    Settings settings;
    QString folder; ///< with a trailing separator
    QString file;

  private:
    CommonOptions options_;
};

} // namespace orvane::synctool
