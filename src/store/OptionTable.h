#pragma once
// Every option key of the settings file in one table: its name, its default,
// how it is read, and the settings version that brought it. A new file is
// seeded from the table, an older file gets the rows it lacks from it (see
// SettingsMigrations.h), and the windows and tools read and write options
// only through it, so that a key is spelt in one place.
//
// To add an option: append an enumerator to Option and a row to the table in
// OptionTable.cpp (same place), with `since` set to the settings version
// whose migration adds it to older files (raise kSettingsVersion and add the
// migration in SettingsMigrations.cpp when no pending version brings it).

#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// How an option's text is read back.
enum class OptionType {
    Text,    ///< read with get_text
    Integer, ///< read with get_long; a tool refuses a value that is not a decimal integer
};

/// The options, in the order of the table (the first eighteen in the order a
/// new file writes them since the first version).
enum class Option {
    CharList,
    DcServer,
    DcServerPort,
    DcBaseDn,
    SelectObjBy,
    DisplayObjBy,
    UseCurrentAdCredentials,
    AdUserName,
    AdPassword,
    MainWindowState,
    MainWindowHeight,
    MainWindowWidth,
    MainWindowSplitterWidth,
    MultivaluedDelimiter,
    ShowComparison,
    Replacements,
    TrimmedEnd,
    FirstUpperCase,
    MainWindowLeft,
    MainWindowTop,
    MainWindowColumns,
    MaxChangedUsers,
    MaxChangedPercent,
};

/// One row of the option table.
struct OptionDefinition {
    Option option;
    const char *key;          ///< the `fld` of its row in `options`
    const char *defaultValue; ///< the `val` a new or upgraded file gets
    OptionType type;
    int since; ///< settings version that added it; 0: every file has had it from the start
};

/// Every option, in enum order.
const QList<OptionDefinition> &optionTable();

/// The table row of `option`.
const OptionDefinition &optionDefinition(Option option);

/// The row whose key is `key` (exact, lower case), or nullptr when no option has that name.
const OptionDefinition *findOption(const QString &key);

/// The key of `option` as stored in `fld`.
QString optionKey(Option option);

/// Reads `option` as text ("" when the file has no row for it).
QString optionText(Database &db, Option option);

/// Reads `option` as an integer (0 when the file has no row for it).
long long optionLong(Database &db, Option option);

/// Writes `option`: "UPDATE options SET val = '<value>' WHERE fld = '<key>'";
/// false (and a counted failure on `db`) when the statement fails or the file
/// has no row for it.
bool setOption(Database &db, Option option, const QString &value);

/// Writes an integer option as its decimal text.
bool setOption(Database &db, Option option, long long value);

/// Returns why `value` cannot be stored in `definition`'s option ("" when it
/// can): an integer option takes only a decimal integer. The windows store
/// what is typed; this is for values that come from a command line.
QString optionValueRefusal(const OptionDefinition &definition, const QString &value);

} // namespace orvane
