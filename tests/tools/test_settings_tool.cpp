// orvane-settings as scripts use it: exit codes, and what lands in the file.

#include "TestSupport.h"
#include "store/Database.h"
#include "store/OptionTable.h"
#include "store/PasswordScrambler.h"
#include "store/SettingsMigrations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{

struct ToolRun {
    int exitCode;
    QString out;
    QString err;
};

class SettingsTool : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const QString folder = QStringLiteral(ORVANE_TEST_TMP);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        path = folder + QStringLiteral("/data.db3");
    }

    // Runs the tool on `path` with `input` on its standard input. Without a
    // keyring the password goes to the scrambled column, which these tests read.
    ToolRun run(const QStringList &args, const QByteArray &input = {})
    {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-settings"), QStringList{path} + args);
        tool.write(input);
        tool.closeWriteChannel();
        EXPECT_TRUE(tool.waitForFinished(20000));
        return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(tool.readAllStandardError()).trimmed()};
    }

    QStringList rows(const QString &statement, int columns)
    {
        orvane::Database db;
        EXPECT_TRUE(db.open(path));
        return orvane::test::resultRows(db, statement, columns);
    }

    QString path;
};

} // namespace

TEST_F(SettingsTool, OptionsAreWrittenExactlyAndUnknownOnesRefused)
{
    const QString typed = QStringLiteral("O'Neil $0041 Ёлка");
    EXPECT_EQ(run({"set", "dcbasedn", typed}).exitCode, 0);
    EXPECT_EQ(run({"get", "dcbasedn"}).out, typed);
    EXPECT_EQ(run({"set", "nosuchoption", "1"}).exitCode, 1);
    EXPECT_EQ(run({"set", "dcbasedn"}).exitCode, 2);
    EXPECT_EQ(run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(rows("SELECT count(*) FROM options", 1),
              QStringList({QString::number(orvane::optionTable().size())}));
    const ToolRun notANumber = run({"set", "mainwindowwidth", "wide"});
    EXPECT_EQ(notANumber.exitCode, 1);
    EXPECT_EQ(notANumber.err, "orvane-settings: mainwindowwidth takes a whole number, not \"wide\"");
    EXPECT_EQ(run({"get", "mainwindowwidth"}).out, "800");
}

TEST_F(SettingsTool, AnOlderFileIsBroughtUpToDateAndANewerOneOnlyRead)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/tests/store/fixtures/settings-v0.db3"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(run({"get", "dcserver"}).out, "dc1.example.org");
    EXPECT_EQ(rows("PRAGMA user_version", 1), QStringList({QString::number(orvane::kSettingsVersion)}));
    {
        orvane::Database db;
        ASSERT_TRUE(db.open(path));
        ASSERT_TRUE(db.execute("PRAGMA user_version = 999"));
    }
    const ToolRun refused = run({"set", "dcserver", "dc2.example.org"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("was written by a newer version of Orvane")) << refused.err.toStdString();
    EXPECT_EQ(run({"get", "dcserver"}).out, "dc1.example.org");
}

TEST_F(SettingsTool, PasswordIsReadFromStandardInputOrAFileNeverFromArguments)
{
    ASSERT_EQ(run({"set", "usecurrentadcredentials", "0"}).exitCode, 0);
    const ToolRun onArgv = run({"set-password", "argv-s3cret"});
    EXPECT_EQ(onArgv.exitCode, 1);
    EXPECT_FALSE(onArgv.err.contains("argv-s3cret"));

    const ToolRun fromStdin = run({"set-password"}, "in-s3cret\n");
    EXPECT_EQ(fromStdin.exitCode, 0);
    EXPECT_EQ(fromStdin.out, "stored only scrambled in the settings file");
    const QString stored = rows("SELECT val FROM options WHERE fld = 'adpassword'", 1).value(0);
    EXPECT_EQ(orvane::unscramblePassword(stored), "in-s3cret");

    QFile file(QStringLiteral(ORVANE_TEST_TMP "/password.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("file-s3cret\r\n");
    file.close();
    EXPECT_EQ(run({"set-password", "--file", file.fileName()}).exitCode, 0);
    EXPECT_EQ(
        orvane::unscramblePassword(rows("SELECT val FROM options WHERE fld = 'adpassword'", 1).value(0)),
        "file-s3cret");

    // Spaces at either end would not survive the column: refused, nothing changes.
    const ToolRun spaced = run({"set-password"}, " spaced \n");
    EXPECT_EQ(spaced.exitCode, 1);
    EXPECT_TRUE(spaced.err.contains("begins or ends with a space"));
    EXPECT_EQ(
        orvane::unscramblePassword(rows("SELECT val FROM options WHERE fld = 'adpassword'", 1).value(0)),
        "file-s3cret");

    ASSERT_EQ(run({"set", "usecurrentadcredentials", "1"}).exitCode, 0);
    EXPECT_EQ(run({"set-password"}, "other\n").exitCode, 1);
}

TEST_F(SettingsTool, CreatesTheFileOwnerOnlyAndTightensAnOpenOne)
{
    ASSERT_EQ(run({"get", "dcserver"}).exitCode, 0);
    EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0); // no group or other bits
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                QFile::ReadOther));
    const ToolRun tightened = run({"get", "dcserver"});
    EXPECT_TRUE(tightened.err.contains("made private"));
    EXPECT_EQ(QFileInfo(path).permissions() & 0x0077, 0);
    EXPECT_EQ(rows("SELECT count(*) FROM events WHERE eventtitle = 'Settings file made private'", 1),
              QStringList({"1"}));
    EXPECT_FALSE(run({"get", "dcserver"}).err.contains("made private"));
}

TEST_F(SettingsTool, WorkbooksAreRegisteredWithTheirBindings)
{
    const ToolRun first = run({"register-workbook", "/srv/hr/staff.xlsx", "HR"});
    ASSERT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out, "1");
    EXPECT_EQ(run({"register-workbook", "/srv/hr/staff.xlsx", "again"}).exitCode, 1);
    EXPECT_EQ(run({"tag-workbook", "1", "primary"}).exitCode, 0);
    EXPECT_EQ(run({"tag-workbook", "7", "primary"}).exitCode, 1);
    EXPECT_EQ(run({"bind", "1", "1", "employeeID"}).exitCode, 0);
    EXPECT_EQ(run({"bind", "1", "1", "sn"}).exitCode, 0);
    EXPECT_EQ(run({"bind", "1", "1", "givenName"}).exitCode, 1); // a column holds two attributes
    EXPECT_EQ(run({"bind", "1", "2", "noSuchAttribute"}).exitCode, 1);
    EXPECT_EQ(run({"tag-binding", "1", "1", "employeeID", "key"}).exitCode, 0);
    EXPECT_EQ(run({"show-binding", "1", "sn"}).exitCode, 0);

    EXPECT_EQ(rows("SELECT filename, desc, primary_flag FROM excelfiles", 3),
              QStringList({"/srv/hr/staff.xlsx|HR|1"}));
    EXPECT_EQ(rows("SELECT fld_order, attribute_id, key_flag, show_flag FROM excelfiles_bind "
                   "ORDER BY attribute_id",
                   4),
              QStringList({"1|2|0|1", "1|16|1|"})); // show_flag stays unset until shown
}
