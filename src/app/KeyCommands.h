#pragma once
// Keys and clicks on widgets that have no signal for them: Return or Enter on
// a list or a drop-down, and a click on a label. Each binding is a small
// event filter owned by the widget, so it ends with it.

#include <functional>

class QWidget;

namespace orvane
{

/// Runs `action` when Return or Enter is pressed while `widget` has the focus
/// (its own popup, when open, still takes the key first). The key goes no further.
void onReturnKey(QWidget *widget, std::function<void()> action);

/// Runs `action` when `widget` is clicked with the left mouse button.
void onClick(QWidget *widget, std::function<void()> action);

} // namespace orvane
