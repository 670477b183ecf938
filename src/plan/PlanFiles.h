#pragma once
// A plan written out for change control: CSV with one row per change, or
// LDIF with one "changetype: modify" record per user that ldapmodify applies
// with the same result as the program's own apply (each attribute replaced by
// its prepared values; an empty value removes the attribute).

#include "directory/DirectoryConnection.h"
#include "plan/SyncPlan.h"

#include <QMap>
#include <QString>

namespace orvane
{

/// The changes as CSV (RFC 4180 quoting, header row first, "why" joined by "; ").
QString planCsv(const QList<PlannedChange> &changes);

/// The changes as LDIF, users in plan order; `dnByGuid` gives each user's
/// distinguished name (a user without one is left out). Values that LDIF
/// cannot carry as plain text are Base64-encoded.
QString planLdif(const QList<PlannedChange> &changes, const QMap<QString, QString> &dnByGuid,
                 const QString &delimiter);

/// The distinguished name of each GUID, read from the directory (a GUID that
/// cannot be bound is missing from the result).
QMap<QString, QString> distinguishedNames(const DirectoryConnection &connection, const QStringList &guids);

/// Writes `text` as UTF-8 to `path` whole or not at all; false with `*error` set when it cannot.
bool savePlanText(const QString &path, const QString &text, QString *error);

} // namespace orvane
