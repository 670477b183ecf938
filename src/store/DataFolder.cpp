#include "store/DataFolder.h"

#include "store/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

namespace orvane
{

QString dataFolderPath()
{
#ifdef Q_OS_WIN
    const QString base = qEnvironmentVariable("APPDATA");
#else
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // XDG: a relative path is invalid and must be ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
#endif
    QString folder = QDir::fromNativeSeparators(base);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return QDir::toNativeSeparators(folder + QStringLiteral("orvane/"));
}

bool ensureDataFolder(const QString &path)
{
    return makePrivateFolder(path);
}

} // namespace orvane
