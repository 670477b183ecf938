// orvane-settings: prepares or changes a settings file without the windows, so
// that scripts (the demo, an administrator's roll-out) can point Orvane at a
// directory and register workbooks. The file is created with its full schema
// and seed rows when it is missing, and an older one brought up to date,
// exactly as the program's start would. Options are named as the option table
// names them.
// Every change goes through the same store and registration rules the Options
// window uses; the file is kept private (0600) like the program keeps it, and
// the password goes to the desktop keyring where one answers. A password is
// never taken from the command line, where every local account could read it.

#include "store/Database.h"
#include "store/PasswordStore.h"
#include "store/PrivateFiles.h"
#include "store/OptionTable.h"
#include "store/SettingsMigrations.h"
#include "store/SettingsStore.h"
#include "store/keyring/SystemKeyring.h"
#include "workbook/Registration.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace orvane
{
namespace
{

const char *const kUsage =
    "usage: orvane-settings <data.db3> <command> [arguments]\n"
    "  set <option> <value>                        write one option\n"
    "  get <option>                                print one option\n"
    "  set-password [--file <path>]                store the directory password read from\n"
    "                                              standard input (or the file), first line\n"
    "  register-workbook <path> <description>      register a workbook, print its id\n"
    "  tag-workbook <id> primary|export            make it the primary or the export workbook\n"
    "  bind <id> <column> <attribute>              bind a column (1-based) to an LDAP attribute\n"
    "  tag-binding <id> <column> <attribute> key|lookup\n"
    "  show-binding <id> <attribute>               show the binding in the comparison\n";

int fail(const QString &message)
{
    std::fprintf(stderr, "orvane-settings: %s\n", qPrintable(message));
    return 1;
}

long long attributeId(Database &db, const QString &ldapName)
{
    db.query(QStringLiteral("SELECT id FROM attributes WHERE attribute = ") + sqlQuote(ldapName));
    db.next_row();
    return db.get_long(0);
}

long long workbookId(Database &db, const QString &text)
{
    bool ok = false;
    const long long id = text.toLongLong(&ok);
    return ok && readWorkbook(db, id).id == id ? id : 0;
}

int writeOption(Database &db, const QStringList &a)
{
    const OptionDefinition *option = findOption(a[0]);
    if (!option)
        return fail(QStringLiteral("no option named ") + a[0]);
    const QString refusal = optionValueRefusal(*option, a[1]);
    if (!refusal.isEmpty())
        return fail(refusal);
    return setOption(db, option->option, a[1]) ? 0
                                                : fail(QStringLiteral("cannot write the option: ") + db.lastError());
}

int readOption(Database &db, const QStringList &a)
{
    const OptionDefinition *option = findOption(a[0]);
    if (!option)
        return fail(QStringLiteral("no option named ") + a[0]);
    std::printf("%s\n", qPrintable(optionText(db, option->option)));
    return 0;
}

int registerFile(Database &db, const QStringList &a)
{
    const long long id = registerWorkbook(db, a[0]);
    if (id == 0)
        return fail(QStringLiteral("already registered: ") + a[0]);
    setWorkbookDescription(db, id, a[1]);
    std::printf("%lld\n", id);
    return 0;
}

int tagFile(Database &db, const QStringList &a)
{
    const long long id = workbookId(db, a[0]);
    if (!id || (a[1] != QLatin1String("primary") && a[1] != QLatin1String("export")))
        return fail(QStringLiteral("expected a registered workbook id and primary or export"));
    const WorkbookTag tag = a[1] == QLatin1String("primary") ? WorkbookTag::Primary : WorkbookTag::Export;
    return tagWorkbook(db, id, tag).refused ? fail(QStringLiteral("the workbook already carries a tag")) : 0;
}

int bindColumn(Database &db, const QStringList &a)
{
    const long long id = workbookId(db, a[0]);
    const int column = a[1].toInt();
    const long long attribute = attributeId(db, a[2]);
    if (!id || column < 1 || !attribute)
        return fail(QStringLiteral("expected a workbook id, a column from 1 and a catalogue attribute"));
    switch (classifyBinding(db, id, column, attribute)) {
    case BindingAddition::Insert:
        return insertBinding(db, id, column, attribute) ? 0
                                                        : fail(QStringLiteral("cannot write the binding"));
    case BindingAddition::AskToMove:
        return moveBinding(db, id, column, attribute) ? 0 : fail(QStringLiteral("cannot move the binding"));
    case BindingAddition::AlreadyBound:
    case BindingAddition::ColumnFull:
        break;
    }
    return fail(QStringLiteral("column %1 takes no further attribute").arg(column));
}

int tagColumn(Database &db, const QStringList &a)
{
    const long long id = workbookId(db, a[0]);
    const long long attribute = attributeId(db, a[2]);
    if (!id || !attribute || (a[3] != QLatin1String("key") && a[3] != QLatin1String("lookup")))
        return fail(QStringLiteral("expected a workbook id, a column, an attribute and key or lookup"));
    tagBinding(db, id, a[1], attribute, a[3] == QLatin1String("key") ? BindingTag::Key : BindingTag::Lookup);
    return 0;
}

int showColumn(Database &db, const QStringList &a)
{
    const long long id = workbookId(db, a[0]);
    const long long attribute = attributeId(db, a[1]);
    if (!id || !attribute)
        return fail(QStringLiteral("expected a workbook id and an attribute"));
    storeShowFlag(db, id, attribute, true);
    return 0;
}

struct Command {
    const char *name;
    int argumentCount;
    std::function<int(Database &, const QStringList &)> run;
    bool writes = true; ///< refused on a file of a newer version, which is opened read-only
};

// Reads the first line of standard input or of the file `--file <path>`
// names; false when it cannot be read.
bool readPassword(const QStringList &a, QString &password)
{
    QFile source;
    const bool fromFile = a.size() == 2;
    if (fromFile)
        source.setFileName(a[1]);
    if (fromFile ? !source.open(QIODevice::ReadOnly) : !source.open(stdin, QIODevice::ReadOnly))
        return false;
    QByteArray line = source.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

int setPassword(Database &db, const QStringList &a)
{
    if (!a.isEmpty() && (a.size() != 2 || a[0] != QLatin1String("--file")))
        return fail(QStringLiteral("set-password takes no password argument: give it on standard input "
                                   "or with --file <path>"));
    QString password;
    if (!readPassword(a, password))
        return fail(QStringLiteral("cannot read the password"));
    const QString refusal = passwordRefusal(password);
    if (!refusal.isEmpty())
        return fail(refusal);
    if (optionLong(db, Option::UseCurrentAdCredentials) == 1)
        return fail(QStringLiteral("the settings use current credentials, which store no password; "
                                   "set usecurrentadcredentials 0 first"));
    const PasswordOwner owner = storedPasswordOwner(db);
    const StoredPassword stored = storePassword(db, &systemKeyring(), owner, password, false, owner);
    if (!stored.written)
        return fail(QStringLiteral("cannot write the password: ") + db.lastError());
    std::printf("%s\n", stored.place == PasswordPlace::Keyring
                            ? "stored in the system keyring"
                            : "stored only scrambled in the settings file");
    return 0;
}

const Command kCommands[] = {
    {"set", 2, writeOption},
    {"get", 1, readOption, false},
    {"set-password", -1, setPassword},
    {"register-workbook", 2, registerFile},
    {"tag-workbook", 2, tagFile},
    {"bind", 3, bindColumn},
    {"tag-binding", 4, tagColumn},
    {"show-binding", 2, showColumn},
};

int run(const QStringList &args)
{
    if (args.size() < 2)
        return std::fputs(kUsage, stderr), 2;
    const QStringList arguments = args.mid(2);
    for (const Command &command : kCommands) {
        if (args[1] != QLatin1String(command.name))
            continue;
        if (command.argumentCount >= 0 && arguments.size() != command.argumentCount)
            break;
        if (createIfMissing(args[0], seedCharacterLists()) == CreateOutcome::CannotCreateFile)
            return fail(QStringLiteral("cannot create ") + args[0]);
        Database db;
        const SettingsOpening opening = openSettingsFile(db, args[0]);
        if (opening.state == SettingsFileState::CannotOpen)
            return fail(QStringLiteral("cannot open ") + args[0]);
        if (opening.state == SettingsFileState::UpgradeFailed ||
            (opening.state == SettingsFileState::Newer && command.writes))
            return fail(settingsOpeningMessage(opening, args[0]));
        for (const QString &line : secureSettingsFile(db, QString(), args[0]))
            std::fprintf(stderr, "orvane-settings: made private: %s\n", qPrintable(line));
        return command.run(db, arguments);
    }
    return std::fputs(kUsage, stderr), 2;
}

} // namespace
} // namespace orvane

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return orvane::run(QCoreApplication::arguments().mid(1));
}
