#pragma once
// Where the directory password is kept. Where the desktop keyring (a Secret
// Service such as GNOME Keyring or KWallet) is reachable, the password lives
// there under the program's name, keyed by server and user name, and the
// `adpassword` column stays empty; otherwise the column holds it scrambled.
// Reading takes the keyring first, then the column, so a file written before
// the keyring was used keeps working until its next save moves the password.
// With current credentials nothing is stored. The window and the command-line
// tools both go through these functions.

#include <QString>

namespace orvane
{

class Database;

/// The desktop keyring as the store needs it; SystemKeyring is the real one.
class SecretStore
{
  public:
    enum class Result {
        Done,        ///< read, written or removed
        NotFound,    ///< the keyring answered but holds no such entry
        Unreachable, ///< no keyring answered, or it refused
    };
    virtual ~SecretStore() = default;
    /// Reads the secret stored under `key` into `secret`.
    virtual Result read(const QString &key, QString &secret) = 0;
    /// Stores `secret` under `key`, replacing an earlier one.
    virtual Result write(const QString &key, const QString &secret) = 0;
    /// Removes the entry `key`; NotFound when there was none.
    virtual Result remove(const QString &key) = 0;
};

enum class PasswordPlace {
    Nowhere,      ///< current credentials: no password is stored
    Keyring,      ///< in the system keyring
    SettingsFile, ///< only scrambled in the settings file
};

/// Whose password it is: the keyring entry's key is built from these.
struct PasswordOwner {
    QString server;
    QString userName;
};

/// Returns the keyring key of `owner`: user name + "@" + server.
QString passwordKey(const PasswordOwner &owner);

/// Returns why `password` cannot be stored as typed, "" when it can: spaces at
/// either end would not survive the scrambled column.
QString passwordRefusal(const QString &password);

/// Reads the password of `owner`: the keyring entry when `keyring` (may be
/// nullptr) has one, else the unscrambled `adpassword` column.
QString loadPassword(Database &db, SecretStore *keyring, const PasswordOwner &owner);

/// Returns where a password of `owner` is kept when saved now: Keyring when
/// `keyring` answers, else SettingsFile.
PasswordPlace passwordPlace(SecretStore *keyring, const PasswordOwner &owner);

/// What storePassword did.
struct StoredPassword {
    PasswordPlace place = PasswordPlace::Nowhere;
    bool written = false; ///< the settings file took its part (false: see Database::lastError)
};

/// Stores `password` for `owner`: nowhere with current credentials (the column
/// is emptied and keyring entries removed), in the keyring with the column
/// emptied when it takes it, else scrambled in the column. An entry of
/// `previous` (the owner before the change) is removed when the owner changed.
StoredPassword storePassword(Database &db, SecretStore *keyring, const PasswordOwner &owner,
                             const QString &password, bool useCurrentCredentials,
                             const PasswordOwner &previous);

/// Returns the owner named by the file's options: `dcserver` and `adusername`.
PasswordOwner storedPasswordOwner(Database &db);

} // namespace orvane
