// The main window's commands on the opened user, handed to its ObjectView and
// the export window.

#include "app/AppContext.h"
#include "app/ExportWindow.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectView.h"

namespace orvane
{

void MainWindow::wireObjectView()
{
    objectView_ = new ObjectView(ctx_, {objectList_, attributeList_, lookupList_, compareList_, this}, this);
    setObjectStatusCheck(makePrimaryStatusCheck);
}

void MainWindow::fillAttributeList()
{
    objectView_->fillAttributeList();
}

void MainWindow::findSources()
{
    objectView_->findSources();
}

void MainWindow::prewarmWorkbooks()
{
    objectView_->prewarmWorkbooks();
}

void MainWindow::loadSourceRow(QTreeWidgetItem *row, bool fill)
{
    // A double click fills the compare list and marks only when comparing always; "Compare" always marks.
    objectView_->loadSourceRow(int(rowData(row)), fill, !fill || ctx_.settings.showComparison == 0);
}

void MainWindow::reloadObject()
{
    objectView_->reloadObject();
}

void MainWindow::refreshObjectView()
{
    objectView_->refreshObjectView();
}

void MainWindow::showPrimaryStatus()
{
    objectView_->showPrimaryStatus();
}

void MainWindow::synchronize()
{
    objectView_->synchronize();
}

void MainWindow::openExportWindow()
{
    orvane::openExportWindow(ctx_, this);
}

} // namespace orvane
