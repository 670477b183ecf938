#pragma once
// The statements behind the replacement-rule editor. Rules are stored exactly
// as typed; value preparation reads them only through Settings, which is
// refreshed when the Options window is saved. Failures are silent.

#include <QString>

namespace orvane
{

class Database;

/// Returns the id of the rule that replaces exactly `stringToReplace`, 0 when none does.
long long findReplacementRule(Database &db, const QString &stringToReplace);

/// Creates a rule and returns its id.
long long insertReplacementRule(Database &db, const QString &stringToReplace, const QString &replaceWith);

/// Changes what rule `id` replaces its string with.
void updateReplacementRule(Database &db, long long id, const QString &replaceWith);

/// Deletes rule `id`.
void deleteReplacementRule(Database &db, long long id);

} // namespace orvane
