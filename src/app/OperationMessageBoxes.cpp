#include "app/OperationMessageBoxes.h"

#include "app/Dialogs.h"

namespace orvane
{

void showOperationMessages(QWidget *parent, const QList<OperationMessage> &messages)
{
    for (const OperationMessage &message : messages) {
        const DialogIcon icon =
            message.icon == MessageIcon::Information ? DialogIcon::Information : DialogIcon::Warning;
        dialogs().show(parent, message.title, message.text, icon);
    }
}

int showDirectoryReport(QWidget *parent, const DirectoryReport &report)
{
    showOperationMessages(parent, report.messages);
    return report.result;
}

} // namespace orvane
