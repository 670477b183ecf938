#pragma once
// One workbook row beside the directory user it was found for: the row's
// bound cells read into SyncRecords, prepared, and each marked up to date or
// different against the user's values. The same result says what a
// synchronization of that row would write (the records not up to date), so
// the window and a command-line front end decide alike.

#include "store/Settings.h"
#include "sync/SyncRecord.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/WorkbookLookup.h"

#include <QString>

namespace orvane
{

/// Reads the bound cells of `row` of the opened workbook `app` into one record
/// per binding of workbook `fileId`, in the order the store returns them;
/// value and raw value hold the cell text, every flag is 0.
SyncRecordList ReadSourceRecords(AutomationObject *app, Database &db, long long fileId, int row);
/// The same with the workbook's bindings loaded beforehand (loadWorkbookBindings, SourceRecords).
SyncRecordList ReadSourceRecords(AutomationObject *app, const QList<WorkbookBinding> &bindings, int row);
/// The same through `reads`, for many users of one opened workbook (a plan).
SyncRecordList ReadSourceRecords(const ParsedWorkbookReads &reads, const QList<WorkbookBinding> &bindings, int row);

/// Sets each record's up to date from the user's value of its attribute (exact
/// equality, or for a multi-valued attribute the element-wise comparison) and
/// returns how many records differ.
int MarkAttributeStatus(SyncRecordList &records, const ObjectEntry &object, const Settings &settings);

/// A source row compared with a user.
struct SourceComparison {
    bool opened = false;    ///< false: the workbook could not be opened (already reported)
    QString filename;       ///< the workbook's path
    SyncRecordList records; ///< prepared and marked
    int differing = 0;      ///< records whose up to date is 0: what a synchronization writes
};

/// Opens the workbook of `hit`, reads and prepares its row and marks it
/// against `object`; the workbook is closed before returning. Problems opening
/// it go to `warn`.
SourceComparison CompareSource(Database &db, const Settings &settings, const SourceHit &hit,
                               const ObjectEntry &object, const WarningSink &warn);

/// The confirmation asked before writing `count` attributes of `source` to the user `cn`.
QString SynchronizeQuestion(int count, const QString &cn, const QString &source);

} // namespace orvane
