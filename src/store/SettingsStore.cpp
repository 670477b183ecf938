#include "store/SettingsStore.h"

#include "store/AttributeCatalogue.h"
#include "store/Database.h"
#include "store/EventStore.h"
#include "store/OptionTable.h"
#include "store/PasswordScrambler.h"
#include "store/PasswordStore.h"
#include "store/PrivateFiles.h"
#include "store/SettingsMigrations.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace orvane
{
namespace
{

const char *const kWelcomeText = "Thank you for trying Orvane software!";

const char *const kTableNames[] = {
    "options",    "attributes",      "events",        "selection_charlists", "selection_characters",
    "excelfiles", "excelfiles_bind", "color_markers", "color_markers_bind",  "replacements"};

const char *const kLaterTables[] = {
    "CREATE TABLE selection_charlists(id INTEGER PRIMARY KEY AUTOINCREMENT, listname TEXT)",
    "CREATE TABLE selection_characters(list_id INT, character TEXT)",
    "CREATE TABLE excelfiles(id INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, desc TEXT, "
    "primary_flag INT, export_flag INT)",
    "CREATE TABLE excelfiles_bind(file_id INT, fld_order INT, attribute_id INT, key_flag INT, "
    "search_flag INT, show_flag INT)",
    "CREATE TABLE color_markers(id INTEGER PRIMARY KEY AUTOINCREMENT, color_id INT, desc TEXT)",
    "CREATE TABLE color_markers_bind(guid TEXT, marker_id INT, primary_flag INT)",
    "CREATE TABLE replacements(id INTEGER PRIMARY KEY AUTOINCREMENT, stringtoreplace TEXT, replacewith TEXT)",
};

QString joinValues(const QStringList &values)
{
    QStringList quoted;
    for (const QString &value : values)
        quoted << sqlQuote(value);
    return quoted.join(QStringLiteral(", "));
}

// The rows every file has had from the start, in table order; later rows
// come from the migrations, as they do for an older file.
void seedOptionsTable(Database &db)
{
    db.execute(QStringLiteral("CREATE TABLE options(fld TEXT, val TEXT);"));
    for (const OptionDefinition &option : optionTable()) {
        if (option.since == 0)
            db.execute(QStringLiteral("INSERT INTO options(fld, val) VALUES(") +
                       joinValues({QString::fromLatin1(option.key), QString::fromLatin1(option.defaultValue)}) +
                       QStringLiteral(")"));
    }
}

void seedAttributes(Database &db)
{
    db.execute(QStringLiteral("CREATE TABLE attributes(id INT, fld TEXT, attribute TEXT, multivalued INT, "
                              "rangeupper INT, elements INT, syntax INT)"));
    for (const CatalogueAttribute &a : seededCatalogue()) {
        const QStringList values{QString::number(a.id),
                                 a.fld,
                                 a.attribute,
                                 QString::number(a.multivalued),
                                 QString::number(a.rangeupper),
                                 QString::number(a.elements),
                                 QStringLiteral("0")};
        db.execute(QStringLiteral("INSERT INTO attributes(id, fld, attribute, multivalued, rangeupper, "
                                  "elements, syntax) VALUES(") +
                   joinValues(values) + QStringLiteral(")"));
    }
}

void seedEvents(Database &db)
{
    db.execute(QStringLiteral("CREATE TABLE events(id INT, datetime INT, read_flag INT, eventtype INT, "
                              "eventtitle TEXT, eventtext TEXT)"));
    const QString welcome = QString::fromLatin1(kWelcomeText);
    writeEvent(db, 1, welcome, welcome);
}

void seedCharacterList(Database &db, const CharacterList &list)
{
    db.execute(QStringLiteral("INSERT INTO selection_charlists(listname) VALUES(") + sqlQuote(list.name) +
               QStringLiteral(")"));
    const long long listId = db.lastInsertId();
    for (const QString &character : list.characters)
        db.execute(QStringLiteral("INSERT INTO selection_characters(list_id, character) VALUES(") +
                   sqlQuote(listId) + QStringLiteral(", ") + sqlQuote(character) + QStringLiteral(")"));
}

QStringList splitCharacters(const QString &text)
{
    QStringList characters;
    for (const QChar c : text)
        characters << QString(c);
    return characters;
}

} // namespace

QList<CharacterList> seedCharacterLists()
{
    return {
        {QStringLiteral("English"), splitCharacters(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"))},
        {QStringLiteral("Russian"), splitCharacters(QStringLiteral("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"))},
        {QStringLiteral("Numbers"), splitCharacters(QStringLiteral("0123456789"))},
    };
}

// Writes the schema and seed rows into the empty database at `path`, and
// what the migrations add, in one transaction; true only when every statement
// succeeded.
bool seedNewFile(const QString &path, const QList<CharacterList> &lists)
{
    Database db;
    if (!db.open(path))
        return false;
    db.execute(QStringLiteral("BEGIN"));
    seedOptionsTable(db);
    seedAttributes(db);
    seedEvents(db);
    for (const char *statement : kLaterTables)
        db.execute(QString::fromLatin1(statement));
    for (const CharacterList &list : lists)
        seedCharacterList(db, list);
    applyMigrations(db, 0);
    const bool seeded = db.failedWrites() == 0 && db.execute(QStringLiteral("COMMIT"));
    db.close();
    return seeded;
}

CreateOutcome createIfMissing(const QString &path, const QList<CharacterList> &lists)
{
    if (QFileInfo::exists(path))
        return CreateOutcome::AlreadyExisted;
    // The file is seeded under a temporary name (owner-only, as QTemporaryFile
    // makes it) and renamed into place whole, so an interrupted first start
    // leaves no half-seeded file that later starts would accept.
    QTemporaryFile file(path + QStringLiteral(".new-XXXXXX"));
    if (!file.open())
        return CreateOutcome::CannotCreateFile;
    file.close();
    if (!seedNewFile(file.fileName(), lists)) {
        for (const QString &member : settingsFileFamily(file.fileName()).mid(1))
            QFile::remove(member);
        return CreateOutcome::CannotOpen;
    }
    if (!file.rename(path))
        return CreateOutcome::CannotCreateFile;
    file.setAutoRemove(false);
    return CreateOutcome::Created;
}

QStringList missingParts(Database &db)
{
    QStringList tables;
    db.query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"));
    while (db.next_row())
        tables << db.get_text(0);
    QStringList expected;
    for (const char *name : kTableNames)
        expected << QString::fromLatin1(name);
    QStringList missing;
    for (const QString &name : expected + migratedTables()) {
        if (!tables.contains(name))
            missing << QStringLiteral("table ") + name;
    }
    if (!tables.contains(QStringLiteral("options")))
        return missing;
    QStringList keys;
    db.query(QStringLiteral("SELECT fld FROM options"));
    while (db.next_row())
        keys << db.get_text(0);
    for (const OptionDefinition &option : optionTable()) {
        if (!keys.contains(QLatin1String(option.key)))
            missing << QStringLiteral("option ") + QLatin1String(option.key);
    }
    return missing;
}

QList<ReplacementRule> loadReplacementRules(Database &db)
{
    QList<ReplacementRule> rules;
    db.query(QStringLiteral("SELECT id, stringtoreplace, replacewith FROM replacements"));
    while (db.next_row())
        rules.append({db.get_long(0), db.get_text(1), db.get_text(2)});
    return rules;
}

Settings loadSettings(Database &db, SecretStore *keyring)
{
    Settings settings;
    settings.replacementRules = loadReplacementRules(db);
    settings.replacementMode = int(optionLong(db, Option::Replacements));
    settings.firstUpperCase = int(optionLong(db, Option::FirstUpperCase));
    settings.multivaluedDelimiter = optionText(db, Option::MultivaluedDelimiter);
    settings.trimmedEnd = optionText(db, Option::TrimmedEnd);
    const QString server = optionText(db, Option::DcServer);
    const QString port = optionText(db, Option::DcServerPort);
    settings.serverAddress = server + QLatin1Char(':') + port;
    settings.baseDn = optionText(db, Option::DcBaseDn);
    settings.useCurrentCredentials = int(optionLong(db, Option::UseCurrentAdCredentials));
    settings.userName = optionText(db, Option::AdUserName);
    settings.password = loadPassword(db, keyring, {server, settings.userName});
    settings.showComparison = int(optionLong(db, Option::ShowComparison));
    settings.wordStartGuard = kWordStartGuard;
    settings.wordEndGuard = kWordEndGuard;
    return settings;
}

WindowOptions loadWindowOptions(Database &db)
{
    WindowOptions window;
    window.state = optionLong(db, Option::MainWindowState);
    window.height = optionLong(db, Option::MainWindowHeight);
    window.width = optionLong(db, Option::MainWindowWidth);
    window.splitterWidth = optionLong(db, Option::MainWindowSplitterWidth);
    // A file without the position rows (before they were kept) opens centred.
    if (!optionText(db, Option::MainWindowLeft).isEmpty() && !optionText(db, Option::MainWindowTop).isEmpty()) {
        window.left = optionLong(db, Option::MainWindowLeft);
        window.top = optionLong(db, Option::MainWindowTop);
    }
    window.columns = optionText(db, Option::MainWindowColumns);
    return window;
}

bool savePassword(Database &db, const QString &password)
{
    return setOption(db, Option::AdPassword, scramblePassword(password));
}

} // namespace orvane
