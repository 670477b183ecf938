#pragma once
// "Disable account" and "Enable account" of the object list's popup menu.

class QTreeWidget;
class QWidget;

namespace orvane
{

struct AppContext;

enum class AccountChange { Disable, Enable };

/// Switches the account of the current row of `objectList`; on success sets
/// the entry's account-disabled flag and the row's disabled icon, otherwise
/// shows the operation's messages and changes nothing. No current row: nothing.
void changeAccountOfCurrentRow(AppContext &ctx, QTreeWidget *objectList, AccountChange change,
                               QWidget *parent);

} // namespace orvane
