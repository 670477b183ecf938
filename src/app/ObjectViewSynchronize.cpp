// The Synchronize button of the "General" tab.

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/OperationMessageBoxes.h"
#include "app/ListViews.h"
#include "app/ObjectView.h"
#include "directory/AttributeWriting.h"
#include "plan/JournaledEdits.h"
#include "workbook/SourceComparison.h"

#include <QTreeWidget>

namespace orvane
{

namespace
{

const QString kSynchronizationTitle = QStringLiteral("Synchronization");

} // namespace

void ObjectView::synchronize()
{
    if (!openedObject(ctx_)) {
        dialogs().warn(c_.parent, kSynchronizationTitle,
                       QStringLiteral("Active Directory object is not selected."));
        return;
    }
    bool ticked = false;
    for (QTreeWidgetItem *row : allRows(c_.lookupList)) {
        if (row->checkState(0) != Qt::Checked)
            continue;
        ticked = true;
        synchronizeRow(int(rowData(row)), row->text(2));
    }
    if (!ticked)
        dialogs().warn(c_.parent, kSynchronizationTitle,
                       QStringLiteral("Synchronization source is not selected."));
}

// Reads the row afresh, so that a second source is compared with what the first one wrote.
void ObjectView::synchronizeRow(int n, const QString &source)
{
    const std::optional<SourceComparison> found = compareSource(n);
    const ObjectEntry *entry = openedObject(ctx_);
    if (!found || !entry)
        return;
    const SourceComparison &comparison = *found;
    if (comparison.differing == 0) {
        dialogs().inform(c_.parent, kSynchronizationTitle,
                         QStringLiteral("Active Directory object is up to date."));
        return;
    }
    if (!dialogs().ask(c_.parent, kSynchronizationTitle,
                       SynchronizeQuestion(comparison.differing, entry->cn, source)))
        return;
    showDirectoryReport(
        c_.parent, JournaledApplyPreparedValues(
                       ctx_.db, ctx_.settings, comparison.records, ctx_.objects, ctx_.currentObject,
                       comparison.filename + QStringLiteral(" row ") + QString::number(sources_[n].row)));
    reloadObject();
    refreshObjectView();
}

} // namespace orvane
