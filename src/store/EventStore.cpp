#include "store/EventStore.h"

#include "store/Clock.h"
#include "store/Database.h"

#include <QSet>

namespace orvane
{

long long newEventId(Database &db, long long now)
{
    const int draw = randomBetween(0, 100);
    QSet<long long> taken;
    db.query(QStringLiteral("SELECT id FROM events WHERE id >= ") + sqlQuote(now) +
             QStringLiteral(" AND id <= ") + sqlQuote(now + 100));
    while (db.next_row())
        taken.insert(db.get_long(0));
    for (int step = 0; step <= 100; ++step) {
        const long long id = now + (draw + step) % 101;
        if (!taken.contains(id))
            return id;
    }
    return now + draw;
}

WrittenEvent writeEvent(Database &db, int type, const QString &title, const QString &text)
{
    WrittenEvent event;
    event.datetime = localNowSeconds();
    event.id = newEventId(db, event.datetime);
    db.execute(QStringLiteral(
                   "INSERT INTO events(id, datetime, read_flag, eventtype, eventtitle, eventtext) VALUES(") +
               sqlQuote(event.id) + QStringLiteral(", ") + sqlQuote(event.datetime) +
               QStringLiteral(", '1', ") + sqlQuote(type) + QStringLiteral(", ") + sqlQuote(title) +
               QStringLiteral(", ") + sqlQuote(text) + QStringLiteral(")"));
    return event;
}

} // namespace orvane
