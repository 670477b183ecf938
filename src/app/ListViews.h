#pragma once
// List views as the program's windows use them: a QTreeWidget without a tree,
// with fixed column titles and widths (the last one stretching to the view's
// width), 16 x 16 icons in any column, full-row selection and an integer item
// data per row (kept in column 0).

#include <QList>
#include <QString>
#include <QTreeWidgetItem>

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

/// A row that sorts numbers as numbers (a set id, a row number) and other
/// texts in the locale's order; a row of a plain QTreeWidgetItem sorts by text.
class ListRow : public QTreeWidgetItem
{
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem &other) const override;
};

/// Makes a click on a column title sort the list by that column, a second
/// click on the same title reversing the order. Until the first click the rows
/// stay in the order they were added; item data moves with its row.
void enableHeaderSorting(QTreeWidget *list);

/// The width column `column` of `list` needs to show its title and every
/// top-level row's text and icon uncut.
int neededColumnWidth(const QTreeWidget *list, int column);

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
