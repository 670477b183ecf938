#pragma once
// The export of every directory user into the export workbook: one row per
// user below what the active sheet already holds, one column per binding of
// the workbook. Runs on a worker thread: it uses only its own automation
// objects and the copies in its ExportJob (the settings store is read
// beforehand, on the caller's thread, by ExportWorkbookPath and
// LoadExportBindings), and reports through ExportCallbacks.
//
// The first user goes on the row after the last used row (row 1 only when
// the sheet is empty), so neither a header nor the last row holding data is
// overwritten. A stop request ends the walk and quits without saving, so the
// file stays exactly as it was; a failed save is reported and never reads as
// finished.

#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/WorkbookLookup.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>

namespace orvane
{

/// The path of the workbook tagged as export ("" when none is).
QString ExportWorkbookPath(Database &db);

/// The bindings of the export workbook (its columns and the attribute each
/// one receives) in the order the export statement returns them; none when
/// no workbook is tagged.
QList<WorkbookBinding> LoadExportBindings(Database &db);

/// Everything the export needs, copied so that the worker shares nothing.
struct ExportJob {
    DirectoryConnection connection;
    QString delimiter;
    QString path;
    QList<WorkbookBinding> bindings;
};

struct ExportCallbacks {
    std::function<void(const QString &text)> status; ///< the window's status text
    std::function<void(int written)> progress;       ///< after each written user
    WarningSink warn;                                ///< message boxes to show
    const std::atomic_bool *stop = nullptr;          ///< read before each record
};

inline const QString kExportTitle = QStringLiteral("Export");
inline const QString kExportingText = QStringLiteral("Please wait... export is in progress");

struct ExportOutcome {
    bool opened = false;     ///< the workbook was opened
    bool saved = false;      ///< and saved in place
    bool stopped = false;    ///< a stop request ended it; nothing was saved
    int written = 0;         ///< users written
    int firstRow = 0;        ///< the row of the first user
    DirectoryFailure search; ///< why the search gave nothing (code 0 when it ran)
    QString finalStatus;     ///< what the status text shows at the end ("" when unchanged)
};

/// Runs the export; see the file comment.
ExportOutcome ExportUsers(const ExportJob &job, const ExportCallbacks &callbacks);

/// The first row to write on: after the last used row, or 1 on an empty sheet.
int FirstFreeRow(AutomationObject *app);

} // namespace orvane
