#include "store/EventLog.h"

#include "store/Database.h"

#include <QDateTime>

namespace orvane
{
namespace
{

long long countOf(Database &db, const QString &statement)
{
    db.query(statement);
    db.next_row();
    return db.get_long(0);
}

QString byId(long long id)
{
    return QStringLiteral(" WHERE id = ") + sqlQuote(id);
}

} // namespace

QList<EventRow> loadEventRows(Database &db)
{
    QList<EventRow> rows;
    db.query(QStringLiteral("SELECT datetime, eventtype, eventtitle, id, read_flag FROM events "
                            "ORDER BY datetime DESC"));
    while (db.next_row())
        rows.append(
            {db.get_long(0), int(db.get_long(1)), db.get_text(2), db.get_long(3), db.get_long(4) == 1});
    return rows;
}

long long countIndicatedUnread(Database &db)
{
    return countOf(db,
                   QStringLiteral("SELECT count(id) FROM events WHERE (eventtype = '1' OR eventtype = '2') "
                                  "AND read_flag = '1'"));
}

long long countAllUnread(Database &db)
{
    return countOf(db, QStringLiteral("SELECT count(id) FROM events WHERE read_flag = '1'"));
}

OpenedEvent openEvent(Database &db, long long id)
{
    OpenedEvent opened;
    db.query(QStringLiteral("SELECT eventText, read_flag FROM events") + byId(id));
    if (db.next_row()) {
        opened.text = db.get_text(0);
        opened.unread = db.get_long(1) == 1;
    }
    if (opened.unread)
        setEventUnread(db, id, false);
    return opened;
}

QString eventText(Database &db, long long id)
{
    db.query(QStringLiteral("SELECT eventText FROM events") + byId(id));
    return db.next_row() ? db.get_text(0) : QString();
}

void setEventUnread(Database &db, long long id, bool unread)
{
    db.execute(QStringLiteral("UPDATE events SET read_flag = ") + sqlQuote(unread ? 1 : 0) + byId(id));
}

void deleteEvent(Database &db, long long id)
{
    db.execute(QStringLiteral("DELETE FROM events") + byId(id));
}

QString formatEventTime(long long datetime)
{
    return QDateTime::fromSecsSinceEpoch(datetime, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace orvane
