#pragma once
// Showing what a directory operation reported: its messages, in order, as
// message boxes through the program's dialogs.

#include "directory/OperationMessages.h"

#include <QList>

class QWidget;

namespace orvane
{

/// Shows every message of `messages` in order, each with its title, text and icon.
void showOperationMessages(QWidget *parent, const QList<OperationMessage> &messages);

/// Shows the messages of `report` and returns its result.
int showDirectoryReport(QWidget *parent, const DirectoryReport &report);

} // namespace orvane
