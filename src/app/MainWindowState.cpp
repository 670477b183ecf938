// The main window's state across starts: the inner size, maximised or not,
// the splitter, and (beyond the first start's options) where the window was
// and how wide the columns of its lists were. Opening restores it; the
// window-state save on "Exit" and on closing writes it.

#include "app/AppContext.h"
#include "app/MainWindow.h"
#include "store/OptionTable.h"

#include <QScreen>
#include <QSplitter>
#include <QTreeWidget>

namespace orvane
{
namespace
{

// At least this much of a saved position must lie on a screen, or the window
// opens centred (a screen that was unplugged since).
constexpr QSize kMustShow(120, 60);
constexpr int kWidestColumn = 4000;

QSize savedInnerSize(long long width, long long height)
{
    if (width <= 0 || height <= 0)
        return kMinimumInnerSize;
    return QSize(int(width), int(height));
}

} // namespace

QString columnWidthsText(const QList<QTreeWidget *> &lists)
{
    QStringList parts;
    for (const QTreeWidget *list : lists) {
        QStringList widths;
        for (int c = 0; c + 1 < list->columnCount(); ++c) // the last one stretches
            widths << QString::number(list->columnWidth(c));
        parts << list->objectName() + u'=' + widths.join(u',');
    }
    return parts.join(u';');
}

void applyColumnWidths(const QList<QTreeWidget *> &lists, const QString &text)
{
    for (const QString &part : text.split(u';', Qt::SkipEmptyParts)) {
        const QString name = part.section(u'=', 0, 0);
        const QStringList widths = part.section(u'=', 1).split(u',', Qt::SkipEmptyParts);
        for (QTreeWidget *list : lists) {
            if (list->objectName() != name)
                continue;
            for (int c = 0; c < widths.size() && c + 1 < list->columnCount(); ++c) {
                bool ok = false;
                const int width = widths[c].toInt(&ok);
                if (ok && width >= 8 && width <= kWidestColumn)
                    list->setColumnWidth(c, width);
            }
        }
    }
}

QList<QTreeWidget *> MainWindow::listsWithSavedColumns() const
{
    return {objectList_, attributeList_, lookupList_, compareList_, eventList_};
}

bool MainWindow::open()
{
    resize(savedInnerSize(ctx_.window.width, ctx_.window.height));
    placeOnScreen();
    layoutWorkArea();
    applySplitterPosition();
    applyColumnWidths(listsWithSavedColumns(), ctx_.window.columns);
    if (ctx_.window.state == kMaximisedState)
        showMaximized();
    else
        show();
    return isVisible();
}

void MainWindow::placeOnScreen()
{
    const QScreen *screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QPoint saved(int(ctx_.window.left), int(ctx_.window.top));
    const QRect visible = available.intersected(QRect(saved, size()));
    if (ctx_.window.left >= 0 && ctx_.window.top >= 0 && visible.width() >= kMustShow.width() &&
        visible.height() >= kMustShow.height())
        move(saved);
    else
        move(available.center() - rect().center());
}

void MainWindow::applySplitterPosition()
{
    const int total = splitter_->width() - splitter_->handleWidth();
    const int left = qMax(0, int(ctx_.window.splitterWidth));
    splitter_->setSizes({left, qMax(kMinimumRightPane, total - left)});
}

void MainWindow::saveWindowState()
{
    Database &db = ctx_.db;
    setOption(db, Option::MainWindowSplitterWidth, QString::number(splitter_->sizes().value(0)));
    setOption(db, Option::MainWindowColumns, columnWidthsText(listsWithSavedColumns()));
    if (isMinimized())
        return;
    if (isMaximized()) {
        setOption(db, Option::MainWindowState, QString::number(kMaximisedState));
        return;
    }
    setOption(db, Option::MainWindowState, QStringLiteral("0"));
    setOption(db, Option::MainWindowHeight, QString::number(height()));
    setOption(db, Option::MainWindowWidth, QString::number(width()));
    setOption(db, Option::MainWindowLeft, QString::number(pos().x()));
    setOption(db, Option::MainWindowTop, QString::number(pos().y()));
}

} // namespace orvane
