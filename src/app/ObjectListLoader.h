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
// The status icon of column 0 comes from an ObjectStatusCheck that the
// workbook side supplies: one check is made per Find (it may open the primary
// workbook) and destroyed when the rows are filled (closing what it opened).

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

/// Tells the status of each listed user during one Find.
class ObjectStatusCheck
{
  public:
    /// Releases whatever the check opened (the primary workbook).
    virtual ~ObjectStatusCheck() = default;
    /// Returns the state of `entry` as CheckObjectStatus gives it: 0 up to
    /// date, 1 differs, anything else (no key value, no row) no icon.
    virtual int status(const ObjectEntry &entry) = 0;
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

/// Empties the object table and `objectList`, searches with `prefix` and the
/// connection of ctx.settings, and lists every user found in table order
/// (row i carries item data i). Reports through `status`; `statusCheck` may be
/// empty. Returns the number of users listed.
int loadObjectList(AppContext &ctx, QTreeWidget *objectList, const QString &prefix,
                   const StatusReporter &status, const ObjectStatusCheckFactory &statusCheck);

} // namespace orvane
