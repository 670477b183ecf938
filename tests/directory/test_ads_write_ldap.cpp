// Writing directory objects with the command strings the program sends
// (PutEx clear, SetInfo, Put, PutEx append, AccountDisabled, the photo),
// against the private slapd and the Samba domain controller, each change
// checked with an independent ldapsearch.

#include "TestDirectory.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/PassedAddress.h"
#include "automation/VariantArrays.h"
#include "directory/ObjectBinding.h"
#include "directory/ldap/RegisterServers.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

class AdsWriteTest : public DirectoryTest
{
  protected:
    QString writerDn(int n) const
    {
        return QStringLiteral("CN=Writer %1,").arg(n, 2, 10, QLatin1Char('0')) + dir.fixturesBase();
    }

    // Binds writer `n` as the program does; fails the test when it cannot.
    Handle bindWriter(int n, Handle *ns)
    {
        Handle user = openByGuid(dir, guidTextOf(dir, writerDn(n)), dir.admin, dir.password, ns);
        EXPECT_TRUE(user) << lastErrorText().toStdString();
        return user;
    }

    // The catalogue attributes of writer `n` as ldapsearch sees them.
    LdifEntry catalogueOf(int n)
    {
        QStringList names;
        for (const CatalogueAttribute &a : catalogue())
            names << QString::fromLatin1(a.name);
        names << QStringLiteral("userAccountControl") << QStringLiteral("thumbnailPhoto");
        return ldapsearchEntry(dir, writerDn(n), names);
    }

    std::vector<QByteArray> valuesOf(int n, const char *attribute)
    {
        return ldifValues(ldapsearchEntry(dir, writerDn(n), {QString::fromLatin1(attribute)}),
                          QString::fromLatin1(attribute));
    }
};

// A VARIANT that the engine accepts by address while it lives.
struct OwnedVariant {
    VARIANT v;
    PassedAddress passed{&v};
    OwnedVariant() { VariantInit(&v); }
    ~OwnedVariant() { VariantClear(&v); }
};

// The engine's way to name a VARIANT in a command: its registered address in decimal.
QString addressOf(const OwnedVariant &owned)
{
    return owned.passed.text() + QStringLiteral(" as variant");
}

std::vector<QByteArray> bytesList(std::initializer_list<const char *> texts)
{
    std::vector<QByteArray> out;
    for (const char *t : texts)
        out.emplace_back(t);
    return out;
}

} // namespace

TEST_P(AdsWriteTest, ClearCommitPutCommitSetsExactlyTheOneAttribute)
{
    Handle ns;
    Handle user = bindWriter(1, &ns);
    ASSERT_TRUE(user);
    const LdifEntry before = catalogueOf(1);
    for (const QString &value : {QStringLiteral("Engineer"), QStringLiteral("Ведущий инженер")}) {
        EXPECT_EQ(invoke(user.get(), QStringLiteral("PutEx(1, 'title', '0')")), 0);
        EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
        EXPECT_TRUE(valuesOf(1, "title").empty());
        EXPECT_EQ(invoke(user.get(), QStringLiteral("Put('title', '") + value + QStringLiteral("')")), 0);
        EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
        EXPECT_EQ(valuesOf(1, "title"), std::vector<QByteArray>{value.toUtf8()});
        EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("title")), value);
    }
    LdifEntry after = catalogueOf(1);
    LdifEntry expected = before;
    expected.remove(QStringLiteral("title"));
    after.remove(QStringLiteral("title"));
    EXPECT_EQ(after, expected); // nothing else changed
}

TEST_P(AdsWriteTest, ClearingAnAbsentAttributeSucceedsAndLeavesItAbsent)
{
    Handle ns;
    Handle user = bindWriter(2, &ns);
    ASSERT_TRUE(user);
    for (int round = 0; round < 2; ++round) { // the second clear finds nothing to remove
        EXPECT_EQ(invoke(user.get(), QStringLiteral("PutEx(1, 'department', '0')")), 0);
        EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
        EXPECT_TRUE(valuesOf(2, "department").empty());
    }
    // SetInfo with nothing queued is no error either.
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0);
}

TEST_P(AdsWriteTest, AppendWritesEveryValueOfTheArray)
{
    Handle ns;
    Handle user = bindWriter(3, &ns);
    ASSERT_TRUE(user);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("PutEx(1, 'otherTelephone', '0')")), 0);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0);
    OwnedVariant values;
    ASSERT_EQ(setVariantStringArray(&values.v, {QStringLiteral("555"), QStringLiteral("666"),
                                                QStringLiteral("+7 (495) 000-00-00")}),
              0);
    EXPECT_EQ(invoke(user.get(),
                     QStringLiteral("PutEx(3, 'otherTelephone', ") + addressOf(values) + QLatin1Char(')')),
              0)
        << lastErrorText().toStdString();
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
    EXPECT_EQ(valuesOf(3, "otherTelephone"), bytesList({"555", "666", "+7 (495) 000-00-00"}));

    // A fresh bind reads them back as an array.
    Handle ns2;
    Handle again = bindWriter(3, &ns2);
    VariantResult read(getVariantProperty(again.get(), QStringLiteral("otherTelephone")));
    ASSERT_TRUE(read);
    EXPECT_EQ(variantTexts(read.get()), (QStringList{"555", "666", "+7 (495) 000-00-00"}));
}

TEST_P(AdsWriteTest, AccountDisabledRoundTrips)
{
    const auto flags = [&] {
        const std::vector<QByteArray> v = valuesOf(4, "userAccountControl");
        return v.empty() ? -1 : v.front().toInt();
    };
    for (const int state : {-1, 0, -1, 0}) {
        Handle ns;
        Handle user = bindWriter(4, &ns);
        ASSERT_TRUE(user);
        const int otherBits = flags() & ~2;
        EXPECT_EQ(setProperty(user.get(), QStringLiteral("AccountDisabled = ") + QString::number(state)), 0);
        EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
        EXPECT_EQ(getIntegerProperty(user.get(), QStringLiteral("AccountDisabled")), state);
        EXPECT_EQ(flags(), otherBits | (state ? 2 : 0)); // only bit 0x2 changed

        Handle ns2;
        Handle fresh = bindWriter(4, &ns2);
        EXPECT_EQ(getIntegerProperty(fresh.get(), QStringLiteral("AccountDisabled")), state);
    }
}

TEST_P(AdsWriteTest, TwentyKilobytePhotoRoundTripsByteForByte)
{
    QByteArray photo(20 * 1024, Qt::Uninitialized);
    QRandomGenerator random(20240521);
    for (char &c : photo)
        c = static_cast<char>(random.bounded(256));
    photo[0] = '\xFF'; // a JPEG start, and every byte value in the rest
    photo[1] = '\xD8';

    Handle ns;
    Handle user = bindWriter(5, &ns);
    ASSERT_TRUE(user);
    OwnedVariant bytes;
    ASSERT_TRUE(bytesToVariant(&bytes.v, photo));
    EXPECT_EQ(invoke(user.get(), QStringLiteral("PutEx(1, 'thumbnailPhoto', '0')")), 0);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0);
    EXPECT_EQ(
        invoke(user.get(), QStringLiteral("Put('thumbnailPhoto', ") + addressOf(bytes) + QLatin1Char(')')),
        0);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
    EXPECT_EQ(valuesOf(5, "thumbnailPhoto"), std::vector<QByteArray>{photo});

    Handle ns2;
    Handle fresh = bindWriter(5, &ns2);
    VariantResult read(getVariantProperty(fresh.get(), QStringLiteral("thumbnailPhoto")));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(variantToBytes(read.get()).value_or(QByteArray()), photo);

    // Removing it: the clear and its commit.
    EXPECT_EQ(invoke(fresh.get(), QStringLiteral("PutEx(1, 'thumbnailPhoto', '0')")), 0);
    EXPECT_EQ(invoke(fresh.get(), QStringLiteral("SetInfo")), 0);
    EXPECT_TRUE(valuesOf(5, "thumbnailPhoto").empty());
}

TEST_P(AdsWriteTest, ChangesStayInTheObjectUntilSetInfo)
{
    Handle ns;
    Handle user = bindWriter(7, &ns);
    ASSERT_TRUE(user);
    const std::vector<QByteArray> stored = valuesOf(7, "company");
    EXPECT_EQ(invoke(user.get(), QStringLiteral("Put('company', 'Pending Ltd')")), 0);
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("company")), QStringLiteral("Pending Ltd"));
    EXPECT_EQ(valuesOf(7, "company"), stored);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0);
    EXPECT_EQ(valuesOf(7, "company"), bytesList({"Pending Ltd"}));
}

TEST_P(AdsWriteTest, ARefusedValueIsReportedAndNotSentAgain)
{
    Handle ns;
    Handle user = bindWriter(6, &ns);
    ASSERT_TRUE(user);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("Put('initials', 'AB')")), 0);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0);

    // Seven characters where the schema allows six: slapd answers
    // constraintViolation, Samba invalidAttributeSyntax, Windows
    // constraintViolation; either way SetInfo fails and nothing changes.
    EXPECT_EQ(invoke(user.get(), QStringLiteral("Put('initials', 'ABCDEFG')")), 0);
    const HRESULT hr = invoke(user.get(), QStringLiteral("SetInfo"));
    EXPECT_NE(hr, 0);
    EXPECT_EQ(lastErrorCode(), hr);
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32) << lastErrorText().toStdString();
    EXPECT_EQ(valuesOf(6, "initials"), bytesList({"AB"}));
    // The object shows the directory's value again...
    EXPECT_EQ(getStringProperty(user.get(), QStringLiteral("initials")), QStringLiteral("AB"));
    // ...and the next commit carries only the next change.
    EXPECT_EQ(invoke(user.get(), QStringLiteral("Put('title', 'After a refusal')")), 0);
    EXPECT_EQ(invoke(user.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
    EXPECT_EQ(valuesOf(6, "title"), bytesList({"After a refusal"}));
    EXPECT_EQ(valuesOf(6, "initials"), bytesList({"AB"}));
}

// A bind announced beforehand (as journaled writes announce the next user)
// reads what the directory holds when it binds: also what this process wrote
// to the object after the announcement, and also when another object was
// bound in between.
TEST_P(AdsWriteTest, AnAnnouncedBindReadsWhatTheDirectoryHoldsWhenItBinds)
{
    DirectoryConnection connection;
    connection.serverAddress = dir.serverAddress();
    connection.userName = dir.admin;
    connection.password = dir.password;
    Handle ns;
    Handle writer = bindWriter(2, &ns);
    ASSERT_TRUE(writer);
    for (const QString &company : {QStringLiteral("Announced Ltd"), QStringLiteral("Announced again Ltd")}) {
        AnnounceBind(connection, guidTextOf(dir, writerDn(2)));
        EXPECT_EQ(invoke(writer.get(), QStringLiteral("Put('company', '") + company + QStringLiteral("')")), 0);
        EXPECT_EQ(invoke(writer.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
        Handle ns2;
        Handle again = bindWriter(2, &ns2);
        EXPECT_EQ(getStringProperty(again.get(), QStringLiteral("company")), company);
    }
    AnnounceBind(connection, guidTextOf(dir, writerDn(3)));
    Handle ns3;
    Handle other = bindWriter(2, &ns3);
    EXPECT_EQ(getStringProperty(other.get(), QStringLiteral("company")), QStringLiteral("Announced again Ltd"));
    // Announced with the attributes it will use: those are read and written
    // at once; anything else reads the whole entry, keeping a change not yet sent.
    const QByteArray title = valuesOf(3, "title").at(0);
    AnnounceBind(connection, guidTextOf(dir, writerDn(3)), {QStringLiteral("title")});
    Handle ns4;
    Handle announced = bindWriter(3, &ns4);
    EXPECT_EQ(getStringProperty(announced.get(), QStringLiteral("title")).toUtf8(), title);
    EXPECT_EQ(invoke(announced.get(), QStringLiteral("Put('title', 'Read ahead')")), 0);
    EXPECT_EQ(getStringProperty(announced.get(), QStringLiteral("givenName")), QStringLiteral("W03"));
    EXPECT_EQ(invoke(announced.get(), QStringLiteral("SetInfo")), 0) << lastErrorText().toStdString();
    EXPECT_EQ(valuesOf(3, "title"), bytesList({"Read ahead"}));
    EXPECT_EQ(invoke(announced.get(), QStringLiteral("Put('title', '") + QString::fromUtf8(title) +
                                          QStringLiteral("')")),
              0);
    EXPECT_EQ(invoke(announced.get(), QStringLiteral("SetInfo")), 0);
    EXPECT_EQ(valuesOf(3, "title"), std::vector<QByteArray>{title});
}

INSTANTIATE_TEST_SUITE_P(Directories, AdsWriteTest, ::testing::ValuesIn(testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });
