// Windows that use their room: no label, read-only field or list column of the
// main window, Options or About shows its text cut while the window has room
// for it (each one's needed width against its given width), with screenshots
// of what was checked; and the small things around the status bar and the
// event list: the line after Options is saved, the unread indicator's click,
// an event's description on a single click.

#include "GuiFixture.h"
#include "app/AboutWindow.h"
#include "app/EventLogView.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectListLoader.h"
#include "app/OptionsWindow.h"
#include "store/ColourMarkers.h"

#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>

using namespace orvane;

// Readable failure output: one cut text per line.
inline void PrintTo(const QStringList &texts, std::ostream *os)
{
    *os << '\n' << texts.join(u'\n').toStdString();
}

namespace
{

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

QString nameOf(const QWidget *w)
{
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

// The visible one-line texts of `window` that are cut: a label or a read-only
// field narrower than its text, and a list column narrower than its title or
// rows while all of the list's columns would fit its width.
QStringList cutWithRoom(const QWidget *window)
{
    QStringList cut;
    for (const QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(window) || label->wordWrap() || label->text().isEmpty() ||
            label->textFormat() == Qt::RichText)
            continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        if (needed > label->contentsRect().width())
            cut << QStringLiteral("label '%1' needs %2, has %3")
                       .arg(label->text())
                       .arg(needed)
                       .arg(label->contentsRect().width());
    }
    for (const QLineEdit *field : window->findChildren<QLineEdit *>()) {
        if (!field->isVisibleTo(window) || !field->isReadOnly() || field->text().isEmpty() ||
            !field->toolTip().isEmpty()) // a field that elides shows its whole text as tooltip
            continue;
        const int needed = field->fontMetrics().horizontalAdvance(field->text()) + 8;
        if (needed > field->width())
            cut << QStringLiteral("field %1 needs %2, has %3")
                       .arg(nameOf(field))
                       .arg(needed)
                       .arg(field->width());
    }
    for (const QTreeWidget *list : window->findChildren<QTreeWidget *>()) {
        if (!list->isVisibleTo(window))
            continue;
        int allNeeded = 0;
        for (int c = 0; c < list->columnCount(); ++c)
            allNeeded += neededColumnWidth(list, c);
        for (int c = 0; c < list->columnCount(); ++c) {
            const int needed = neededColumnWidth(list, c), given = list->columnWidth(c);
            if (needed > given && allNeeded <= list->viewport()->width())
                cut << QStringLiteral("%1 column %2 needs %3, has %4")
                           .arg(nameOf(list))
                           .arg(c)
                           .arg(needed)
                           .arg(given);
        }
    }
    return cut;
}

} // namespace

class WindowRoomTest : public GuiTest
{
  protected:
    std::unique_ptr<MainWindow> openWindow()
    {
        ctx->db.setOption("mainwindowstate", "0");
        ctx->db.setOption("mainwindowwidth", "1200");
        ctx->db.setOption("mainwindowheight", "800");
        ctx = prepared();
        auto window = std::make_unique<MainWindow>(*ctx);
        EXPECT_TRUE(window->open());
        window->showEventLog();
        settle();
        return window;
    }

    void listUsers(MainWindow &w)
    {
        ctx->objects = {{"Ann Lee", "alee", "Ann Lee", 0, "11111111-2222-3333-4444-555555555555", 0, {}},
                        {"Bartholomew Featherstonehaugh-Cholmondeley",
                         "bfc",
                         "Bartholomew Featherstonehaugh-Cholmondeley",
                         1,
                         "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE",
                         0,
                         {}}};
        ctx->objects[0].values.insert(QStringLiteral("title"),
                                      QStringLiteral("Chief accountant of the northern region"));
        auto *list = w.findChild<QTreeWidget *>(QStringLiteral("ObjectList"));
        for (int i = 0; i < ctx->objects.size(); ++i) {
            auto *row = new QTreeWidgetItem(list);
            row->setText(3, ctx->objects[i].displayValue);
            setRowData(row, i);
        }
    }

    QString screenshots()
    {
        const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
        QDir().mkpath(folder);
        return folder;
    }
};

TEST_F(WindowRoomTest, NoTextIsCutWhereTheWindowHasRoom)
{
    auto w = openWindow();
    w->appendEvents({{1, "Welcome", "A first event."}});
    listUsers(*w);
    w->selectObject(0);
    settle();
    EXPECT_EQ(cutWithRoom(w.get()), QStringList()) << "main window, General";
    ASSERT_TRUE(w->grab().save(screenshots() + "/room-main-window.png"));
    w->findChild<QTabWidget *>(QStringLiteral("MainTabs"))->setCurrentIndex(1);
    settle();
    EXPECT_EQ(cutWithRoom(w.get()), QStringList()) << "main window, Events";

    // Every tab of Options.
    action(w->findChild<QMenu *>(QStringLiteral("MenuFile")), "Options")->trigger();
    auto *options = w->findChild<OptionsWindow *>();
    ASSERT_TRUE(options);
    auto *tabs = options->findChild<QTabWidget *>(QStringLiteral("OptionsTabs"));
    for (int t = 0; t < tabs->count(); ++t) {
        tabs->setCurrentIndex(t);
        settle();
        EXPECT_EQ(cutWithRoom(options), QStringList()) << "Options, " << tabs->tabText(t).toStdString();
        ASSERT_TRUE(options->grab().save(screenshots() + QStringLiteral("/room-options-%1.png").arg(t)));
    }
    options->close();

    action(w->findChild<QMenu *>(QStringLiteral("MenuHelp")), "About")->trigger();
    auto *about = w->findChild<AboutWindow *>();
    ASSERT_TRUE(about);
    settle();
    EXPECT_EQ(cutWithRoom(about), QStringList()) << "About";
    EXPECT_EQ(about->size(), QSize(300, 200));
    ASSERT_TRUE(about->grab().save(screenshots() + "/room-about.png"));
}

TEST_F(WindowRoomTest, TheCheckSeesACutColumnAndACutLabel)
{
    // The check itself: a column narrower than its text in a wide list, a label narrower than its text.
    QWidget window;
    window.resize(600, 300);
    QTreeWidget *list = createListView(&window, "Narrow", {{"Name", 40}, {"Value", 100}});
    list->setGeometry(0, 0, 600, 200);
    new QTreeWidgetItem(list, {"A rather long name", "v"});
    auto *label = new QLabel("A label with a long text", &window);
    label->setGeometry(0, 220, 30, 20);
    window.show();
    settle();
    const QStringList cut = cutWithRoom(&window);
    ASSERT_EQ(cut.size(), 2) << cut.join('\n').toStdString();
    EXPECT_TRUE(cut[0].startsWith("label 'A label with a long text'"));
    EXPECT_TRUE(cut[1].startsWith("Narrow column 0 needs"));
}

TEST_F(WindowRoomTest, SavingOptionsSaysToFindAgain)
{
    auto w = openWindow();
    w->setStatusText(objectCountText(2));
    for (const char *button : {"ApplyButton", "OkButton"}) {
        action(w->findChild<QMenu *>(QStringLiteral("MenuFile")), "Options")->trigger();
        auto *options = w->findChild<OptionsWindow *>();
        ASSERT_TRUE(options);
        auto *pressed = options->findChild<QPushButton *>(QLatin1String(button));
        pressed->setEnabled(true);
        w->setStatusText(objectCountText(2));
        pressed->click();
        settle();
        EXPECT_EQ(w->findChild<QLabel *>(QStringLiteral("StatusText"))->text(), kSettingsSavedText) << button;
        if (options->isVisible())
            options->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(WindowRoomTest, TheIndicatorOpensEventsAndAClickShowsTheDescription)
{
    auto w = openWindow();
    w->appendEvents({{2, "Workbook not found", "The primary workbook could not be opened."}});
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("MainTabs"));
    ASSERT_EQ(tabs->currentIndex(), 0);
    auto *indicator = w->findChild<QLabel *>(QStringLiteral("UnreadIndicator"));
    EXPECT_EQ(indicator->toolTip(), "Unread events: click to show the Events tab");
    QTest::mouseClick(indicator, Qt::LeftButton);
    EXPECT_EQ(tabs->currentIndex(), 1);
    settle();

    auto *events = w->findChild<QTreeWidget *>(QStringLiteral("EventList"));
    QTreeWidgetItem *newest = events->topLevelItem(0);
    QTest::mouseClick(events->viewport(), Qt::LeftButton, {}, events->visualItemRect(newest).center());
    EXPECT_EQ(w->findChild<QPlainTextEdit *>(QStringLiteral("EventText"))->toPlainText(),
              "The primary workbook could not be opened.");
    EXPECT_TRUE(isImage(newest->icon(1), ImageUnread)) << "a single click only shows; opening marks read";
}

TEST_F(WindowRoomTest, SizePositionSplitterAndColumnsComeBackAtTheNextStart)
{
    // Under a window manager every change is a request it answers later: wait for each.
    auto w = openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->showNormal();
    w->resize(1000, 700);
    w->move(40, 30);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->size() == QSize(1000, 700) && w->pos() == QPoint(40, 30); }, 5000));
    auto *splitter = w->findChild<QSplitter *>(QStringLiteral("MainSplitter"));
    splitter->setSizes({260, 700});
    w->findChild<QTreeWidget *>(QStringLiteral("AttributeList"))->setColumnWidth(0, 150);
    w->findChild<QTreeWidget *>(QStringLiteral("ObjectList"))->setColumnWidth(0, 24);
    settle();
    const QPoint where = w->pos();
    w->saveWindowState();
    w.reset();

    ctx = prepared();
    auto again = std::make_unique<MainWindow>(*ctx);
    ASSERT_TRUE(again->open());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
    QTest::qWaitFor([&] { return again->pos() == where; }, 3000);
    settle();
    EXPECT_EQ(again->size(), QSize(1000, 700));
    EXPECT_EQ(again->pos(), where);
    EXPECT_EQ(again->findChild<QSplitter *>(QStringLiteral("MainSplitter"))->sizes().value(0), 260);
    EXPECT_EQ(again->findChild<QTreeWidget *>(QStringLiteral("AttributeList"))->columnWidth(0), 150);
    EXPECT_EQ(again->findChild<QTreeWidget *>(QStringLiteral("ObjectList"))->columnWidth(0), 24);
    if (QGuiApplication::platformName() == QLatin1String("xcb")) // a real window manager frames the window, in its time
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return again->frameGeometry().height() > again->geometry().height(); }, 5000))
            << "no frame around the window: is the window manager running?";

    // Maximised: the state is kept and the normal size and place stay stored for restoring.
    again->showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return again->isMaximized(); }, 5000));
    again->saveWindowState();
    again.reset();
    ctx = prepared();
    EXPECT_EQ(ctx->window.state, kMaximisedState);
    EXPECT_EQ(QSize(int(ctx->window.width), int(ctx->window.height)), QSize(1000, 700));
    auto maximised = std::make_unique<MainWindow>(*ctx);
    ASSERT_TRUE(maximised->open());
    EXPECT_TRUE(QTest::qWaitFor([&] { return maximised->isMaximized(); }, 5000));
    maximised->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return maximised->size() == QSize(1000, 700); }, 5000));
    maximised.reset();

    // A position off every screen (a screen unplugged since) opens centred instead.
    ctx->db.setOption("mainwindowstate", "0");
    ctx->db.setOption("mainwindowleft", "20000");
    ctx = prepared();
    auto centred = std::make_unique<MainWindow>(*ctx);
    ASSERT_TRUE(centred->open());
    EXPECT_NEAR(centred->geometry().center().x(), centred->screen()->availableGeometry().center().x(), 2);
}

TEST(ColumnWidths, TextRoundTripsAndSkipsWhatItDoesNotKnow)
{
    QWidget parent;
    QTreeWidget *list = createListView(&parent, "Names", {{"A", 20}, {"B", 30}, {"C", 40}});
    EXPECT_EQ(columnWidthsText({list}), "Names=20,30");
    applyColumnWidths({list}, "Other=99,99;Names=25,x;Names=25,3000000");
    EXPECT_EQ(columnWidthsText({list}), "Names=25,30");
}
