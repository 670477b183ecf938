#pragma once
// The attribute edit of the "General" tab: OpenAttributeEditor picks the
// single-value or the multi-value dialog for the selected AttributeList row,
// and commitAttributeEdit is what both dialogs' "OK" does: shorten the values
// to the attribute's size, write them to the object that is open at that
// moment, re-read it, and show the stored text in every AttributeList row of
// the attribute.

#include "store/AttributeCatalogue.h"
#include "sync/ValuePreparation.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QTreeWidget;
class QWidget;

namespace orvane
{

struct AppContext;
class Database;

/// Where an attribute edit writes and what it refreshes afterwards.
struct AttributeEditTarget {
    AppContext *ctx = nullptr;
    QPointer<QTreeWidget> attributeList;
    /// Runs after every write attempt (the status of the opened object); may be empty.
    std::function<void()> afterWrite;
};

/// One catalogue attribute as the edit dialogs need it (the store's row).
using EditedAttribute = CatalogueAttribute;

/// Returns the catalogue row `id` (multivalued -1 when there is none).
inline EditedAttribute editedAttribute(Database &db, long long id)
{
    return catalogueAttribute(db, id);
}

/// Opens the edit dialog for the selected row of target.attributeList (its
/// item data is the catalogue id, column 0 the label, column 1 the value),
/// titled "Attribute edit - " + `cn`, closing an editor opened earlier; an
/// earlier editor holding typed changes is brought to the front and returned
/// instead, so that nothing typed is lost. Returns the dialog, or nullptr when
/// no row is selected or the attribute is neither single- nor multi-valued.
QDialog *openAttributeEditor(const AttributeEditTarget &target, const QString &cn, QWidget *parent);

/// The "OK" of both dialogs for catalogue attribute `id` with `values` (one
/// for a single value, top to bottom for a list). Does nothing and returns
/// false when no object is open; otherwise writes, shows every message,
/// refreshes and returns true (the dialog then closes, whatever the outcome).
bool commitAttributeEdit(const AttributeEditTarget &target, long long id, int multivalued,
                         const QStringList &values, QWidget *dialog);

} // namespace orvane
