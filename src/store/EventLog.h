#pragma once
// The statements behind the event log: listing events, counting the unread
// ones, opening, marking and deleting one event by id. Writing new events is
// EventStore's job; the windows that show the log live in the shell. Every
// statement's failure is silent: a failed read yields nothing, a failed write
// changes nothing.

#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// One event handed to AppendEvents. Type 0 means "no event": it is skipped.
struct EventRecord {
    int type = 0;
    QString title;
    QString text;
};

/// One row of the event list as the load query returns it.
struct EventRow {
    long long datetime = 0;
    int type = 0;
    QString title;
    long long id = 0;
    int readFlag = 0; ///< 1 unread, 0 read
};

/// What a double click on an event reads.
struct OpenedEvent {
    QString text;     ///< "" when the event no longer exists
    int readFlag = 0; ///< as stored before opening
};

/// Returns every event, newest first.
QList<EventRow> loadEventRows(Database &db);

/// Returns the number of unread events of type 1 or 2: the count that the
/// unread indicator follows.
long long countIndicatedUnread(Database &db);

/// Returns the number of unread events of any type.
long long countAllUnread(Database &db);

/// Reads the text and read flag of event `id`; when it was unread, marks it
/// read. Returns what was read before marking.
OpenedEvent openEvent(Database &db, long long id);

/// Sets the read flag of event `id` to `readFlag` (1 unread, 0 read).
void setEventReadFlag(Database &db, long long id, int readFlag);

/// Deletes event `id`.
void deleteEvent(Database &db, long long id);

/// Formats a stored event time as "yyyy-mm-dd hh:ii:ss" (the stored seconds
/// are the local wall-clock time read as UTC, so no zone shift is applied).
QString formatEventTime(long long datetime);

} // namespace orvane
