#include "app/ListViews.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>

namespace orvane
{
namespace
{

constexpr int kLastColumnStart = 40;

} // namespace

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
    // The last column takes what is left, so that no view shows an empty band
    // beside its columns and a long last value uses the room there is.
    list->header()->setStretchLastSection(true);
    list->header()->setSectionsMovable(false);
    list->header()->setMinimumSectionSize(8);
    QStringList titles;
    for (const ListColumn &column : columns)
        titles << column.title;
    list->setColumnCount(int(columns.size()));
    list->setHeaderLabels(titles);
    for (int i = 0; i < columns.size(); ++i)
        list->setColumnWidth(i, columns[i].width);
    // A stretching section never shrinks below the width last set on it: the
    // last column starts small, so that a narrow view shows the columns before
    // it whole instead of scrolling sideways.
    if (!columns.isEmpty())
        list->setColumnWidth(int(columns.size()) - 1, qMin(columns.last().width, kLastColumnStart));
    return list;
}

bool ListRow::operator<(const QTreeWidgetItem &other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
    const QString mine = text(column), theirs = other.text(column);
    bool mineIsNumber = false, theirsIsNumber = false;
    const double a = mine.toDouble(&mineIsNumber), b = theirs.toDouble(&theirsIsNumber);
    if (mineIsNumber && theirsIsNumber)
        return a < b;
    return QString::localeAwareCompare(mine, theirs) < 0;
}

void enableHeaderSorting(QTreeWidget *list)
{
    QHeaderView *header = list->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    QObject::connect(header, &QHeaderView::sectionClicked, list, [list, header](int column) {
        // The first click on a title sorts ascending, the next one on it reverses.
        const bool same = header->isSortIndicatorShown() && header->sortIndicatorSection() == column;
        const Qt::SortOrder order = same && header->sortIndicatorOrder() == Qt::AscendingOrder
                                        ? Qt::DescendingOrder
                                        : Qt::AscendingOrder;
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, order);
        list->sortItems(column, order);
    });
}

int neededColumnWidth(const QTreeWidget *list, int column)
{
    const QFontMetrics header(list->header()->font());
    const int padding = 2 * list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 8;
    const QString title = list->headerItem()->text(column).trimmed();
    int needed = title.isEmpty() ? 0 : header.horizontalAdvance(title) + padding;
    const QFontMetrics rows(list->font());
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list->topLevelItem(i);
        const QString text = row->text(column);
        int width = text.isEmpty() ? 0 : rows.horizontalAdvance(text) + padding;
        if (!row->icon(column).isNull())
            width += list->iconSize().width() + 4;
        if (row->data(column, Qt::CheckStateRole).isValid())
            width += list->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list) + 4;
        needed = qMax(needed, width);
    }
    return needed;
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
