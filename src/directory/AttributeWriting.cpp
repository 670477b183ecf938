#include "directory/AttributeWriting.h"

#include "automation/CommandEngine.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"
#include "directory/VariantArgument.h"
#include "sync/MultiValuedText.h"

namespace orvane
{

namespace
{

constexpr HRESULT kPropertyNotFound = hresult(0x8000500D);

enum class Step { Clear, CommitClear, Set, CommitSet };

QString stepText(WriteContext context, bool multi, Step step, HRESULT code)
{
    const QString c = codeText(code) + QLatin1Char(' ');
    const bool sync = context == WriteContext::Synchronization;
    switch (step) {
    case Step::Clear:
        return c + QStringLiteral("COM method error occurred while modifying AD attribute.");
    case Step::CommitClear:
        if (!multi)
            return c + (sync ? QStringLiteral("COM method error While applying modified AD attribute Data.")
                             : QStringLiteral("COM method error while applying modified AD attribute data."));
        return (sync ? QString() : c) +
               QStringLiteral("COM method error while applying modified AD attribute data.");
    case Step::Set:
        return c + (multi ? QStringLiteral("COM method error while modifying AD attribute data.")
                          : QStringLiteral("COM method error occurred while modifying AD attribute data."));
    case Step::CommitSet:
        return c + (multi
                        ? QStringLiteral("COM method error while applying modified AD attribute data.")
                        : QStringLiteral("COM method error occurred while applying modified AD attribute."));
    }
    return QString();
}

QString titleOf(WriteContext context)
{
    return context == WriteContext::Synchronization ? kSynchronizationErrorTitle : kAttributeEditErrorTitle;
}

bool holdsValue(const VARIANT *v)
{
    if (!v || v->vt == VT_NULL || v->vt == VT_EMPTY)
        return false;
    if (v->vt == VT_BSTR)
        return !variantString(v).isEmpty();
    const std::optional<QStringList> texts = variantArrayTexts(v);
    return !texts || !texts->isEmpty();
}

// Writes the values held before the clear back after a failed set; the text
// that tells the administrator what the attribute now holds ("" when there
// was nothing to write back). `restored` says whether it worked.
QString restore(AutomationObject *object, const QString &attribute, const VARIANT *old, bool *restored)
{
    *restored = false;
    if (!holdsValue(old))
        return QString();
    HRESULT hr = invokeWithVariant(
        object, QStringLiteral("PutEx(2, ") + quoteArgument(attribute) + QStringLiteral(", "), old,
        QStringLiteral(")"));
    if (hr == S_OK)
        hr = sendMethod(object, QStringLiteral("SetInfo"));
    *restored = hr == S_OK;
    if (hr == S_OK)
        return QStringLiteral("The previous value has been written back.");
    const DirectoryFailure failure = captureFailure();
    return QStringLiteral("The previous value could not be written back (") + codeText(failure.code) +
           QStringLiteral(" ") + failure.reason() + QStringLiteral("); the attribute is now empty.");
}

} // namespace

DirectoryReport ValueWriteSequence(AutomationObject *object, WriteContext context, const QString &attribute,
                                   int multivalued, const QStringList &values, WriteStage *stage,
                                   const QStringList *restoreValues)
{
    DirectoryReport report;
    WriteStage reached = WriteStage::Untouched;
    const bool multi = multivalued == 1;
    const QString name = quoteArgument(attribute);
    VARIANT *old = getVariantProperty(object, attribute); // what a failed set must restore
    const HRESULT readCode = lastErrorCode();
    if (FAILED(readCode) && readCode != DISP_E_UNKNOWNNAME && readCode != kPropertyNotFound) {
        // Clearing what could not be read first would lose it if the set failed.
        report.failure = captureFailure(attribute);
        report.messages.append({titleOf(context),
                                withReason(codeText(report.failure.code) +
                                               QStringLiteral(" The current value of %1 could not be read; "
                                                              "nothing was written.")
                                                   .arg(attribute),
                                           report.failure),
                                MessageIcon::Warning});
        freeVariant(old);
        if (stage)
            *stage = reached;
        return report;
    }
    if (restoreValues && !restoreValues->isEmpty() && !holdsValue(old)) {
        freeVariant(old);
        old = new VARIANT;
        VariantInit(old);
        setVariantStringArray(old, *restoreValues);
    }
    VARIANT array;
    VariantInit(&array);
    if (multi)
        setVariantStringArray(&array, values);
    const auto fail = [&](Step step, const QString &command, bool restoreOld) {
        report.failure = captureFailure(command);
        if (!report.failure.failed())
            report.failure.code = E_FAIL;
        QString text = withReason(stepText(context, multi, step, report.failure.code), report.failure);
        bool restored = false;
        const QString restoredText = restoreOld ? restore(object, attribute, old, &restored) : QString();
        if (!restoredText.isEmpty())
            text += QStringLiteral("\n\n") + restoredText;
        if (restoreOld)
            reached = restored || !holdsValue(old) ? WriteStage::Restored : WriteStage::LeftEmpty;
        report.messages.append({titleOf(context), text, MessageIcon::Warning});
    };
    const QString clear = QStringLiteral("PutEx(1, ") + name + QStringLiteral(", '0')");
    const QString set = multi ? QStringLiteral("PutEx(3, ") + name + QStringLiteral(", <values> as variant)")
                              : QStringLiteral("Put(") + name + QStringLiteral(", ") +
                                    quoteArgument(values.value(0)) + QLatin1Char(')');
    const QString commit = QStringLiteral("SetInfo");
    if (sendMethod(object, clear) != S_OK) {
        fail(Step::Clear, clear, false);
    } else if (sendMethod(object, commit) != S_OK) {
        reached = WriteStage::Unsure;
        fail(Step::CommitClear, commit, false);
    } else if (values.value(0).isEmpty()) {
        report.result = 1;
        reached = WriteStage::Written;
    } else {
        const HRESULT put =
            multi ? invokeWithVariant(object, QStringLiteral("PutEx(3, ") + name + QStringLiteral(", "),
                                      &array, QStringLiteral(")"))
                  : sendMethod(object, set);
        if (put != S_OK) {
            fail(Step::Set, set, true);
        } else if (sendMethod(object, commit) != S_OK) {
            fail(Step::CommitSet, commit, true);
        } else {
            report.result = 1;
            reached = WriteStage::Written;
        }
    }
    freeVariant(old);
    VariantClear(&array);
    if (stage)
        *stage = reached;
    return report;
}

namespace
{

void addReport(DirectoryReport *total, const DirectoryReport &part)
{
    total->messages += part.messages;
    if (!total->failure.failed())
        total->failure = part.failure;
    if (part.result != 1)
        total->result = 0;
}

} // namespace

DirectoryReport ApplyPreparedValues(const DirectoryConnection &connection, const SyncRecordList &records,
                                    const ObjectTable &table, int index, const QString &delimiter)
{
    DirectoryReport report;
    if (index < 0 || index >= table.size())
        return report;
    BoundObject bound;
    if (!BindForReport(connection, table[index].guid, kSynchronizationErrorTitle, &bound, &report))
        return report;
    report.result = 1;
    for (const SyncRecord &record : records) {
        if (record.upToDate == 1 || (record.multivalued != 0 && record.multivalued != 1))
            continue;
        addReport(&report, ValueWriteSequence(bound.object(), WriteContext::Synchronization, record.attribute,
                                              record.multivalued,
                                              valuesToWrite(record.value, record.multivalued, delimiter)));
    }
    return report;
}

DirectoryReport WriteAttribute(const DirectoryConnection &connection, const QString &guid,
                               const QString &attribute, int multivalued, const QStringList &values,
                               WriteStage *stage)
{
    if (stage)
        *stage = WriteStage::Untouched;
    DirectoryReport report;
    BoundObject bound;
    if (!BindForReport(connection, guid, kAttributeEditErrorTitle, &bound, &report) ||
        (multivalued != 0 && multivalued != 1))
        return report;
    return ValueWriteSequence(bound.object(), WriteContext::AttributeEdit, attribute, multivalued,
                              multivalued == 0 ? QStringList{values.value(0)} : values, stage);
}

} // namespace orvane
