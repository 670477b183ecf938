#include "DemoRoad.h"

#include "ScriptedDialogs.h"
#include "app/AppContext.h"
#include "app/ExportWindow.h"
#include "app/HistoryWindow.h"
#include "app/ImageList.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

namespace orvane::test
{
namespace
{

// Serves events until `done` holds or `timeoutMs` pass; returns `done()`.
bool serveUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return done();
}

void photograph(QWidget *widget, const QString &folder, const QString &name)
{
    if (folder.isEmpty() || !widget)
        return;
    QDir().mkpath(folder);
    serveUntil([] { return false; }, 150); // let layouts and icons settle
    widget->grab().save(folder + u'/' + name);
}

bool hasImage(const QTreeWidgetItem *row, int column, const AppContext &ctx, int image)
{
    const QIcon icon = row->icon(column);
    return !icon.isNull() && icon.cacheKey() == ctx.images.icon(image).cacheKey();
}

QAction *menuAction(MainWindow &window, const QString &text)
{
    for (QMenu *menu : window.menuBar()->findChildren<QMenu *>()) {
        for (QAction *action : menu->actions()) {
            if (QString(action->text()).remove(QLatin1Char('&')) == text)
                return action;
        }
    }
    return nullptr;
}

// Presses Find for each character of the letter combo until a listed user
// differs from the primary workbook; returns that user's row or null.
QTreeWidgetItem *findDifferingUser(MainWindow &window, AppContext &ctx, SyncRoadOutcome &out)
{
    auto *letters = window.findChild<QComboBox *>(QStringLiteral("LetterCombo"));
    auto *find = window.findChild<QAction *>(QStringLiteral("Find"));
    auto *objects = window.findChild<QTreeWidget *>(QStringLiteral("ObjectList"));
    if (!letters || !find || !objects)
        return nullptr;
    for (int i = 0; i < letters->count(); ++i) {
        letters->setCurrentIndex(i);
        find->trigger();
        for (int r = 0; r < objects->topLevelItemCount(); ++r) {
            QTreeWidgetItem *row = objects->topLevelItem(r);
            if (hasImage(row, 0, ctx, ImageDiffers)) {
                out.letter = letters->currentText();
                out.listed = objects->topLevelItemCount();
                return row;
            }
        }
    }
    return nullptr;
}

// The first workbook row of the opened user that its key pair confirms.
QTreeWidgetItem *keyConfirmedRow(QTreeWidget *lookup, const AppContext &ctx)
{
    for (int r = 0; r < lookup->topLevelItemCount(); ++r) {
        if (hasImage(lookup->topLevelItem(r), 0, ctx, ImagePrimaryArrow))
            return lookup->topLevelItem(r);
    }
    return nullptr;
}

} // namespace

SyncRoadOutcome runSyncRoad(MainWindow &window, AppContext &ctx, ScriptedDialogs &boxes,
                            const QString &screenshots)
{
    SyncRoadOutcome out;
    QTreeWidgetItem *row = findDifferingUser(window, ctx, out);
    if (!row) {
        out.failure = QStringLiteral("no Find listed a user whose workbook row differs");
        return out;
    }
    photograph(&window, screenshots, QStringLiteral("main-window-find.png"));

    auto *objects = window.findChild<QTreeWidget *>(QStringLiteral("ObjectList"));
    const int index = row->data(0, Qt::UserRole).toInt();
    objects->setCurrentItem(row);
    emit objects->itemDoubleClicked(row, 3);
    const ObjectEntry &entry = ctx.objects.value(index);
    out.sAMAccountName = entry.sAMAccountName;
    out.cn = entry.cn;

    auto *lookup = window.findChild<QTreeWidget *>(QStringLiteral("LookupList"));
    QTreeWidgetItem *source = lookup ? keyConfirmedRow(lookup, ctx) : nullptr;
    if (!source) {
        out.failure = QStringLiteral("the opened user has no key-confirmed workbook row");
        return out;
    }
    lookup->setCurrentItem(source);
    emit lookup->itemDoubleClicked(source, 0); // fills the compare list
    photograph(&window, screenshots, QStringLiteral("main-window-compare.png"));

    source->setCheckState(0, Qt::Checked);
    const int asked = int(boxes.shown.size());
    boxes.answers.enqueue(true);
    window.findChild<QToolButton *>(QStringLiteral("SyncButton"))->click();
    for (int i = asked; i < boxes.shown.size(); ++i) {
        if (boxes.shown[i].icon == DialogIcon::Question)
            out.question = boxes.shown[i].text;
        else
            out.failure = boxes.shown[i].title + QStringLiteral(": ") + boxes.shown[i].text;
    }
    if (out.question.isEmpty() && out.failure.isEmpty())
        out.failure = QStringLiteral("Synchronize asked nothing");
    QTreeWidgetItem *after = objects->topLevelItem(objects->indexOfTopLevelItem(row));
    out.upToDateAfter = after && hasImage(after, 0, ctx, ImageUpToDate);
    photograph(&window, screenshots, QStringLiteral("main-window-synchronized.png"));

    // History: the change set just written, named by its user.
    if (QAction *history = menuAction(window, QStringLiteral("History..."))) {
        history->trigger();
        if (auto *shown = window.findChild<HistoryWindow *>()) {
            auto *sets = shown->findChild<QTreeWidget *>(QStringLiteral("HistorySets"));
            if (sets && sets->topLevelItemCount() > 0)
                sets->setCurrentItem(sets->topLevelItem(0)); // its changes below
            photograph(shown, screenshots, QStringLiteral("history.png"));
            shown->close();
        }
    }
    return out;
}

ExportRoadOutcome runExportRoad(MainWindow &window, const QString &screenshots, int timeoutMs)
{
    ExportRoadOutcome out;
    QAction *open = menuAction(window, QStringLiteral("Export..."));
    if (!open) {
        out.failure = QStringLiteral("no \"Export...\" command");
        return out;
    }
    open->trigger();
    ExportWindow *exporter = nullptr;
    serveUntil([&] { return (exporter = window.findChild<ExportWindow *>()) != nullptr; }, 5000);
    if (!exporter) {
        out.failure = QStringLiteral("the export window did not open");
        return out;
    }
    QObject::connect(exporter, &ExportWindow::countShown, exporter, [&out](int n) { out.counts << n; });
    auto *button = exporter->findChild<QPushButton *>(QStringLiteral("ExportButton"));
    auto *status = exporter->findChild<QLabel *>(QStringLiteral("ExportStatus"));
    if (!serveUntil([&] { return button->isEnabled(); }, timeoutMs)) {
        out.failure = QStringLiteral("the count did not end: ") + status->text();
        return out;
    }
    button->click();
    serveUntil(
        [&] {
            return status->text().startsWith(QLatin1String("Finished")) ||
                   (!button->isEnabled() && status->text().contains(QLatin1String("rror")));
        },
        timeoutMs);
    out.status = status->text();
    if (!out.status.startsWith(QLatin1String("Finished")))
        out.failure = QStringLiteral("the export ended with: ") + out.status;
    photograph(exporter, screenshots, QStringLiteral("export-finished.png"));
    exporter->close();
    return out;
}

bool photographExcelFilesTab(MainWindow &window, const AppContext &ctx, const QString &screenshots)
{
    window.openOptions();
    QWidget *options = window.findChild<QWidget *>(QStringLiteral("OptionsWindow"));
    auto *tabs = options ? options->findChild<QTabWidget *>() : nullptr;
    QWidget *excelTab = options ? options->findChild<QWidget *>(QStringLiteral("ExcelFilesTab")) : nullptr;
    if (!tabs || !excelTab)
        return false;
    tabs->setCurrentWidget(excelTab);
    // The workbook list is the tab's first list; its primary workbook carries image 0.
    QTreeWidget *workbooks = excelTab->findChild<QTreeWidget *>();
    bool selected = false;
    for (int r = 0; workbooks && r < workbooks->topLevelItemCount(); ++r) {
        if (hasImage(workbooks->topLevelItem(r), 0, ctx, ImagePrimaryArrow)) {
            workbooks->setCurrentItem(workbooks->topLevelItem(r)); // shows its bindings
            selected = true;
            break;
        }
    }
    photograph(options, screenshots, QStringLiteral("options-excel-files.png"));
    options->close();
    return selected;
}

} // namespace orvane::test
