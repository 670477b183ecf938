// The whole road of a new administrator, through the main window, against the
// private slapd: Find, open the user that differs, Synchronize from its
// key-confirmed row, then export every user. The directory is checked with
// ldapsearch and the exported workbook with openpyxl. The screenshots the demo
// shows are saved under the build tree.

#include "DemoRoad.h"
#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/MainWindow.h"

#include <QProcess>

using namespace orvane;
using namespace orvane::test;

namespace
{

// Column A of the workbook's active sheet as openpyxl reads it, one text per row.
QStringList columnAByOpenpyxl(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import openpyxl,sys\n"
                            "s=openpyxl.load_workbook(sys.argv[1]).active\n"
                            "print('\\n'.join(str(r[0].value) for r in s.iter_rows()))"),
             path});
    p.waitForFinished(60000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(u'\n');
}

} // namespace

TEST_F(GuiTest, RoadFromFindToSynchronizeAndExport)
{
    const auto slapd = slapdFromEnvironment();
    if (!slapd)
        ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
    connectTo(ctx->settings, *slapd);
    const QString dn = addTestUser(
        *slapd, QStringLiteral("Road Test"),
        randomGuidLine() + QStringLiteral("\nsn: Roadtest\nsAMAccountName: road.test\ndisplayName: Road "
                                          "Test\nemployeeID: R0001\ntitle: Clerk\nmobile: 1"));

    const QString hr = home + QStringLiteral("/hr.xlsx");
    writeRowsWorkbook(hr.toStdString(),
                      {{1, {"ID", "Surname", "Title", "Mobile"}},
                       {2, {"R0001", "Roadtest", "Главный специалист", "+7 495 100-20-30"}}});
    registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                         {{1, attr::employeeID, true}, {2, attr::sn, false, true}, {3, attr::title}, {4, 36}},
                         true);
    const QString exported = home + QStringLiteral("/export.xlsx");
    writeRowsWorkbook(exported.toStdString(), {{1, {"Account", "Title"}}, {2, {"kept"}}}, true);
    registerWorkbookWith(ctx->db, exported, QStringLiteral("Export"), {{1, 13}, {2, attr::title}}, false,
                         true);

    MainWindow window(*ctx);
    window.resize(1200, 800);
    window.show();
    const QString shots = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");

    const SyncRoadOutcome sync = runSyncRoad(window, *ctx, boxes, shots);
    EXPECT_EQ(sync.failure, QString());
    EXPECT_EQ(sync.letter, QStringLiteral("R"));
    EXPECT_EQ(sync.sAMAccountName, QStringLiteral("road.test"));
    EXPECT_EQ(sync.question, QStringLiteral("Synchronize 2 attributes to Road Test AD object from source ") +
                                 hr + QStringLiteral("?"));
    EXPECT_TRUE(sync.upToDateAfter);
    const auto entry = ldapEntries(*slapd, QStringLiteral("(sAMAccountName=road.test)"),
                                   {QStringLiteral("title"), QStringLiteral("mobile")})
                           .first();
    EXPECT_EQ(entry.value(QStringLiteral("title")), QStringList{QStringLiteral("Главный специалист")});
    EXPECT_EQ(entry.value(QStringLiteral("mobile")), QStringList{QStringLiteral("+7 495 100-20-30")});

    EXPECT_TRUE(photographExcelFilesTab(window, *ctx, shots));

    const ExportRoadOutcome exportRoad = runExportRoad(window, shots);
    EXPECT_EQ(exportRoad.failure, QString());
    EXPECT_FALSE(exportRoad.counts.isEmpty());
    const QStringList accounts = columnAByOpenpyxl(exported);
    ASSERT_GE(accounts.size(), 3);
    EXPECT_EQ(accounts.mid(0, 2), QStringList({QStringLiteral("Account"), QStringLiteral("kept")}));
    EXPECT_TRUE(accounts.contains(QStringLiteral("road.test")));
    // Other tests may add users meanwhile: compare with what this export says it wrote.
    EXPECT_EQ(exportRoad.status,
              QStringLiteral("Finished: %1 users written to export.xlsx").arg(accounts.size() - 2));

    ldapTool(*slapd, QStringLiteral("ldapdelete"), {dn});
}
