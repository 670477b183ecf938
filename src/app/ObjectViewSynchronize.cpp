// The Synchronize button of the "General" tab.

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/ObjectView.h"
#include "app/OperationMessageBoxes.h"
#include "directory/AttributeWriting.h"
#include "plan/JournaledEdits.h"
#include "workbook/SourceComparison.h"

#include <QTreeWidget>

namespace orvane
{

namespace
{

const QString kSynchronizationTitle = QStringLiteral("Synchronization");

QString shownValue(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("(empty)") : value;
}

// One line per attribute the write would change: what the directory holds now
// and what it will hold.
QString synchronizeDetails(const SourceComparison &comparison, const ObjectEntry &entry)
{
    QStringList lines;
    for (const SyncRecord &record : comparison.records) {
        if (record.upToDate)
            continue;
        const QString name = record.displayName.isEmpty() ? record.attribute : record.displayName;
        lines << name + QStringLiteral(": ") + shownValue(entry.values.value(record.attribute)) +
                     QStringLiteral(" \u2192 ") + shownValue(record.value);
    }
    return lines.join(u'\n');
}

QString attributesText(int n)
{
    return QString::number(n) + (n == 1 ? QStringLiteral(" attribute") : QStringLiteral(" attributes"));
}

} // namespace

QString synchronizedText(int asked, int stillDiffering, const QString &cn)
{
    const int written = qMax(0, asked - stillDiffering);
    if (stillDiffering <= 0)
        return QStringLiteral("Synchronized ") + attributesText(asked) + QStringLiteral(" of ") + cn;
    return QStringLiteral("Synchronized %1 of %2 of %3; %4 still differ%5 (see the messages)")
        .arg(written)
        .arg(attributesText(asked), cn)
        .arg(stillDiffering)
        .arg(stillDiffering == 1 ? QStringLiteral("s") : QString());
}

namespace
{

} // namespace

void ObjectView::synchronize()
{
    if (!openedObject(ctx_)) {
        dialogs().warn(c_.parent, kSynchronizationTitle,
                       QStringLiteral("Active Directory object is not selected."));
        return;
    }
    bool ticked = false;
    for (QTreeWidgetItem *row : allRows(c_.lookupList)) {
        if (row->checkState(0) != Qt::Checked)
            continue;
        ticked = true;
        synchronizeRow(int(rowData(row)), row->text(2));
    }
    if (!ticked)
        dialogs().warn(c_.parent, kSynchronizationTitle,
                       QStringLiteral("Synchronization source is not selected."));
}

// Reads the row afresh, so that a second source is compared with what the first one wrote.
void ObjectView::synchronizeRow(int n, const QString &source)
{
    const std::optional<SourceComparison> found = compareSource(n);
    const ObjectEntry *entry = openedObject(ctx_);
    if (!found || !entry)
        return;
    const SourceComparison &comparison = *found;
    if (comparison.differing == 0) {
        dialogs().inform(c_.parent, kSynchronizationTitle,
                         QStringLiteral("Active Directory object is up to date."));
        return;
    }
    if (!dialogs().askWithDetails(c_.parent, kSynchronizationTitle,
                                  SynchronizeQuestion(comparison.differing, entry->cn, source),
                                  synchronizeDetails(comparison, *entry)))
        return;
    const QString cn = entry->cn;
    showDirectoryReport(
        c_.parent, JournaledApplyPreparedValues(
                       ctx_.db, ctx_.settings, comparison.records, ctx_.objects, ctx_.currentObject,
                       comparison.filename + QStringLiteral(" row ") + QString::number(sources_[n].row)));
    rereadAfterWrite();
    reportSynchronized(comparison, cn);
}

// Says in the status bar what the write came to, from what the directory holds
// after it: a failed write leaves its attribute differing.
void ObjectView::reportSynchronized(const SourceComparison &before, const QString &cn)
{
    if (!c_.status)
        return;
    const ObjectEntry *entry = openedObject(ctx_);
    if (!entry)
        return;
    SyncRecordList after = before.records;
    const int stillDiffering = MarkAttributeStatus(after, *entry, ctx_.settings);
    c_.status(synchronizedText(before.differing, stillDiffering, cn));
}

} // namespace orvane
