#include "app/MarkerHandlers.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/WriteCheck.h"
#include "store/ColourMarkers.h"
#include "store/ColourTable.h"

#include <QComboBox>
#include <QTreeWidget>

namespace orvane
{
namespace
{

const QString kTitle = QStringLiteral("Color marker");

void setObjectRowImage(AppContext &ctx, QTreeWidget *objectList, int image)
{
    if (QTreeWidgetItem *row = findRowByData(objectList, ctx.currentObject))
        row->setIcon(1, ctx.images.icon(image));
}

} // namespace

void fillMarkerCombo(QComboBox *combo, Database &db, const ImageList &images)
{
    combo->clear();
    combo->addItem(images.icon(ImageNoMarker), QStringLiteral("No marker"), QVariant::fromValue(-1LL));
    for (const Marker &marker : loadMarkers(db))
        combo->addItem(images.icon(colourImageIndex(marker.colorId)), marker.desc,
                       QVariant::fromValue(marker.id));
    combo->setCurrentIndex(0);
}

void showObjectMarker(QComboBox *combo, Database &db, const QString &guid)
{
    const long long markerId = objectMarkerId(db, guid);
    if (markerId == 0) {
        combo->setCurrentIndex(0);
        return;
    }
    const int index = combo->findData(QVariant::fromValue(markerId));
    if (index >= 0)
        combo->setCurrentIndex(index);
}

void setMarkerOfOpenedObject(AppContext &ctx, QComboBox *combo, QTreeWidget *objectList, QWidget *parent)
{
    const ObjectEntry *object = openedObject(ctx);
    if (!object) {
        dialogs().warn(parent, kTitle, QStringLiteral("Active Directory object is not selected."));
        return;
    }
    const QString guid = object->guid;
    const long long marker = combo->currentData().toLongLong();
    if (marker == -1) {
        if (!dialogs().ask(parent, kTitle, QStringLiteral("Clear color marker for AD object?")))
            return;
        const WriteCheck check(ctx.db);
        clearObjectMarker(ctx.db, guid);
        if (check.report(parent, kTitle))
            return;
        setObjectRowImage(ctx, objectList, ImageNoMarker);
        return;
    }
    const int colour = markerColour(ctx.db, marker);
    const WriteCheck check(ctx.db);
    if (countObjectMarkers(ctx.db, guid) == 0) {
        attachMarker(ctx.db, guid, marker);
    } else {
        if (!dialogs().ask(
                parent, kTitle,
                QStringLiteral("Color marker already set for this AD object. Would you like to update it?")))
            return;
        changeObjectMarker(ctx.db, guid, marker);
    }
    if (check.report(parent, kTitle))
        return;
    setObjectRowImage(ctx, objectList, colourImageIndex(colour));
}

} // namespace orvane
