#include "app/ObjectView.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/ObjectListLoader.h"
#include "app/OperationMessageBoxes.h"
#include "directory/ObjectBinding.h"
#include "store/CatalogueQueries.h"
#include "workbook/PrewarmTargets.h"
#include "workbook/PrimaryStatus.h"
#include "workbook/SourceComparison.h"

#include <QTreeWidget>
#include <utility>

namespace orvane
{

namespace
{

// The primary workbook's check, run by the Find on a thread of its own: its
// warnings wait there and are shown by the interface thread afterwards.
class PrimaryObjectStatusCheck : public ObjectStatusCheck
{
  public:
    explicit PrimaryObjectStatusCheck(AppContext &ctx)
        : check_(ctx.db, ctx.settings, heldWarnings(), PrimaryOpening::AtFirstCheck)
    {
    }
    bool hasWorkbook() const { return check_.hasWorkbook(); }
    void prepare() override { check_.open(); }
    int status(const ObjectEntry &entry) override { return check_.check(entry); }
    void close() override { check_.close(); }
    void showWarnings() override
    {
        for (const auto &[title, text] : std::exchange(held_, {}))
            dialogs().warn(nullptr, title, text);
    }

  private:
    WarningSink heldWarnings()
    {
        return [this](const QString &title, const QString &text) { held_.append({title, text}); };
    }

    QList<std::pair<QString, QString>> held_; // written on the check's thread, read after it ended
    PrimaryStatusCheck check_;
};

WarningSink dialogWarnings(QWidget *parent)
{
    return [parent](const QString &title, const QString &text) { dialogs().warn(parent, title, text); };
}

} // namespace

std::unique_ptr<ObjectStatusCheck> makePrimaryStatusCheck(AppContext &ctx)
{
    auto check = std::make_unique<PrimaryObjectStatusCheck>(ctx);
    if (!check->hasWorkbook())
        return nullptr;
    return check;
}

ObjectView::ObjectView(AppContext &ctx, const ObjectViewControls &controls, QObject *owner)
    : QObject(owner), ctx_(ctx), c_(controls)
{
}

void ObjectView::prewarmWorkbooks()
{
    prewarm_.start(prewarmTargets(ctx_.db));
}

WarningSink ObjectView::warnings() const
{
    return dialogWarnings(c_.parent);
}

void ObjectView::fillAttributeList()
{
    c_.attributeList->clear();
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry)
        return;
    QList<QTreeWidgetItem *> rows;
    for (const CatalogueAttribute &attribute : catalogueByFld(ctx_.db)) {
        auto *row = new QTreeWidgetItem;
        row->setText(0, attribute.fld);
        row->setText(1, entry->values.value(attribute.attribute));
        setRowData(row, attribute.id);
        rows.append(row);
    }
    c_.attributeList->addTopLevelItems(rows);
}

void ObjectView::findSources()
{
    sources_.clear();
    markedSource_ = comparedSource_ = -1;
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry)
        return;
    const QList<FoundSource> found = FindSources(ctx_.db, *entry, warnings());
    for (const FoundSource &f : found) {
        auto *row = new QTreeWidgetItem;
        row->setIcon(0, ctx_.images.icon(f.image));
        row->setText(0, f.desc);
        row->setText(1, f.lookupText);
        row->setText(2, f.filename);
        row->setToolTip(2, f.filename); // the path is elided in the middle where the column is narrow
        row->setCheckState(0, Qt::Unchecked);
        setRowData(row, sources_.size());
        c_.lookupList->addTopLevelItem(row);
        sources_.append(f.hit);
    }
    if (ctx_.settings.showComparison != 0)
        return;
    for (int n = 0; n < sources_.size(); ++n) {
        if (sources_[n].keyConfirmed == 1)
            loadSourceRow(n, false, true);
    }
}

std::optional<SourceComparison> ObjectView::compareSource(int n) const
{
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry || n < 0 || n >= sources_.size())
        return std::nullopt;
    SourceComparison comparison = CompareSource(ctx_.db, ctx_.settings, sources_[n], *entry, warnings());
    if (!comparison.opened)
        return std::nullopt;
    return comparison;
}

void ObjectView::loadSourceRow(int n, bool fill, bool icons)
{
    const std::optional<SourceComparison> comparison = compareSource(n);
    if (!comparison)
        return;
    markAttributeList(*comparison, icons);
    markedSource_ = icons ? n : -1;
    if (fill) {
        fillCompareList(*comparison);
        comparedSource_ = n;
    }
}

void ObjectView::markAttributeList(const SourceComparison &comparison, bool icons)
{
    for (QTreeWidgetItem *row : allRows(c_.attributeList)) {
        row->setIcon(0, QIcon());
        row->setToolTip(0, QString());
    }
    if (!icons)
        return;
    for (const SyncRecord &record : comparison.records) {
        for (QTreeWidgetItem *row : allRows(c_.attributeList)) {
            if (rowData(row) != record.attributeId)
                continue;
            row->setIcon(0, ctx_.images.icon(record.upToDate ? ImageGreenDot : ImageRedDot));
            row->setToolTip(0, record.upToDate ? kSameAsRowTip : kDiffersFromRowTip);
        }
    }
}

void ObjectView::fillCompareList(const SourceComparison &comparison)
{
    c_.compareList->clear();
    const ObjectEntry *entry = openedObject(ctx_);
    for (const SyncRecord &record : comparison.records) {
        auto *row = new QTreeWidgetItem;
        row->setIcon(CompareStatus, ctx_.images.icon(record.upToDate ? ImageGreenDot : ImageRedDot));
        row->setToolTip(CompareStatus, record.upToDate ? kSameAsRowTip : kDiffersFromRowTip);
        if (record.replaced) {
            row->setIcon(CompareReplaced, ctx_.images.icon(ImageReplace));
            row->setToolTip(CompareReplaced, kReplacedTip);
        }
        if (record.trimmed) {
            row->setIcon(CompareTrimmed, ctx_.images.icon(ImagePencil));
            row->setToolTip(CompareTrimmed, kTrimmedTip);
        }
        row->setText(CompareAttribute, record.displayName);
        row->setText(ComparePrepared, record.value);
        // The value as the attribute list shows it: multi-valued ones joined by the delimiter.
        row->setText(CompareDirectory, entry ? entry->values.value(record.attribute) : QString());
        row->setText(CompareOriginal, record.rawValue);
        for (int column : {ComparePrepared, CompareDirectory, CompareOriginal})
            row->setToolTip(column, row->text(column));
        setRowData(row, record.attributeId);
        c_.compareList->addTopLevelItem(row);
    }
    // The value columns take what they need up to their own width, leaving the
    // rest of the view to the last one.
    for (int column : {CompareAttribute, ComparePrepared, CompareDirectory}) {
        const int cap = column == CompareAttribute ? 150 : 350;
        c_.compareList->setColumnWidth(column, qMin(cap, neededColumnWidth(c_.compareList, column)));
    }
}

void ObjectView::reloadObject()
{
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry)
        return;
    showDirectoryReport(c_.parent,
                        ReloadObject(connectionFromSettings(ctx_.settings), ctx_.db, entry->guid,
                                     &ctx_.objects, ctx_.currentObject, ctx_.settings.multivaluedDelimiter));
}

void ObjectView::refreshObjectView()
{
    fillAttributeList();
    refreshMarks();
}

void ObjectView::refreshMarks()
{
    const int marked = markedSource_, compared = comparedSource_;
    bool confirmed = false;
    if (ctx_.settings.showComparison == 0) {
        for (int n = 0; n < sources_.size(); ++n) {
            if (sources_[n].keyConfirmed == 1) {
                loadSourceRow(n, false, true);
                confirmed = true;
            }
        }
    }
    // Marks that came from "Compare" on another row follow that row.
    if (!confirmed && marked >= 0)
        loadSourceRow(marked, false, true);
    if (compared >= 0) {
        if (const std::optional<SourceComparison> comparison = compareSource(compared)) {
            fillCompareList(*comparison);
            comparedSource_ = compared;
        }
    }
    showPrimaryStatus();
}

void ObjectView::rereadAfterWrite()
{
    if (!openedObject(ctx_))
        return;
    reloadObject();
    refreshObjectView();
}

void ObjectView::showPrimaryStatus()
{
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry)
        return;
    const int status = PrimaryStatusOf(ctx_.db, ctx_.settings, *entry, warnings());
    if (status < 0)
        return;
    if (QTreeWidgetItem *row = findRowByData(c_.objectList, ctx_.currentObject))
        setObjectRowStatus(row, status, ctx_.images);
}

} // namespace orvane
