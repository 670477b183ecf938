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
    bool unread = false; ///< stored as read_flag = 1
};

/// What a double click on an event reads.
struct OpenedEvent {
    QString text;        ///< "" when the event no longer exists
    bool unread = false; ///< as stored before opening
};

/// Returns every event, newest first.
QList<EventRow> loadEventRows(Database &db);

/// Returns the number of unread events of type 1 or 2: the count that the
/// unread indicator follows.
long long countIndicatedUnread(Database &db);

/// Returns the number of unread events of any type.
long long countAllUnread(Database &db);

/// Reads the text and unread mark of event `id`; when it was unread, marks it
/// read. Returns what was read before marking.
OpenedEvent openEvent(Database &db, long long id);

/// Returns the text of event `id` ("" when it no longer exists) without
/// changing its unread mark.
QString eventText(Database &db, long long id);

/// Marks event `id` unread or read (stored as read_flag 1 or 0).
void setEventUnread(Database &db, long long id, bool unread);

/// Deletes event `id`.
void deleteEvent(Database &db, long long id);

/// Formats a stored event time as "yyyy-mm-dd hh:ii:ss" (the stored seconds
/// are the local wall-clock time read as UTC, so no zone shift is applied).
QString formatEventTime(long long datetime);

} // namespace orvane
