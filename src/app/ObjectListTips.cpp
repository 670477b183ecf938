#include "app/ObjectListTips.h"

#include "app/AppContext.h"
#include "app/ImageList.h"
#include "app/ListViews.h"
#include "store/ColourMarkers.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>
#include <QTreeWidget>

namespace orvane
{
namespace
{

bool shows(const AppContext &ctx, const QTreeWidgetItem *row, int column, int image)
{
    const QIcon icon = row->icon(column);
    return !icon.isNull() && icon.cacheKey() == ctx.images.icon(image).cacheKey();
}

QString markerTip(AppContext &ctx, const QString &guid)
{
    const long long id = objectMarkerId(ctx.db, guid);
    if (id == 0)
        return QString::fromLatin1(kNoMarkerTip);
    const Marker marker = readMarker(ctx.db, id);
    return QStringLiteral("Color marker: ") + marker.desc;
}

class TipFilter : public QObject
{
  public:
    TipFilter(AppContext &ctx, QTreeWidget *list) : QObject(list), ctx_(ctx), list_(list)
    {
        list->viewport()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto *help = static_cast<QHelpEvent *>(event);
        const QTreeWidgetItem *row = list_->itemAt(help->pos());
        const QString tip =
            row ? objectListTip(ctx_, list_, row, list_->columnAt(help->pos().x())) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, list_->viewport());
        return true;
    }

  private:
    AppContext &ctx_;
    QTreeWidget *list_;
};

} // namespace

QString objectListTip(AppContext &ctx, const QTreeWidget *list, const QTreeWidgetItem *row, int column)
{
    const long long index = rowData(row);
    if (index < 0 || index >= ctx.objects.size())
        return QString();
    const ObjectEntry &entry = ctx.objects[int(index)];
    switch (column) {
    case 0:
        if (shows(ctx, row, 0, ImageUpToDate))
            return QString::fromLatin1(kSameAsPrimaryTip);
        if (shows(ctx, row, 0, ImageDiffers))
            return QString::fromLatin1(kDiffersFromPrimaryTip);
        return QString();
    case 1:
        return markerTip(ctx, entry.guid);
    case 2:
        return entry.accountDisabled == 1 ? QString::fromLatin1(kAccountDisabledTip) : QString();
    case 3:
        return QFontMetrics(list->font()).horizontalAdvance(row->text(3)) + 8 > list->columnWidth(3)
                   ? row->text(3)
                   : QString();
    default:
        return QString();
    }
}

void installObjectListTips(AppContext &ctx, QTreeWidget *list)
{
    new TipFilter(ctx, list);
}

} // namespace orvane
