#include "store/keyring/SystemKeyring.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace orvane
{
namespace
{

const QString kService = QStringLiteral("Orvane");

// QtKeychain answers asynchronously; the store's callers expect an answer,
// so each job runs in a local event loop bounded by the timeout.
SecretStore::Result runJob(QKeychain::Job &job, int timeoutMs)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished)
        loop.exec();
    if (!finished)
        return SecretStore::Result::Unreachable;
    switch (job.error()) {
    case QKeychain::NoError:
        return SecretStore::Result::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::Result::NotFound;
    default:
        return SecretStore::Result::Unreachable;
    }
}

} // namespace

SecretStore::Result SystemKeyring::read(const QString &key, QString &secret)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    const Result result = runJob(job, timeoutMs_);
    if (result == Result::Done)
        secret = job.textData();
    return result;
}

SecretStore::Result SystemKeyring::write(const QString &key, const QString &secret)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(secret);
    return runJob(job, timeoutMs_);
}

SecretStore::Result SystemKeyring::remove(const QString &key)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    return runJob(job, timeoutMs_);
}

SecretStore &systemKeyring()
{
    static SystemKeyring keyring;
    return keyring;
}

} // namespace orvane
