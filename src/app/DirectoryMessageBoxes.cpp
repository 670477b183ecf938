#include "app/DirectoryMessageBoxes.h"

#include "app/Dialogs.h"

namespace orvane
{

void showDirectoryMessages(QWidget *parent, const QList<DirectoryMessage> &messages)
{
    for (const DirectoryMessage &message : messages) {
        const DialogIcon icon =
            message.icon == MessageIcon::Information ? DialogIcon::Information : DialogIcon::Warning;
        dialogs().show(parent, message.title, message.text, icon);
    }
}

int showDirectoryReport(QWidget *parent, const DirectoryReport &report)
{
    showDirectoryMessages(parent, report.messages);
    return report.result;
}

} // namespace orvane
