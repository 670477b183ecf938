#pragma once
// orvane-sync as the tool and window tests run it: a settings file pointed at
// the private slapd through its options (as Options or orvane-settings leave
// it), and the real executable run with the password in ORVANE_PASSWORD and
// no desktop keyring within reach. Header-only.

#include "DirectorySetup.h"
#include "store/Database.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace orvane::test
{

struct SyncToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

/// Writes the connection options of `s` into the settings file `db`.
inline void storeConnectionOptions(Database &db, const Slapd &s)
{
    db.setOption(QStringLiteral("dcserver"), s.host);
    db.setOption(QStringLiteral("dcserverport"), QString::number(s.port));
    db.setOption(QStringLiteral("dcbasedn"), s.base);
    db.setOption(QStringLiteral("adusername"), s.admin);
    db.setOption(QStringLiteral("usecurrentadcredentials"), QStringLiteral("0"));
    // The fixtures change most of their few users: no share limit, the change threshold has its own test.
    db.setOption(QStringLiteral("maxchangedpercent"), QStringLiteral("0"));
}

/// Runs orvane-sync with `args`; `env` entries are added to (an empty value
/// removes one from) the environment that holds ORVANE_PASSWORD = `password`.
inline SyncToolRun runSyncTool(const QStringList &args, const QString &password,
                               const QMap<QString, QString> &env = {}, const QByteArray &input = {})
{
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    e.insert(QStringLiteral("ORVANE_PASSWORD"), password);
    for (auto it = env.begin(); it != env.end(); ++it) {
        if (it.value().isEmpty())
            e.remove(it.key());
        else
            e.insert(it.key(), it.value());
    }
    QProcess tool;
    tool.setProcessEnvironment(e);
    tool.start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-sync"), args);
    tool.write(input);
    tool.closeWriteChannel();
    EXPECT_TRUE(tool.waitForFinished(120000)) << "orvane-sync " << args.join(u' ').toStdString();
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

} // namespace orvane::test
