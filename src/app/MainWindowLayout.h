#pragma once
// Where the main window's areas and the tab contents go for a given size.
// Pure arithmetic, so that the numbers can be checked without a display.

#include <QRect>
#include <QSize>

namespace orvane
{

/// The working area of the main window, in coordinates below the menu bar.
struct WorkAreaLayout {
    QRect frame;
    QRect splitter;
};

/// The controls of both tabs, in coordinates of their tab page.
struct TabContentsLayout {
    QRect tabFrame;
    QRect syncButton;
    QRect attributeList;
    QRect lookupList;
    QRect compareList;
    QRect eventList;
    QRect descriptionLabel;
    QRect eventText;
};

/// Returns the frame and splitter for a window of inner size `window`
/// (width W and height H, menu bar included).
WorkAreaLayout layoutWorkArea(QSize window);

/// Returns the tab contents for a tab panel of outer size `tabs` (PW x PH).
/// The fractions of PH are rounded to whole pixels.
TabContentsLayout layoutTabContents(QSize tabs);

} // namespace orvane
