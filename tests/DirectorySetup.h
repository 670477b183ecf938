#pragma once
// The private slapd of scripts/test-directories as the workbook and window
// tests use it: its connection from the environment, and ldapsearch /
// ldapmodify run as separate processes (StartTLS, administrator) for setting
// up users and checking what the directory holds. Header-only.

#include "DirectoryRequirement.h"
#include "directory/DirectoryConnection.h"
#include "store/Settings.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

namespace orvane::test
{

struct Slapd {
    QString host;
    int port = 0;
    QString base;
    QString admin;
    QString password;

    DirectoryConnection connection() const
    {
        return {host + u':' + QString::number(port), base, 0, admin, password};
    }
};

/// The slapd whose ORVANE_SLAPD_* variables are set, or nothing.
inline std::optional<Slapd> slapdFromEnvironment()
{
    const QByteArray host = qgetenv("ORVANE_SLAPD_HOST");
    if (host.isEmpty())
        return std::nullopt;
    return Slapd{QString::fromUtf8(host), qEnvironmentVariableIntValue("ORVANE_SLAPD_PORT"),
                 qEnvironmentVariable("ORVANE_SLAPD_BASE"), qEnvironmentVariable("ORVANE_SLAPD_ADMIN"),
                 qEnvironmentVariable("ORVANE_SLAPD_PASSWORD")};
}

/// Points `settings` at `s` with stored credentials, as Options would.
inline void connectTo(Settings &settings, const Slapd &s)
{
    const DirectoryConnection c = s.connection();
    settings.serverAddress = c.serverAddress;
    settings.baseDn = c.baseDn;
    settings.userName = c.userName;
    settings.password = c.password;
    settings.useCurrentCredentials = 0;
}

/// An LDIF line giving a new user a random objectGUID (our slapd schema does
/// not make one, and a user without it cannot be bound).
inline QString randomGuidLine()
{
    QByteArray bytes(16, '\0');
    for (char &b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    return QStringLiteral("objectGUID:: ") + QString::fromLatin1(bytes.toBase64());
}

/// Runs an OpenLDAP client tool as the administrator with `args` and `input`
/// on stdin; returns its output, failing the test when it fails.
inline QByteArray ldapTool(const Slapd &s, const QString &tool, QStringList args,
                           const QByteArray &input = {}, bool mustSucceed = true)
{
    QProcess p;
    args = QStringList{QStringLiteral("-x"), QStringLiteral("-ZZ"),
                       QStringLiteral("-H"), QStringLiteral("ldap://%1:%2").arg(s.host).arg(s.port),
                       QStringLiteral("-D"), s.admin,
                       QStringLiteral("-w"), s.password} +
           args;
    p.start(tool, args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (mustSucceed) {
        EXPECT_EQ(p.exitCode(), 0) << tool.toStdString() << ": " << p.readAllStandardError().toStdString();
    }
    return p.readAllStandardOutput();
}

/// Adds a user `cn` below OU=Fixtures with `attributes` (LDIF lines after the
/// class chain); an earlier one of that name is deleted first. Returns its DN.
inline QString addTestUser(const Slapd &s, const QString &cn, const QString &attributes)
{
    const QString dn = QStringLiteral("CN=%1,OU=Fixtures,%2").arg(cn, s.base);
    ldapTool(s, QStringLiteral("ldapdelete"), {dn}, {}, false);
    const QString ldif = QStringLiteral("dn: %1\nobjectClass: top\nobjectClass: person\n"
                                        "objectClass: organizationalPerson\nobjectClass: user\n"
                                        "objectCategory: person\nobjectCategory: user\ncn: %2\n%3\n")
                             .arg(dn, cn, attributes);
    ldapTool(s, QStringLiteral("ldapadd"), {}, ldif.toUtf8());
    return dn;
}

/// Adds a user `cn` with surname `sn`, employee ID `id` (its lower case as the
/// account name), a random objectGUID and the further LDIF lines `more`, the
/// shape of the users the plan and review tests compare. Returns its DN.
inline QString addKeyedTestUser(const Slapd &s, const char *cn, const QString &sn, const char *id,
                                const char *more)
{
    const QString key = QString::fromLatin1(id);
    return addTestUser(s, QString::fromLatin1(cn),
                       randomGuidLine() + QStringLiteral("\nsn: ") + sn + QStringLiteral("\nemployeeID: ") +
                           key + QStringLiteral("\nsAMAccountName: ") + key.toLower() + u'\n' +
                           QString::fromUtf8(more));
}

/// Every entry below `base` matching `filter`: DN -> attribute (lower case) -> values.
inline QMap<QString, QMap<QString, QStringList>> ldapEntries(const Slapd &s, const QString &filter,
                                                             const QStringList &attributes)
{
    const QByteArray out =
        ldapTool(s, QStringLiteral("ldapsearch"),
                 QStringList{QStringLiteral("-LLL"), QStringLiteral("-o"), QStringLiteral("ldif-wrap=no"),
                             QStringLiteral("-b"), s.base, filter} +
                     attributes);
    QMap<QString, QMap<QString, QStringList>> entries;
    QString dn;
    for (const QByteArray &line : out.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const bool base64 = line.size() > colon + 1 && line[colon + 1] == ':';
        QByteArray value = line.mid(colon + (base64 ? 2 : 1)).trimmed();
        if (base64)
            value = QByteArray::fromBase64(value);
        const QString name = QString::fromUtf8(line.left(colon)).toLower();
        if (name == QLatin1String("dn"))
            dn = QString::fromUtf8(value);
        else
            entries[dn][name].append(QString::fromUtf8(value));
    }
    return entries;
}

} // namespace orvane::test
