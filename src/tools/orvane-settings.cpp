// orvane-settings: prepares or changes a settings file without the windows, so
// that scripts (the demo, an administrator's roll-out) can point Orvane at a
// directory. The file is created with its full schema and seed rows when it is
// missing, exactly as the program's first start would.
//
//   orvane-settings <data.db3> set <option> <value>
//   orvane-settings <data.db3> set-password <password>
//   orvane-settings <data.db3> get <option>

#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

int usage()
{
    std::fputs("usage: orvane-settings <data.db3> set <option> <value>\n"
               "       orvane-settings <data.db3> set-password <password>\n"
               "       orvane-settings <data.db3> get <option>\n",
               stderr);
    return 2;
}

bool isKnownOption(orvane::Database &db, const QString &key)
{
    db.query(QStringLiteral("SELECT count(*) FROM options WHERE fld = ") + orvane::sqlQuote(key));
    db.next_row();
    return db.get_long(0) > 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 3)
        return usage();
    const QString path = args[0];
    const QString command = args[1];
    if (orvane::createIfMissing(path, orvane::seedCharacterLists()) == orvane::CreateOutcome::CannotCreateFile) {
        std::fprintf(stderr, "orvane-settings: cannot create %s\n", qPrintable(path));
        return 1;
    }
    orvane::Database db;
    if (!db.open(path)) {
        std::fprintf(stderr, "orvane-settings: cannot open %s\n", qPrintable(path));
        return 1;
    }
    if (command == QLatin1String("set-password") && args.size() == 3)
        return orvane::savePassword(db, args[2]) ? 0 : 1;
    if ((command == QLatin1String("set") && args.size() == 4) || (command == QLatin1String("get") && args.size() == 3)) {
        if (!isKnownOption(db, args[2])) {
            std::fprintf(stderr, "orvane-settings: no option named %s\n", qPrintable(args[2]));
            return 1;
        }
        if (command == QLatin1String("get")) {
            std::printf("%s\n", qPrintable(db.optionText(args[2])));
            return 0;
        }
        return db.setOption(args[2], args[3]) ? 0 : 1;
    }
    return usage();
}
