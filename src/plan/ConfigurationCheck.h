#pragma once
// Whether a settings file can carry a synchronization, piece by piece: the
// server answers (each server of a list of domain controllers, the first
// that answers checked further), TLS is established (and against which CA),
// the configured account (or the Kerberos ticket) binds, the base DN exists, every
// registered workbook opens and every binding's column and attribute exist.
// Each piece is one CheckLine, so a script or a person sees which one fails
// by its name; a failed piece does not stop the pieces that do not need it.

#include "directory/DirectoryConnection.h"
#include "store/Settings.h"

#include <QList>
#include <QString>
#include <functional>

namespace orvane
{

class Database;

/// The outcome of one piece of the configuration.
struct CheckLine {
    QString name;        ///< what was checked, e.g. "Server reachable", "Workbook 3 opens"
    bool passed = false; ///< false: the piece is missing or refused
    bool skipped = false; ///< true: not tried because a piece it needs failed
    QString detail;      ///< what was found, or why it failed (the engine's own words)
};

/// Called with each line as soon as it is known.
using CheckSink = std::function<void(const CheckLine &line)>;

/// Checks the configuration held by `settings` (read from `db`) with
/// `connection` (its password already resolved); returns every line, in the
/// order they were reported to `each` (may be empty).
QList<CheckLine> CheckConfiguration(Database &db, const Settings &settings, const DirectoryConnection &connection,
                                    const CheckSink &each = {});

/// True when no line failed (skipped lines follow a failed one).
bool allChecksPassed(const QList<CheckLine> &lines);

} // namespace orvane
