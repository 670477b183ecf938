#include "StoreFixture.h"
#include "store/Clock.h"
#include "store/EventLog.h"
#include "store/EventStore.h"
#include "store/SettingsStore.h"

using namespace orvane;

class EventLogTest : public StoreTest
{
  protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        setClockForTesting([] { return 1367917381LL; }, [](int, int) { return 0; });
        ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
        ASSERT_TRUE(db.open(path));
    }
    void TearDown() override { setClockForTesting({}, {}); }

    Database db;
};

TEST_F(EventLogTest, TextsAreStoredAndReadExactlyAsGiven)
{
    const QString title = QStringLiteral("It's $0041 'quoted'");
    const WrittenEvent written = writeEvent(db, 2, title, QStringLiteral("line 1\nO'Brien"));
    const QList<EventRow> listed = loadEventRows(db);
    ASSERT_EQ(listed.size(), 2);
    EXPECT_EQ(listed[1].title, title);
    EXPECT_EQ(listed[1].id, written.id);
    EXPECT_EQ(listed[1].type, 2);
    EXPECT_TRUE(listed[1].unread);
    EXPECT_EQ(openEvent(db, written.id).text, "line 1\nO'Brien");
}

TEST_F(EventLogTest, OpeningMarksReadAndAMissingEventReadsEmpty)
{
    const long long welcome = loadEventRows(db).first().id;
    EXPECT_EQ(countIndicatedUnread(db), 1);
    const OpenedEvent first = openEvent(db, welcome);
    EXPECT_TRUE(first.unread);
    EXPECT_EQ(first.text, "Thank you for trying Orvane software!");
    EXPECT_FALSE(openEvent(db, welcome).unread);
    EXPECT_EQ(countIndicatedUnread(db), 0);

    const OpenedEvent missing = openEvent(db, 42);
    EXPECT_TRUE(missing.text.isEmpty());
    EXPECT_FALSE(missing.unread);
}

TEST_F(EventLogTest, CountsDifferInWhichTypesTheyInclude)
{
    writeEvent(db, 3, "other", "");
    writeEvent(db, 2, "warning", "");
    EXPECT_EQ(countAllUnread(db), 3);
    EXPECT_EQ(countIndicatedUnread(db), 2);
    for (const EventRow &row : loadEventRows(db)) {
        if (row.type != 3)
            setEventUnread(db, row.id, false);
    }
    EXPECT_EQ(countAllUnread(db), 1);
    EXPECT_EQ(countIndicatedUnread(db), 0);
}

TEST_F(EventLogTest, EventsWrittenInOneSecondAreAddressedOneByOne)
{
    const long long a = writeEvent(db, 1, "a", "").id;
    const long long b = writeEvent(db, 1, "b", "").id;
    ASSERT_NE(a, b);
    deleteEvent(db, a);
    QStringList titles;
    for (const EventRow &row : loadEventRows(db))
        titles << row.title;
    titles.sort();
    EXPECT_EQ(titles, QStringList({"Thank you for trying Orvane software!", "b"}));
}

TEST(EventTime, FormatsWallClockSecondsWithoutZoneShift)
{
    EXPECT_EQ(formatEventTime(1367917381), "2013-05-07 09:03:01");
    EXPECT_EQ(formatEventTime(0), "1970-01-01 00:00:00");
}
