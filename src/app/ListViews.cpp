#include "app/ListViews.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace orvane
{

QTreeWidget *createListView(QWidget *parent, const QString &name, const QList<ListColumn> &columns,
                            ListSelection selection)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setIconSize(QSize(16, 16));
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(selection == ListSelection::Multiple ? QAbstractItemView::ExtendedSelection
                                                                : QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    list->header()->setMinimumSectionSize(8);
    QStringList titles;
    for (const ListColumn &column : columns)
        titles << column.title;
    list->setColumnCount(int(columns.size()));
    list->setHeaderLabels(titles);
    for (int i = 0; i < columns.size(); ++i)
        list->setColumnWidth(i, columns[i].width);
    return list;
}

long long rowData(const QTreeWidgetItem *row)
{
    return row ? row->data(0, Qt::UserRole).toLongLong() : 0;
}

void setRowData(QTreeWidgetItem *row, long long data)
{
    row->setData(0, Qt::UserRole, QVariant::fromValue(data));
}

QTreeWidgetItem *currentRow(const QTreeWidget *list)
{
    QTreeWidgetItem *current = list->currentItem();
    if (current && current->isSelected())
        return current;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->isSelected())
            return list->topLevelItem(i);
    }
    return nullptr;
}

QTreeWidgetItem *findRowByData(const QTreeWidget *list, long long data)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = list->topLevelItem(i);
        if (rowData(row) == data)
            return row;
    }
    return nullptr;
}

QTreeWidgetItem *insertRowAtTop(QTreeWidget *list)
{
    auto *row = new QTreeWidgetItem;
    list->insertTopLevelItem(0, row);
    return row;
}

QList<QTreeWidgetItem *> allRows(const QTreeWidget *list)
{
    QList<QTreeWidgetItem *> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i);
    return rows;
}

} // namespace orvane
