// A search entry's attributes as the connection reads them from the server's
// encoding: values at every length form of the encoding (one byte, and one,
// two and three length bytes), several values of one attribute in the order
// stored, binary bytes, and the entry's other attributes beside them.

#include "DirectorySetup.h"
#include "automation/com/HResult.h"
#include "directory/ldap/LdapConnection.h"

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

TEST(EntryAttributes, ValuesOfEveryLengthFormArriveAsStoredBesideTheOtherAttributes)
{
    const auto s = slapdFromEnvironment();
    if (!s)
        ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
    QStringList texts;
    for (const int length : {1, 127, 128, 255, 256, 300})
        texts << QString(length, QLatin1Char('0' + length % 10));
    QByteArray photo(70000, '\0');
    for (int i = 0; i < photo.size(); ++i)
        photo[i] = char((i * 7) % 256);
    QString ldif = QStringLiteral("sn: Lengths\ntitle: Длины\nthumbnailPhoto:: ") + QString::fromLatin1(photo.toBase64());
    for (const QString &text : texts)
        ldif += QStringLiteral("\ndescription: ") + text;
    const QString dn = addTestUser(*s, QStringLiteral("Entry Lengths"), ldif);

    std::unique_ptr<LdapConnection> connection;
    ASSERT_EQ(LdapConnection::open({s->host, s->port}, {s->admin, s->password}, &connection), S_OK);
    std::vector<LdapEntry> entries;
    ASSERT_EQ(connection->search(dn, SearchScope::Base, QStringLiteral("(objectClass=*)"),
                                 {QStringLiteral("description"), QStringLiteral("title"),
                                  QStringLiteral("thumbnailPhoto"), QStringLiteral("sn"), QStringLiteral("cn")},
                                 0, [&](LdapEntry &&e) { entries.push_back(std::move(e)); }),
              S_OK);
    ldapTool(*s, QStringLiteral("ldapdelete"), {dn}, {}, false);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].dn.toLower(), dn.toLower());
    QMap<QString, QList<QByteArray>> got;
    for (const LdapAttribute &a : entries[0].attributes)
        for (const QByteArray &v : a.values)
            got[a.name.toLower()] << v;
    QList<QByteArray> textBytes;
    for (const QString &text : texts)
        textBytes << text.toUtf8();
    EXPECT_EQ(got.value(QStringLiteral("description")), textBytes);
    EXPECT_EQ(got.value(QStringLiteral("thumbnailphoto")), QList<QByteArray>{photo});
    EXPECT_EQ(got.value(QStringLiteral("title")), QList<QByteArray>{QStringLiteral("Длины").toUtf8()});
    EXPECT_EQ(got.value(QStringLiteral("sn")), QList<QByteArray>{"Lengths"});
    EXPECT_EQ(got.value(QStringLiteral("cn")), QList<QByteArray>{"Entry Lengths"});
    EXPECT_EQ(got.size(), 5);
}
