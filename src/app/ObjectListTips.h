#pragma once
// What the icons of the object list mean, as tooltips: the status against the
// primary workbook, the colour marker's description and the disabled account.
// The tip is worked out when the mouse rests on a cell, so it always says what
// the cell shows now, whoever set the icon.

class QString;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvane
{

struct AppContext;

inline constexpr const char *kSameAsPrimaryTip = "Same as the primary workbook";
inline constexpr const char *kDiffersFromPrimaryTip = "Differs from the primary workbook";
inline constexpr const char *kAccountDisabledTip = "Account disabled";
inline constexpr const char *kNoMarkerTip = "No color marker";

/// The tooltip of cell `column` of object-list row `row` ("" for none):
/// column 0 the status icon, 1 the marker's description, 2 the disabled
/// account, 3 the listed name when the column is too narrow for it.
QString objectListTip(AppContext &ctx, const QTreeWidget *list, const QTreeWidgetItem *row, int column);

/// Shows objectListTip over `list`'s cells.
void installObjectListTips(AppContext &ctx, QTreeWidget *list);

} // namespace orvane
