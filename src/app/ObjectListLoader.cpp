#include "app/ObjectListLoader.h"

#include "app/AppContext.h"
#include "app/ImageList.h"
#include "app/ListViews.h"
#include "app/StatusCheckThread.h"
#include "directory/ConnectionProbe.h"
#include "directory/FailureReason.h"
#include "directory/UserSearch.h"
#include "directory/ldap/SearchPulse.h"
#include "store/ColourMarkers.h"
#include "store/CountText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>

namespace orvane
{
namespace
{

// How often the Find's wait for the last status icons lets the window repaint.
constexpr int kPaintIntervalMs = kFindProgressIntervalMs;

// States of ObjectStatusCheck::status that show an icon.
constexpr int kUpToDate = 0;
constexpr int kDiffers = 1;

// Lets pending paint and timer events run; user input waits until the search ends.
void keepPainting()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Fills the object list while the search walks: the users found so far get
// their rows at every progress step, and their status icons as the check's
// thread answers.
class ListFill
{
  public:
    ListFill(AppContext &ctx, QTreeWidget *list, std::unique_ptr<ObjectStatusCheck> check)
        : ctx_(ctx), list_(list), markerImages_(objectMarkerImages(ctx.db))
    {
        if (check)
            statuses_ = std::make_unique<StatusCheckThread>(std::move(check));
    }

    // Adds a row for every entry found since the last call, and the icons answered so far.
    // Hands the users found so far to the status check a batch at a time
    // as the walk finds them, so that their states are read while the walk
    // goes on rather than after it.
    void handOver(int atLeast)
    {
        const int found = int(ctx_.objects.size());
        if (!statuses_ || found - handedOver_ < atLeast)
            return;
        statuses_->submit(ctx_.objects, handedOver_, found);
        handedOver_ = found;
    }

    void addFound()
    {
        handOver(1);
        const int found = int(ctx_.objects.size());
        QList<QTreeWidgetItem *> rows;
        rows.reserve(found - added_);
        for (int i = added_; i < found; ++i)
            rows << row(i);
        list_->addTopLevelItems(rows);
        added_ = found;
        showAnswered();
    }

    // Adds the last rows and waits, painting, until every row has its status.
    void finish()
    {
        addFound();
        if (!statuses_)
            return;
        bool answered = false;
        bool iconsWaiting = true;
        while (!answered || iconsWaiting) {
            answered = statuses_->waitAnswered(answered ? 0 : kPaintIntervalMs);
            iconsWaiting = showAnswered();
            keepPainting();
        }
        statuses_->finish();
    }

    int rows() const { return added_; }

  private:
    QTreeWidgetItem *row(int index)
    {
        const ObjectEntry &entry = ctx_.objects[index];
        auto *row = new QTreeWidgetItem;
        row->setText(3, entry.displayValue);
        setRowData(row, index);
        // A new row shows no icon until one is set: an enabled account and a
        // Find without a status check leave their columns unset, which costs
        // a million-user list no item data for them.
        if (entry.accountDisabled == 1)
            setObjectRowDisabled(row, entry.accountDisabled, ctx_.images);
        row->setIcon(1, ctx_.images.icon(markerImages_.value(entry.guid, ImageNoMarker)));
        return row;
    }

    // Sets the icons of answered rows for at most half a paint interval (an icon
    // set on a listed row costs a model update, and a check that has just
    // opened its workbook answers many thousands at once); true when some wait.
    bool showAnswered()
    {
        if (!statuses_)
            return false;
        answered_.append(statuses_->take());
        QElapsedTimer spent;
        spent.start();
        while (shown_ < answered_.size() && spent.elapsed() < kPaintIntervalMs / 2) {
            const qsizetype end = std::min(answered_.size(), shown_ + kIconSlice);
            for (; shown_ < end; ++shown_)
                setObjectRowStatus(list_->topLevelItem(answered_[shown_].row), answered_[shown_].state,
                                   ctx_.images);
        }
        if (shown_ == answered_.size()) {
            answered_.clear();
            shown_ = 0;
        }
        return shown_ < answered_.size();
    }

    // Icons set between two looks at the clock.
    static constexpr qsizetype kIconSlice = 256;

    AppContext &ctx_;
    QTreeWidget *list_;
    const QHash<QString, int> markerImages_;
    std::unique_ptr<StatusCheckThread> statuses_;
    QList<RowStatus> answered_; // answers taken, their icons set up to shown_
    qsizetype shown_ = 0;
    int added_ = 0;      // rows in the list
    int handedOver_ = 0; // users handed to the status check
};

// Users handed to the status check in one go while the walk runs.
constexpr int kHandOverBatch = 64;

// Every `intervalMs` of the walk: the rows found so far, the progress text, a paint.
SearchProgress progressReporter(const StatusReporter &status, ListFill &fill, int intervalMs)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [status, timer, &fill, intervalMs](long visited, long total) {
        if (timer->elapsed() < intervalMs)
            return;
        fill.addFound();
        status(selectingProgressText(visited, total), QString());
        keepPainting();
        timer->restart();
    };
}

// Every kPaintIntervalMs while the search's pages arrive: a paint.
std::function<void()> pagePainter()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] {
        if (timer->elapsed() < kPaintIntervalMs)
            return;
        keepPainting();
        timer->restart();
    };
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
                   const StatusReporter &status, const ObjectStatusCheckFactory &statusCheck, int progressMs)
{
    ctx.objects.clear();
    ctx.currentObject = -1;
    objectList->clear();
    status(kSelectingObjectsText, QString());
    keepPainting();

    const ObjectListAttributes attributes = objectListAttributes(ctx.db);
    ListFill fill(ctx, objectList, statusCheck ? statusCheck(ctx) : nullptr);
    const SearchPulseScope painting(pagePainter());
    const UserSink found = [&ctx, &fill](ObjectEntry &entry) {
        ctx.objects.append(std::move(entry));
        fill.handOver(kHandOverBatch);
    };
    const SearchOutcome outcome =
        SearchUsers(connectionFromSettings(ctx.settings), ctx.db, attributes.pick, prefix, attributes.display, found,
                    ctx.settings.multivaluedDelimiter, progressReporter(status, fill, progressMs));
    fill.finish();
    const int listed = fill.rows();

    ctx.searchFailure = failureReason(outcome.failure, connectionFromSettings(ctx.settings));
    // With several domain controllers listed, the count names the one that answered.
    const QString server = answeringServer(ctx.settings.serverAddress);
    const QString count =
        objectCountText(listed) +
        (server.isEmpty() || !ctx.searchFailure.isEmpty() ? QString() : QStringLiteral(" from ") + server);
    status(withFailureReason(count, ctx.searchFailure),
           searchFailureText(outcome.failure, outcome.stateFailure));
    return listed;
}

} // namespace orvane
