#include "app/ObjectListLoader.h"

#include "app/AppContext.h"
#include "app/ImageList.h"
#include "app/ListViews.h"
#include "directory/ConnectionProbe.h"
#include "directory/FailureReason.h"
#include "directory/UserSearch.h"
#include "store/ColourMarkers.h"
#include "store/CountText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTreeWidget>

namespace orvane
{
namespace
{

// How often a running search lets the window repaint and shows its progress.
constexpr qint64 kProgressIntervalMs = 100;

// States of ObjectStatusCheck::status that show an icon.
constexpr int kUpToDate = 0;
constexpr int kDiffers = 1;
constexpr int kNoStatus = -1;

// Lets pending paint and timer events run; user input waits until the search ends.
void keepPainting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

SearchProgress progressReporter(const StatusReporter &status)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [status, timer](long visited, long total) {
        if (timer->elapsed() < kProgressIntervalMs)
            return;
        status(selectingProgressText(visited, total), QString());
        keepPainting();
        timer->restart();
    };
}

QTreeWidgetItem *objectRow(AppContext &ctx, int index, ObjectStatusCheck *check,
                           const QHash<QString, int> &markerImages)
{
    const ObjectEntry &entry = ctx.objects[index];
    auto *row = new QTreeWidgetItem;
    row->setText(3, entry.displayValue);
    setRowData(row, index);
    setObjectRowDisabled(row, entry.accountDisabled, ctx.images);
    setObjectRowStatus(row, check ? check->status(entry) : kNoStatus, ctx.images);
    row->setIcon(1, ctx.images.icon(markerImages.value(entry.guid, ImageNoMarker)));
    return row;
}

} // namespace

QString objectCountText(int n)
{
    return countText(n, QStringLiteral("object"), QStringLiteral("objects"));
}

QString selectingProgressText(long visited, long total)
{
    // The directory's entries, not users: child-domain entries and entries
    // without sAMAccountName are read but not listed.
    return kSelectingObjectsText + QStringLiteral(" %1 of %2 entries read").arg(visited).arg(total);
}

QString searchFailureText(const DirectoryFailure &search, const DirectoryFailure &accountState)
{
    const auto describe = [](const QString &what, const DirectoryFailure &failure) {
        QString text = what + codeText(failure.code);
        if (!failure.engineText.isEmpty())
            text += QLatin1Char(' ') + failure.engineText;
        if (!failure.diagnostic.isEmpty() && failure.diagnostic != failure.engineText)
            text += QLatin1Char('\n') + failure.diagnostic;
        return text;
    };
    if (search.failed())
        return describe(QStringLiteral("The directory search failed: "), search);
    if (accountState.failed())
        return describe(
            QStringLiteral("The account state of some users could not be read; they are listed as "
                           "enabled: "),
            accountState);
    return QString();
}

void setObjectRowStatus(QTreeWidgetItem *row, int state, const ImageList &images)
{
    if (state == kUpToDate)
        row->setIcon(0, images.icon(ImageUpToDate));
    else if (state == kDiffers)
        row->setIcon(0, images.icon(ImageDiffers));
    else
        row->setIcon(0, QIcon());
}

void setObjectRowDisabled(QTreeWidgetItem *row, int accountDisabled, const ImageList &images)
{
    row->setIcon(2, accountDisabled == 1 ? images.icon(ImageDisabled) : QIcon());
}

int loadObjectList(AppContext &ctx, QTreeWidget *objectList, const QString &prefix,
                   const StatusReporter &status, const ObjectStatusCheckFactory &statusCheck)
{
    ctx.objects.clear();
    ctx.currentObject = -1;
    objectList->clear();
    status(kSelectingObjectsText, QString());
    keepPainting();

    const ObjectListAttributes attributes = objectListAttributes(ctx.db);
    std::unique_ptr<ObjectStatusCheck> check = statusCheck ? statusCheck(ctx) : nullptr;
    const SearchOutcome outcome =
        SearchUsers(connectionFromSettings(ctx.settings), ctx.db, attributes.pick, prefix, attributes.display,
                    &ctx.objects, ctx.settings.multivaluedDelimiter, progressReporter(status));

    const QHash<QString, int> markerImages = objectMarkerImages(ctx.db);
    QList<QTreeWidgetItem *> rows;
    rows.reserve(outcome.count);
    for (int i = 0; i < outcome.count && i < ctx.objects.size(); ++i)
        rows << objectRow(ctx, i, check.get(), markerImages);
    objectList->addTopLevelItems(rows);
    check.reset();

    ctx.searchFailure = failureReason(outcome.failure, connectionFromSettings(ctx.settings));
    // With several domain controllers listed, the count names the one that answered.
    const QString server = answeringServer(ctx.settings.serverAddress);
    const QString count = objectCountText(int(rows.size())) +
                          (server.isEmpty() || !ctx.searchFailure.isEmpty() ? QString() : QStringLiteral(" from ") + server);
    status(withFailureReason(count, ctx.searchFailure),
           searchFailureText(outcome.failure, outcome.stateFailure));
    return int(rows.size());
}

} // namespace orvane
