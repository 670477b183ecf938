// "Review all..." and "History" against the private slapd and a generated
// workbook: the plan's rows, filter and counts, Apply with its summary and the
// refreshed status icons, Save plan, and Undo from the history.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/HistoryWindow.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ReviewWindow.h"
#include "store/Journal.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QToolButton>

using namespace orvane;
using namespace orvane::test;

class ReviewWindowTest : public GuiTest
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
        // Two of the three users change: no share limit here, the threshold test sets its own.
        ctx->db.setOption(QStringLiteral("maxchangedpercent"), QStringLiteral("0"));
        const auto user = [&](const char *cn, const char *id, const char *more) {
            dns << addKeyedTestUser(slapd, cn, QStringLiteral("Qreview"), id, more);
        };
        user("Review Anna", "Q0001", "title: Old\notherTelephone: 100\notherTelephone: 200");
        user("Review Boris", "Q0002", "title: Same\ndepartment: Sales\ninitials: AB");
        user("Review Clara", "Q0003", "title: Manager");
        hr = home + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Title", "Department", "Initials", "Phones"}},
                                             {2, {"Q0001", "главный бухгалтер", "", "", "200;100"}},
                                             {3, {"Q0002", "Same", "Marketing", "ABCDEFG"}},
                                             {4, {"Q0003", "manager"}}});
        registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                             {{1, attr::employeeID, true, true},
                              {2, attr::title},
                              {3, attr::department},
                              {4, attr::initials},
                              {5, attr::otherTelephone}},
                             true);
        window = std::make_unique<MainWindow>(*ctx);
        window->resize(1000, 700);
        window->show();
        auto *letters = window->findChild<QComboBox *>(QStringLiteral("LetterCombo"));
        letters->setCurrentIndex(letters->findText(QStringLiteral("Q")));
        window->find();
    }

    void TearDown() override
    {
        window.reset();
        for (const QString &dn : dns)
            ldapTool(slapd, QStringLiteral("ldapdelete"), {dn}, {}, false);
        GuiTest::TearDown();
    }

    QStringList directory(const char *attribute)
    {
        QStringList all;
        for (const auto &entry :
             ldapEntries(slapd, QStringLiteral("(sn=Qreview)"), {QString::fromLatin1(attribute)}))
            all << entry.value(QString::fromLatin1(attribute).toLower()).join(u',');
        return all;
    }

    QTreeWidgetItem *objectRow(const QString &sam)
    {
        for (int i = 0; i < ctx->objects.size(); ++i)
            if (ctx->objects[i].sAMAccountName == sam)
                return findRowByData(window->findChild<QTreeWidget *>(QStringLiteral("ObjectList")), i);
        return nullptr;
    }

    template <typename T> T *child(QWidget *w, const char *name)
    {
        return w->findChild<T *>(QString::fromLatin1(name));
    }

    Slapd slapd;
    QString hr;
    QStringList dns;
    std::unique_ptr<MainWindow> window;
};

TEST_F(ReviewWindowTest, ReviewApplySaveAndUndo)
{
    window->findChild<QAction *>(QStringLiteral("ReviewAll"))->trigger();
    auto *review = window->findChild<ReviewWindow *>();
    ASSERT_TRUE(review);
    auto *count = child<QLabel>(review, "ReviewCount");
    auto *list = child<QTreeWidget>(review, "ReviewList");
    EXPECT_EQ(count->text(), QStringLiteral("3 changes for 2 users, 3 ticked"));
    EXPECT_EQ(columnTexts(list, 0),
              QStringList({QStringLiteral("Review Anna (q0001)"), QStringLiteral("Review Boris (q0002)")}));
    QTreeWidgetItem *boris = list->topLevelItem(1);
    ASSERT_EQ(boris->childCount(), 2);
    EXPECT_EQ(boris->child(1)->text(2), QStringLiteral("AB..."));
    EXPECT_TRUE(boris->child(1)->toolTip(2).contains(QStringLiteral("cut to the attribute's size of 6")));
    EXPECT_TRUE(
        list->topLevelItem(0)->child(0)->toolTip(2).contains(QStringLiteral("first letter upper-cased")));
    QCoreApplication::processEvents();
    review->grab().save(home + QStringLiteral("/review.png"));

    auto *filter = child<QComboBox>(review, "AttributeFilter");
    filter->setCurrentText(QStringLiteral("initials"));
    EXPECT_EQ(count->text(), QStringLiteral("1 change for 1 user, 1 ticked"));
    filter->setCurrentIndex(0);
    child<QLineEdit>(review, "TextFilter")->setText(QStringLiteral("anna"));
    EXPECT_EQ(count->text(), QStringLiteral("1 change for 1 user, 1 ticked"));
    child<QLineEdit>(review, "TextFilter")->clear();

    // Save plan as CSV: a header and one row per ticked change.
    boxes.files << home + QStringLiteral("/plan.csv");
    child<QPushButton>(review, "SavePlanButton")->click();
    QFile csv(home + QStringLiteral("/plan.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 4);

    // Untick Boris's initials, apply the rest.
    boris->child(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(count->text(), QStringLiteral("3 changes for 2 users, 2 ticked"));
    boxes.shown.clear();
    // The second Yes only when the change threshold asks too: users of the
    // shared directory that other fixtures left under "Q" have no row.
    boxes.answers << true << true;
    child<QPushButton>(review, "ApplyButton")->click();
    boxes.answers.clear();
    QStringList texts = boxes.texts();
    texts.removeIf([](const QString &t) { return t.startsWith(QStringLiteral("This synchronization is over")); });
    EXPECT_EQ(texts, QStringList({QStringLiteral("Write 2 changes for 2 users to the directory?"),
                                  QStringLiteral("Written: 2, failed: 0, skipped: 0.")}));
    EXPECT_EQ(directory("title").contains(QStringLiteral("Главный бухгалтер")), true);
    EXPECT_EQ(directory("department").contains(QStringLiteral("Marketing")), true);
    EXPECT_EQ(count->text(), QStringLiteral("1 change for 1 user, 1 ticked")) << "the plan is built again";
    EXPECT_TRUE(isImage(objectRow(QStringLiteral("q0001"))->icon(0), 5)) << "status icons refreshed";
    EXPECT_TRUE(isImage(objectRow(QStringLiteral("q0002"))->icon(0), 4));
    review->close();

    // History: the apply on top; Undo writes the old values back.
    window->findChild<QMenu *>(QStringLiteral("MenuFile"));
    action(window->findChild<QMenu *>(QStringLiteral("MenuFile")), QStringLiteral("History..."))->trigger();
    auto *history = window->findChild<HistoryWindow *>();
    ASSERT_TRUE(history);
    auto *sets = child<QTreeWidget>(history, "HistorySets");
    ASSERT_GE(sets->topLevelItemCount(), 1);
    EXPECT_EQ(sets->topLevelItem(0)->text(3), QStringLiteral("Review apply"));
    sets->setCurrentItem(sets->topLevelItem(0));
    EXPECT_EQ(child<QTreeWidget>(history, "HistoryChanges")->topLevelItemCount(), 2);
    history->grab().save(home + QStringLiteral("/history.png"));
    boxes.shown.clear();
    boxes.answers << true;
    child<QPushButton>(history, "UndoButton")->click();
    EXPECT_EQ(boxes.texts().value(1), QStringLiteral("Written: 2, failed: 0, skipped: 0."));
    EXPECT_TRUE(directory("title").contains(QStringLiteral("Old")));
    EXPECT_TRUE(directory("department").contains(QStringLiteral("Sales")));
    EXPECT_TRUE(sets->topLevelItem(0)->text(3).startsWith(QStringLiteral("Undo of change set")));

    // An undo that the journal cannot record writes nothing, and says so as a warning.
    ASSERT_TRUE(ctx->db.execute(QStringLiteral("CREATE TRIGGER refuse_sets BEFORE INSERT ON journal_sets "
                                               "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    sets->setCurrentItem(sets->topLevelItem(0));
    boxes.shown.clear();
    boxes.answers << true;
    child<QPushButton>(history, "UndoButton")->click();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Written: 0, failed: 0, skipped: 2.\n\n"
                                                  "The journal could not record the change set; nothing was written."));
    EXPECT_EQ(boxes.shown[1].icon, DialogIcon::Warning);
    EXPECT_TRUE(directory("department").contains(QStringLiteral("Sales")));
}

TEST_F(ReviewWindowTest, OverTheChangeThresholdItWarnsAboveTheListAndAsksOnceMore)
{
    ctx->db.setOption(QStringLiteral("maxchangedusers"), QStringLiteral("1"));
    window->findChild<QAction *>(QStringLiteral("ReviewAll"))->trigger();
    auto *review = window->findChild<ReviewWindow *>();
    ASSERT_TRUE(review);
    auto *warning = child<QLabel>(review, "ThresholdWarning");
    EXPECT_TRUE(warning->isVisibleTo(review));
    const QString reason = QStringLiteral("users checked would change, more than the 1 allowed.");
    EXPECT_TRUE(warning->text().startsWith(QStringLiteral("Over the change threshold (Options, Active Directory): 2 of the ")))
        << warning->text().toStdString();
    EXPECT_TRUE(warning->text().contains(reason)) << warning->text().toStdString();

    // No to the second question: nothing is written.
    boxes.shown.clear();
    boxes.answers << true << false;
    child<QPushButton>(review, "ApplyButton")->click();
    ASSERT_EQ(boxes.texts().size(), 2);
    EXPECT_EQ(boxes.texts()[0], QStringLiteral("Write 3 changes for 2 users to the directory?"));
    EXPECT_TRUE(boxes.texts()[1].startsWith(QStringLiteral("This synchronization is over the change threshold:\n")));
    EXPECT_TRUE(boxes.texts()[1].contains(reason));
    EXPECT_TRUE(boxes.texts()[1].endsWith(QStringLiteral("\n\nWrite it anyway?")));
    EXPECT_FALSE(directory("title").contains(QStringLiteral("Главный бухгалтер")));

    // Yes to both: written.
    boxes.shown.clear();
    boxes.answers << true << true;
    child<QPushButton>(review, "ApplyButton")->click();
    ASSERT_EQ(boxes.texts().size(), 3);
    EXPECT_EQ(boxes.texts()[2], QStringLiteral("Written: 3, failed: 0, skipped: 0."));
    EXPECT_TRUE(directory("title").contains(QStringLiteral("Главный бухгалтер")));
}

TEST_F(ReviewWindowTest, TheSingleUserSynchronizeIsJournaled)
{
    for (int i = 0; i < ctx->objects.size(); ++i)
        if (ctx->objects[i].sAMAccountName == QLatin1String("q0002"))
            window->selectObject(i);
    window->checkAllSources();
    boxes.answers << true;
    window->findChild<QToolButton *>(QStringLiteral("SyncButton"))->click();
    Journal journal(ctx->db);
    ASSERT_FALSE(journal.sets().isEmpty());
    EXPECT_EQ(journal.sets().first().origin, QStringLiteral("Synchronize"));
    QStringList changes;
    for (const JournalChange &c : journal.changes(journal.sets().first().id))
        changes << c.attribute + u'|' + c.oldValues.join(u',') + u'|' + c.newValues.join(u',') + u'|' +
                       journalOutcomeName(c.outcome) + u'|' + c.source;
    changes.sort();
    EXPECT_EQ(changes, QStringList({QStringLiteral("department|Sales|Marketing|written|") + hr + " row 3",
                                    QStringLiteral("initials|AB|AB...|written|") + hr + " row 3"}));
}
