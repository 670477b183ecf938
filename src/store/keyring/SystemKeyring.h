#pragma once
// The desktop keyring through QtKeychain (Secret Service: GNOME Keyring,
// KWallet). Kept in a library of its own because QtKeychain pulls in QtDBus;
// the rest of the store stays QtCore-only and sees only SecretStore. Entries
// are filed under the service name "Orvane"; QtKeychain's plain-text fallback
// is never used.

#include "store/PasswordStore.h"

namespace orvane
{

class SystemKeyring : public SecretStore
{
  public:
    /// Waits at most `timeoutMs` for each answer before taking the keyring as unreachable.
    explicit SystemKeyring(int timeoutMs = 10000) : timeoutMs_(timeoutMs) {}

    Result read(const QString &key, QString &secret) override;
    Result write(const QString &key, const QString &secret) override;
    Result remove(const QString &key) override;

  private:
    int timeoutMs_;
};

/// Returns the process's one SystemKeyring. Needs a QCoreApplication.
SecretStore &systemKeyring();

} // namespace orvane
