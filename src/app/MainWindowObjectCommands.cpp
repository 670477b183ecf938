// The main window's commands on the opened user, handed to its ObjectView and
// the export window.

#include "app/AccountHandlers.h"
#include "app/AppContext.h"
#include "app/ExportWindow.h"
#include "app/ImageDialog.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectListTips.h"
#include "app/ObjectView.h"

#include <QScrollBar>
#include <QTreeWidget>

namespace orvane
{

void MainWindow::wireObjectView()
{
    objectView_ = new ObjectView(ctx_,
                                 {objectList_, attributeList_, lookupList_, compareList_, this,
                                  [this](const QString &text) { setStatusText(text); }},
                                 this);
    setObjectStatusCheck(makePrimaryStatusCheck);
    installObjectListTips(ctx_, objectList_);
    enableHeaderSorting(objectList_);
    // Choosing a row never scrolls the list sideways, away from its icons.
    connect(objectList_, &QTreeWidget::currentItemChanged, this,
            [this] { objectList_->horizontalScrollBar()->setValue(0); });
    lookupList_->setTextElideMode(Qt::ElideMiddle); // a workbook path keeps its start and its file name
    connect(lookupList_, &QTreeWidget::itemClicked, this, &MainWindow::lookupListClicked);
}

void MainWindow::lookupListClicked(QTreeWidgetItem *row)
{
    if (row && objectView_->comparedSource() != int(rowData(row)))
        loadSourceRow(row, true);
}

void MainWindow::changeAccount(AccountChange change)
{
    const long long index = rowData(currentRow(objectList_));
    const int disabledBefore =
        index >= 0 && index < ctx_.objects.size() ? ctx_.objects[int(index)].accountDisabled : -1;
    changeAccountOfCurrentRow(ctx_, objectList_, change, this);
    const bool changed = index >= 0 && index < ctx_.objects.size() &&
                         ctx_.objects[int(index)].accountDisabled != disabledBefore;
    if (changed && index == ctx_.currentObject && openedObject(ctx_))
        objectView_->rereadAfterWrite();
}

void MainWindow::openImageDialog()
{
    const long long index = rowData(currentRow(objectList_));
    ImageDialog *dialog = orvane::openImageDialog(ctx_, objectList_, this);
    // A photo set or removed changes the user: read it again once the dialog is done.
    if (dialog && index == ctx_.currentObject && openedObject(ctx_))
        connect(dialog, &QDialog::finished, objectView_, &ObjectView::rereadAfterWrite);
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
