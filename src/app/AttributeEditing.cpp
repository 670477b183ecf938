#include "app/AttributeEditing.h"

#include "app/AppContext.h"
#include "app/AttributeEditDialogs.h"
#include "app/OperationMessageBoxes.h"
#include "app/ListViews.h"
#include "directory/AttributeWriting.h"
#include "directory/ObjectBinding.h"
#include "plan/JournaledEdits.h"
#include "sync/MultiValuedText.h"
#include "sync/ValuePreparation.h"

#include <QTreeWidget>

namespace orvane
{
namespace
{

QPointer<QDialog> &openEditor()
{
    static QPointer<QDialog> editor;
    return editor;
}

// The entry at `index` when it is still the object with `guid` (a message box
// runs an event loop, in which a new search may have replaced the table).
ObjectEntry *sameEntry(AppContext &ctx, int index, const QString &guid)
{
    if (index < 0 || index >= ctx.objects.size() || ctx.objects[index].guid != guid)
        return nullptr;
    return &ctx.objects[index];
}

void showStoredValue(const AttributeEditTarget &target, long long id, const QString &text)
{
    if (!target.attributeList)
        return;
    for (QTreeWidgetItem *row : allRows(target.attributeList)) {
        if (rowData(row) == id)
            row->setText(1, text);
    }
}

} // namespace

QDialog *openAttributeEditor(const AttributeEditTarget &target, const QString &cn, QWidget *parent)
{
    QTreeWidgetItem *row = target.attributeList ? currentRow(target.attributeList) : nullptr;
    if (!row)
        return nullptr;
    // An editor holding typed changes is brought to the front rather than closed with them.
    if (openEditor() && openEditor()->isVisible() && editorHasChanges(openEditor())) {
        openEditor()->raise();
        openEditor()->activateWindow();
        return openEditor();
    }
    const long long id = rowData(row);
    const QString title = QStringLiteral("Attribute edit - ") + cn;
    QDialog *dialog = nullptr;
    switch (catalogueAttribute(target.ctx->db, id).multivalued) {
    case 0:
        dialog = new EditAttributeDialog(target, title, row->text(0), row->text(1), id, parent);
        break;
    case 1:
        dialog = new EditMultiValueDialog(target, title, row->text(0), row->text(1), id, parent);
        break;
    default:
        return nullptr;
    }
    if (openEditor())
        openEditor()->close();
    openEditor() = dialog;
    dialog->show();
    return dialog;
}

bool commitAttributeEdit(const AttributeEditTarget &target, long long id, int multivalued,
                         const QStringList &values, QWidget *dialog)
{
    AppContext &ctx = *target.ctx;
    const ObjectEntry *object = openedObject(ctx);
    if (!object)
        return false;
    const int index = ctx.currentObject;
    const QString guid = object->guid;
    const EditedAttribute attribute = editedAttribute(ctx.db, id);

    QStringList written;
    for (const QString &value : values)
        written << fitToAttributeSize(value, attribute.rangeupper, ctx.settings.trimmedEnd);
    const DirectoryConnection connection = connectionFromSettings(ctx.settings);
    const QString listed = object->values.value(attribute.attribute);
    const QStringList oldValues = valuesToWrite(listed, multivalued, ctx.settings.multivaluedDelimiter);
    const int result = showDirectoryReport(dialog, JournaledWriteAttribute(ctx.db, ctx.settings, guid,
                                                                           object->cn, attribute.attribute,
                                                                           multivalued, oldValues, written));
    if (result == 1 && sameEntry(ctx, index, guid))
        showDirectoryReport(dialog, ReloadObject(connection, ctx.db, guid, &ctx.objects, index,
                                                 ctx.settings.multivaluedDelimiter));
    if (const ObjectEntry *entry = sameEntry(ctx, index, guid))
        showStoredValue(target, id, entry->values.value(attribute.attribute));
    if (target.afterWrite)
        target.afterWrite();
    return true;
}

} // namespace orvane
