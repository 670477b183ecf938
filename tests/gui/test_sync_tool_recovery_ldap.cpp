// The window's question at start after orvane-sync was cut off between a
// clear and its set (by the loopback proxy, the directory then away for
// longer than the run waited): Yes writes the old value back.

#include "DirectoryRequirement.h"
#include "GuiFixture.h"
#include "InterruptedSyncSetup.h"
#include "ScriptedDialogs.h"
#include "app/RecoveryQuestion.h"

using namespace orvane;
using namespace orvane::test;

class RecoveryQuestionTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        storeConnectionOptions(ctx->db, slapd);
        connectTo(ctx->settings, slapd);
        dns = addBulkUsers(slapd, QStringLiteral("Window"), 1);
        registerSyncWorkbook(ctx->db, home, 1);
    }

    void TearDown() override
    {
        deleteUsers(slapd, dns);
        GuiTest::TearDown();
    }

    // orvane-sync apply through a proxy that cuts the first clear-then-set pair and then stays away.
    void cutApply()
    {
        const CutProxy proxy(qEnvironmentVariable("ORVANE_DIRECTORY_STATE"),
                             qEnvironmentVariableIntValue("ORVANE_SLAPD_LDAPS_PORT"), 60);
        ctx->db.setOption(QStringLiteral("dcserverport"), QString::number(proxy.port));
        // --force: the whole directory is listed and most of it has no row (not what this test is about).
        const SyncToolRun run = runSyncTool({QStringLiteral("apply"), QStringLiteral("--yes"), QStringLiteral("--force"),
                                             QStringLiteral("--retry-seconds"),
                                             QStringLiteral("0"), QStringLiteral("--data-dir"),
                                             home + QStringLiteral("/orvane")},
                                            slapd.password);
        ASSERT_EQ(run.exitCode, 2) << run.out.toStdString() << run.err.toStdString();
        ctx->db.setOption(QStringLiteral("dcserverport"), QString::number(slapd.port));
    }

    Slapd slapd;
    QStringList dns;
};

TEST_F(RecoveryQuestionTest, YesRestoresTheValueNoLeavesItAndSaysHow)
{
    const auto before = titlesAndDepartments(slapd, QStringLiteral("Window"));
    cutApply();
    ASSERT_NE(titlesAndDepartments(slapd, QStringLiteral("Window")), before);

    ScriptedDialogs boxes;
    boxes.answers << false;
    EXPECT_FALSE(offerInterruptedWritesRecovery(*ctx, nullptr));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Interrupted synchronization"));
    EXPECT_TRUE(boxes.shown[0].text.startsWith(
        QStringLiteral("1 attribute value was left empty by an interrupted synchronization (change set 1, ")))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.endsWith(QStringLiteral("). Restore their previous values?")));
    EXPECT_EQ(boxes.shown[1].text,
              QStringLiteral("The values stay empty for now. You are asked again at the next start; "
                             "\"orvane-sync recover\" restores them at any time."));

    boxes.answers << true;
    EXPECT_TRUE(offerInterruptedWritesRecovery(*ctx, nullptr));
    ASSERT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(boxes.shown[2].text, boxes.shown[0].text);
    EXPECT_EQ(boxes.shown[3].text, QStringLiteral("Written: 1, failed: 0, skipped: 0."));
    EXPECT_EQ(titlesAndDepartments(slapd, QStringLiteral("Window")), before);
    EXPECT_EQ(rows(ctx->db, QStringLiteral("SELECT origin FROM journal_sets WHERE id = 2"), 1),
              QStringList{QStringLiteral("recovery")});

    // Nothing is left to ask about.
    EXPECT_FALSE(offerInterruptedWritesRecovery(*ctx, nullptr));
    EXPECT_EQ(boxes.shown.size(), 4);
}
