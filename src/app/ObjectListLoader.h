#pragma once
// LoadObjectList, the Find button's work: search the directory for the users
// whose pick attribute begins with the chosen character, keep them in the
// object table and list them with their status, colour-marker and
// disabled-account icons.
//
// The search runs on the interface thread, as every directory call does; the
// window keeps painting while it runs (paint and timer events are served,
// user input waits) and the status field shows how far it got. A failed search
// lists nothing and shows "0 objects — " + the one-line reason (FailureReason.h),
// with the engine's code and the directory's words as the tooltip; the reason
// is kept in the context for the windows that show the listed users.
//
// Rows appear as the search walks: at every progress step the users found so
// far are listed, so a Find of many thousands shows its first rows early.
//
// The status icon of column 0 comes from an ObjectStatusCheck that the
// workbook side supplies: one check is made per Find (it opens the primary
// workbook) and runs on a thread of its own while the search walks here, so
// a row's icon arrives a little after the row; the check is destroyed when
// every row has its icon (closing what it opened).

#include <QString>
#include <functional>
#include <memory>

class QTreeWidget;
class QTreeWidgetItem;

namespace orvane
{

struct AppContext;
struct DirectoryFailure;
struct ObjectEntry;
class ImageList;

/// Tells the status of each listed user during one Find. The Find makes it
/// on the interface thread and then hands it to a thread of its own, which
/// calls prepare(), status() for each listed user and close(), so that the
/// workbook's reads run beside the directory search; showWarnings() and the
/// destructor run on the interface thread afterwards.
class ObjectStatusCheck
{
  public:
    virtual ~ObjectStatusCheck() = default;
    /// Opens what status() needs before the first user arrives.
    virtual void prepare() {}
    /// Returns the state of `entry` as CheckObjectStatus gives it: 0 up to
    /// date, 1 differs, anything else (no key value, no row) no icon.
    virtual int status(const ObjectEntry &entry) = 0;
    /// Releases what prepare() or status() opened (the primary workbook).
    virtual void close() {}
    /// Shows what the check had to report (an unopenable workbook).
    virtual void showWarnings() {}
};

/// Makes the check of one Find, or returns null when there is nothing to
/// check against (no primary workbook with a key pair): column 0 then stays empty.
using ObjectStatusCheckFactory = std::function<std::unique_ptr<ObjectStatusCheck>(AppContext &ctx)>;

/// Receives the text for field 0 of the status bar and the reason behind it
/// (shown as its tooltip; "" when there is nothing to explain).
using StatusReporter = std::function<void(const QString &text, const QString &reason)>;

inline const QString kSelectingObjectsText = QStringLiteral("Selecting AD objects...");

/// Returns n in decimal followed by " objects" (" object" for 1).
QString objectCountText(int n);

/// "Selecting AD objects... " + visited + " of " + total + " entries read":
/// the progress of a Find in directory entries, of which some are not listed.
QString selectingProgressText(long visited, long total);

/// Returns why a Find shows what it shows: the failed search (code, the
/// engine's text and the directory's own diagnostic) or the first account
/// state that could not be read (such users are listed as enabled); "" when
/// nothing failed.
QString searchFailureText(const DirectoryFailure &search, const DirectoryFailure &accountState);

/// Sets column 0 of `row` to the icon of `state`: image 5 up to date, image 4
/// differs, none otherwise.
void setObjectRowStatus(QTreeWidgetItem *row, int state, const ImageList &images);

/// Sets column 2 of `row` to the disabled-account icon (image 3) when
/// `accountDisabled` is 1, else to no icon.
void setObjectRowDisabled(QTreeWidgetItem *row, int accountDisabled, const ImageList &images);

/// How often, in ms of a running Find, the list grows, the progress is shown and the window paints.
inline constexpr int kFindProgressIntervalMs = 100;

/// Empties the object table and `objectList`, searches with `prefix` and the
/// connection of ctx.settings, and lists every user found in table order
/// (row i carries item data i), the rows found so far every `progressMs`.
/// Reports through `status`; `statusCheck` may be empty. Returns the number
/// of users listed.
int loadObjectList(AppContext &ctx, QTreeWidget *objectList, const QString &prefix,
                   const StatusReporter &status, const ObjectStatusCheckFactory &statusCheck,
                   int progressMs = kFindProgressIntervalMs);

} // namespace orvane
