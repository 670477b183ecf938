// Directory benchmark: the program's user search of 10,000 users with every
// catalogue attribute through the command engine, beside ldapsearch paging the
// same users and attributes; and 10,000 binds by GUID reading AccountDisabled,
// beside the bare libldap search that each bind costs at least.
//
// Needs a private slapd with bulk users:
//   scripts/test-directories start build/bench-directory --no-samba --bulk 10000
//   . build/bench-directory/env   (with set -a, or export the variables)
//   build/orvane_bench_directory [rounds]
// Prints one line per measurement (best and median of the rounds).

#include "BenchSupport.h"
#include "automation/AutomationObject.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/VariantArrays.h"
#include "automation/com/Bstr.h"
#include "automation/com/Guid.h"
#include "directory/ldap/LdapPool.h"
#include "directory/ldap/RegisterServers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orvane;
using namespace orvane::bench;

namespace
{

const char *const kCatalogue[] = {"givenName",
                                  "sn",
                                  "displayName",
                                  "description",
                                  "physicalDeliveryOfficeName",
                                  "telephoneNumber",
                                  "mail",
                                  "wWWHomePage",
                                  "title",
                                  "department",
                                  "company",
                                  "sAMAccountName",
                                  "otherTelephone",
                                  "initials",
                                  "employeeID",
                                  "info",
                                  "streetAddress",
                                  "street",
                                  "st",
                                  "url",
                                  "postOfficeBox",
                                  "l",
                                  "postalCode",
                                  "userPrincipalName",
                                  "userWorkstations",
                                  "profilePath",
                                  "scriptPath",
                                  "homeDirectory",
                                  "homeDrive",
                                  "homePhone",
                                  "otherHomePhone",
                                  "pager",
                                  "otherPager",
                                  "mobile",
                                  "otherMobile",
                                  "facsimileTelephoneNumber",
                                  "otherFacsimileTelephoneNumber",
                                  "ipPhone",
                                  "otherIpPhone"};
const bool kMultiValued[] = {false, false, false, true,  false, false, false, false, false, false,
                             false, false, true,  false, false, false, false, false, false, true,
                             false, false, false, false, false, false, false, false, false, false,
                             true,  false, true,  false, true,  false, true,  false, true};

QString attributeList()
{
    QStringList names;
    for (const char *a : kCatalogue)
        names << QString::fromLatin1(a);
    return names.join(QLatin1Char(',')) + QStringLiteral(",cn,sAMAccountName,objectGUID,distinguishedName");
}

const QString kFilter = QStringLiteral("(&(objectCategory=person)(objectClass=user))");

// ldapsearch paging the same users with the same attributes, output discarded.
void runLdapsearch(const BenchDirectory &d, int pageSize)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QStringList args = d.searchArguments(pageSize, kFilter);
    args << attributeList().split(QLatin1Char(','));
    p.start(QStringLiteral("ldapsearch"), args);
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        std::fprintf(stderr, "ldapsearch failed: %s\n", p.readAllStandardError().constData());
}

// Joins a multi-valued field as the program's JoinValues does.
QString joinValues(AutomationObject *field)
{
    VARIANT *v = getVariantProperty(field, QStringLiteral("value"));
    QString joined;
    if (const std::optional<QStringList> texts = variantArrayTexts(v))
        joined = texts->join(QLatin1Char(';'));
    freeVariant(v);
    return joined;
}

double lastExecuteMs = 0;

// The floor of the field walk: the same reads made straight through IDispatch
// on the record set, member names looked up once, each value turned into text
// as the engine's getters do. What the engine adds to this is its own cost.
class DirectWalk
{
  public:
    explicit DirectWalk(IDispatch *records) : records_(records)
    {
        fields_ = idOf(records, u"Fields");
        moveNext_ = idOf(records, u"MoveNext");
        recordCount_ = idOf(records, u"RecordCount");
    }
    qint64 recordCount() { return call(records_, recordCount_, nullptr).llVal; }
    void moveNext()
    {
        VARIANT result = call(records_, moveNext_, nullptr);
        VariantClear(&result);
    }
    // The text of field `name` of the current record (arrays joined as joinValues does).
    QString text(const QString &name)
    {
        VARIANT arg;
        VariantInit(&arg);
        setVariantString(&arg, name);
        VARIANT field = call(records_, fields_, &arg);
        VariantClear(&arg);
        VARIANT v = call(field.pdispVal, DISPID_VALUE, nullptr);
        VariantClear(&field);
        QString out;
        if (v.vt & VT_ARRAY) {
            if (const std::optional<QStringList> texts = variantArrayTexts(&v))
                out = texts->join(QLatin1Char(';'));
        } else if (v.vt == VT_BSTR) {
            out = qStringFromBstr(v.bstrVal);
        }
        VariantClear(&v);
        return out;
    }

  private:
    static DISPID idOf(IDispatch *d, const char16_t *name)
    {
        LPOLESTR text = const_cast<LPOLESTR>(name);
        DISPID id = DISPID_UNKNOWN;
        d->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    static VARIANT call(IDispatch *d, DISPID id, VARIANT *arg)
    {
        DISPPARAMS params{arg, nullptr, arg ? 1u : 0u, 0};
        VARIANT result;
        VariantInit(&result);
        d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result,
                  nullptr, nullptr);
        return result;
    }
    IDispatch *records_;
    DISPID fields_, moveNext_, recordCount_;
};

long directWalk(AutomationObject *records)
{
    DirectWalk walk(records->dispatch);
    const qint64 n = walk.recordCount();
    long characters = 0;
    for (qint64 i = 0; i < n; ++i) {
        for (const char *name : {"distinguishedName", "sAMAccountName", "cn"})
            characters += walk.text(QString::fromLatin1(name)).size();
        characters += walk.text(QStringLiteral("objectGUID")).size();
        for (const char *name : kCatalogue)
            characters += walk.text(QString::fromLatin1(name)).size();
        walk.moveNext();
    }
    return characters;
}

// The program's user search: the ADO objects, the command strings, and every
// catalogue attribute of every record read through the engine. Returns the
// records' GUID texts when `guids` is given.
long engineSearch(const BenchDirectory &d, int pageSize, std::vector<QString> *guids, bool direct = false)
{
    AutomationObject *connection = createObject(QStringLiteral("ADODB.Connection"));
    AutomationObject *command = createObject(QStringLiteral("ADODB.Command"));
    setProperty(connection, QStringLiteral("Provider = 'ADsDSOObject'"));
    setProperty(connection, QStringLiteral("Properties('User ID') = '") + d.admin + QLatin1Char('\''));
    setProperty(connection, QStringLiteral("Properties('Password') = '") + d.password + QLatin1Char('\''));
    setProperty(connection, QStringLiteral("Properties('Encrypt Password') = 'True'"));
    invoke(connection, QStringLiteral("Open('Active Directory Provider')"));
    setProperty(command, QStringLiteral("ActiveConnection = ") + handleNumber(connection) +
                             QStringLiteral(" as AutomationObject"));
    setProperty(command, QStringLiteral("Properties('Page Size') = ") + QString::number(pageSize));
    setProperty(command, QStringLiteral("Properties('searchscope') = 1"));
    setProperty(command, QStringLiteral("CommandText = '<LDAP://%1:%2/%3>;%4;%5;subtree'")
                             .arg(d.host, d.port, d.base, kFilter, attributeList()));
    QElapsedTimer timer;
    timer.start();
    AutomationObject *records = getObjectProperty(command, QStringLiteral("Execute()"));
    lastExecuteMs = timer.nsecsElapsed() / 1e6;
    if (!records) {
        std::fprintf(stderr, "search failed: %s\n", qPrintable(lastErrorText()));
        std::exit(1);
    }
    const qint64 n = getIntegerProperty(records, QStringLiteral("RecordCount"));
    long characters = 0;
    if (direct)
        characters = directWalk(records);
    for (qint64 i = 0; i < n && !direct; ++i) {
        characters += getStringProperty(records, QStringLiteral("Fields('distinguishedName')\\Value")).size();
        characters += getStringProperty(records, QStringLiteral("Fields('sAMAccountName')\\Value")).size();
        characters += getStringProperty(records, QStringLiteral("Fields('cn')\\Value")).size();
        VARIANT *guid = getVariantProperty(records, QStringLiteral("Fields('objectGUID')\\Value"));
        if (guids) {
            const QByteArray bytes = variantToBytes(guid).value_or(QByteArray(16, '\0'));
            guids->push_back(
                guidToString(guidFromBytes(reinterpret_cast<const std::uint8_t *>(bytes.constData())))
                    .mid(1, 36));
        }
        freeVariant(guid);
        for (size_t a = 0; a < std::size(kCatalogue); ++a) {
            const QString name = QString::fromLatin1(kCatalogue[a]);
            if (kMultiValued[a]) {
                AutomationObject *field =
                    getObjectProperty(records, QStringLiteral("Fields('") + name + QStringLiteral("')"));
                characters += joinValues(field).size();
                releaseObject(field);
            } else {
                characters += getStringProperty(records, QStringLiteral("Fields('") + name +
                                                             QStringLiteral("')\\Value"))
                                  .size();
            }
        }
        invoke(records, QStringLiteral("MoveNext"));
    }
    invoke(records, QStringLiteral("Close"));
    releaseObject(records);
    releaseObject(command);
    releaseObject(connection);
    if (n != 0 && guids && static_cast<qint64>(guids->size()) != n)
        std::exit(1);
    return static_cast<long>(n);
}

// ReadAccountDisabled: the namespace, OpenDSObject by GUID, AccountDisabled.
int readAccountDisabled(const BenchDirectory &d, const QString &guid)
{
    AutomationObject *ns = getObject(QStringLiteral("LDAP:"));
    AutomationObject *user =
        getObjectProperty(ns, QStringLiteral("OpenDSObject('LDAP://%1:%2/<GUID=%3>', '%4', '%5', '513')")
                                  .arg(d.host, d.port, guid, d.admin, d.password));
    int disabled = 0;
    if (user && getIntegerProperty(user, QStringLiteral("AccountDisabled")) == -1)
        disabled = 1;
    releaseObject(user);
    releaseObject(ns);
    return disabled;
}

QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 2));
    return QStringLiteral("unknown CPU");
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    BenchDirectory d = BenchDirectory::fromEnvironment();
    d.base = QStringLiteral("OU=Bulk,") + d.base; // the bulk users only
    if (!d.isSet() || d.bulk == 0) {
        std::fprintf(
            stderr,
            "Start a slapd with bulk users first:\n"
            "  scripts/test-directories start <dir> --no-samba --bulk 10000 && set -a && . <dir>/env\n");
        return 2;
    }
    registerDirectoryServers();
    std::printf(
        "machine: %s, %d cores; slapd on 127.0.0.1, StartTLS; %d users, %zu catalogue attributes + 4\n",
        qPrintable(cpuModel()), QThread::idealThreadCount(), d.bulk, std::size(kCatalogue));

    for (const int page : {100, 1000}) {
        const Stats ls = measure(rounds, [&] { runLdapsearch(d, page); });
        long found = 0;
        Samples executes;
        const Stats engine = measure(rounds, [&] {
            found = engineSearch(d, page, nullptr);
            executes.add(lastExecuteMs);
        });
        const Stats execute = executes.stats();
        Samples directExecutes;
        const Stats direct = measure(rounds, [&] {
            engineSearch(d, page, nullptr, true);
            directExecutes.add(lastExecuteMs);
        });
        const long fields = found * static_cast<long>(std::size(kCatalogue) + 4);
        std::printf("page size %4d: ldapsearch %7.1f ms (median %7.1f) | Execute() %7.1f ms (median %7.1f), "
                    "ratio %.2f (best) %.2f (median) | whole walk %7.1f ms (median %7.1f), %ld records, "
                    "%.2f us per field read\n",
                    page, ls.best, ls.median, execute.best, execute.median, execute.best / ls.best,
                    execute.median / ls.median, engine.best, engine.median, found,
                    (engine.best - execute.best) * 1000.0 / fields);
        std::printf("page size %4d: floor: the same walk straight through IDispatch %7.1f ms (median %7.1f), "
                    "%.2f us per field read\n",
                    page, direct.best, direct.median,
                    (direct.best - directExecutes.best()) * 1000.0 / fields);
    }

    std::vector<QString> guids;
    engineSearch(d, 1000, &guids);
    const long openedBefore = LdapPool::instance().openedCount();
    int disabled = 0;
    const Stats binds = measure(rounds, [&] {
        disabled = 0;
        for (const QString &g : guids)
            disabled += readAccountDisabled(d, g);
    });
    std::printf(
        "GUID bind + AccountDisabled: %zu binds in %.1f ms (median %.1f) = %.3f ms each (median %.3f); "
        "%d disabled; %ld new connections\n",
        guids.size(), binds.best, binds.median, binds.best / guids.size(), binds.median / guids.size(),
        disabled, LdapPool::instance().openedCount() - openedBefore);

    // The floor: the same GUID searches straight on one pooled libldap connection.
    const Stats raw = measure(rounds, [&] {
        LdapPool::instance().run({d.host, d.port.toInt()}, {d.admin, d.password}, [&](LdapConnection &c) {
            for (const QString &g : guids) {
                std::array<std::uint8_t, 16> bytes{};
                guidTextToBytes(g, &bytes);
                c.search(qEnvironmentVariable("ORVANE_SLAPD_BASE"), SearchScope::Subtree,
                         QStringLiteral("(objectGUID=%1)").arg(filterEscapeBytes(bytes.data(), 16)), {}, 0,
                         [](LdapEntry &&) {});
            }
            return S_OK;
        });
    });
    std::printf("bare libldap GUID search (same filter, all attributes): %.3f ms each (median %.3f)\n",
                raw.best / guids.size(), raw.median / guids.size());
    return 0;
}
