// The main window from the keyboard: F5 and Return in the letter box run
// Find, Return or Enter on a listed user opens it, Ctrl+Q exits (set with the
// menu), a click on the unread indicator shows the Events tab, and Tab walks
// the controls in the order they are laid out.

#include "app/KeyCommands.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace orvane
{

void MainWindow::buildKeyboard()
{
    findAction_->setShortcut(QKeySequence(Qt::Key_F5));
    findAction_->setShortcutContext(Qt::WindowShortcut);
    onReturnKey(letterCombo_, [this] { find(); });
    onReturnKey(objectList_, [this] { objectListDoubleClicked(); });
    onReturnKey(lookupList_, [this] { lookupListDoubleClicked(); });
    onClick(unreadIndicator_, [this] { tabs_->setCurrentWidget(eventsPage_); });

    letterCombo_->setFocusPolicy(Qt::StrongFocus);
    const QList<QWidget *> order = {letterCombo_, objectList_,      tabs_,       objectField_,
                                    markerCombo_, setMarkerButton_, syncButton_, attributeList_,
                                    lookupList_,  compareList_};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setTabOrder(eventList_, eventText_);
}

} // namespace orvane
