// The main window's commands for the review of every pending change and the
// change journal. After a review's apply the listed users are searched again,
// so that their values and status icons show what the directory now holds;
// after an undo from History only the users it wrote are read again, so the
// list keeps its rows, its scroll position, its selection and the opened user.

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/HistoryWindow.h"
#include "app/ListViews.h"
#include "app/MainWindow.h"
#include "app/ObjectListLoader.h"
#include "app/ObjectView.h"
#include "app/OperationMessageBoxes.h"
#include "app/ReviewWindow.h"
#include "directory/DirectoryConnection.h"
#include "directory/ObjectBinding.h"
#include "directory/UserSearch.h"
#include "workbook/PrimaryStatus.h"

#include <QTreeWidget>

namespace orvane
{

void MainWindow::openReviewWindow()
{
    orvane::openReviewWindow(ctx_, this, [this] { find(); });
}

void MainWindow::openHistoryWindow()
{
    orvane::openHistoryWindow(ctx_, this, [this](const QStringList &guids) { rereadUsers(guids); });
}

void MainWindow::rereadUsers(const QStringList &guids)
{
    const DirectoryConnection connection = connectionFromSettings(ctx_.settings);
    const QString display = objectListAttributes(ctx_.db).display;
    const WarningSink warn = [this](const QString &title, const QString &text) {
        dialogs().warn(this, title, text);
    };
    for (int index = 0; index < ctx_.objects.size(); ++index) {
        if (!guids.contains(ctx_.objects[index].guid))
            continue;
        if (index == ctx_.currentObject && openedObject(ctx_)) {
            objectView_->rereadAfterWrite(); // the opened user: its panes and its status icon
        } else {
            showDirectoryReport(this, ReloadObject(connection, ctx_.db, ctx_.objects[index].guid,
                                                   &ctx_.objects, index, ctx_.settings.multivaluedDelimiter));
            if (QTreeWidgetItem *row = findRowByData(objectList_, index)) {
                const int status = PrimaryStatusOf(ctx_.db, ctx_.settings, ctx_.objects[index], warn);
                if (status >= 0)
                    setObjectRowStatus(row, status, ctx_.images);
            }
        }
        ObjectEntry &entry = ctx_.objects[index];
        DirectoryFailure failure;
        const int disabled = ReadAccountDisabled(connection, entry.guid, &failure);
        if (!failure.failed()) // an unreadable state keeps the one listed
            entry.accountDisabled = disabled;
        if (QTreeWidgetItem *row = findRowByData(objectList_, index)) {
            setObjectRowDisabled(row, entry.accountDisabled, ctx_.images);
            if (entry.values.contains(display))
                row->setText(3, entry.values.value(display));
        }
    }
}

} // namespace orvane
