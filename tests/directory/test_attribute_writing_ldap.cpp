// Writing through the directory operations against the private slapd and the
// Samba DC: the clear-then-set sequence and its commands, exact values, the
// restore after a refused value, multiple values, ApplyPreparedValues, the
// account state and the photo; each result checked with ldapsearch.

#include "DirectoryOperationsFixture.h"
#include "TestJpeg.h"
#include "TestSupport.h"
#include "directory/AccountState.h"
#include "directory/AttributeWriting.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"
#include "directory/Photo.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace orvane;
using test::OperationsTest;

namespace
{

class AttributeWritingTest : public OperationsTest
{
  protected:
    // The commands after the bind's OpenDSObject.
    static QStringList written(const CommandTrace &trace)
    {
        QStringList commands = trace.commands();
        if (!commands.isEmpty() && commands.first().startsWith(QStringLiteral("OpenDSObject(")))
            commands.removeFirst();
        return commands;
    }
    QByteArray photoOf(int editor)
    {
        const auto values =
            test::ldifValues(test::ldapsearchEntry(dir, editorDn(editor), {QStringLiteral("thumbnailPhoto")}),
                             QStringLiteral("thumbnailPhoto"));
        return values.empty() ? QByteArray() : values.front();
    }
};

const QString kTitle = QStringLiteral("title");

} // namespace

TEST_P(AttributeWritingTest, ClearCommitSetCommitWritesExactlyTheValue)
{
    const QString guid = editorGuid(1);
    CommandTrace trace;
    DirectoryReport r = WriteAttribute(connection(), guid, kTitle, 0, {QStringLiteral("Engineer")});
    EXPECT_EQ(r.result, 1) << (r.messages.isEmpty() ? "" : r.messages[0].text.toStdString());
    EXPECT_EQ(written(trace),
              (QStringList{QStringLiteral("PutEx(1, 'title', '0')"), QStringLiteral("SetInfo"),
                           QStringLiteral("Put('title', 'Engineer')"), QStringLiteral("SetInfo")}));
    EXPECT_EQ(directoryValues(editorDn(1), kTitle), QStringList{QStringLiteral("Engineer")});

    // A quote and a "$" followed by four hex digits arrive as typed.
    const QString tricky = QStringLiteral("O'Neil pays $1234 & $0041");
    EXPECT_EQ(WriteAttribute(connection(), guid, kTitle, 0, {tricky}).result, 1);
    EXPECT_EQ(directoryValues(editorDn(1), kTitle), QStringList{tricky});

    trace.clear();
    EXPECT_EQ(WriteAttribute(connection(), guid, kTitle, 0, {QString()}).result, 1);
    EXPECT_EQ(written(trace),
              (QStringList{QStringLiteral("PutEx(1, 'title', '0')"), QStringLiteral("SetInfo")}));
    EXPECT_TRUE(directoryValues(editorDn(1), kTitle).isEmpty());
}

TEST_P(AttributeWritingTest, ARefusedValueLeavesTheOldValuesAndSaysSo)
{
    // slapd refuses the same value twice in one attribute and a title over 64
    // characters. Samba accepts both (and every other value tried: sizes,
    // duplicates, unknown DNs); its clear of a userPrincipalName already fails.
    if (dir.isSamba())
        GTEST_SKIP() << "Samba refuses none of the values this test sends after the clear";
    struct Case {
        QString attribute;
        int multivalued;
        QStringList old;
        QStringList refused;
        const char *text;
    };
    std::vector<Case> cases{{QStringLiteral("otherTelephone"),
                             1,
                             {QStringLiteral("100"), QStringLiteral("200")},
                             {QStringLiteral("dup"), QStringLiteral("dup")},
                             " COM method error while applying modified AD attribute data.\n\n"}};
    cases.push_back({kTitle,
                     0,
                     {QStringLiteral("Keeper")},
                     {QString(65, QLatin1Char('x'))},
                     " COM method error occurred while applying modified AD attribute.\n\n"});
    const QString guid = editorGuid(2);
    for (const Case &c : cases) {
        const DirectoryReport first = WriteAttribute(connection(), guid, c.attribute, c.multivalued, c.old);
        ASSERT_EQ(first.result, 1) << (first.messages.isEmpty() ? "" : first.messages[0].text.toStdString());
        const DirectoryReport r = WriteAttribute(connection(), guid, c.attribute, c.multivalued, c.refused);
        EXPECT_EQ(r.result, 0);
        ASSERT_EQ(r.messages.size(), 1);
        EXPECT_EQ(r.messages[0].title, QStringLiteral("Attribute edit error"));
        EXPECT_TRUE(r.messages[0].text.startsWith(codeText(r.failure.code) + QString::fromLatin1(c.text)))
            << r.messages[0].text.toStdString();
        EXPECT_TRUE(r.messages[0].text.endsWith(QStringLiteral("The previous value has been written back.")))
            << r.messages[0].text.toStdString();
        EXPECT_EQ(directoryValues(editorDn(2), c.attribute), c.old);
    }
}

TEST_P(AttributeWritingTest, MultipleValuesAreWrittenInOrderAndReadBackJoined)
{
    const QString guid = editorGuid(3);
    const QString phones = QStringLiteral("otherTelephone");
    CommandTrace trace;
    EXPECT_EQ(
        WriteAttribute(connection(), guid, phones, 1, {QStringLiteral("x"), QStringLiteral("y")}).result, 1);
    ASSERT_EQ(written(trace).size(), 4);
    EXPECT_TRUE(written(trace)[2].startsWith(QStringLiteral("PutEx(3, 'otherTelephone', ")));
    EXPECT_TRUE(written(trace)[2].endsWith(QStringLiteral(" as variant)")));
    EXPECT_EQ(directoryValues(editorDn(3), phones), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));

    ObjectTable table(1);
    table[0].guid = guid;
    const DirectoryReport reload = ReloadObject(connection(), *db, guid, &table, 0, QStringLiteral(";"));
    EXPECT_EQ(reload.result, 1);
    EXPECT_EQ(table[0].values.value(phones), QStringLiteral("x;y"));
    EXPECT_EQ(table[0].values.value(kTitle), QStringLiteral("Initial title"));
    EXPECT_EQ(table[0].values.value(QStringLiteral("mobile"), QStringLiteral("absent")), QString());

    EXPECT_EQ(WriteAttribute(connection(), guid, phones, 1, {}).result, 1);
    EXPECT_TRUE(directoryValues(editorDn(3), phones).isEmpty());
}

TEST_P(AttributeWritingTest, ApplyPreparedValuesWritesOnlyWhatDiffers)
{
    ObjectTable table(1);
    table[0].guid = editorGuid(4);
    SyncRecordList records(3);
    records[0] = {kTitle, {}, 0, 0, 64, 0, 0, 1, QStringLiteral("Not written"), {}};
    records[1] = {QStringLiteral("otherTelephone"), {}, 0, 1, 64, 0, 0, 0, QStringLiteral("555;;666;"), {}};
    records[2] = {QStringLiteral("department"), {}, 0, 0, 64, 0, 0, 0, QStringLiteral("Sales"), {}};
    const DirectoryReport r = ApplyPreparedValues(connection(), records, table, 0, QStringLiteral(";"));
    EXPECT_EQ(r.result, 1) << (r.messages.isEmpty() ? "" : r.messages[0].text.toStdString());
    EXPECT_EQ(directoryValues(editorDn(4), kTitle), QStringList{QStringLiteral("Initial title")});
    EXPECT_EQ(directoryValues(editorDn(4), QStringLiteral("otherTelephone")),
              (QStringList{QStringLiteral("555"), QStringLiteral("666")}));
    EXPECT_EQ(directoryValues(editorDn(4), QStringLiteral("department")),
              QStringList{QStringLiteral("Sales")});

    // A bad password: one open-failure message, nothing written.
    DirectoryConnection wrong = connection();
    wrong.password = QStringLiteral("wrong");
    const DirectoryReport refused = ApplyPreparedValues(wrong, records, table, 0, QStringLiteral(";"));
    ASSERT_EQ(refused.messages.size(), 1);
    EXPECT_EQ(refused.messages[0].title, QStringLiteral("Synchronization error"));
    EXPECT_TRUE(refused.messages[0].text.startsWith(
        QStringLiteral("<-2147023570> COM method error occurred while trying to open AD object.\n\n")));
}

TEST_P(AttributeWritingTest, DisableAndEnableWriteOnlyWhenTheStateChanges)
{
    const QString guid = editorGuid(5);
    const auto uac = [&] {
        return directoryValues(editorDn(5), QStringLiteral("userAccountControl")).value(0).toLongLong();
    };
    CommandTrace trace;
    EXPECT_EQ(DisableAccount(connection(), guid).result, 1);
    EXPECT_EQ(written(trace),
              (QStringList{QStringLiteral("AccountDisabled = -1"), QStringLiteral("SetInfo")}));
    EXPECT_TRUE(uac() & 2);
    EXPECT_EQ(ReadAccountDisabled(connection(), guid), 1);

    trace.clear();
    const DirectoryReport again = DisableAccount(connection(), guid);
    EXPECT_EQ(again.result, 1);
    EXPECT_TRUE(again.messages.isEmpty());
    EXPECT_TRUE(written(trace).isEmpty());

    trace.clear();
    EXPECT_EQ(EnableAccount(connection(), guid).result, 1);
    EXPECT_EQ(written(trace),
              (QStringList{QStringLiteral("AccountDisabled = 0"), QStringLiteral("SetInfo")}));
    EXPECT_FALSE(uac() & 2);
    EXPECT_EQ(ReadAccountDisabled(connection(), guid), 0);

    trace.clear();
    EXPECT_EQ(EnableAccount(connection(), QStringLiteral("not-a-guid")).result, 0);
    EXPECT_TRUE(trace.commands().isEmpty());
}

TEST_P(AttributeWritingTest, PhotoIsSetRestoredAfterARefusalAndRemoved)
{
    const QString guid = editorGuid(7);
    QFile fixture(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-120x160.jpg"));
    ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
    const QByteArray original = fixture.readAll();
    EXPECT_EQ(SetPhoto(connection(), guid, original).result, 1);
    EXPECT_EQ(ReadPhoto(connection(), guid).value_or(QByteArray()), original);
    EXPECT_EQ(photoOf(7), original);

    const QByteArray largest = test::makeJpeg(96, 96, 102400);
    CommandTrace trace;
    DirectoryReport r = SetPhoto(connection(), guid, largest);
    EXPECT_EQ(r.result, 1) << (r.messages.isEmpty() ? "" : r.messages[0].text.toStdString());
    const QStringList commands = written(trace);
    ASSERT_EQ(commands.size(), 4);
    EXPECT_EQ(commands[0], QStringLiteral("PutEx(1, 'thumbnailPhoto', '0')"));
    EXPECT_EQ(commands[1], QStringLiteral("SetInfo"));
    EXPECT_TRUE(commands[2].startsWith(QStringLiteral("Put('thumbnailPhoto', ")) &&
                commands[2].endsWith(QStringLiteral(" as variant)")))
        << commands[2].toStdString();
    EXPECT_EQ(commands[3], QStringLiteral("SetInfo"));
    EXPECT_EQ(photoOf(7), largest);
    EXPECT_EQ(ReadPhoto(connection(), guid).value_or(QByteArray()), largest);
    const QString exported = test::freshTestFolder() + QStringLiteral("/editor07.jpg");
    EXPECT_FALSE(exportPhoto(exported, ReadPhoto(connection(), guid).value_or(QByteArray())));
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), largest);

    // One byte more is refused by slapd after the clear: the photo comes back.
    // (Samba does not check the size.)
    if (!dir.isSamba()) {
        r = SetPhoto(connection(), guid, test::makeJpeg(96, 96, 102401));
        EXPECT_EQ(r.result, 0);
        ASSERT_EQ(r.messages.size(), 1);
        EXPECT_EQ(r.messages[0].title, QStringLiteral("Image file"));
        EXPECT_TRUE(r.messages[0].text.startsWith(
            codeText(r.failure.code) +
            QStringLiteral(" Error occured while trying to apply changes to an image attribute.")));
        EXPECT_TRUE(r.messages[0].text.endsWith(QStringLiteral("The previous image has been written back.")))
            << r.messages[0].text.toStdString();
        EXPECT_EQ(photoOf(7), largest);
    }

    EXPECT_EQ(RemovePhoto(connection(), guid).result, 1);
    EXPECT_TRUE(photoOf(7).isEmpty());
    EXPECT_FALSE(ReadPhoto(connection(), guid));
    EXPECT_EQ(SetPhoto(connection(), guid, original).result, 1);
}

TEST_P(AttributeWritingTest, OpenFailuresCarryTheirTitles)
{
    DirectoryConnection wrong = connection();
    wrong.password = QStringLiteral("wrong");
    const QString guid = editorGuid(8);
    const QString open =
        QStringLiteral("<-2147023570> COM method error occurred while trying to open AD object.");
    const struct {
        DirectoryReport report;
        const char *title;
    } cases[] = {
        {WriteAttribute(wrong, guid, kTitle, 0, {QStringLiteral("x")}), "Attribute edit error"},
        {DisableAccount(wrong, guid), "Disable account error"},
        {EnableAccount(wrong, guid), "Enable account error"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(c.report.messages.size(), 1) << c.title;
        EXPECT_EQ(c.report.messages[0].title, QString::fromLatin1(c.title));
        EXPECT_TRUE(c.report.messages[0].text.startsWith(open + QStringLiteral("\n\n")))
            << c.report.messages[0].text.toStdString();
        EXPECT_EQ(c.report.result, 0);
    }
    ObjectTable table(1);
    table[0].values.insert(kTitle, QStringLiteral("kept"));
    const DirectoryReport reload = ReloadObject(wrong, *db, guid, &table, 0, QStringLiteral(";"));
    ASSERT_EQ(reload.messages.size(), 1);
    EXPECT_EQ(reload.messages[0].title, QStringLiteral("Reload object error"));
    EXPECT_EQ(table[0].values.value(kTitle), QStringLiteral("kept"));

    DirectoryReport photo;
    EXPECT_FALSE(ReadPhoto(wrong, guid, &photo));
    ASSERT_EQ(photo.messages.size(), 1);
    EXPECT_TRUE(photo.messages[0].text.startsWith(
        QStringLiteral("<-2147023570> Cannot open Active Directory object.")));
    EXPECT_EQ(directoryValues(editorDn(8), kTitle), QStringList{QStringLiteral("Initial title")});
}

INSTANTIATE_TEST_SUITE_P(Directories, AttributeWritingTest, ::testing::ValuesIn(test::testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });
