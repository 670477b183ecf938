#pragma once
// A plan as JSON for scripts: the workbook compared with, the counts, and one
// object per change carrying the same fields as the CSV plan plus the values
// as the apply would write them (a multi-valued value split into its values).

#include "plan/SyncPlan.h"

#include <QByteArray>

namespace orvane
{

/// `plan` as an indented UTF-8 JSON document; `delimiter` splits multi-valued texts.
QByteArray planJson(const SyncPlan &plan, const QString &delimiter);

} // namespace orvane
