#pragma once
// The statements behind colour markers: the named markers (at most one per
// colour) and their attachment to directory objects by GUID text. Every
// statement restricts attachments to primary_flag = '1', the only rows the
// program writes. Failures are silent: a failed read yields nothing, a failed
// write changes nothing.

#include <QHash>
#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// One row of color_markers.
struct Marker {
    long long id = 0;
    int colorId = 0;
    QString desc;
};

/// The marker of a colour, as the "Set" button of the Options tab looks it up.
struct MarkerOfColour {
    long long count = 0; ///< rows with that colour
    long long id = 0;    ///< id of the first of them, 0 when none
};

/// Returns every marker in the order the table returns them.
QList<Marker> loadMarkers(Database &db);

/// Returns the marker id attached to object `guid`, 0 when it has none.
long long objectMarkerId(Database &db, const QString &guid);

/// Returns the image-list index of the marker icon for object `guid`: its
/// marker's colour icon, or the "no marker" icon when it has none.
int objectMarkerImage(Database &db, const QString &guid);

/// Returns, by GUID text, the marker icon of every object that has a marker
/// (the same icon objectMarkerImage gives), read with one query so that a
/// whole object list costs one statement; objects without a marker are absent.
QHash<QString, int> objectMarkerImages(Database &db);

/// Returns the color_id of marker `markerId` (0 when it does not exist).
int markerColour(Database &db, long long markerId);

/// Returns how many markers object `guid` carries (0 or 1 as written here).
long long countObjectMarkers(Database &db, const QString &guid);

/// Attaches marker `markerId` to object `guid`.
void attachMarker(Database &db, const QString &guid, long long markerId);

/// Replaces the marker of object `guid` with `markerId`.
void changeObjectMarker(Database &db, const QString &guid, long long markerId);

/// Removes the marker of object `guid` (nothing when it has none).
void clearObjectMarker(Database &db, const QString &guid);

/// Looks up the marker of colour `colorId`.
MarkerOfColour findMarkerOfColour(Database &db, int colorId);

/// Creates a marker of colour `colorId` named `desc` and returns its id.
long long insertMarker(Database &db, int colorId, const QString &desc);

/// Renames the marker(s) of colour `colorId` to `desc`.
void renameMarkerOfColour(Database &db, int colorId, const QString &desc);

/// Returns marker `id` (colorId 0 and desc "" when it does not exist).
Marker readMarker(Database &db, long long id);

/// Returns how many objects carry marker `id`.
long long countMarkerUses(Database &db, long long id);

/// Removes marker `id` from every object, then deletes the marker itself.
void deleteMarkerEverywhere(Database &db, long long id);

/// Deletes marker `id`, leaving attachments as they are (callers check first
/// that none exist).
void deleteMarker(Database &db, long long id);

} // namespace orvane
