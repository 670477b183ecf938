// The main window's commands for the review of every pending change and the
// change journal: the windows run the operations; afterwards the listed users
// are searched again, so that their values and status icons show what the
// directory now holds.

#include "app/HistoryWindow.h"
#include "app/MainWindow.h"
#include "app/ReviewWindow.h"

namespace orvane
{

void MainWindow::openReviewWindow()
{
    orvane::openReviewWindow(ctx_, this, [this] { find(); });
}

void MainWindow::openHistoryWindow()
{
    orvane::openHistoryWindow(ctx_, this, [this] { find(); });
}

} // namespace orvane
