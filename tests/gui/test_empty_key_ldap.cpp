// A user without a value for the key attribute against the private slapd and
// a workbook holding a stranger's row whose key cell is empty: an empty key
// value identifies nobody, so that row is never the user's confirmed row —
// not in the opened user's view (lookup icon, attribute icons), not in the
// object list's status icon and not in the plan. A user with a key value is
// still confirmed by the row holding it.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "plan/SyncPlan.h"

#include <QComboBox>

using namespace orvane;
using namespace orvane::test;

// Readable failure output for texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class EmptyKeyTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        connectTo(ctx->settings, slapd);
        ctx->settings.showComparison = 0;
        keyless =
            addTestUser(slapd, QStringLiteral("Keyless Kim"),
                        randomGuidLine() + QStringLiteral("\nsn: Keyless\nsAMAccountName: keyless.kim\n"
                                                          "displayName: Keyless Kim\ntitle: Own title"));
        keyed = addTestUser(slapd, QStringLiteral("Keyed Karl"),
                            randomGuidLine() + QStringLiteral("\nsn: Keyless\nsAMAccountName: keyed.karl\n"
                                                              "displayName: Keyed Karl\nemployeeID: K0001\n"
                                                              "title: Old Karl"));
        const QString hr = home + QStringLiteral("/hr.xlsx");
        // Row 2 is a stranger's: same surname, no employee ID.
        writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Surname", "Title"}},
                                             {2, {"", "Keyless", "Stranger title"}},
                                             {3, {"K0001", "Keyless", "Karl title"}}});
        registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                             {{1, attr::employeeID, true}, {2, attr::sn, false, true}, {3, attr::title}},
                             true);
        window = std::make_unique<MainWindow>(*ctx);
        window->show();
        auto *letters = window->findChild<QComboBox *>(QStringLiteral("LetterCombo"));
        letters->setCurrentIndex(letters->findText(QStringLiteral("K")));
        window->find();
    }

    void TearDown() override
    {
        window.reset();
        if (!keyless.isEmpty())
            ldapTool(slapd, QStringLiteral("ldapdelete"), {keyless, keyed});
        GuiTest::TearDown();
    }

    QTreeWidget *list(const char *name)
    {
        return window->findChild<QTreeWidget *>(QString::fromLatin1(name));
    }

    int indexOf(const QString &sam) const
    {
        for (int i = 0; i < ctx->objects.size(); ++i) {
            if (ctx->objects[i].sAMAccountName == sam)
                return i;
        }
        return -1;
    }

    // The opened user's lookup rows as "row text:image", image 0 confirmed, 1 found only.
    QStringList lookupRows()
    {
        QStringList rows;
        QTreeWidget *lookup = list("LookupList");
        for (int i = 0; i < lookup->topLevelItemCount(); ++i) {
            QTreeWidgetItem *row = lookup->topLevelItem(i);
            const QString image = isImage(row->icon(0), 0)   ? QStringLiteral("0")
                                  : isImage(row->icon(0), 1) ? QStringLiteral("1")
                                                             : QStringLiteral("?");
            rows << row->text(1) + u':' + image;
        }
        return rows;
    }

    QString titleIcon()
    {
        QTreeWidgetItem *row = findRowByData(list("AttributeList"), attr::title);
        if (!row)
            return QStringLiteral("no row");
        return isImage(row->icon(0), 14)   ? QStringLiteral("14")
               : isImage(row->icon(0), 15) ? QStringLiteral("15")
                                           : QStringLiteral("-");
    }

    Slapd slapd;
    QString keyless, keyed;
    std::unique_ptr<MainWindow> window;
};

TEST_F(EmptyKeyTest, AnEmptyKeyValueNeverConfirmsARow)
{
    const int kim = indexOf(QStringLiteral("keyless.kim"));
    const int karl = indexOf(QStringLiteral("keyed.karl"));
    ASSERT_GE(kim, 0);
    ASSERT_GE(karl, 0);

    // The status icon: no key value, no icon; the keyed user differs from his row.
    EXPECT_TRUE(findRowByData(list("ObjectList"), kim)->icon(0).isNull());
    EXPECT_TRUE(isImage(findRowByData(list("ObjectList"), karl)->icon(0), 4));

    // The opened user's view: both rows are found by surname, neither is hers.
    window->selectObject(kim);
    EXPECT_EQ(lookupRows(), QStringList({QStringLiteral("Keyless:1"), QStringLiteral("Keyless:1")}));
    EXPECT_EQ(titleIcon(), QStringLiteral("-")) << "compared with a stranger's row";

    window->selectObject(karl);
    EXPECT_EQ(lookupRows(), QStringList({QStringLiteral("Keyless:0"), QStringLiteral("Keyless:1")}));
    EXPECT_EQ(titleIcon(), QStringLiteral("14"));

    // The plan: she has no row, he has one change.
    const SyncPlan plan = BuildSyncPlan(ctx->db, ctx->settings, {ctx->objects[kim], ctx->objects[karl]}, 0);
    EXPECT_EQ(plan.usersChecked, 2);
    EXPECT_EQ(plan.usersWithoutRow, 1);
    ASSERT_EQ(plan.changes.size(), 1);
    EXPECT_EQ(plan.changes[0].cn, QStringLiteral("Keyed Karl"));
    EXPECT_EQ(plan.changes[0].preparedValue, QStringLiteral("Karl title"));
}
