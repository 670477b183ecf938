#pragma once
// Writing events into the events table. Ids are the creation time plus a
// random 0..100, moved on while a row already has the id, so that every
// handler addressing an event by id touches only that event.

#include <QString>

namespace orvane
{

class Database;

struct WrittenEvent {
    long long id = 0;
    long long datetime = 0; ///< local wall-clock seconds, see localNowSeconds
};

/// Inserts one unread event of `type` and returns its id and time. The insert
/// itself is not checked: a failed write still yields the id it would have had.
WrittenEvent writeEvent(Database &db, int type, const QString &title, const QString &text);

/// Returns a new event id for `now` that no row of events carries yet: the
/// random draw, or the next free one of the 101 possible ids after it (the
/// draw itself when all are taken).
long long newEventId(Database &db, long long now);

} // namespace orvane
