#include "store/ColourMarkers.h"

#include "store/ColourTable.h"
#include "store/Database.h"

namespace orvane
{
namespace
{

inline constexpr int kNoMarkerImage = 6;

long long firstLong(Database &db, const QString &statement)
{
    db.query(statement);
    db.next_row();
    return db.get_long(0);
}

QString ofObject(const QString &guid)
{
    return QStringLiteral(" WHERE guid = ") + sqlQuote(guid) + QStringLiteral(" AND primary_flag = '1'");
}

} // namespace

QList<Marker> loadMarkers(Database &db)
{
    QList<Marker> markers;
    db.query(QStringLiteral("SELECT id, color_id, desc FROM color_markers"));
    while (db.next_row())
        markers.append({db.get_long(0), int(db.get_long(1)), db.get_text(2)});
    return markers;
}

long long objectMarkerId(Database &db, const QString &guid)
{
    return firstLong(db, QStringLiteral("SELECT marker_id FROM color_markers_bind") + ofObject(guid));
}

int objectMarkerImage(Database &db, const QString &guid)
{
    db.query(QStringLiteral("SELECT color_markers.id, color_markers.color_id FROM color_markers, "
                            "color_markers_bind WHERE color_markers_bind.guid = ") +
             sqlQuote(guid) +
             QStringLiteral(" AND color_markers.id = color_markers_bind.marker_id AND "
                            "color_markers_bind.primary_flag = '1'"));
    if (!db.next_row())
        return kNoMarkerImage;
    return colourImageIndex(int(db.get_long(1)));
}

QHash<QString, int> objectMarkerImages(Database &db)
{
    QHash<QString, int> images;
    db.query(QStringLiteral("SELECT color_markers_bind.guid, color_markers.color_id FROM color_markers, "
                            "color_markers_bind WHERE color_markers.id = color_markers_bind.marker_id AND "
                            "color_markers_bind.primary_flag = '1'"));
    while (db.next_row()) {
        const QString guid = db.get_text(0);
        if (!images.contains(guid)) // the first attachment counts, as for one object
            images.insert(guid, colourImageIndex(int(db.get_long(1))));
    }
    return images;
}

int markerColour(Database &db, long long markerId)
{
    return int(
        firstLong(db, QStringLiteral("SELECT color_id FROM color_markers WHERE id = ") + sqlQuote(markerId)));
}

long long countObjectMarkers(Database &db, const QString &guid)
{
    return firstLong(db, QStringLiteral("SELECT count(marker_id) AS num FROM color_markers_bind") +
                             ofObject(guid));
}

void attachMarker(Database &db, const QString &guid, long long markerId)
{
    db.execute(QStringLiteral("INSERT INTO color_markers_bind(guid, marker_id, primary_flag) VALUES(") +
               sqlQuote(guid) + QStringLiteral(", ") + sqlQuote(markerId) + QStringLiteral(", '1')"));
}

void changeObjectMarker(Database &db, const QString &guid, long long markerId)
{
    db.execute(QStringLiteral("UPDATE color_markers_bind SET marker_id = ") + sqlQuote(markerId) +
               ofObject(guid));
}

void clearObjectMarker(Database &db, const QString &guid)
{
    db.execute(QStringLiteral("DELETE FROM color_markers_bind") + ofObject(guid));
}

MarkerOfColour findMarkerOfColour(Database &db, int colorId)
{
    db.query(QStringLiteral("SELECT count(color_id) AS num, id FROM color_markers WHERE color_id = ") +
             sqlQuote(colorId));
    db.next_row();
    return {db.get_long(0), db.get_long(1)};
}

long long insertMarker(Database &db, int colorId, const QString &desc)
{
    db.execute(QStringLiteral("INSERT INTO color_markers(color_id, desc) VALUES(") + sqlQuote(colorId) +
               QStringLiteral(", ") + sqlQuote(desc) + QStringLiteral(")"));
    return db.lastInsertId();
}

void renameMarkerOfColour(Database &db, int colorId, const QString &desc)
{
    db.execute(QStringLiteral("UPDATE color_markers SET desc = ") + sqlQuote(desc) +
               QStringLiteral(" WHERE color_id = ") + sqlQuote(colorId));
}

Marker readMarker(Database &db, long long id)
{
    Marker marker;
    marker.id = id;
    db.query(QStringLiteral("SELECT color_id, desc FROM color_markers WHERE id = ") + sqlQuote(id));
    if (db.next_row()) {
        marker.colorId = int(db.get_long(0));
        marker.desc = db.get_text(1);
    }
    return marker;
}

long long countMarkerUses(Database &db, long long id)
{
    return firstLong(
        db, QStringLiteral("SELECT count(marker_id) AS num FROM color_markers_bind WHERE marker_id = ") +
                sqlQuote(id));
}

void deleteMarkerEverywhere(Database &db, long long id)
{
    db.execute(QStringLiteral("DELETE FROM color_markers_bind WHERE marker_id = ") + sqlQuote(id));
    deleteMarker(db, id);
}

void deleteMarker(Database &db, long long id)
{
    db.execute(QStringLiteral("DELETE FROM color_markers WHERE id = ") + sqlQuote(id));
}

} // namespace orvane
