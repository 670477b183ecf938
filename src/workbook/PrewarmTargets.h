#pragma once
// Which registered workbooks, and which of their columns, opening a user
// looks into: read from the bindings here, so that the pre-warm (a stand-in
// for the workbook engine) is handed files and columns and never reads the
// settings tables itself. The bindings are read by the statements the lookup
// runs: every key pair (for the primary workbook's) and every lookup pair.

#include "workbook/excel/WorkbookPrewarm.h"

#include <QList>

namespace orvane
{

class Database;

/// The workbooks an opened user is looked up in, in the order the lookup
/// visits them: every workbook with a lookup pair (its lookup columns) and the
/// primary workbook (its key column), each once.
QList<PrewarmTarget> prewarmTargets(Database &db);

} // namespace orvane
