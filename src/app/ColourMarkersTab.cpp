#include "app/ColourMarkersTab.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/Placement.h"
#include "app/WriteCheck.h"
#include "store/ColourMarkers.h"
#include "store/ColourTable.h"

#include <QComboBox>
#include <QTreeWidget>

namespace orvane
{
namespace
{

const QString kTitle = QStringLiteral("Options");

} // namespace

ColourMarkersTab::ColourMarkersTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("ColorMarkersTab"));
    placeLabel(this, QStringLiteral("Color:"), 10, 20);
    colours_ = placeWidget<QComboBox>(this, QStringLiteral("ColorCombo"), QRect(50, 17, 100, 20));
    for (int c = 0; c < int(kColourTable.size()); ++c)
        colours_->addItem(ctx_.images.icon(colourImageIndex(c)), QLatin1String(kColourTable[c].name));
    colours_->setCurrentIndex(0);
    placeLabel(this, QStringLiteral("Description:"), 160, 20);
    description_ = placeField(this, QStringLiteral("MarkerDescriptionField"), QRect(230, 17, 170, 20));
    auto *set = placeButton(this, QStringLiteral("Set"), QStringLiteral("SetColorMarkerButton"),
                            QRect(415, 17, 55, 20));
    markers_ = createListView(this, QStringLiteral("MarkerList"), {{QStringLiteral("Marker"), 400}});
    markers_->setGeometry(10, 50, 465, 155);
    auto *remove = placeButton(this, QStringLiteral("Delete"), QStringLiteral("DeleteMarkerButton"),
                               QRect(415, 225, 55, 20));

    for (const Marker &marker : loadMarkers(ctx_.db)) {
        QTreeWidgetItem *row = insertRowAtTop(markers_);
        row->setIcon(0, ctx_.images.icon(colourImageIndex(marker.colorId)));
        row->setText(0, marker.desc);
        setRowData(row, marker.id);
    }

    connect(set, &QPushButton::clicked, this, &ColourMarkersTab::setMarker);
    connect(remove, &QPushButton::clicked, this, &ColourMarkersTab::deleteMarker);
    connect(markers_, &QTreeWidget::itemDoubleClicked, this, &ColourMarkersTab::editCurrentMarker);
}

void ColourMarkersTab::setMarker()
{
    const int colour = colours_->currentIndex();
    const QString desc = description_->text();
    const MarkerOfColour existing = findMarkerOfColour(ctx_.db, colour);
    const WriteCheck check(ctx_.db);
    if (existing.count == 0) {
        const long long id = insertMarker(ctx_.db, colour, desc);
        if (check.report(window(), kTitle))
            return;
        QTreeWidgetItem *row = insertRowAtTop(markers_);
        row->setIcon(0, ctx_.images.icon(colourImageIndex(colour)));
        row->setText(0, desc);
        setRowData(row, id);
        description_->clear();
        return;
    }
    if (!dialogs().ask(window(), kTitle,
                       QStringLiteral("Marker already exists, would you like to update it?")))
        return;
    renameMarkerOfColour(ctx_.db, colour, desc);
    if (check.report(window(), kTitle))
        return;
    if (QTreeWidgetItem *row = findRowByData(markers_, existing.id))
        row->setText(0, desc);
    description_->clear();
}

void ColourMarkersTab::editCurrentMarker()
{
    QTreeWidgetItem *row = currentRow(markers_);
    if (!row)
        return;
    const Marker marker = readMarker(ctx_.db, rowData(row));
    colours_->setCurrentIndex(marker.colorId);
    description_->setText(marker.desc);
}

void ColourMarkersTab::deleteMarker()
{
    QTreeWidgetItem *row = currentRow(markers_);
    if (!row)
        return;
    const long long id = rowData(row);
    const WriteCheck check(ctx_.db);
    if (countMarkerUses(ctx_.db, id) == 0) {
        orvane::deleteMarker(ctx_.db, id);
    } else {
        if (!dialogs().ask(
                window(), kTitle,
                QStringLiteral("The marker you are trying to delete is in use. Would you like to delete it "
                               "anyway?")))
            return;
        deleteMarkerEverywhere(ctx_.db, id);
    }
    if (check.report(window(), kTitle))
        return;
    delete row;
    emit markersChanged();
}

} // namespace orvane
