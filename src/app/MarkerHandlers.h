#pragma once
// Colour markers in the main window: the marker combo of the "General" tab,
// showing the opened object's marker, and the "Set marker" button.

#include <QString>

class QComboBox;
class QTreeWidget;
class QWidget;

namespace orvane
{

struct AppContext;
class Database;
class ImageList;

/// Refills `combo` with "No marker" (item data -1) and one entry per stored
/// marker with its colour icon (item data its id), and selects the first.
void fillMarkerCombo(QComboBox *combo, Database &db, const ImageList &images);

/// Selects the entry of the marker attached to `guid`, "No marker" when it has
/// none; leaves the selection alone when the marker is not in the combo.
void showObjectMarker(QComboBox *combo, Database &db, const QString &guid);

/// The "Set marker" button: attaches, changes (after asking) or clears (after
/// asking) the marker of the opened object and updates its icon in
/// `objectList`. Refuses with a message when no object is opened.
void setMarkerOfOpenedObject(AppContext &ctx, QComboBox *combo, QTreeWidget *objectList, QWidget *parent);

} // namespace orvane
