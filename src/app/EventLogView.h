#pragma once
// The event log as the main window shows it: the "Events" tab's list and text,
// its popup menu and the unread indicator in the status bar. The list holds
// one row per event, item data the event id; statements go through EventLog.

#include "store/EventLog.h"

#include <QList>
#include <QObject>

class QLabel;
class QMenu;
class QPlainTextEdit;
class QPoint;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

namespace orvane
{

struct AppContext;

class EventLogView : public QObject
{
    Q_OBJECT
  public:
    /// Works on the given controls (not owned); creates EventMenu on `list`.
    EventLogView(AppContext &ctx, QTreeWidget *list, QPlainTextEdit *text, QLabel *indicator);

    /// Writes every record of `batch` whose type is not 0, inserting its row at
    /// the top of the list, then refreshes the indicator. Takes the batch.
    void appendEvents(QList<EventRecord> batch);
    /// Shows the information icon while an unread event of type 1 or 2 exists,
    /// else clears the indicator.
    void refreshUnreadIndicator();
    /// Appends one row per stored event, newest first; does not clear the list.
    void loadEventList();

    /// Double click: shows the current event's text and marks it read.
    void openCurrentEvent();
    /// Single click (the current row changed): shows that event's text and
    /// leaves its unread mark, which only opening or "Mark as read" changes.
    void showCurrentEvent();
    /// Right click: enables the items that need a current row and shows the menu at `globalPos`.
    void showMenu(const QPoint &globalPos);
    /// Asks once, then deletes the selected events and their rows.
    void deleteSelected();
    /// Marks the selected events read; clears the indicator when nothing is unread.
    void markSelectedRead();
    /// Marks the selected events unread; shows the indicator when anything is unread.
    void markSelectedUnread();
    /// Reloads the list from the store; the text stays.
    void refresh();
    /// Selects every row.
    void selectAll();

    QMenu *menu() const { return menu_; }

  private:
    void addRow(int position, const EventRow &event);
    void setIndicator(bool on);
    QList<QTreeWidgetItem *> selectedRows() const;
    /// Stores `unread` for the selected events and sets their icons,
    /// stopping at the first failed write, which is reported.
    void setSelectedUnread(bool unread);

    AppContext &ctx_;
    QTreeWidget *list_;
    QPlainTextEdit *text_;
    QLabel *indicator_;
    QMenu *menu_;
    QAction *delete_;
    QAction *markRead_;
    QAction *markUnread_;
};

} // namespace orvane
