#include "app/ImageList.h"

#include "store/ColourTable.h"

// Resources compiled into a static library must be registered by hand, or the
// linker drops them. Q_INIT_RESOURCE may not be used inside a namespace.
static void registerIconResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace orvane
{
namespace
{

const char *const kProgramIcons[] = {
    "arrow-right.png",
    "magnifier.png",
    "magnifier-arrow.png",
    "no-entry.png",
    "check-red.png",
    "check-green.png",
    "square-empty-blue.png",
    "replace.png",
    "pencil.png",
    "information.png",
    "warning.png",
    "unread.png",
    "read.png",
    "arrow-small.png",
    "dot-red.png",
    "dot-green.png",
    "double-arrow-left.png",
};

QPixmap resource(const char *name)
{
    return QPixmap(QStringLiteral(":/icons/") + QLatin1String(name));
}

} // namespace

void ImageList::load()
{
    registerIconResources();
    icons_.clear();
    for (const char *name : kProgramIcons)
        icons_.append(QIcon(resource(name)));
    for (const MarkerColour &colour : kColourTable)
        icons_.append(QIcon(resource(colour.iconFile)));
    syncPicture = resource("sync.png");
    programIcon = resource("orvane.png");
    silhouette = resource("silhouette.png");
}

QIcon ImageList::icon(int index) const
{
    if (index < 0 || index >= icons_.size())
        return QIcon();
    return icons_.at(index);
}

} // namespace orvane
