#pragma once
// List views as the program's windows use them: a QTreeWidget without a tree,
// with fixed column titles and widths, 16 x 16 icons in any column, full-row
// selection and an integer item data per row (kept in column 0).

#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace orvane
{

struct ListColumn {
    QString title;
    int width;
};

enum class ListSelection { Single, Multiple };

/// Creates a list view named `name` inside `parent` with `columns`.
QTreeWidget *createListView(QWidget *parent, const QString &name, const QList<ListColumn> &columns,
                            ListSelection selection = ListSelection::Single);

/// Returns the row's item data.
long long rowData(const QTreeWidgetItem *row);
/// Sets the row's item data.
void setRowData(QTreeWidgetItem *row, long long data);

/// Returns the current row when it is selected, else the first selected row,
/// else nullptr: the row a single-row command acts on.
QTreeWidgetItem *currentRow(const QTreeWidget *list);

/// Returns the first top-level row whose item data is `data`, or nullptr.
QTreeWidgetItem *findRowByData(const QTreeWidget *list, long long data);

/// Inserts a new row at position 0 and returns it.
QTreeWidgetItem *insertRowAtTop(QTreeWidget *list);

/// Returns every top-level row, first to last.
QList<QTreeWidgetItem *> allRows(const QTreeWidget *list);

} // namespace orvane
