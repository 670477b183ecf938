// The review window and orvane-sync on one settings file and one workbook:
// both list the same changes with the same why.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "SyncToolSetup.h"
#include "WorkbookSetup.h"
#include "app/MainWindow.h"
#include "app/ReviewWindow.h"

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace orvane;
using namespace orvane::test;

class SyncToolWindowTest : public GuiTest
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
        const auto user = [&](const char *cn, const char *id, const char *more) {
            dns << addKeyedTestUser(slapd, cn, QStringLiteral("Ysyncwin"), id, more);
        };
        user("Window Anna", "Y0001", "title: Old\notherTelephone: 100");
        user("Window Boris", "Y0002", "title: Same\ndepartment: Sales\ninitials: AB");
        user("Window Clara", "Y0003", "title: Manager");
        const QString hr = home + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Title", "Department", "Initials", "Phones"}},
                                             {2, {"Y0001", "главный бухгалтер", "", "", "200;100"}},
                                             {3, {"Y0002", "Same Street", "Marketing", "ABCDEFG"}},
                                             {4, {"Y0003", "manager"}}});
        registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                             {{1, attr::employeeID, true, true},
                              {2, attr::title},
                              {3, attr::department},
                              {4, attr::initials},
                              {5, attr::otherTelephone}},
                             true);
    }

    void TearDown() override
    {
        for (const QString &dn : dns)
            ldapTool(slapd, QStringLiteral("ldapdelete"), {dn}, {}, false);
        GuiTest::TearDown();
    }

    Slapd slapd;
    QStringList dns;
};

TEST_F(SyncToolWindowTest, TheToolPlansWhatTheReviewWindowLists)
{
    MainWindow window(*ctx);
    window.show();
    auto *letters = window.findChild<QComboBox *>(QStringLiteral("LetterCombo"));
    letters->setCurrentIndex(letters->findText(QStringLiteral("Y")));
    window.find();
    window.findChild<QAction *>(QStringLiteral("ReviewAll"))->trigger();
    auto *review = window.findChild<ReviewWindow *>();
    ASSERT_TRUE(review);
    QStringList shown;
    const auto *list = review->findChild<QTreeWidget *>(QStringLiteral("ReviewList"));
    for (int u = 0; u < list->topLevelItemCount(); ++u) {
        const QTreeWidgetItem *user = list->topLevelItem(u);
        for (int r = 0; r < user->childCount(); ++r) {
            const QTreeWidgetItem *row = user->child(r);
            shown << QStringList{user->text(0), row->text(0), row->text(1),
                                 row->text(2),  row->text(3), row->toolTip(2)}
                         .join(u'|');
        }
    }

    const SyncToolRun tool = runSyncTool(
        {QStringLiteral("plan"), QStringLiteral("--letter"), QStringLiteral("Y"), QStringLiteral("--format"),
         QStringLiteral("json"), QStringLiteral("--data-dir"), home + QStringLiteral("/orvane")},
        slapd.password);
    ASSERT_EQ(tool.exitCode, 1) << tool.err.toStdString();
    QStringList planned;
    for (const QJsonValue &v :
         QJsonDocument::fromJson(tool.out.toUtf8())[QStringLiteral("changes")].toArray()) {
        const QJsonObject c = v.toObject();
        QStringList why{QStringLiteral("Workbook cell: ") + c[QStringLiteral("rawValue")].toString()};
        for (const QJsonValue &line : c[QStringLiteral("why")].toArray())
            why << line.toString();
        planned << QStringList{c[QStringLiteral("cn")].toString() + QStringLiteral(" (") +
                                   c[QStringLiteral("sAMAccountName")].toString() + u')',
                               c[QStringLiteral("attribute")].toString(),
                               c[QStringLiteral("directoryValue")].toString(),
                               c[QStringLiteral("preparedValue")].toString(),
                               QString::number(c[QStringLiteral("sourceRow")].toInt()),
                               why.join(u'\n')}
                       .join(u'|');
    }
    EXPECT_EQ(planned, shown);
    EXPECT_GE(shown.size(), 4) << shown.join(u'\n').toStdString();
    review->close();
}
