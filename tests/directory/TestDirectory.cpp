#include "TestDirectory.h"

#include "automation/Invocation.h"
#include "automation/com/Guid.h"
#include "automation/com/SafeArray.h"
#include "automation/com/VariantChangeType.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace orvane::test
{

namespace
{

QString env(const QString &prefix, const char *name)
{
    return qEnvironmentVariable((prefix + name).toLatin1());
}

} // namespace

std::optional<TestDirectory> testDirectory(const QString &name)
{
    const QString p = QStringLiteral("ORVANE_") + name.toUpper() + QLatin1Char('_');
    if (env(p, "HOST").isEmpty() || env(p, "PORT").isEmpty())
        return std::nullopt;
    TestDirectory d;
    d.name = name;
    d.host = env(p, "HOST");
    d.port = env(p, "PORT").toInt();
    d.ldapsPort = env(p, "LDAPS_PORT").toInt();
    d.plainPort = env(p, "PLAIN_PORT").toInt();
    d.base = env(p, "BASE");
    d.admin = env(p, "ADMIN");
    d.adminDn = env(p, "ADMIN_DN").isEmpty() ? d.admin : env(p, "ADMIN_DN");
    d.password = env(p, "PASSWORD");
    d.bindUser = env(p, "BIND_USER");
    d.bindPassword = env(p, "BIND_PASSWORD");
    d.staff = env(p, "STAFF").toInt();
    d.krb5Config = env(p, "KRB5_CONFIG");
    d.clientKeytab = env(p, "CLIENT_KEYTAB");
    d.gssapiHost = env(p, "GSSAPI_HOST");
    return d;
}

QStringList testDirectoryNames()
{
    return {QStringLiteral("slapd"), QStringLiteral("samba")};
}

QMap<QString, LdifEntry> ldapsearch(const TestDirectory &dir, const QString &base, const QString &filter,
                                    const QStringList &attributes)
{
    QStringList args{QStringLiteral("-LLL"),
                     QStringLiteral("-o"),
                     QStringLiteral("ldif-wrap=no"),
                     QStringLiteral("-x"),
                     QStringLiteral("-ZZ"),
                     QStringLiteral("-H"),
                     QStringLiteral("ldap://%1:%2").arg(dir.host).arg(dir.port),
                     QStringLiteral("-D"),
                     dir.adminDn,
                     QStringLiteral("-w"),
                     dir.password,
                     QStringLiteral("-b"),
                     base,
                     QStringLiteral("-E"),
                     QStringLiteral("pr=500/noprompt"),
                     filter};
    args << attributes;
    QProcess process;
    process.start(QStringLiteral("ldapsearch"), args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "ldapsearch did not run";
        return {};
    }
    // 32: no such object, which callers see as "no entries".
    if (process.exitCode() != 0 && process.exitCode() != 32) {
        ADD_FAILURE() << "ldapsearch failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    QMap<QString, LdifEntry> entries;
    QString dn;
    LdifEntry current;
    const auto flush = [&] {
        if (!dn.isEmpty())
            entries.insert(dn.toLower(), current);
        dn.clear();
        current.clear();
    };
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith('#'))
            continue;
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QString name = QString::fromLatin1(line.left(colon));
        QByteArray value;
        if (line.mid(colon + 1).startsWith(':'))
            value = QByteArray::fromBase64(line.mid(colon + 2).trimmed());
        else
            value = line.mid(colon + 1).mid(1);
        if (name.compare(QLatin1String("dn"), Qt::CaseInsensitive) == 0)
            dn = QString::fromUtf8(value);
        else
            current[name].push_back(value);
    }
    flush();
    return entries;
}

LdifEntry ldapsearchEntry(const TestDirectory &dir, const QString &dn, const QStringList &attributes)
{
    QStringList args = attributes;
    const QMap<QString, LdifEntry> found = ldapsearch(dir, dn, QStringLiteral("(objectClass=*)"),
                                                      attributes.isEmpty() ? QStringList{} : attributes);
    return found.value(dn.toLower());
}

std::vector<QByteArray> ldifValues(const LdifEntry &entry, const QString &name)
{
    for (auto it = entry.begin(); it != entry.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

QString guidTextOf(const TestDirectory &dir, const QString &dn)
{
    const std::vector<QByteArray> guid =
        ldifValues(ldapsearchEntry(dir, dn, {QStringLiteral("objectGUID")}), QStringLiteral("objectGUID"));
    if (guid.size() != 1 || guid.front().size() != 16)
        return QString();
    const QString braced =
        guidToString(guidFromBytes(reinterpret_cast<const std::uint8_t *>(guid.front().constData())));
    return braced.mid(1, 36);
}

const std::vector<CatalogueAttribute> &catalogue()
{
    static const std::vector<CatalogueAttribute> attributes{{"givenName", false},
                                                            {"sn", false},
                                                            {"displayName", false},
                                                            {"description", true},
                                                            {"physicalDeliveryOfficeName", false},
                                                            {"telephoneNumber", false},
                                                            {"mail", false},
                                                            {"wWWHomePage", false},
                                                            {"title", false},
                                                            {"department", false},
                                                            {"company", false},
                                                            {"sAMAccountName", false},
                                                            {"otherTelephone", true},
                                                            {"initials", false},
                                                            {"employeeID", false},
                                                            {"info", false},
                                                            {"streetAddress", false},
                                                            {"street", false},
                                                            {"st", false},
                                                            {"url", true},
                                                            {"postOfficeBox", false},
                                                            {"l", false},
                                                            {"postalCode", false},
                                                            {"userPrincipalName", false},
                                                            {"userWorkstations", false},
                                                            {"profilePath", false},
                                                            {"scriptPath", false},
                                                            {"homeDirectory", false},
                                                            {"homeDrive", false},
                                                            {"homePhone", false},
                                                            {"otherHomePhone", true},
                                                            {"pager", false},
                                                            {"otherPager", true},
                                                            {"mobile", false},
                                                            {"otherMobile", true},
                                                            {"facsimileTelephoneNumber", false},
                                                            {"otherFacsimileTelephoneNumber", true},
                                                            {"ipPhone", false},
                                                            {"otherIpPhone", true}};
    return attributes;
}

VariantResult::~VariantResult()
{
    freeVariant(value_);
}

QStringList variantTexts(const VARIANT *value)
{
    QStringList texts;
    if (!value || value->vt == VT_NULL || value->vt == VT_EMPTY)
        return texts;
    const auto text = [](const VARIANT *v) {
        VARIANT t;
        VariantInit(&t);
        if (FAILED(VariantChangeType(&t, v, 0, VT_BSTR)))
            return QStringLiteral("<not text>");
        const QString s = variantString(&t);
        VariantClear(&t);
        return s;
    };
    if (value->vt == (VT_ARRAY | VT_VARIANT)) {
        const auto *elements = static_cast<const VARIANT *>(value->parray->pvData);
        for (ULONG i = 0; i < value->parray->rgsabound[0].cElements; ++i)
            texts << text(&elements[i]);
        return texts;
    }
    texts << text(value);
    return texts;
}

AdoSearch openAdoSearch(const QString &user, const QString &password, const QString &commandText,
                        int pageSize, bool userList)
{
    AdoSearch s{Handle(createObject(QStringLiteral("ADODB.Connection"))),
                Handle(createObject(QStringLiteral("ADODB.Command"))), Handle()};
    if (!s.connection || !s.command)
        return s;
    setProperty(s.connection.get(), QStringLiteral("Provider = 'ADsDSOObject'"));
    if (!user.isEmpty()) {
        setProperty(s.connection.get(),
                    QStringLiteral("Properties('User ID') = '") + user + QLatin1Char('\''));
        setProperty(s.connection.get(),
                    QStringLiteral("Properties('Password') = '") + password + QLatin1Char('\''));
        setProperty(s.connection.get(), QStringLiteral("Properties('Encrypt Password') = 'True'"));
    }
    if (invoke(s.connection.get(), QStringLiteral("Open('Active Directory Provider')")) != 0)
        return s;
    setProperty(s.command.get(), QStringLiteral("ActiveConnection = ") + handleNumber(s.connection.get()) +
                                     QStringLiteral(" as AutomationObject"));
    if (pageSize > 0)
        setProperty(s.command.get(),
                    QStringLiteral("Properties('Page Size') = ") + QString::number(pageSize));
    if (userList)
        setProperty(s.command.get(), QStringLiteral("Properties('searchscope') = 1"));
    setProperty(s.command.get(), QStringLiteral("CommandText = '") + commandText + QLatin1Char('\''));
    s.records = Handle(getObjectProperty(s.command.get(), QStringLiteral("Execute()")));
    return s;
}

Handle openByGuid(const TestDirectory &dir, const QString &guidText, const QString &user,
                  const QString &password, Handle *ns)
{
    *ns = Handle(getObject(QStringLiteral("LDAP:")));
    if (!*ns)
        return Handle();
    const QString path = QStringLiteral("LDAP://") + dir.serverAddress() + QStringLiteral("/<GUID=") +
                         guidText + QLatin1Char('>');
    return Handle(getObjectProperty(ns->get(), QStringLiteral("OpenDSObject('") + path +
                                                   QStringLiteral("','") + user + QStringLiteral("','") +
                                                   password + QStringLiteral("','") + QString::number(513) +
                                                   QStringLiteral("')")));
}

} // namespace orvane::test
