#include "app/EventLogView.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/WriteCheck.h"
#include "store/EventStore.h"

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace orvane
{
namespace
{

int typeImage(int type)
{
    if (type == 1)
        return ImageInformation;
    if (type == 2)
        return ImageWarning;
    return -1;
}

int readImage(bool unread)
{
    return unread ? ImageUnread : ImageRead;
}

const QString kTitle = QStringLiteral("Events");

} // namespace

EventLogView::EventLogView(AppContext &ctx, QTreeWidget *list, QPlainTextEdit *text, QLabel *indicator)
    : QObject(list), ctx_(ctx), list_(list), text_(text), indicator_(indicator)
{
    menu_ = new QMenu(list_);
    menu_->setObjectName(QStringLiteral("EventMenu"));
    delete_ = menu_->addAction(QStringLiteral("&Delete"), this, &EventLogView::deleteSelected);
    menu_->addAction(QStringLiteral("&Refresh"), this, &EventLogView::refresh);
    markRead_ = menu_->addAction(QStringLiteral("Mark as r&ead"), this, &EventLogView::markSelectedRead);
    markUnread_ =
        menu_->addAction(QStringLiteral("Mark as &unread"), this, &EventLogView::markSelectedUnread);
    menu_->addAction(QStringLiteral("Select &All"), this, &EventLogView::selectAll);
    indicator_->setCursor(Qt::PointingHandCursor);

    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { openCurrentEvent(); });
    connect(list_, &QTreeWidget::itemClicked, this, [this] { showCurrentEvent(); });
    // Moving with the arrow keys shows each event too; a refill of the list does not.
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] {
        if (list_->hasFocus())
            showCurrentEvent();
    });
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showMenu(list_->viewport()->mapToGlobal(pos)); });
}

void EventLogView::appendEvents(QList<EventRecord> batch)
{
    const WriteCheck batchCheck(ctx_.db);
    for (const EventRecord &record : batch) {
        if (record.type == 0)
            continue;
        const WriteCheck check(ctx_.db);
        const WrittenEvent written = writeEvent(ctx_.db, record.type, record.title, record.text);
        if (check.failed())
            continue;
        addRow(0, {written.datetime, record.type, record.title, written.id, 1});
    }
    batchCheck.report(list_->window(), kTitle);
    refreshUnreadIndicator();
    batch.clear();
}

void EventLogView::refreshUnreadIndicator()
{
    setIndicator(countIndicatedUnread(ctx_.db) != 0);
}

void EventLogView::loadEventList()
{
    for (const EventRow &event : loadEventRows(ctx_.db))
        addRow(list_->topLevelItemCount(), event);
}

void EventLogView::openCurrentEvent()
{
    QTreeWidgetItem *row = currentRow(list_);
    if (!row)
        return;
    const WriteCheck check(ctx_.db);
    const OpenedEvent opened = openEvent(ctx_.db, rowData(row));
    text_->clear();
    text_->setPlainText(opened.text);
    if (check.report(list_->window(), kTitle))
        return;
    if (opened.unread) {
        row->setIcon(1, ctx_.images.icon(ImageRead));
        refreshUnreadIndicator();
    }
}

void EventLogView::showCurrentEvent()
{
    if (QTreeWidgetItem *row = currentRow(list_))
        text_->setPlainText(eventText(ctx_.db, rowData(row)));
}

void EventLogView::showMenu(const QPoint &globalPos)
{
    const bool hasRow = currentRow(list_) != nullptr;
    delete_->setEnabled(hasRow);
    markRead_->setEnabled(hasRow);
    markUnread_->setEnabled(hasRow);
    menu_->popup(globalPos);
}

void EventLogView::deleteSelected()
{
    if (!dialogs().ask(list_->window(), kTitle,
                       QStringLiteral("Are you sure want to delete selected events?")))
        return;
    const WriteCheck check(ctx_.db);
    for (int i = list_->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *row = list_->topLevelItem(i);
        if (!row->isSelected())
            continue;
        deleteEvent(ctx_.db, rowData(row));
        if (check.failed())
            break;
        delete list_->takeTopLevelItem(i);
    }
    check.report(list_->window(), kTitle);
    refreshUnreadIndicator();
}

void EventLogView::setSelectedUnread(bool unread)
{
    const WriteCheck check(ctx_.db);
    for (QTreeWidgetItem *row : selectedRows()) {
        setEventUnread(ctx_.db, rowData(row), unread);
        if (check.failed())
            break;
        row->setIcon(1, ctx_.images.icon(unread ? ImageUnread : ImageRead));
    }
    check.report(list_->window(), kTitle);
}

void EventLogView::markSelectedRead()
{
    setSelectedUnread(false);
    if (countAllUnread(ctx_.db) == 0)
        setIndicator(false);
}

void EventLogView::markSelectedUnread()
{
    setSelectedUnread(true);
    if (countAllUnread(ctx_.db) > 0)
        setIndicator(true);
}

void EventLogView::refresh()
{
    list_->clear();
    loadEventList();
}

void EventLogView::selectAll()
{
    list_->selectAll();
}

void EventLogView::addRow(int position, const EventRow &event)
{
    auto *row = new QTreeWidgetItem;
    const int image = typeImage(event.type);
    if (image >= 0)
        row->setIcon(0, ctx_.images.icon(image));
    row->setIcon(1, ctx_.images.icon(readImage(event.unread)));
    row->setText(2, formatEventTime(event.datetime));
    row->setText(3, event.title);
    setRowData(row, event.id);
    list_->insertTopLevelItem(position, row);
}

void EventLogView::setIndicator(bool on)
{
    indicator_->clear();
    indicator_->setToolTip(on ? QStringLiteral("Unread events: click to show the Events tab") : QString());
    if (on)
        indicator_->setPixmap(ctx_.images.icon(ImageInformation).pixmap(16, 16));
}

QList<QTreeWidgetItem *> EventLogView::selectedRows() const
{
    QList<QTreeWidgetItem *> rows;
    for (QTreeWidgetItem *row : allRows(list_)) {
        if (row->isSelected())
            rows << row;
    }
    return rows;
}

} // namespace orvane
