#include "StoreFixture.h"
#include "store/ColourMarkers.h"
#include "store/ColourTable.h"
#include "store/SettingsStore.h"

using namespace orvane;

namespace
{

const QString kGuid = QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF");

} // namespace

class ColourMarkerTest : public StoreTest
{
  protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
        ASSERT_TRUE(db.open(path));
    }

    Database db;
};

TEST_F(ColourMarkerTest, MarkerNamesAreStoredExactlyAsTyped)
{
    const QString name = QStringLiteral("Team 'A' $0041");
    const long long id = insertMarker(db, 4, name);
    EXPECT_NE(id, 0);
    EXPECT_EQ(readMarker(db, id).desc, name);
    EXPECT_EQ(readMarker(db, id).colorId, 4);
    renameMarkerOfColour(db, 4, QStringLiteral("It's"));
    ASSERT_EQ(loadMarkers(db).size(), 1);
    EXPECT_EQ(loadMarkers(db).first().desc, "It's");
}

TEST_F(ColourMarkerTest, LooksUpTheMarkerOfAColour)
{
    EXPECT_EQ(findMarkerOfColour(db, 3).count, 0);
    const long long id = insertMarker(db, 3, "yellow");
    insertMarker(db, 5, "gray");
    const MarkerOfColour found = findMarkerOfColour(db, 3);
    EXPECT_EQ(found.count, 1);
    EXPECT_EQ(found.id, id);
    EXPECT_EQ(markerColour(db, id), 3);
}

TEST_F(ColourMarkerTest, ObjectIconFollowsItsAttachment)
{
    const long long id = insertMarker(db, 6, "turquoise");
    EXPECT_EQ(objectMarkerImage(db, kGuid), 6);
    EXPECT_EQ(objectMarkerId(db, kGuid), 0);
    EXPECT_TRUE(objectMarkerImages(db).isEmpty());
    attachMarker(db, kGuid, id);
    EXPECT_EQ(objectMarkerImage(db, kGuid), colourImageIndex(6));
    EXPECT_EQ(objectMarkerImages(db), (QHash<QString, int>{{kGuid, colourImageIndex(6)}}));
    EXPECT_EQ(objectMarkerId(db, kGuid), id);
    EXPECT_EQ(countObjectMarkers(db, kGuid), 1);

    // Rows written by anyone else than this program are not ours to read.
    db.execute("UPDATE color_markers_bind SET primary_flag = '0'");
    EXPECT_EQ(objectMarkerImage(db, kGuid), 6);
    EXPECT_TRUE(objectMarkerImages(db).isEmpty());
    EXPECT_EQ(countObjectMarkers(db, kGuid), 0);
}

TEST_F(ColourMarkerTest, DeletingAMarkerInUseRemovesItFromEveryObject)
{
    const long long used = insertMarker(db, 0, "blue");
    const long long other = insertMarker(db, 1, "lime");
    attachMarker(db, kGuid, used);
    attachMarker(db, "FFFFFFFF-0000-0000-0000-000000000000", used);
    attachMarker(db, "EEEEEEEE-0000-0000-0000-000000000000", other);
    EXPECT_EQ(countMarkerUses(db, used), 2);
    deleteMarkerEverywhere(db, used);
    EXPECT_EQ(countMarkerUses(db, used), 0);
    EXPECT_EQ(countMarkerUses(db, other), 1);
    ASSERT_EQ(loadMarkers(db).size(), 1);
    EXPECT_EQ(loadMarkers(db).first().id, other);
}
