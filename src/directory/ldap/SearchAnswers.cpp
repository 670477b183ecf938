#include "directory/ldap/SearchAnswers.h"

#include "directory/ldap/AdoRecordSet.h"
#include "directory/ldap/LdapPool.h"

#include <mutex>
#include <thread>

namespace orvane
{

namespace
{

struct Published {
    ServerAddress server;
    Credentials credentials;
    std::thread::id thread;
    std::shared_ptr<const ServerInfo> info;
    std::weak_ptr<RecordSetData> records;
    QSet<QString> attributes;
    std::vector<int> columns; ///< the record set's columns of `attributes`
};

// One published search per thread is enough: a bind follows the search that
// listed its object.
std::mutex registryMutex;
std::vector<Published> registry;

} // namespace

QStringList answerAttributes(const QStringList &asked)
{
    bool guid = false;
    bool control = false;
    for (const QString &name : asked) {
        guid = guid || name.compare(QLatin1String("objectGUID"), Qt::CaseInsensitive) == 0;
        control = control || name.compare(QLatin1String("userAccountControl"), Qt::CaseInsensitive) == 0;
    }
    return guid && !control ? QStringList{QStringLiteral("userAccountControl")} : QStringList();
}

void publishSearch(const ServerAddress &server, const Credentials &credentials,
                   std::shared_ptr<const ServerInfo> info, const std::shared_ptr<RecordSetData> &records)
{
    Published p{server, credentials, std::this_thread::get_id(), std::move(info), records, {}, {}};
    // Only what an account-state read needs is handed to binds; anything
    // else asked of the object reads the whole entry.
    const std::vector<RecordSetData::Column> &columns = records->columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        const QString &name = columns[i].lowerName;
        if (name == QLatin1String("objectguid") || name == QLatin1String("useraccountcontrol")) {
            p.attributes.insert(name);
            p.columns.push_back(static_cast<int>(i));
        }
    }
    if (!p.attributes.contains(QStringLiteral("objectguid")))
        return;
    const std::lock_guard lock(registryMutex);
    std::erase_if(registry,
                  [&](const Published &old) { return old.thread == p.thread || old.records.expired(); });
    registry.push_back(std::move(p));
}

bool answerBind(const ServerAddress &server, const Credentials &credentials, QByteArrayView guid,
                SearchAnswer *answer)
{
    std::shared_ptr<RecordSetData> records;
    std::vector<int> columns;
    {
        const std::lock_guard lock(registryMutex);
        for (const Published &p : registry) {
            if (p.thread == std::this_thread::get_id() && p.server == server &&
                p.credentials == credentials) {
                records = p.records.lock();
                answer->attributes = p.attributes;
                answer->info = p.info;
                columns = p.columns;
                break;
            }
        }
    }
    // Only the publishing thread gets here, so the record set cannot close meanwhile.
    return records && records->open && records->entryByGuid(guid, columns, &answer->entry);
}

void forgetSearches()
{
    const std::lock_guard lock(registryMutex);
    registry.clear();
}

} // namespace orvane
