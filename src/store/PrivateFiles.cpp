#include "store/PrivateFiles.h"

#include "store/Database.h"
#include "store/EventStore.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace orvane
{
namespace
{

const QFile::Permissions kOwnerFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

#ifdef Q_OS_UNIX
// Removes group and other bits from `path`, keeping at most `ownerBits`;
// returns the line for the report, "" when nothing had to change.
QString tighten(const QString &path, mode_t ownerBits)
{
    struct stat info;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &info) != 0 || S_ISLNK(info.st_mode))
        return QString();
    const mode_t old = info.st_mode & 07777;
    if ((old & 077) == 0)
        return QString();
    const mode_t tightened = old & ownerBits;
    if (::chmod(native.constData(), tightened) != 0)
        return QString();
    return QStringLiteral("%1: %2 -> %3")
        .arg(QDir::toNativeSeparators(path))
        .arg(old, 4, 8, QLatin1Char('0'))
        .arg(tightened, 4, 8, QLatin1Char('0'));
}
#endif

} // namespace

bool makePrivateFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !makePrivateFolder(parent))
        return false;
    QDir().mkdir(clean, kOwnerFolder);
    return QFileInfo(clean).isDir();
}

QStringList settingsFileFamily(const QString &file)
{
    return {file, file + QStringLiteral("-journal"), file + QStringLiteral("-wal"),
            file + QStringLiteral("-shm")};
}

QStringList tightenPermissions(const QString &folder, const QString &file)
{
    QStringList changed;
#ifdef Q_OS_UNIX
    auto add = [&changed](const QString &line) {
        if (!line.isEmpty())
            changed << line;
    };
    if (!folder.isEmpty())
        add(tighten(QDir::cleanPath(QDir::fromNativeSeparators(folder)), 0700));
    for (const QString &member : settingsFileFamily(file))
        add(tighten(member, 0600));
#else
    Q_UNUSED(folder);
    Q_UNUSED(file);
#endif
    return changed;
}

bool recordTightening(Database &db, const QStringList &changed)
{
    if (changed.isEmpty())
        return false;
    const long long failures = db.failedWrites();
    writeEvent(db, 2, QStringLiteral("Settings file made private"),
               QStringLiteral("Other local accounts could read the data folder or the settings file, which "
                              "holds the directory settings. Their access was removed:\n") +
                   changed.join(QLatin1Char('\n')));
    return db.failedWrites() == failures;
}

QStringList secureSettingsFile(Database &db, const QString &folder, const QString &file)
{
    const QStringList changed = tightenPermissions(folder, file);
    recordTightening(db, changed);
    return changed;
}

} // namespace orvane
