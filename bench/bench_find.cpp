// Find benchmark: the program's Find without workbooks - SearchUsers (one
// paged search, every catalogue field of every listed user, one bind per user
// for its account state) and the object-list rows filled - for the letter
// whose surnames make about a fifth of the users, beside ldapsearch of the
// same users and attributes, and beside the same binds made one GUID search
// each (what every bind cost before binds were answered from the search).
//
// Needs a private slapd with bulk users:
//   scripts/test-directories start build/bench-find --no-samba --no-standard --bulk 10000 --staff 0
//   . build/bench-find/env   (with set -a, or export the variables)
//   QT_QPA_PLATFORM=offscreen build/bench/orvane_bench_find [rounds] [letter] [--no-slow-binds]
// Prints one line per measurement (best and median of the rounds).

#include "BenchSupport.h"
#include "directory/DirectoryConnection.h"
#include "directory/ObjectBinding.h"
#include "directory/UserSearch.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/RegisterServers.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orvane;
using namespace orvane::bench;

namespace
{

// The letter whose surnames are closest to a fifth of all users.
QChar chooseLetter(const BenchDirectory &d, int *users)
{
    QProcess p;
    p.start(QStringLiteral("ldapsearch"),
            d.searchArguments(100, QStringLiteral("(&(objectCategory=person)(objectClass=user))"))
                << QStringLiteral("sn"));
    p.waitForFinished(600000);
    QMap<QChar, int> counts;
    *users = 0;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (line.startsWith("dn:"))
            ++*users;
        else if (line.startsWith("sn: ") && line.size() > 4)
            ++counts[QChar::fromLatin1(line[4])];
    }
    QChar best = QLatin1Char('A');
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (std::abs(it.value() - *users / 5) < std::abs(counts.value(best) - *users / 5))
            best = it.key();
    return best;
}

// The object list's rows as the window fills them: display text, item data,
// the disabled icon, the no-marker icon.
void fillRows(QTreeWidget *list, const ObjectTable &table, const QIcon &disabled, const QIcon &noMarker)
{
    list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(table.size());
    for (qsizetype i = 0; i < table.size(); ++i) {
        auto *item = new QTreeWidgetItem;
        item->setText(3, table[i].displayValue);
        item->setData(0, Qt::UserRole, qlonglong(i));
        if (table[i].accountDisabled)
            item->setIcon(2, disabled);
        item->setIcon(1, noMarker);
        items << item;
    }
    list->addTopLevelItems(items);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const BenchDirectory d = BenchDirectory::fromEnvironment();
    if (!d.isSet()) {
        std::fprintf(stderr, "ORVANE_SLAPD_* not set: start a directory with scripts/test-directories\n");
        return 2;
    }
    registerDirectoryServers();
    const DirectoryConnection connection = d.connection();
    int users = 0;
    const QString letter = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString(chooseLetter(d, &users));

    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/data.db3");
    createIfMissing(path, seedCharacterLists());
    Database db;
    db.open(path);
    QStringList attributes;
    db.query(QStringLiteral("SELECT attribute FROM attributes"));
    while (db.next_row())
        attributes << db.get_text(0);
    attributes << QStringLiteral("cn") << QStringLiteral("sAMAccountName") << QStringLiteral("objectGUID")
               << QStringLiteral("distinguishedName");

    QTreeWidget list;
    list.setColumnCount(4);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    const QIcon disabled(pixmap);
    pixmap.fill(Qt::gray);
    const QIcon noMarker(pixmap);

    ObjectTable table;
    const QString filter =
        QStringLiteral("(&(objectCategory=person)(objectClass=user)(sn=%1*))").arg(escapeFilterValue(letter));
    SearchUsers(connection, db, QStringLiteral("sn"), letter, QStringLiteral("displayName"), &table,
                QStringLiteral(";")); // warms the pool and the schema
    std::printf("%d users in the directory; letter %s lists %lld of them; %d rounds\n", users,
                qPrintable(letter), static_cast<long long>(table.size()), rounds);

    report("ldapsearch of the listed users, 43 attributes", measure(rounds, [&] {
               QProcess p;
               p.setStandardOutputFile(QProcess::nullDevice());
               p.start(QStringLiteral("ldapsearch"), d.searchArguments(100, filter) << attributes);
               p.waitForFinished(600000);
           }));
    int disabledCount = 0;
    const long openedBefore = LdapPool::instance().openedCount();
    report("Find: SearchUsers (search, fields, binds) + rows", measure(rounds, [&] {
               table.clear();
               SearchUsers(connection, db, QStringLiteral("sn"), letter, QStringLiteral("displayName"),
                           &table, QStringLiteral(";"));
               fillRows(&list, table, disabled, noMarker);
           }));
    for (const ObjectEntry &e : table)
        disabledCount += e.accountDisabled;
    std::printf("  %lld rows, %d disabled, %ld connections opened during the rounds\n",
                static_cast<long long>(list.topLevelItemCount()), disabledCount,
                LdapPool::instance().openedCount() - openedBefore);
    const QString query =
        adoQueryText(connection.serverAddress, connection.baseDn, filter, attributes.join(QLatin1Char(',')));
    report("  of which Execute() (search and records)", measure(rounds, [&] {
               AdoSearch search;
               search.open(connection, query, kUserListPageSize, true);
           }));
    report("  of which the binds answered from the open search", measure(rounds, [&] {
               AdoSearch search;
               search.open(connection, query, kUserListPageSize, true);
               QElapsedTimer t;
               for (const ObjectEntry &e : table)
                   ReadAccountDisabled(connection, e.guid);
           }));
    report("  of which the rows", measure(rounds, [&] { fillRows(&list, table, disabled, noMarker); }));
    if (argc > 3 && QByteArray(argv[3]) == "--no-slow-binds")
        return 0;
    report("the same binds with one GUID search each (no open search)", measure(std::min(rounds, 3), [&] {
               for (const ObjectEntry &e : table)
                   ReadAccountDisabled(connection, e.guid);
           }));
    return 0;
}
