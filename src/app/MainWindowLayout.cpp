#include "app/MainWindowLayout.h"

#include <cmath>

namespace orvane
{
namespace
{

int share(int whole, double fraction)
{
    return int(std::lround(whole * fraction));
}

} // namespace

WorkAreaLayout layoutWorkArea(QSize window)
{
    const int w = window.width();
    const int h = window.height();
    return {QRect(0, 28, w, h - 68), QRect(1, 30, w - 1, h - 71)};
}

TabContentsLayout layoutTabContents(QSize tabs)
{
    const int pw = tabs.width();
    const int ph = tabs.height();
    TabContentsLayout l;
    l.tabFrame = QRect(1, 0, pw - 7, ph - 27);
    l.syncButton = QRect(pw - 47, 13, 30, 25);

    const int attributeHeight = share(ph, 0.35);
    const int lookupHeight = share(ph, 0.15);
    l.attributeList = QRect(10, 45, pw - 25, attributeHeight);
    l.lookupList = QRect(10, attributeHeight + 50, pw - 25, lookupHeight);
    l.compareList =
        QRect(10, attributeHeight + lookupHeight + 55, pw - 25, ph - attributeHeight - lookupHeight - 90);

    const int eventHeight = share(ph, 0.5);
    l.eventList = QRect(10, 15, pw - 25, eventHeight);
    l.descriptionLabel = QRect(10, eventHeight + 25, 100, 20);
    l.eventText = QRect(10, eventHeight + 45, pw - 25, ph - eventHeight - 80);
    return l;
}

} // namespace orvane
