// orvane-settings as scripts use it: exit codes, and what lands in the file.

#include "TestSupport.h"
#include "store/Database.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{

struct ToolRun {
    int exitCode;
    QString out;
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

    ToolRun run(const QStringList &args)
    {
        QProcess tool;
        tool.start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-settings"), QStringList{path} + args);
        EXPECT_TRUE(tool.waitForFinished(20000));
        return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()).trimmed()};
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
    EXPECT_EQ(rows("SELECT count(*) FROM options", 1), QStringList({"18"}));
    EXPECT_EQ(run({"set-password", "secret"}).exitCode, 0);
    EXPECT_NE(rows("SELECT val FROM options WHERE fld = 'adpassword'", 1), QStringList({"secret"}));
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
