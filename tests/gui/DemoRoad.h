#pragma once
// The road a new administrator takes, driven through the main window as a
// user would drive it: Find until a listed user differs from the primary
// workbook, open that user, tick the key-confirmed workbook row, Synchronize
// and answer Yes; then "Export..." until "Finished". The end-to-end test runs
// it against the test directory and checks the directory and the workbook
// afterwards; the headless demo runs it against the demo directory. Both save
// the same screenshots. Message boxes go to the scripted dialogs the caller
// installed, which must answer the synchronization question.

#include <QString>
#include <QStringList>

class ScriptedDialogs;

namespace orvane
{
class MainWindow;
struct AppContext;
} // namespace orvane

namespace orvane::test
{

/// What the synchronization road did; `failure` is empty when it went all the way.
struct SyncRoadOutcome {
    QString failure;
    QString letter;         ///< the character whose Find listed the user
    int listed = 0;         ///< users listed by that Find
    QString sAMAccountName; ///< the user synchronized
    QString cn;
    QString question;           ///< the synchronization question asked
    bool upToDateAfter = false; ///< the user's status icon after the write
};

/// What the export road did; `failure` is empty when the status says "Finished".
struct ExportRoadOutcome {
    QString failure;
    QList<int> counts; ///< every count the window showed while counting
    QString status;    ///< the final status text
};

/// Runs Find, opens the first user whose status icon says "differs" and
/// synchronizes it from its key-confirmed row, then opens History. Saves
/// main-window-find.png, main-window-compare.png, main-window-synchronized.png
/// and history.png into `screenshots` when it is not empty.
SyncRoadOutcome runSyncRoad(MainWindow &window, AppContext &ctx, ScriptedDialogs &boxes,
                            const QString &screenshots);

/// Opens "Export...", waits for the count, presses "Export" and waits for the
/// end (at most `timeoutMs` each). Saves export-finished.png.
ExportRoadOutcome runExportRoad(MainWindow &window, const QString &screenshots, int timeoutMs = 120000);

/// Opens the Options window on its "Excel files" tab with the primary
/// workbook selected, saves options-excel-files.png and closes the window
/// without saving. Returns false when the tab or the workbook is missing.
bool photographExcelFilesTab(MainWindow &window, const AppContext &ctx, const QString &screenshots);

} // namespace orvane::test
