#include "GuiFixture.h"
#include "app/AboutWindow.h"
#include "app/EventLogView.h"
#include "app/MainWindow.h"
#include "app/MainWindowLayout.h"
#include "store/ColourMarkers.h"

#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

using namespace orvane;

namespace
{

// The colour of an opaque pixel near the middle of `icon` as a list draws it
// at 16 x 16 for a row that is (or is not) selected, to look for where the
// icon is shown.
QColor solidColour(const QIcon &icon, bool selected)
{
    const QImage image = icon.pixmap(16, 16, selected ? QIcon::Selected : QIcon::Normal).toImage();
    for (int d = 0; d < 8; ++d)
        for (int x = 8 - d; x <= 8 + d && x < 16; ++x)
            if (image.pixelColor(x, 8).alpha() == 255)
                return image.pixelColor(x, 8);
    return image.pixelColor(8, 8);
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

template <typename T> T *child(const QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QStringList menuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : plainText(a));
    return texts;
}

void setWindowOptions(Database &db, const char *state, const char *width, const char *height)
{
    db.setOption("mainwindowstate", state);
    db.setOption("mainwindowwidth", width);
    db.setOption("mainwindowheight", height);
}

} // namespace

class MainWindowTest : public GuiTest
{
  protected:
    // Opens a main window on the current context, as start-up does.
    std::unique_ptr<MainWindow> openWindow()
    {
        auto window = std::make_unique<MainWindow>(*ctx);
        EXPECT_TRUE(window->open());
        window->showEventLog();
        settle();
        return window;
    }

    QStringList windowOptions()
    {
        return rows(ctx->db,
                    "SELECT val FROM options WHERE fld IN ('mainwindowstate', 'mainwindowwidth', "
                    "'mainwindowheight') ORDER BY fld",
                    1);
    }

    // Puts two users into the object table and lists them, as a search would.
    void listTwoUsers(MainWindow &w)
    {
        ctx->objects = {{"Ann Lee", "alee", "Ann Lee", 0, "11111111-2222-3333-4444-555555555555", 0, {}},
                        {"Bob Ray", "bray", "Bob Ray", 1, "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE", 0, {}}};
        auto *list = child<QTreeWidget>(w, "ObjectList");
        for (int i = 0; i < ctx->objects.size(); ++i) {
            auto *row = new QTreeWidgetItem(list);
            row->setText(3, ctx->objects[i].displayValue);
            row->setData(0, Qt::UserRole, QVariant::fromValue(qlonglong(i)));
        }
    }
};

TEST_F(MainWindowTest, BuildsTitledWindowWithNamedControlsMenusAndColumns)
{
    auto w = openWindow();
    EXPECT_EQ(w->windowTitle(), "Orvane v1.01 beta");

    QStringList menus;
    for (QAction *a : w->menuBar()->actions())
        menus << plainText(a);
    EXPECT_EQ(menus, QStringList({"File", "Edit", "Help"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "MenuFile")),
              QStringList({"Export...", "Review all...", "History...", "Options", "-", "Exit"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "MenuEdit")), QStringList({"Select All"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "MenuHelp")), QStringList({"About"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "ObjectMenu")),
              QStringList({"Disable account", "Enable account", "Image..."}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "AttributeMenu")), QStringList({"Edit...", "Refresh"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "LookupMenu")), QStringList({"Compare", "Select All"}));
    EXPECT_EQ(menuTexts(child<QMenu>(*w, "EventMenu")),
              QStringList({"Delete", "Refresh", "Mark as read", "Mark as unread", "Select All"}));

    // The letters of the "English" list, sorted, the first chosen.
    auto *letters = child<QComboBox>(*w, "LetterCombo");
    ASSERT_EQ(letters->count(), 26);
    EXPECT_EQ(letters->itemText(0), "A");
    EXPECT_EQ(letters->itemText(25), "Z");
    EXPECT_EQ(letters->currentIndex(), 0);
    EXPECT_FALSE(letters->isEditable());
    EXPECT_EQ(letters->size(), QSize(50, 20));

    const struct {
        const char *list;
        QStringList titles;
        QList<int> widths;
    } columns[] = {
        {"ObjectList", {"", "", "", "Display-Name"}, {20, 16, 16, 200}},
        {"AttributeList", {"AD attributes", "Values"}, {200, 250}},
        {"LookupList", {"Description", "Lookup field", "Source"}, {200, 150, 200}},
        {"CompareList",
         {"", " ", " ", "Source attributes", "Prepared values", "Directory values", "Original values"},
         {20, 16, 16, 150, 350, 250, 350}},
        {"EventList", {"", "", "Date", "Event"}, {20, 20, 130, 400}},
    };
    for (const auto &c : columns) {
        auto *list = child<QTreeWidget>(*w, c.list);
        ASSERT_EQ(list->columnCount(), c.titles.size()) << c.list;
        EXPECT_TRUE(list->header()->stretchLastSection()) << c.list;
        EXPECT_GE(list->header()->length(), list->viewport()->width()) << c.list;
        for (int i = 0; i < c.titles.size(); ++i) {
            EXPECT_EQ(list->headerItem()->text(i), c.titles[i]) << c.list << " column " << i;
            // The last column stretches to fill the view's width.
            if (i + 1 < c.titles.size()) {
                EXPECT_EQ(list->columnWidth(i), c.widths[i]) << c.list << " column " << i;
            }
        }
    }
    EXPECT_EQ(child<QTreeWidget>(*w, "EventList")->selectionMode(), QAbstractItemView::ExtendedSelection);

    auto *tabs = child<QTabWidget>(*w, "MainTabs");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "General");
    EXPECT_EQ(tabs->tabText(1), "Events");
    EXPECT_EQ(child<QLineEdit>(*w, "ObjectField")->geometry(), QRect(60, 16, 200, 20));
    EXPECT_TRUE(child<QLineEdit>(*w, "ObjectField")->isReadOnly());
    EXPECT_EQ(child<QComboBox>(*w, "MarkerCombo")->geometry(), QRect(340, 16, 150, 20));
    EXPECT_EQ(child<QPushButton>(*w, "SetMarkerButton")->text(), "Set marker");
    EXPECT_EQ(child<QToolButton>(*w, "SyncButton")->toolTip(), "Synchronize");
    EXPECT_TRUE(child<QPlainTextEdit>(*w, "EventText")->isReadOnly());
    EXPECT_EQ(child<QStatusBar>(*w, "MainStatusBar"), w->statusBar());
    EXPECT_EQ(child<QLabel>(*w, "UnreadIndicator")->width(), 23);
}

TEST(MainWindowLayout, TabContentsFollowTheTabPanelSize)
{
    const struct {
        QSize tabs;
        QRect attribute, lookup, compare, events, label, text, sync;
    } cases[] = {
        {{990, 729},
         {10, 45, 965, 255},  // 729 * 0.35 = 255.15
         {10, 305, 965, 109}, // 729 * 0.15 = 109.35
         {10, 419, 965, 275},
         {10, 15, 965, 365}, // 729 * 0.5 = 364.5 rounds up
         {10, 390, 100, 20},
         {10, 410, 965, 284},
         {943, 13, 30, 25}},
        {{610, 529},
         {10, 45, 585, 185}, // 185.15
         {10, 235, 585, 79}, // 79.35
         {10, 319, 585, 175},
         {10, 15, 585, 265}, // 264.5
         {10, 290, 100, 20},
         {10, 310, 585, 184},
         {563, 13, 30, 25}},
    };
    for (const auto &c : cases) {
        const TabContentsLayout l = layoutTabContents(c.tabs);
        EXPECT_EQ(l.tabFrame, QRect(1, 0, c.tabs.width() - 7, c.tabs.height() - 27));
        EXPECT_EQ(l.attributeList, c.attribute);
        EXPECT_EQ(l.lookupList, c.lookup);
        EXPECT_EQ(l.compareList, c.compare);
        EXPECT_EQ(l.eventList, c.events);
        EXPECT_EQ(l.descriptionLabel, c.label);
        EXPECT_EQ(l.eventText, c.text);
        EXPECT_EQ(l.syncButton, c.sync);
    }
    const WorkAreaLayout area = layoutWorkArea(QSize(1200, 800));
    EXPECT_EQ(area.frame, QRect(0, 28, 1200, 732));
    EXPECT_EQ(area.splitter, QRect(1, 30, 1199, 729));
}

TEST_F(MainWindowTest, LaysOutTheWindowAt1200x800AndNeverBelow800x600)
{
    setWindowOptions(ctx->db, "0", "1200", "800");
    ctx = prepared();
    auto w = openWindow();
    ASSERT_EQ(w->size(), QSize(1200, 800));

    EXPECT_EQ(child<QFrame>(*w, "WorkFrame")->geometry(), QRect(0, 28, 1200, 732));
    auto *splitter = child<QSplitter>(*w, "MainSplitter");
    EXPECT_EQ(splitter->geometry(), QRect(1, 30, 1199, 729));
    EXPECT_EQ(splitter->sizes().value(0), 200);

    auto *tabs = child<QTabWidget>(*w, "MainTabs");
    EXPECT_EQ(tabs->size(), QSize(1199 - 200 - splitter->handleWidth(), 729));
    const int pw = tabs->width();
    EXPECT_EQ(child<QTreeWidget>(*w, "AttributeList")->geometry(), QRect(10, 45, pw - 25, 255));
    EXPECT_EQ(child<QTreeWidget>(*w, "LookupList")->geometry(), QRect(10, 305, pw - 25, 109));
    EXPECT_EQ(child<QTreeWidget>(*w, "CompareList")->geometry(), QRect(10, 419, pw - 25, 275));
    EXPECT_EQ(child<QTreeWidget>(*w, "EventList")->geometry(), QRect(10, 15, pw - 25, 365));
    EXPECT_EQ(child<QPlainTextEdit>(*w, "EventText")->geometry(), QRect(10, 410, pw - 25, 284));
    EXPECT_EQ(child<QToolButton>(*w, "SyncButton")->geometry(), QRect(pw - 47, 13, 30, 25));
    EXPECT_EQ(child<QFrame>(*w, "GeneralFrame")->geometry(), QRect(1, 0, pw - 7, 729 - 27));

    // Moving the splitter lays out the tab contents again.
    splitter->setSizes({300, 1199 - 300 - splitter->handleWidth()});
    settle();
    EXPECT_EQ(child<QTreeWidget>(*w, "AttributeList")->width(), tabs->width() - 25);
    EXPECT_EQ(tabs->width(), 1199 - 300 - splitter->handleWidth());

    // The right pane keeps 610 pixels whatever the splitter says.
    splitter->setSizes({1000, 100});
    settle();
    EXPECT_GE(tabs->width(), 610);

    w->resize(500, 400);
    settle();
    EXPECT_EQ(w->size(), QSize(800, 600));
}

TEST_F(MainWindowTest, ClosingWhileMaximisedReopensMaximisedWithTheNormalSizeKept)
{
    setWindowOptions(ctx->db, "0", "900", "700");
    ctx = prepared();
    {
        auto w = openWindow();
        EXPECT_FALSE(w->isMaximized());
        EXPECT_EQ(w->size(), QSize(900, 700));
        w->showMaximized();
        settle();
        w->close();
        EXPECT_EQ(ctx->quitFlag, 1);
    }
    EXPECT_EQ(windowOptions(), QStringList({"700", "16777216", "900"}));

    ctx = prepared();
    auto again = openWindow();
    EXPECT_TRUE(again->isMaximized());
    EXPECT_EQ(again->normalGeometry().size(), QSize(900, 700));
    again->showNormal();
    settle();
    EXPECT_EQ(again->size(), QSize(900, 700));
}

TEST_F(MainWindowTest, ClosingWhileMinimisedLeavesStateAndSizeAsStored)
{
    setWindowOptions(ctx->db, "0", "900", "700");
    ctx = prepared();
    auto w = openWindow();
    w->resize(1000, 750);
    child<QSplitter>(*w, "MainSplitter")->setSizes({250, 700});
    w->showMinimized();
    settle();
    ASSERT_TRUE(w->isMinimized());
    w->close();
    EXPECT_EQ(windowOptions(), QStringList({"700", "0", "900"}));
    EXPECT_EQ(ctx->db.optionText("mainwindowsplitterwidth"), "250");
    EXPECT_EQ(ctx->quitFlag, 1);
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxSaveTheSameWay)
{
    for (const bool viaExit : {true, false}) {
        setWindowOptions(ctx->db, "16777216", "800", "600");
        ctx = prepared();
        auto w = openWindow();
        w->showNormal();
        w->resize(1010, 730);
        child<QSplitter>(*w, "MainSplitter")->setSizes({230, 700});
        settle();
        if (viaExit)
            action(child<QMenu>(*w, "MenuFile"), "Exit")->trigger();
        else
            w->close();
        EXPECT_EQ(ctx->quitFlag, 1) << viaExit;
        EXPECT_EQ(windowOptions(), QStringList({"730", "0", "1010"})) << viaExit;
        EXPECT_EQ(ctx->db.optionText("mainwindowsplitterwidth"), "230") << viaExit;
    }
}

TEST_F(MainWindowTest, PopupMenusEnableOnlyWhatCanRun)
{
    auto w = openWindow();
    auto *objectList = child<QTreeWidget>(*w, "ObjectList");
    auto *objectMenu = child<QMenu>(*w, "ObjectMenu");
    auto enabled = [](const QMenu *menu) {
        QStringList on;
        for (const QAction *a : menu->actions()) {
            if (a->isEnabled())
                on << plainText(a);
        }
        return on;
    };

    listTwoUsers(*w);
    w->objectListContextMenu(QPoint(5, 5));
    EXPECT_TRUE(enabled(objectMenu).isEmpty());
    objectMenu->hide();

    objectList->setCurrentItem(objectList->topLevelItem(0));
    w->objectListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(objectMenu), QStringList({"Disable account", "Image..."}));
    objectMenu->hide();
    objectList->setCurrentItem(objectList->topLevelItem(1));
    w->objectListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(objectMenu), QStringList({"Enable account", "Image..."}));
    objectMenu->hide();

    // Before any object is opened nothing of AttributeMenu can run.
    auto *attributeList = child<QTreeWidget>(*w, "AttributeList");
    auto *attributeMenu = child<QMenu>(*w, "AttributeMenu");
    new QTreeWidgetItem(attributeList, QStringList({"Surname", "Lee"}));
    attributeList->setCurrentItem(attributeList->topLevelItem(0));
    w->attributeListContextMenu(QPoint(5, 5));
    EXPECT_TRUE(enabled(attributeMenu).isEmpty());
    attributeMenu->hide();

    w->selectObject(0);
    attributeList->clearSelection();
    w->attributeListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(attributeMenu), QStringList({"Refresh"}));
    attributeMenu->hide();
    new QTreeWidgetItem(attributeList, QStringList({"Surname", "Lee"}));
    attributeList->setCurrentItem(attributeList->topLevelItem(0));
    w->attributeListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(attributeMenu), QStringList({"Edit...", "Refresh"}));
    attributeMenu->hide();

    auto *lookupList = child<QTreeWidget>(*w, "LookupList");
    auto *lookupMenu = child<QMenu>(*w, "LookupMenu");
    w->lookupListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(lookupMenu), QStringList({"Select All"}));
    lookupMenu->hide();
    new QTreeWidgetItem(lookupList, QStringList({"HR", "Surname", "/data/hr.xlsx"}));
    lookupList->setCurrentItem(lookupList->topLevelItem(0));
    w->lookupListContextMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(lookupMenu), QStringList({"Compare", "Select All"}));
    lookupMenu->hide();

    auto *eventList = child<QTreeWidget>(*w, "EventList");
    auto *eventMenu = child<QMenu>(*w, "EventMenu");
    eventList->clearSelection();
    w->eventLog().showMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(eventMenu), QStringList({"Refresh", "Select All"}));
    eventMenu->hide();
    eventList->setCurrentItem(eventList->topLevelItem(0));
    w->eventLog().showMenu(QPoint(5, 5));
    EXPECT_EQ(enabled(eventMenu).size(), 5);
    eventMenu->hide();
}

TEST_F(MainWindowTest, SelectAllActsOnlyOnTheFocusedList)
{
    auto w = openWindow();
    QApplication::setActiveWindow(w.get());
    auto *eventList = child<QTreeWidget>(*w, "EventList");
    auto *lookupList = child<QTreeWidget>(*w, "LookupList");
    auto *attributeList = child<QTreeWidget>(*w, "AttributeList");
    w->appendEvents({{1, "one", "1"}, {2, "two", "2"}});
    for (const char *source : {"a.xlsx", "b.xlsx"}) {
        auto *row = new QTreeWidgetItem(lookupList, QStringList({"", "", source}));
        row->setCheckState(0, Qt::Unchecked);
    }
    new QTreeWidgetItem(attributeList, QStringList({"Surname", "Lee"}));
    QAction *selectAll = action(child<QMenu>(*w, "MenuEdit"), "Select All");
    auto checked = [&] {
        int n = 0;
        for (int i = 0; i < lookupList->topLevelItemCount(); ++i)
            n += lookupList->topLevelItem(i)->checkState(0) == Qt::Checked;
        return n;
    };

    attributeList->setFocus();
    settle();
    ASSERT_TRUE(attributeList->hasFocus());
    selectAll->trigger();
    EXPECT_TRUE(eventList->selectedItems().isEmpty());
    EXPECT_EQ(checked(), 0);
    EXPECT_TRUE(attributeList->selectedItems().isEmpty());

    child<QTabWidget>(*w, "MainTabs")->setCurrentIndex(1);
    eventList->setFocus();
    settle();
    ASSERT_TRUE(eventList->hasFocus());
    selectAll->trigger();
    EXPECT_EQ(eventList->selectedItems().size(), 3);
    EXPECT_EQ(checked(), 0);

    child<QTabWidget>(*w, "MainTabs")->setCurrentIndex(0);
    lookupList->setFocus();
    settle();
    ASSERT_TRUE(lookupList->hasFocus());
    selectAll->trigger();
    EXPECT_EQ(checked(), 2);
}

TEST_F(MainWindowTest, FindClearsTheOpenedObjectsPanes)
{
    auto w = openWindow();
    listTwoUsers(*w);
    w->selectObject(1);
    EXPECT_EQ(child<QLineEdit>(*w, "ObjectField")->text(), "Bob Ray");
    EXPECT_EQ(ctx->objects[1].selected, 1);
    EXPECT_EQ(ctx->currentObject, 1);
    for (const char *name : {"AttributeList", "LookupList", "CompareList"})
        new QTreeWidgetItem(child<QTreeWidget>(*w, name), QStringList({"x"}));

    child<QAction>(*w, "Find")->trigger();
    for (const char *name : {"AttributeList", "LookupList", "CompareList"})
        EXPECT_EQ(child<QTreeWidget>(*w, name)->topLevelItemCount(), 0) << name;
    EXPECT_TRUE(child<QLineEdit>(*w, "ObjectField")->text().isEmpty());
    EXPECT_EQ(child<QComboBox>(*w, "MarkerCombo")->currentIndex(), 0);
}

TEST_F(MainWindowTest, AboutWindowShowsProgramAuthorAndIconCredit)
{
    auto w = openWindow();
    action(child<QMenu>(*w, "MenuHelp"), "About")->trigger();
    settle();
    auto *about = w->findChild<AboutWindow *>("AboutWindow");
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_EQ(about->size(), QSize(300, 200));
    EXPECT_EQ(child<QLabel>(*about, "ProgramName")->text(), "Orvane v1.01 beta");
    EXPECT_TRUE(child<QLabel>(*about, "ProgramName")->font().bold());
    EXPECT_EQ(child<QLabel>(*about, "Author")->text(), "Orvane contributors");
    EXPECT_FALSE(child<QLabel>(*about, "ProgramIcon")->pixmap().isNull());
    EXPECT_EQ(child<QLabel>(*about, "ProgramIcon")->geometry(), QRect(20, 15, 32, 32));
    EXPECT_FALSE(child<QLabel>(*about, "IconCredit")->text().isEmpty());
    EXPECT_EQ(child<QPushButton>(*about, "OkButton")->geometry(), QRect(100, 165, 100, 22));
    EXPECT_TRUE(child<QPushButton>(*about, "OkButton")->isDefault());

    // A second "About" brings the same window forward.
    action(child<QMenu>(*w, "MenuHelp"), "About")->trigger();
    EXPECT_EQ(w->findChildren<AboutWindow *>().size(), 1);

    child<QPushButton>(*about, "OkButton")->click();
    settle();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w->findChildren<AboutWindow *>().isEmpty());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, ScreenshotAt1200x800)
{
    setWindowOptions(ctx->db, "0", "1200", "800");
    ctx = prepared();
    setClockForTesting([] { return 1367917381LL; }, [](int, int) { return 3; });
    auto w = openWindow();
    w->appendEvents({{2, "Workbook not found", "The primary workbook could not be opened."}});
    listTwoUsers(*w);
    insertMarker(ctx->db, 1, "Checked");
    w->refillMarkerCombo();
    w->selectObject(0);
    child<QComboBox>(*w, "MarkerCombo")->setCurrentIndex(1);
    child<QPushButton>(*w, "SetMarkerButton")->click();
    w->setStatusText("Ready");
    settle();

    const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    const QString path = folder + "/main-window.png";
    QFile::remove(path);
    const QImage shot = w->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(1200, 800));
    ASSERT_TRUE(shot.save(path));
    EXPECT_EQ(QImage(path).size(), QSize(1200, 800));

    // What a person sees in the picture: the two users, the opened one named,
    // the marker just set shown in its colour in the opened user's row.
    auto *objects = child<QTreeWidget>(*w, "ObjectList");
    ASSERT_EQ(objects->topLevelItemCount(), 2);
    EXPECT_EQ(objects->topLevelItem(1)->text(3), "Bob Ray");
    EXPECT_EQ(child<QLineEdit>(*w, "ObjectField")->text(), "Ann Lee");
    EXPECT_EQ(child<QComboBox>(*w, "MarkerCombo")->currentText(), "Checked");
    const QIcon marker = objects->topLevelItem(0)->icon(1);
    ASSERT_FALSE(marker.isNull());
    const QColor markerColour = solidColour(marker, objects->topLevelItem(0)->isSelected());
    QRect cell = objects->visualItemRect(objects->topLevelItem(0));
    cell.setLeft(objects->header()->sectionViewportPosition(1));
    cell.setWidth(objects->header()->sectionSize(1));
    cell.moveTopLeft(objects->viewport()->mapTo(w.get(), cell.topLeft()));
    bool colourSeen = false;
    for (int y = cell.top(); y <= cell.bottom() && !colourSeen; ++y)
        for (int x = cell.left(); x <= cell.right() && !colourSeen; ++x)
            colourSeen = shot.pixelColor(x, y) == markerColour;
    EXPECT_TRUE(colourSeen) << "the marker's colour " << markerColour.name().toStdString()
                            << " is not in its cell of the picture";

    child<QTabWidget>(*w, "MainTabs")->setCurrentIndex(1);
    settle();
    ASSERT_TRUE(w->grab().save(folder + "/main-window-events.png"));
}
