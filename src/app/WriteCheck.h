#pragma once
// Handlers that change stored state watch the settings connection across one
// user action, so that a failed statement (a locked or damaged file) is shown
// instead of a list that changes on screen while nothing was stored.

#include "store/Database.h"

#include <QString>

class QWidget;

namespace orvane
{

class WriteCheck
{
  public:
    /// Starts watching `db` (not owned) from its current failure count.
    explicit WriteCheck(Database &db) : db_(db), before_(db.failedWrites()) {}

    /// True when a statement run through `db` failed since construction.
    bool failed() const { return db_.failedWrites() != before_; }

    /// Shows a warning titled `title` with SQLite's reason when a statement
    /// failed; returns whether one did.
    bool report(QWidget *parent, const QString &title) const;

  private:
    Database &db_;
    long long before_;
};

} // namespace orvane
