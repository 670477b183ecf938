// The main window as an administrator works it, against the private slapd and
// a real workbook: the comparison's directory column, the Synchronize question's
// details and the status bar after it, marks that follow every write, the
// keyboard, header sorting, the icons' tooltips, and History naming its users,
// marking undone sets and re-reading only the users an undo wrote.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/AttributeEditDialogs.h"
#include "app/HistoryWindow.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectListTips.h"
#include "app/ObjectView.h"
#include "app/ReviewWindow.h"
#include "store/ColourMarkers.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace orvane;
using namespace orvane::test;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class WindowUseTest : public GuiTest
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
        dns << addKeyedTestUser(slapd, "Ywin Clara", QStringLiteral("Ywin"), "Y0003",
                                "displayName: Ywin Clara\ntitle: Clerk\nuserAccountControl: 514")
            << addKeyedTestUser(slapd, "Ywin Anna", QStringLiteral("Ywin"), "Y0001",
                                "displayName: Ywin Anna\ntitle: Old title\ndepartment: Sales")
            << addKeyedTestUser(slapd, "Ywin Boris", QStringLiteral("Ywin"), "Y0002",
                                "displayName: Ywin Boris\ntitle: Same");
        hr = home + QStringLiteral("/a-folder-with-a-long-name-for-the-workbooks-of-personnel/hr.xlsx");
        QDir().mkpath(QFileInfo(hr).path());
        writeRowsWorkbook(hr.toStdString(), {{1, {"ID", "Title", "Department"}},
                                             {2, {"Y0001", "New title", "Sales"}},
                                             {3, {"Y0002", "Same"}},
                                             {4, {"Y0003", "Boss"}}});
        registerWorkbookWith(ctx->db, hr, QStringLiteral("HR"),
                             {{1, attr::employeeID, true, true}, {2, attr::title}, {3, attr::department}},
                             true);
        window = std::make_unique<MainWindow>(*ctx);
        window->resize(1100, 700);
        window->show();
        letters()->setCurrentIndex(letters()->findText(QStringLiteral("Y")));
    }

    void TearDown() override
    {
        window.reset();
        for (const QString &dn : dns)
            ldapTool(slapd, QStringLiteral("ldapdelete"), {dn}, {}, false);
        GuiTest::TearDown();
    }

    QComboBox *letters() { return window->findChild<QComboBox *>(QStringLiteral("LetterCombo")); }
    QTreeWidget *list(const char *name)
    {
        return window->findChild<QTreeWidget *>(QString::fromLatin1(name));
    }
    QString status() { return window->findChild<QLabel *>(QStringLiteral("StatusText"))->text(); }

    int indexOf(const char *sam)
    {
        for (int i = 0; i < ctx->objects.size(); ++i)
            if (ctx->objects[i].sAMAccountName == QLatin1String(sam))
                return i;
        return -1;
    }
    QTreeWidgetItem *objectRow(const char *sam) { return findRowByData(list("ObjectList"), indexOf(sam)); }

    // Finds "Y" and opens `sam`.
    void open(const char *sam)
    {
        window->find();
        ASSERT_GE(indexOf(sam), 0) << sam;
        window->selectObject(indexOf(sam));
    }

    // A left click in the middle of `row`, as the mouse gives it.
    static void click(QTreeWidget *view, QTreeWidgetItem *row, int column = 3)
    {
        QRect cell = view->visualItemRect(row);
        cell.setLeft(view->header()->sectionViewportPosition(column));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          cell.topLeft() + QPoint(6, cell.height() / 2));
    }

    // The compare list's row of `attribute` as "prepared|directory|original|tooltip of the dot".
    QString compared(long long attribute)
    {
        const QTreeWidgetItem *row = findRowByData(list("CompareList"), attribute);
        if (!row)
            return QStringLiteral("(no row)");
        return row->text(ComparePrepared) + u'|' + row->text(CompareDirectory) + u'|' +
               row->text(CompareOriginal) + u'|' + row->toolTip(CompareStatus);
    }
    QString attributeTip(long long attribute)
    {
        return findRowByData(list("AttributeList"), attribute)->toolTip(0);
    }

    Slapd slapd;
    QStringList dns;
    QString hr;
    std::unique_ptr<MainWindow> window;
};

TEST_F(WindowUseTest, CompareShowsTheDirectoryAndEveryWriteRefreshesTheMarks)
{
    open("y0001");
    QTreeWidget *lookup = list("LookupList");
    ASSERT_EQ(lookup->topLevelItemCount(), 1);
    EXPECT_EQ(lookup->topLevelItem(0)->toolTip(2), hr) << "the whole path, elided in the middle in the list";
    EXPECT_EQ(lookup->textElideMode(), Qt::ElideMiddle);

    // One click on the row compares it; the directory column shows what the user holds.
    click(lookup, lookup->topLevelItem(0), 1);
    EXPECT_EQ(compared(attr::title), "New title|Old title|New title|" + kDiffersFromRowTip);
    EXPECT_EQ(compared(attr::department), "Sales|Sales|Sales|" + kSameAsRowTip);
    EXPECT_EQ(attributeTip(attr::title), kDiffersFromRowTip);
    EXPECT_EQ(attributeTip(attr::department), kSameAsRowTip);

    // The question keeps its text; the details say old -> new; the status bar says what was written.
    lookup->topLevelItem(0)->setCheckState(0, Qt::Checked);
    boxes.answers << true;
    window->findChild<QToolButton *>(QStringLiteral("SyncButton"))->click();
    EXPECT_EQ(boxes.texts(),
              QStringList({"Synchronize 1 attribute to Ywin Anna AD object from source " + hr + "?"}));
    EXPECT_EQ(boxes.details, QStringList({QStringLiteral("Title: Old title \u2192 New title")}));
    EXPECT_EQ(status(), "Synchronized 1 attribute of Ywin Anna");
    // No stale dot: the comparison and the marks follow the write at once.
    EXPECT_EQ(compared(attr::title), "New title|New title|New title|" + kSameAsRowTip);
    EXPECT_EQ(attributeTip(attr::title), kSameAsRowTip);
    EXPECT_TRUE(isImage(objectRow("y0001")->icon(0), ImageUpToDate));

    // An attribute edit: the marks and the comparison change with the value written.
    QTreeWidget *attributes = list("AttributeList");
    attributes->setCurrentItem(findRowByData(attributes, attr::title));
    window->attributeListDoubleClicked();
    auto *dialog = window->findChild<EditAttributeDialog *>();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit *>(QStringLiteral("ValueField"))->setText(QStringLiteral("Edited"));
    dialog->findChild<QPushButton *>(QStringLiteral("OkButton"))->click();
    EXPECT_EQ(compared(attr::title), "New title|Edited|New title|" + kDiffersFromRowTip);
    EXPECT_EQ(attributeTip(attr::title), kDiffersFromRowTip);
    EXPECT_TRUE(isImage(findRowByData(attributes, attr::title)->icon(0), ImageRedDot));
    EXPECT_TRUE(isImage(objectRow("y0001")->icon(0), ImageDiffers));
}

TEST_F(WindowUseTest, KeysRunFindOpenTheSelectedUserAndOpenMenus)
{
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    letters()->setFocus();
    QTest::keyClick(letters(), Qt::Key_Return);
    EXPECT_TRUE(objectRow("y0002")) << "Return in the letter box runs Find";

    window->setStatusText(QStringLiteral("before"));
    list("ObjectList")->clear();
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_TRUE(objectRow("y0002")) << "F5 runs Find";
    EXPECT_NE(status(), QStringLiteral("before"));

    QTreeWidget *objects = list("ObjectList");
    objects->setFocus();
    objects->setCurrentItem(objectRow("y0002"));
    QTest::keyClick(objects, Qt::Key_Return);
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("ObjectField"))->text(),
              QStringLiteral("Ywin Boris"));
    objects->setCurrentItem(objectRow("y0001"));
    QTest::keyClick(objects, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("ObjectField"))->text(),
              QStringLiteral("Ywin Anna"));

    // Alt+F opens "File" and leaves the letter box as it was.
    letters()->setFocus();
    QTest::keyClick(letters(), Qt::Key_F, Qt::AltModifier);
    QApplication::processEvents();
    auto *file = window->findChild<QMenu *>(QStringLiteral("MenuFile"));
    EXPECT_TRUE(file->isVisible());
    EXPECT_EQ(letters()->currentText(), QStringLiteral("Y"));
    file->close();

    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(ctx->quitFlag, 1) << "Ctrl+Q exits";
}

TEST_F(WindowUseTest, HeaderClicksSortAndTooltipsSayWhatIconsMean)
{
    window->find();
    QTreeWidget *objects = list("ObjectList");
    ASSERT_TRUE(objectRow("y0001") && objectRow("y0002") && objectRow("y0003"));
    const long long marker = insertMarker(ctx->db, 2, QStringLiteral("Checked by HR"));
    attachMarker(ctx->db, ctx->objects[indexOf("y0002")].guid, marker);

    const auto order = [&] {
        QStringList names;
        for (QTreeWidgetItem *row : allRows(objects)) {
            if (row->text(3).startsWith(QLatin1String("Ywin ")))
                names << row->text(3);
            EXPECT_EQ(ctx->objects[int(rowData(row))].displayValue, row->text(3))
                << "item data moves with its row";
        }
        return names;
    };
    objects->header()->sectionClicked(3);
    EXPECT_EQ(order(), QStringList({"Ywin Anna", "Ywin Boris", "Ywin Clara"}));
    objects->header()->sectionClicked(3);
    EXPECT_EQ(order(), QStringList({"Ywin Clara", "Ywin Boris", "Ywin Anna"}));

    const struct {
        const char *sam;
        int column;
        QString tip;
    } tips[] = {
        {"y0001", 0, QString::fromLatin1(kDiffersFromPrimaryTip)},
        {"y0002", 0, QString::fromLatin1(kSameAsPrimaryTip)},
        {"y0002", 1, QStringLiteral("Color marker: Checked by HR")},
        {"y0001", 1, QString::fromLatin1(kNoMarkerTip)},
        {"y0003", 2, QString::fromLatin1(kAccountDisabledTip)},
        {"y0001", 2, QString()},
    };
    for (const auto &t : tips)
        EXPECT_EQ(objectListTip(*ctx, objects, objectRow(t.sam), t.column), t.tip)
            << t.sam << " " << t.column;

    // Review sorts by its headers too; its item data still names the planned change.
    action(window->findChild<QMenu *>(QStringLiteral("MenuFile")), QStringLiteral("Review all..."))
        ->trigger();
    auto *review = window->findChild<ReviewWindow *>();
    ASSERT_TRUE(review);
    auto *changes = review->findChild<QTreeWidget *>(QStringLiteral("ReviewList"));
    ASSERT_EQ(changes->topLevelItemCount(), 2);
    changes->header()->sectionClicked(0);
    EXPECT_EQ(columnTexts(changes, 0), QStringList({"Ywin Anna (y0001)", "Ywin Clara (y0003)"}));
    changes->header()->sectionClicked(0);
    EXPECT_EQ(columnTexts(changes, 0), QStringList({"Ywin Clara (y0003)", "Ywin Anna (y0001)"}));
    EXPECT_EQ(changes->topLevelItem(0)->child(0)->text(2), QStringLiteral("Boss"));
    review->close();
}

TEST_F(WindowUseTest, HistoryNamesUsersMarksUndoneSetsAndRereadsOnlyThoseUsers)
{
    open("y0001");
    window->checkAllSources();
    boxes.answers << true;
    window->findChild<QToolButton *>(QStringLiteral("SyncButton"))->click();
    QTreeWidget *lookup = list("LookupList");
    lookup->setCurrentItem(lookup->topLevelItem(0));
    window->lookupListDoubleClicked();
    EXPECT_EQ(compared(attr::title), "New title|New title|New title|" + kSameAsRowTip);

    // The opened user stays opened while another row is selected and the list scrolled.
    QTreeWidget *objects = list("ObjectList");
    QTreeWidgetItem *selected = objectRow("y0002");
    objects->setCurrentItem(selected);
    const int rows = objects->topLevelItemCount();

    action(window->findChild<QMenu *>(QStringLiteral("MenuFile")), QStringLiteral("History..."))->trigger();
    auto *history = window->findChild<HistoryWindow *>();
    ASSERT_TRUE(history);
    auto *sets = history->findChild<QTreeWidget *>(QStringLiteral("HistorySets"));
    ASSERT_GE(sets->topLevelItemCount(), 1);
    EXPECT_EQ(sets->topLevelItem(0)->text(HistoryUsers), QStringLiteral("Ywin Anna"));
    EXPECT_EQ(sets->topLevelItem(0)->text(HistoryUndone), QString());
    const QString synchronized = sets->topLevelItem(0)->text(HistorySet);

    sets->setCurrentItem(sets->topLevelItem(0));
    boxes.answers << true;
    history->findChild<QPushButton *>(QStringLiteral("UndoButton"))->click();
    ASSERT_GE(sets->topLevelItemCount(), 2);
    EXPECT_EQ(sets->topLevelItem(1)->text(HistorySet), synchronized);
    EXPECT_EQ(sets->topLevelItem(1)->text(HistoryUndone),
              QStringLiteral("Undone by set ") + sets->topLevelItem(0)->text(HistorySet));
    EXPECT_EQ(sets->topLevelItem(0)->text(HistoryUsers), QStringLiteral("Ywin Anna"));

    // Nothing was searched again: the same rows, the same selection, the same opened user, read afresh.
    EXPECT_EQ(objects->topLevelItemCount(), rows);
    EXPECT_EQ(objects->currentItem(), selected);
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("ObjectField"))->text(),
              QStringLiteral("Ywin Anna"));
    EXPECT_EQ(compared(attr::title), "New title|Old title|New title|" + kDiffersFromRowTip);
    EXPECT_TRUE(isImage(objectRow("y0001")->icon(0), ImageDiffers));

    // Sorting by the set number sorts numbers, oldest first.
    sets->header()->sectionClicked(HistorySet);
    EXPECT_LT(sets->topLevelItem(0)->text(HistorySet).toLongLong(),
              sets->topLevelItem(1)->text(HistorySet).toLongLong());
    history->close();
}

TEST(HistoryUsers, FirstThreeNamesThenACount)
{
    const struct {
        QStringList cns;
        QString text;
    } cases[] = {
        {{}, ""},
        {{"Ann"}, "Ann"},
        {{"Ann", "Bob", "Cid"}, "Ann, Bob, Cid"},
        {{"Ann", "Bob", "Cid", "Dan", "Eve"}, "Ann, Bob, Cid and 2 more"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(changeSetUsersText(c.cns), c.text);
}

TEST(SynchronizedText, SaysWhatTheDirectoryHoldsAfterTheWrite)
{
    EXPECT_EQ(synchronizedText(1, 0, "Ann"), "Synchronized 1 attribute of Ann");
    EXPECT_EQ(synchronizedText(3, 0, "Ann"), "Synchronized 3 attributes of Ann");
    EXPECT_EQ(synchronizedText(3, 1, "Ann"),
              "Synchronized 2 of 3 attributes of Ann; 1 still differs (see the messages)");
}
