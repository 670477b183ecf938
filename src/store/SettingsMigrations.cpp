#include "store/SettingsMigrations.h"

#include "store/Database.h"
#include "store/EventStore.h"
#include "store/OptionTable.h"

#include <QDir>

namespace orvane
{

namespace
{

/// What one settings version added besides its option rows (those carry
/// their version in the option table).
struct Migration {
    int version;
    QStringList tables;     ///< the tables its statements create
    QStringList statements; ///< each harmless when what it makes exists
};

const QList<Migration> &migrations()
{
    static const QList<Migration> list = {
        {1,
         {QStringLiteral("journal_sets"), QStringLiteral("journal_changes")},
         {QStringLiteral("CREATE TABLE IF NOT EXISTS journal_sets(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "datetime INT, operator TEXT, origin TEXT, undo_of INT)"),
          QStringLiteral("CREATE TABLE IF NOT EXISTS journal_changes(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "set_id INT, guid TEXT, cn TEXT, attribute TEXT, multivalued INT, binary INT, "
                         "old_values TEXT, new_values TEXT, source TEXT, outcome INT, outcome_text TEXT)"),
          QStringLiteral("CREATE INDEX IF NOT EXISTS journal_changes_set ON journal_changes(set_id)")}},
    };
    return list;
}

QStringList namesOf(Database &db, const QString &statement)
{
    QStringList names;
    db.query(statement);
    while (db.next_row())
        names << db.get_text(0);
    return names;
}

QStringList addMissingOptions(Database &db, int fromVersion)
{
    const QStringList tables = namesOf(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    // A file without its options table is damaged, not old; the start reports it.
    if (!tables.contains(QStringLiteral("options")))
        return {};
    const QStringList keys = namesOf(db, QStringLiteral("SELECT fld FROM options"));
    QStringList added;
    for (const OptionDefinition &option : optionTable()) {
        const QString key = QString::fromLatin1(option.key);
        if (option.since <= fromVersion || option.since > kSettingsVersion || keys.contains(key))
            continue;
        db.execute(QStringLiteral("INSERT INTO options(fld, val) VALUES(") + sqlQuote(key) +
                   QStringLiteral(", ") + sqlQuote(QString::fromLatin1(option.defaultValue)) +
                   QStringLiteral(")"));
        added << QStringLiteral("option ") + key;
    }
    return added;
}

QString upgradeEventText(int fromVersion, const QStringList &added)
{
    return QStringLiteral("The settings file was brought from settings version %1 to %2: %3.")
        .arg(fromVersion)
        .arg(kSettingsVersion)
        .arg(added.isEmpty() ? QStringLiteral("nothing was missing")
                             : QStringLiteral("added ") + added.join(QStringLiteral(", ")));
}

// Runs the migrations above the file's version in one transaction and records
// the upgrade; the file is left as it was when any statement fails.
void upgrade(Database &db, SettingsOpening &opening)
{
    opening.state = SettingsFileState::UpgradeFailed;
    if (!db.execute(QStringLiteral("BEGIN IMMEDIATE"))) {
        opening.error = db.lastError();
        return;
    }
    const long long failedBefore = db.failedWrites();
    const QStringList added = applyMigrations(db, opening.fileVersion);
    if (db.failedWrites() != failedBefore) {
        opening.error = db.lastError();
        db.execute(QStringLiteral("ROLLBACK"));
        return;
    }
    writeEvent(db, 1, QStringLiteral("Settings file upgraded"), upgradeEventText(opening.fileVersion, added));
    if (!db.execute(QStringLiteral("COMMIT"))) {
        opening.error = db.lastError();
        db.execute(QStringLiteral("ROLLBACK"));
        return;
    }
    opening.state = SettingsFileState::Upgraded;
}

} // namespace

int settingsFileVersion(Database &db)
{
    db.query(QStringLiteral("PRAGMA user_version"));
    db.next_row();
    const int version = int(db.get_long(0));
    db.query(QStringLiteral("SELECT 0")); // ends the pragma's result
    return version;
}

QStringList migratedTables()
{
    QStringList tables;
    for (const Migration &migration : migrations())
        tables << migration.tables;
    return tables;
}

QStringList applyMigrations(Database &db, int fromVersion)
{
    const QStringList before =
        namesOf(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    QStringList added;
    for (const Migration &migration : migrations()) {
        if (migration.version <= fromVersion || migration.version > kSettingsVersion)
            continue;
        for (const QString &statement : migration.statements)
            db.execute(statement);
        for (const QString &table : migration.tables) {
            if (!before.contains(table))
                added << QStringLiteral("table ") + table;
        }
    }
    added << addMissingOptions(db, fromVersion);
    db.execute(QStringLiteral("PRAGMA user_version = %1").arg(kSettingsVersion));
    return added;
}

SettingsOpening openSettingsFile(Database &db, const QString &path)
{
    SettingsOpening opening;
    if (!db.open(path))
        return opening;
    opening.fileVersion = settingsFileVersion(db);
    if (opening.fileVersion > kSettingsVersion) {
        if (!db.open(path, Database::ReadOnly))
            return opening;
        opening.state = SettingsFileState::Newer;
    } else if (opening.fileVersion == kSettingsVersion) {
        opening.state = SettingsFileState::Current;
    } else {
        upgrade(db, opening);
    }
    return opening;
}

QString settingsOpeningMessage(const SettingsOpening &opening, const QString &path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (opening.state) {
    case SettingsFileState::Newer:
        return QStringLiteral("The settings file %1 was written by a newer version of Orvane (settings "
                              "version %2; this version knows up to %3). Orvane opens it read-only: "
                              "nothing changed now is saved. Use the newer version to change settings.")
            .arg(file)
            .arg(opening.fileVersion)
            .arg(kSettingsVersion);
    case SettingsFileState::UpgradeFailed:
        return QStringLiteral("The settings file %1 is of an older version of Orvane (settings version %2) "
                              "and could not be brought up to date: %3\nOrvane goes on with what the file "
                              "holds.")
            .arg(file)
            .arg(opening.fileVersion)
            .arg(opening.error);
    case SettingsFileState::Current:
    case SettingsFileState::Upgraded:
    case SettingsFileState::CannotOpen:
        break;
    }
    return QString();
}

} // namespace orvane
