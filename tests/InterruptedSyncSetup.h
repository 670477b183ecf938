#pragma once
// What the interrupted-write tests share: a settings file with a primary
// workbook that changes the title and department of many users added in one
// ldapadd, the loopback proxy that cuts a clear-then-set pair in half
// (tools/cut_proxy.py), and a slapd of the test's own that it may kill and
// start again (started by scripts/test-directories in the test's folder, so
// the slapd the other tests use is never touched). Header-only.

#include "DirectorySetup.h"
#include "SyncToolSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <csignal>

namespace orvane::test
{

/// Deletes `dns` in one ldapdelete (missing ones are no error).
inline void deleteUsers(const Slapd &s, const QStringList &dns)
{
    ldapTool(s, QStringLiteral("ldapdelete"), {QStringLiteral("-c")}, (dns.join(u'\n') + u'\n').toUtf8(), false);
}

/// `count` users "Intr NNNN" (surname `surname`, employee ID I + NNNN) with
/// title "Old title N" and department "Old dept N", added in one ldapadd.
inline QStringList addBulkUsers(const Slapd &s, const QString &surname, int count)
{
    QStringList dns;
    QString ldif;
    for (int i = 0; i < count; ++i) {
        const QString n = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'));
        const QString dn = QStringLiteral("CN=Intr %1 %2,OU=Fixtures,%3").arg(surname, n, s.base);
        dns << dn;
        ldif += QStringLiteral("dn: %1\nobjectClass: top\nobjectClass: person\nobjectClass: organizationalPerson\n"
                               "objectClass: user\nobjectCategory: person\ncn: Intr %2 %3\n%4\nsn: %2\n"
                               "employeeID: I%3\nsAMAccountName: i%3%2\ntitle: Old title %5\n"
                               "department: Old dept %5\n\n")
                    .arg(dn, surname, n, randomGuidLine())
                    .arg(i);
    }
    deleteUsers(s, dns);
    ldapTool(s, QStringLiteral("ldapadd"), {}, ldif.toUtf8());
    return dns;
}

inline void registerSyncWorkbook(Database &db, const QString &folder, int count);

/// A data folder whose settings file points at `s` and whose primary workbook
/// gives users 0..count-1 the title "New title N" and department "New dept N".
inline QString prepareSyncFolder(const Slapd &s, Database &db, int count)
{
    const QString folder = freshTestFolder() + QStringLiteral("/data");
    QDir().mkpath(folder);
    EXPECT_EQ(createIfMissing(folder + QStringLiteral("/data.db3"), seedCharacterLists()), CreateOutcome::Created);
    EXPECT_TRUE(db.open(folder + QStringLiteral("/data.db3")));
    storeConnectionOptions(db, s);
    registerSyncWorkbook(db, folder, count);
    return folder;
}

/// Registers, in `db`, the primary workbook `folder`/hr.xlsx giving users
/// 0..count-1 the title "New title N" and department "New dept N".
inline void registerSyncWorkbook(Database &db, const QString &folder, int count)
{
    SheetRows rows{{1, {"ID", "Title", "Department"}}};
    for (int i = 0; i < count; ++i) {
        const std::string n = QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')).toStdString();
        rows[i + 2] = {"I" + n, "New title " + std::to_string(i), "New dept " + std::to_string(i)};
    }
    const QString workbook = folder + QStringLiteral("/hr.xlsx");
    writeRowsWorkbook(workbook.toStdString(), rows);
    registerWorkbookWith(db, workbook, QStringLiteral("HR"),
                         {{1, attr::employeeID, true, true}, {2, attr::title}, {3, attr::department}}, true);
}

/// title and department of the users with surname `surname`: DN -> "title|department".
inline QMap<QString, QString> titlesAndDepartments(const Slapd &s, const QString &surname)
{
    QMap<QString, QString> result;
    const auto entries = ldapEntries(s, QStringLiteral("(sn=%1)").arg(surname),
                                     {QStringLiteral("title"), QStringLiteral("department")});
    for (auto it = entries.begin(); it != entries.end(); ++it)
        result[it.key()] = it.value().value(QStringLiteral("title")).join(u';') + u'|' +
                           it.value().value(QStringLiteral("department")).join(u';');
    return result;
}

/// One number from `statement` on the settings file at `path` (opened anew, as another process would).
inline long long journalCount(const QString &path, const QString &statement)
{
    Database db;
    if (!db.open(path) || !db.query(statement) || !db.next_row())
        return -1;
    return db.get_long(0);
}

/// Waits up to `ms` until `statement` counts at least `atLeast`; true when it did.
inline bool waitForJournal(const QString &path, const QString &statement, long long atLeast, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (journalCount(path, statement) >= atLeast)
            return true;
        QThread::msleep(20);
    }
    return false;
}

/// The cutting proxy in front of the LDAPS port of the directory in `state`.
class CutProxy
{
  public:
    /// `dropFirst`: that many first connections are closed at once. `hold`
    /// (hex of objectGUID bytes): answers to searches for that object are
    /// kept back until the cut (see heldAtCut).
    CutProxy(const QString &state, int ldapsPort, int outageSeconds, int dropFirst = 0,
             const QString &hold = QString())
    {
        QStringList args{QStringLiteral(ORVANE_SOURCE_DIR "/tests/tools/cut_proxy.py"), state,
                         QString::number(ldapsPort), QString::number(outageSeconds), QString::number(dropFirst)};
        if (!hold.isEmpty())
            args << hold;
        process_.start(QStringLiteral("python3"), args);
        if (process_.waitForReadyRead(10000))
            port = process_.readLine().trimmed().toInt();
    }
    /// True when the cut came while a held search was unanswered on the connection cut.
    bool heldAtCut()
    {
        process_.waitForReadyRead(200);
        return process_.readAll().contains("held");
    }
    ~CutProxy()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    int port = 0;

  private:
    QProcess process_;
};

/// A slapd of the test's own, started by scripts/test-directories in `state`
/// and stopped (by its recorded ids) when the object goes.
class OwnSlapd
{
  public:
    explicit OwnSlapd(const QString &state) : state_(state)
    {
        QProcess start;
        start.start(QStringLiteral(ORVANE_SOURCE_DIR "/scripts/test-directories"),
                    {QStringLiteral("start"), state, QStringLiteral("--no-samba"), QStringLiteral("--no-standard"),
                     QStringLiteral("--staff"), QStringLiteral("0"), QStringLiteral("--prefix"),
                     QStringLiteral("OWN")});
        start.waitForFinished(120000);
        QFile env(state + QStringLiteral("/env"));
        if (start.exitCode() != 0 || !env.open(QIODevice::ReadOnly))
            return;
        QMap<QString, QString> v;
        for (const QByteArray &line : env.readAll().split('\n')) {
            const int eq = line.indexOf('=');
            if (line.startsWith("export ") && eq > 0)
                v[QString::fromUtf8(line.mid(7, eq - 7))] =
                    QString::fromUtf8(line.mid(eq + 1)).remove(QLatin1Char('\''));
        }
        slapd = {v.value(QStringLiteral("OWN_SLAPD_HOST")), v.value(QStringLiteral("OWN_SLAPD_PORT")).toInt(),
                 v.value(QStringLiteral("OWN_SLAPD_BASE")), v.value(QStringLiteral("OWN_SLAPD_ADMIN")),
                 v.value(QStringLiteral("OWN_SLAPD_PASSWORD"))};
        caFile = v.value(QStringLiteral("LDAPTLS_CACERT"));
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid()));
        if (cmdline.open(QIODevice::ReadOnly))
            for (const QByteArray &arg : cmdline.readAll().split('\0'))
                if (!arg.isEmpty())
                    command_ << QString::fromUtf8(arg);
    }
    ~OwnSlapd()
    {
        QProcess::execute(QStringLiteral(ORVANE_SOURCE_DIR "/scripts/test-directories"),
                          {QStringLiteral("stop"), state_});
    }
    bool running() const { return slapd.port != 0 && !command_.isEmpty(); }

    /// SIGKILL of the slapd process.
    void kill() { ::kill(pid(), SIGKILL); }
    /// Starts it again with the same command line; true once it answers.
    bool restart()
    {
        if (QProcess::execute(command_.first(), command_.mid(1)) != 0)
            return false;
        for (int i = 0; i < 100; ++i) {
            QProcess probe;
            probe.start(QStringLiteral("ldapsearch"),
                        {QStringLiteral("-x"), QStringLiteral("-H"),
                         QStringLiteral("ldap://%1:%2").arg(slapd.host).arg(slapd.port), QStringLiteral("-b"),
                         QString(), QStringLiteral("-s"), QStringLiteral("base")});
            probe.waitForFinished(5000);
            if (probe.exitCode() == 0)
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    Slapd slapd;
    QString caFile;

  private:
    pid_t pid() const
    {
        QFile file(state_ + QStringLiteral("/slapd/slapd.pid"));
        return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
    }

    QString state_;
    QStringList command_;
};

} // namespace orvane::test
