#include "store/PasswordStore.h"

#include "store/Database.h"
#include "store/OptionTable.h"
#include "store/PasswordScrambler.h"

namespace orvane
{
namespace
{

void removeEntry(SecretStore *keyring, const PasswordOwner &owner)
{
    if (keyring)
        keyring->remove(passwordKey(owner));
}

bool sameOwner(const PasswordOwner &a, const PasswordOwner &b)
{
    return a.server == b.server && a.userName == b.userName;
}

} // namespace

QString passwordKey(const PasswordOwner &owner)
{
    return owner.userName + QLatin1Char('@') + owner.server;
}

QString passwordRefusal(const QString &password)
{
    if (password.isEmpty() || (!password.front().isSpace() && !password.back().isSpace()))
        return QString();
    return QStringLiteral("The password begins or ends with a space. Spaces at either end of a password "
                          "cannot be stored: they would be lost when the password is read back. Please "
                          "remove them.");
}

QString loadPassword(Database &db, SecretStore *keyring, const PasswordOwner &owner)
{
    QString secret;
    if (keyring && keyring->read(passwordKey(owner), secret) == SecretStore::Result::Done)
        return secret;
    return unscramblePassword(optionText(db, Option::AdPassword));
}

PasswordPlace passwordPlace(SecretStore *keyring, const PasswordOwner &owner)
{
    QString ignored;
    if (keyring && keyring->read(passwordKey(owner), ignored) != SecretStore::Result::Unreachable)
        return PasswordPlace::Keyring;
    return PasswordPlace::SettingsFile;
}

StoredPassword storePassword(Database &db, SecretStore *keyring, const PasswordOwner &owner,
                             const QString &password, bool useCurrentCredentials,
                             const PasswordOwner &previous)
{
    StoredPassword stored;
    if (!sameOwner(owner, previous))
        removeEntry(keyring, previous);
    if (useCurrentCredentials) {
        removeEntry(keyring, owner);
        stored.written = setOption(db, Option::AdPassword, QString());
        return stored;
    }
    if (keyring && keyring->write(passwordKey(owner), password) == SecretStore::Result::Done) {
        stored.place = PasswordPlace::Keyring;
        stored.written = setOption(db, Option::AdPassword, QString());
        return stored;
    }
    // A stale keyring entry would shadow the column on the next read.
    removeEntry(keyring, owner);
    stored.place = PasswordPlace::SettingsFile;
    stored.written = setOption(db, Option::AdPassword, scramblePassword(password));
    return stored;
}

PasswordOwner storedPasswordOwner(Database &db)
{
    return {optionText(db, Option::DcServer), optionText(db, Option::AdUserName)};
}

} // namespace orvane
