#include "Session.h"

#include "ExitCodes.h"
#include "directory/FailureReason.h"
#include "directory/UserSearch.h"
#include "store/DataFolder.h"
#include "store/CountText.h"
#include "store/PasswordStore.h"
#include "store/PrivateFiles.h"
#include "store/SettingsMigrations.h"
#include "store/SettingsStore.h"
#include "store/keyring/SystemKeyring.h"
#include "workbook/Registration.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvane::synctool
{

namespace
{

// The first line of `path`, without its line end; false when it cannot be read.
bool readFirstLine(const QString &path, QString *line, QString *error)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    QByteArray bytes = source.readLine();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    *line = QString::fromUtf8(bytes);
    return true;
}

QString searchFailureLine(const DirectoryFailure &failure, const DirectoryConnection &connection)
{
    return QStringLiteral("the directory search failed: ") + failureReason(failure, connection) +
           QStringLiteral(" (") + codeText(failure.code) + u')';
}

} // namespace

int Session::open()
{
    folder = options_.dataDir.isEmpty() ? dataFolderPath() : options_.dataDir;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    if (!QFileInfo(folder).isDir())
        return console.fail(
            ExitConfiguration,
            QStringLiteral("the data folder %1 does not exist").arg(QDir::toNativeSeparators(folder)));
    file = settingsFilePath(folder);
    if (!QFileInfo(file).isFile())
        return console.fail(
            ExitConfiguration,
            QStringLiteral("there is no settings file %1 (start Orvane once, or prepare it with "
                           "orvane-settings)")
                .arg(QDir::toNativeSeparators(file)));
    const SettingsOpening opening = openSettingsFile(db, file);
    if (opening.state == SettingsFileState::CannotOpen)
        return console.fail(ExitConfiguration, QStringLiteral("cannot open the settings file %1: %2")
                                                   .arg(QDir::toNativeSeparators(file), db.lastError()));
    if (opening.state == SettingsFileState::UpgradeFailed)
        return console.fail(ExitConfiguration, settingsOpeningMessage(opening, file).replace(u'\n', u' '));
    if (opening.state == SettingsFileState::Newer)
        console.warn(settingsOpeningMessage(opening, file));
    if (opening.state == SettingsFileState::Upgraded)
        console.detail(QStringLiteral("settings file brought from settings version %1 to %2")
                           .arg(opening.fileVersion)
                           .arg(kSettingsVersion));
    QStringList tables;
    for (const QString &part : missingParts(db))
        if (part.startsWith(QStringLiteral("table ")))
            tables << part.mid(6);
    if (!tables.isEmpty())
        return console.fail(ExitConfiguration,
                            QStringLiteral("%1 is not a complete settings file (missing tables: %2)")
                                .arg(QDir::toNativeSeparators(file), tables.join(QStringLiteral(", "))));
    for (const QString &line : secureSettingsFile(db, folder, file))
        console.detail(QStringLiteral("made private: ") + line);
    settings = loadSettings(db);
    console.detail(QStringLiteral("settings file: ") + QDir::toNativeSeparators(file));
    return ExitSuccess;
}

int Session::resolvePassword(bool required)
{
    if (settings.useCurrentCredentials == 1) {
        settings.password.clear();
        console.detail(QStringLiteral("binding with the current Kerberos credentials"));
        return ExitSuccess;
    }
    if (!options_.passwordFile.isEmpty()) {
        QString error;
        if (!readFirstLine(options_.passwordFile, &settings.password, &error))
            return console.fail(
                ExitConfiguration,
                QStringLiteral("cannot read the password file %1: %2").arg(options_.passwordFile, error));
        console.detail(QStringLiteral("password from ") + options_.passwordFile);
    } else if (!qEnvironmentVariable("ORVANE_PASSWORD").isEmpty()) {
        settings.password = qEnvironmentVariable("ORVANE_PASSWORD");
        console.detail(QStringLiteral("password from ORVANE_PASSWORD"));
    } else {
        settings.password = loadPassword(db, &systemKeyring(), storedPasswordOwner(db));
        console.detail(QStringLiteral("stored password"));
    }
    if (settings.password.isEmpty() && required)
        return console.fail(
            ExitConfiguration,
            QStringLiteral("no directory password for %1: give --password-file or ORVANE_PASSWORD, "
                           "or store one (orvane-settings set-password)")
                .arg(settings.userName));
    return ExitSuccess;
}

DirectoryConnection Session::connection() const
{
    return connectionFromSettings(settings);
}

int Session::listUsers(const QString &prefix, const UserSink &sink, const QSet<QString> &onlyValues)
{
    const ObjectListAttributes attributes = objectListAttributes(db);
    console.detail(QStringLiteral("listing the users whose %1 begins with \"%2\" on %3")
                       .arg(attributes.pick, prefix, settings.serverAddress));
    const SearchOutcome outcome =
        SearchUsers(connection(), db, attributes.pick, prefix, attributes.display, sink,
                    settings.multivaluedDelimiter, [this](long visited, long total) {
                        console.progress(QStringLiteral("Listing users"), visited, total);
                    },
                    // A plan compares values: a bind per listed user for its state would buy it nothing.
                    AccountStates::Skip, onlyValues);
    console.endProgress();
    if (outcome.failure.failed())
        return console.fail(ExitConfiguration, searchFailureLine(outcome.failure, connection()));
    console.detail(countText(outcome.count, QStringLiteral("user"), QStringLiteral("users")) +
                   QStringLiteral(" listed"));
    return ExitSuccess;
}

long long Session::registeredWorkbook(const QString &text)
{
    bool isNumber = false;
    const long long id = text.toLongLong(&isNumber);
    if (isNumber && readWorkbook(db, id).id == id && id > 0)
        return id;
    const QString wanted = QFileInfo(text).absoluteFilePath();
    db.query(QStringLiteral("SELECT id, filename FROM excelfiles ORDER BY id"));
    while (db.next_row()) {
        const QString registered = db.get_text(1);
        if (registered == text || QFileInfo(registered).absoluteFilePath() == wanted)
            return db.get_long(0);
    }
    console.fail(ExitConfiguration,
                 QStringLiteral("no registered workbook %1 (register it in Options, Excel files, "
                                "or with orvane-settings register-workbook)")
                     .arg(text));
    return 0;
}

} // namespace orvane::synctool
