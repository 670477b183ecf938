// The opened user's view against the private slapd and real workbooks: the
// status icons of Find, the workbook rows found, the comparison icons and
// Synchronize with its questions, checked with ldapsearch.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectView.h"

#include <QComboBox>
#include <QRandomGenerator>
#include <QToolButton>

using namespace orvane;
using namespace orvane::test;

// Readable failure output for texts.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class SyncViewTest : public GuiTest
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
        target = addTestUser(slapd, QStringLiteral("Sync Target"),
                             randomGuidLine() + QStringLiteral("\nsn: Syncwb\nsAMAccountName: sync.target\n"
                                                               "displayName: Sync Target\nemployeeID: S0001\n"
                                                               "title: Old title\ndepartment: Old dept\n"
                                                               "telephoneNumber: 1\notherTelephone: 100\n"
                                                               "otherTelephone: 200\ninitials: ABCDEF"));
        current =
            addTestUser(slapd, QStringLiteral("Sync Current"),
                        randomGuidLine() + QStringLiteral("\nsn: Syncsame\nsAMAccountName: sync.current\n"
                                                          "displayName: Sync Current\nemployeeID: S0002\n"
                                                          "title: Same"));
        hr = home + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(hr.toStdString(),
                          {{1, {"ID", "Surname", "Title", "Department", "Phone", "Other phones", "Initials"}},
                           {2, {"S0001", "Syncwb", "new title", "Sales", "2", "200;100", "ABCDEF"}},
                           {3, {"S0002", "Syncsame", "Same"}}});
        registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                             {{1, attr::employeeID, true},
                              {2, attr::sn, false, true},
                              {3, attr::title},
                              {4, attr::department},
                              {5, attr::telephoneNumber},
                              {6, attr::otherTelephone},
                              {7, attr::initials}},
                             true);
        phones = home + QStringLiteral("/phones.xlsx");
        writeRowsWorkbook(phones.toStdString(), {{4, {"Syncwb", "S0001", "New title", "ABCDEFG"}}});
        registerWorkbookWith(
            ctx->db, phones, QStringLiteral("Phones"),
            {{1, attr::sn, false, true}, {2, attr::employeeID, true}, {3, attr::title}, {4, attr::initials}});
        window = std::make_unique<MainWindow>(*ctx);
        window->resize(1000, 700);
        window->show();
    }

    void TearDown() override
    {
        window.reset();
        if (!target.isEmpty()) {
            ldapTool(slapd, QStringLiteral("ldapdelete"), {target, current});
        }
        GuiTest::TearDown();
    }

    QTreeWidget *list(const char *name)
    {
        return window->findChild<QTreeWidget *>(QString::fromLatin1(name));
    }

    // Runs Find for "S" and opens the user `sam`; returns its object list row.
    QTreeWidgetItem *findAndOpen(const QString &sam)
    {
        auto *letters = window->findChild<QComboBox *>(QStringLiteral("LetterCombo"));
        letters->setCurrentIndex(letters->findText(QStringLiteral("S")));
        window->find();
        for (int i = 0; i < ctx->objects.size(); ++i) {
            if (ctx->objects[i].sAMAccountName == sam) {
                window->selectObject(i);
                return findRowByData(list("ObjectList"), i);
            }
        }
        ADD_FAILURE() << "not listed: " << sam.toStdString();
        return nullptr;
    }

    QTreeWidgetItem *attributeRow(long long id) { return findRowByData(list("AttributeList"), id); }

    // The attribute list's icons of the given catalogue ids, as image numbers ("-" for none).
    QString attributeIcons(std::initializer_list<long long> ids)
    {
        QStringList icons;
        for (long long id : ids) {
            QString shown = QStringLiteral("-");
            for (int image : {14, 15}) {
                if (isImage(attributeRow(id)->icon(0), image))
                    shown = QString::number(image);
            }
            icons << shown;
        }
        return icons.join(u' ');
    }

    QStringList directory(const QString &attribute)
    {
        return ldapEntries(slapd, QStringLiteral("(sAMAccountName=sync.target)"), {attribute})
            .first()
            .value(attribute.toLower());
    }

    Slapd slapd;
    QString target, current, hr, phones;
    std::unique_ptr<MainWindow> window;
};

TEST_F(SyncViewTest, OpenCompareAndSynchronizeTwoSources)
{
    ctx->settings.showComparison = 0;
    QTreeWidgetItem *row = findAndOpen(QStringLiteral("sync.target"));
    ASSERT_TRUE(row);
    EXPECT_TRUE(isImage(row->icon(0), 4)) << "differs";
    const int currentIndex = [&] {
        for (int i = 0; i < ctx->objects.size(); ++i)
            if (ctx->objects[i].sAMAccountName == QLatin1String("sync.current"))
                return i;
        return -1;
    }();
    EXPECT_TRUE(isImage(findRowByData(list("ObjectList"), currentIndex)->icon(0), 5)) << "up to date";
    for (int i = 0; i < ctx->objects.size(); ++i) {
        if (ctx->objects[i].values.value(QStringLiteral("employeeID")).isEmpty()) {
            EXPECT_TRUE(findRowByData(list("ObjectList"), i)->icon(0).isNull()) << "no key value, no icon";
        }
    }

    QTreeWidget *lookup = list("LookupList");
    EXPECT_EQ(columnTexts(lookup, 0), QStringList({QStringLiteral("HR"), QStringLiteral("Phones")}));
    EXPECT_EQ(columnTexts(lookup, 2), QStringList({hr, phones}));
    EXPECT_TRUE(isImage(lookup->topLevelItem(0)->icon(0), 0));
    EXPECT_TRUE(isImage(lookup->topLevelItem(1)->icon(0), 13));
    // title, department, telephoneNumber differ; otherTelephone in another order and initials do not.
    EXPECT_EQ(attributeIcons({attr::title, attr::department, attr::telephoneNumber, attr::otherTelephone,
                              attr::initials, attr::employeeID}),
              QStringLiteral("14 14 14 15 15 15"));

    // A value of exactly rangeupper characters is shown whole; a longer one is cut with image 8.
    QTreeWidget *compare = list("CompareList");
    lookup->setCurrentItem(lookup->topLevelItem(0));
    window->lookupListDoubleClicked();
    QTreeWidgetItem *initials = findRowByData(compare, attr::initials);
    ASSERT_TRUE(initials);
    EXPECT_EQ(initials->text(4), QStringLiteral("ABCDEF"));
    EXPECT_TRUE(initials->icon(2).isNull());
    EXPECT_EQ(findRowByData(compare, attr::title)->text(CompareOriginal), QStringLiteral("new title"));
    EXPECT_EQ(findRowByData(compare, attr::title)->text(4), QStringLiteral("New title"));
    lookup->setCurrentItem(lookup->topLevelItem(1));
    window->lookupListDoubleClicked();
    initials = findRowByData(compare, attr::initials);
    EXPECT_EQ(initials->text(4), QStringLiteral("AB..."));
    EXPECT_TRUE(isImage(initials->icon(2), 8));
    EXPECT_TRUE(isImage(initials->icon(0), 14));

    auto *sync = window->findChild<QToolButton *>(QStringLiteral("SyncButton"));
    sync->click();
    EXPECT_EQ(boxes.texts(), QStringList({QStringLiteral("Synchronization source is not selected.")}));

    boxes.shown.clear();
    window->checkAllSources();
    boxes.answers << true << false;
    sync->click();
    // The second source is compared after the first write: its title is up to date by then.
    EXPECT_EQ(boxes.texts(),
              QStringList({QStringLiteral("Synchronize 3 attributes to Sync Target AD object from source ") +
                               hr + u'?',
                           QStringLiteral("Synchronize 1 attribute to Sync Target AD object from source ") +
                               phones + u'?'}));
    EXPECT_EQ(directory(QStringLiteral("title")), QStringList({QStringLiteral("New title")}));
    EXPECT_EQ(directory(QStringLiteral("department")), QStringList({QStringLiteral("Sales")}));
    EXPECT_EQ(directory(QStringLiteral("telephoneNumber")), QStringList({QStringLiteral("2")}));
    EXPECT_EQ(directory(QStringLiteral("initials")), QStringList({QStringLiteral("ABCDEF")}));
    EXPECT_EQ(directory(QStringLiteral("otherTelephone")).size(), 2);
    EXPECT_EQ(attributeRow(attr::title)->text(1), QStringLiteral("New title"));
    EXPECT_EQ(attributeIcons({attr::title, attr::department, attr::telephoneNumber}),
              QStringLiteral("15 15 15"));
    EXPECT_TRUE(isImage(row->icon(0), 5)) << "the list icon follows the write";

    boxes.shown.clear();
    lookup->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    sync->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Active Directory object is up to date."));
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Information);

    window->grab().save(QStringLiteral(ORVANE_TEST_TMP "/sync-view.png"));
}

TEST_F(SyncViewTest, OnDemandComparesOnlyAfterADoubleClick)
{
    ctx->settings.showComparison = 1;
    ASSERT_TRUE(findAndOpen(QStringLiteral("sync.target")));
    EXPECT_EQ(attributeIcons({attr::title, attr::employeeID}), QStringLiteral("- -"));
    EXPECT_EQ(list("CompareList")->topLevelItemCount(), 0);
    QTreeWidget *lookup = list("LookupList");
    lookup->setCurrentItem(lookup->topLevelItem(0));
    window->lookupListDoubleClicked();
    EXPECT_EQ(list("CompareList")->topLevelItemCount(), 7);
    EXPECT_EQ(attributeIcons({attr::title, attr::employeeID}), QStringLiteral("- -"));
    window->compareSource();
    EXPECT_EQ(attributeIcons({attr::title, attr::employeeID}), QStringLiteral("14 15"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}
