#pragma once
// The plan in the formats the plan command offers: text for people (each
// change with the workbook cell and the why, as the review window's tooltip
// shows them), and CSV, JSON and LDIF through the plan's own writers.

#include "plan/SyncPlan.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvane::synctool
{

class Session;

/// The formats --format takes.
inline const QStringList kPlanFormats{QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("json"),
                                      QStringLiteral("ldif")};

/// The plan as text: a heading with the workbook, the changes grouped by user, a count line.
QString planText(const SyncPlan &plan);

/// The plan in `format` (one of kPlanFormats), as UTF-8.
QByteArray formattedPlan(Session &session, const SyncPlan &plan, const QString &format);

} // namespace orvane::synctool
