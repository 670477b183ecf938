#include "app/AccountHandlers.h"

#include "app/AppContext.h"
#include "app/OperationMessageBoxes.h"
#include "app/ListViews.h"
#include "app/ObjectListLoader.h"
#include "directory/AccountState.h"
#include "plan/JournaledEdits.h"

#include <QTreeWidget>

namespace orvane
{

void changeAccountOfCurrentRow(AppContext &ctx, QTreeWidget *objectList, AccountChange change,
                               QWidget *parent)
{
    QTreeWidgetItem *row = currentRow(objectList);
    const long long index = rowData(row);
    if (!row || index < 0 || index >= ctx.objects.size())
        return;
    // The opened object stays the current one: acting on another row must not
    // leave the attribute pane without an object to edit or refresh.
    const QString guid = ctx.objects[int(index)].guid;
    const bool disable = change == AccountChange::Disable;
    const DirectoryReport report =
        JournaledAccountChange(ctx.db, ctx.settings, guid, ctx.objects[int(index)].cn, disable,
                               ctx.objects[int(index)].accountDisabled == 1);
    if (showDirectoryReport(parent, report) != 1)
        return;
    // A message box may have let a new search replace the table meanwhile.
    if (index >= ctx.objects.size() || ctx.objects[int(index)].guid != guid)
        return;
    ctx.objects[int(index)].accountDisabled = disable ? 1 : 0;
    if (QTreeWidgetItem *listed = findRowByData(objectList, index))
        setObjectRowDisabled(listed, disable ? 1 : 0, ctx.images);
}

} // namespace orvane
