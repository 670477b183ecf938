#include "GuiFixture.h"
#include "app/EventLogView.h"
#include "app/ImageList.h"
#include "app/MainWindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>

using namespace orvane;

namespace
{

constexpr long long kLater = 4102444800LL; // 2100-01-01 00:00:00, after every real start

} // namespace

class EventListTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        window = std::make_unique<MainWindow>(*ctx);
        window->showEventLog();
        list = window->findChild<QTreeWidget *>("EventList");
        text = window->findChild<QPlainTextEdit *>("EventText");
        indicator = window->findChild<QLabel *>("UnreadIndicator");
        ASSERT_TRUE(list && text && indicator);
    }

    void TearDown() override
    {
        window.reset();
        GuiTest::TearDown();
    }

    bool indicatorOn() const { return !indicator->pixmap().isNull(); }

    // Times hand out `times` in turn; the random part is always `draw`.
    void setTimes(QList<long long> times, int draw = 0)
    {
        auto queue = std::make_shared<QList<long long>>(std::move(times));
        setClockForTesting([queue] { return queue->size() > 1 ? queue->takeFirst() : queue->first(); },
                           [draw](int, int) { return draw; });
    }

    void selectOnly(const QList<int> &positions)
    {
        list->clearSelection();
        for (int p : positions)
            list->topLevelItem(p)->setSelected(true);
        list->setCurrentItem(list->topLevelItem(positions.first()), 0, QItemSelectionModel::NoUpdate);
    }

    int storedEvents() { return rows(ctx->db, "SELECT count(*) FROM events", 1).first().toInt(); }

    std::unique_ptr<MainWindow> window;
    QTreeWidget *list = nullptr;
    QPlainTextEdit *text = nullptr;
    QLabel *indicator = nullptr;
};

TEST_F(EventListTest, NewDatabaseShowsTheWelcomeEventUnreadWithTheIndicatorOn)
{
    ASSERT_EQ(list->topLevelItemCount(), 1);
    QTreeWidgetItem *row = list->topLevelItem(0);
    EXPECT_EQ(row->text(3), "Thank you for trying Orvane software!");
    EXPECT_TRUE(isImage(row->icon(0), ImageInformation));
    EXPECT_TRUE(isImage(row->icon(1), ImageUnread));
    EXPECT_TRUE(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(row->text(2)).hasMatch());
    EXPECT_TRUE(indicatorOn());

    // Opening it shows the text, marks it read and clears the indicator.
    list->setCurrentItem(row);
    window->eventLog().openCurrentEvent();
    EXPECT_EQ(text->toPlainText(), "Thank you for trying Orvane software!");
    EXPECT_TRUE(isImage(row->icon(1), ImageRead));
    EXPECT_FALSE(indicatorOn());
    EXPECT_EQ(rows(ctx->db, "SELECT read_flag FROM events", 1), QStringList({"0"}));

    // Nothing current: a double click does nothing.
    list->clearSelection();
    text->setPlainText("kept");
    window->eventLog().openCurrentEvent();
    EXPECT_EQ(text->toPlainText(), "kept");
}

TEST_F(EventListTest, BatchOfOnlyEmptyRecordsWritesNothingButRefreshesTheIndicator)
{
    ctx->db.execute("UPDATE events SET read_flag = '0'");
    ASSERT_TRUE(indicatorOn()); // still showing what start-up found
    window->appendEvents(QList<EventRecord>(2));
    EXPECT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(storedEvents(), 1);
    EXPECT_FALSE(indicatorOn());
}

TEST_F(EventListTest, BatchRowsGoOnTopInReverseOrderAndRefreshSortsByDate)
{
    setTimes({kLater + 100, kLater});
    window->appendEvents({{1, "first", "first text"}, {0, "skipped", ""}, {2, "second", "second text"}});
    EXPECT_EQ(columnTexts(list, 3),
              QStringList({"second", "first", "Thank you for trying Orvane software!"}));
    EXPECT_EQ(columnTexts(list, 2).mid(0, 2), QStringList({"2100-01-01 00:00:00", "2100-01-01 00:01:40"}));
    EXPECT_TRUE(isImage(list->topLevelItem(0)->icon(0), ImageWarning));
    EXPECT_EQ(rows(ctx->db,
                   "SELECT eventtitle, eventtext, eventtype, read_flag FROM events WHERE datetime >= "
                   "'4102444800' ORDER BY datetime",
                   4),
              QStringList({"second|second text|2|1", "first|first text|1|1"}));

    text->setPlainText("unchanged");
    action(window->eventLog().menu(), "Refresh")->trigger();
    EXPECT_EQ(columnTexts(list, 3),
              QStringList({"first", "second", "Thank you for trying Orvane software!"}));
    EXPECT_EQ(text->toPlainText(), "unchanged");
}

TEST_F(EventListTest, MarkingAnUnreadTypeThreeEventShowsTheIndicator)
{
    setTimes({kLater});
    ctx->db.execute("UPDATE events SET read_flag = '0'");
    window->appendEvents({{3, "other kind", "not counted by the indicator"}});
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->icon(0).isNull(), true);
    EXPECT_FALSE(indicatorOn());

    selectOnly({0});
    action(window->eventLog().menu(), "Mark as read")->trigger();
    EXPECT_TRUE(isImage(list->topLevelItem(0)->icon(1), ImageRead));
    EXPECT_FALSE(indicatorOn());
    action(window->eventLog().menu(), "Mark as unread")->trigger();
    EXPECT_TRUE(isImage(list->topLevelItem(0)->icon(1), ImageUnread));
    EXPECT_TRUE(indicatorOn());
    EXPECT_EQ(rows(ctx->db, "SELECT read_flag FROM events WHERE eventtype = '3'", 1), QStringList({"1"}));

    // The wider count keeps the indicator on until the next refresh.
    window->eventLog().refreshUnreadIndicator();
    EXPECT_FALSE(indicatorOn());
}

TEST_F(EventListTest, DeletingSelectedEventsAsksOnceAndRemovesExactlyThose)
{
    // Four events written in one second with the same draw still get distinct ids.
    setTimes({kLater}, 50);
    window->appendEvents({{1, "a", ""}, {1, "b", ""}, {2, "c", ""}, {2, "d", ""}});
    ASSERT_EQ(columnTexts(list, 3),
              QStringList({"d", "c", "b", "a", "Thank you for trying Orvane software!"}));
    EXPECT_EQ(rows(ctx->db, "SELECT count(DISTINCT id) FROM events", 1), QStringList({"5"}));

    selectOnly({1, 3});
    boxes.answers.enqueue(false);
    action(window->eventLog().menu(), "Delete")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 5);
    EXPECT_EQ(storedEvents(), 5);

    boxes.shown.clear();
    boxes.answers.enqueue(true);
    action(window->eventLog().menu(), "Delete")->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Events");
    EXPECT_EQ(boxes.shown[0].text, "Are you sure want to delete selected events?");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Question);
    EXPECT_EQ(columnTexts(list, 3), QStringList({"d", "b", "Thank you for trying Orvane software!"}));
    EXPECT_EQ(rows(ctx->db, "SELECT eventtitle FROM events ORDER BY eventtitle", 1),
              QStringList({"Thank you for trying Orvane software!", "b", "d"}));

    // The indicator follows the rows left.
    selectOnly({0, 1, 2});
    boxes.answers.enqueue(true);
    action(window->eventLog().menu(), "Delete")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_EQ(storedEvents(), 0);
    EXPECT_FALSE(indicatorOn());
}

TEST_F(EventListTest, SelectAllSelectsEveryRow)
{
    setTimes({kLater});
    window->appendEvents({{1, "a", ""}, {1, "b", ""}});
    action(window->eventLog().menu(), "Select All")->trigger();
    EXPECT_EQ(list->selectedItems().size(), 3);
}

TEST_F(EventListTest, AFailedWriteIsShownAndTheRowsStayAsStored)
{
    ctx->db.execute("CREATE TRIGGER refuse_update BEFORE UPDATE ON events BEGIN "
                    "SELECT RAISE(ABORT, 'database is locked'); END");
    ctx->db.execute("CREATE TRIGGER refuse_delete BEFORE DELETE ON events BEGIN "
                    "SELECT RAISE(ABORT, 'database is locked'); END");
    selectOnly({0});
    action(window->eventLog().menu(), "Mark as read")->trigger();
    EXPECT_TRUE(isImage(list->topLevelItem(0)->icon(1), ImageUnread));
    boxes.answers.enqueue(true);
    action(window->eventLog().menu(), "Delete")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(storedEvents(), 1);
    ASSERT_EQ(boxes.shown.size(), 3); // the failed marking, the question, the failed deletion
    for (int i : {0, 2}) {
        EXPECT_EQ(boxes.shown[i].title, "Events");
        EXPECT_EQ(boxes.shown[i].text,
                  "The change could not be stored in the settings file: database is locked.");
    }
}
