#include "GuiFixture.h"
#include "app/ImageList.h"
#include "app/MainWindow.h"
#include "store/ColourMarkers.h"
#include "store/ColourTable.h"

#include <QComboBox>
#include <QPushButton>

using namespace orvane;

namespace
{

const QString kAnn = QStringLiteral("11111111-2222-3333-4444-555555555555");
const QString kBob = QStringLiteral("AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");

} // namespace

class MarkerTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        blue = insertMarker(ctx->db, 0, "Blue team");
        red = insertMarker(ctx->db, 2, "Red 'hot' $0041");
        window = std::make_unique<MainWindow>(*ctx);
        combo = window->findChild<QComboBox *>("MarkerCombo");
        objectList = window->findChild<QTreeWidget *>("ObjectList");
        button = window->findChild<QPushButton *>("SetMarkerButton");
        ASSERT_TRUE(combo && objectList && button);

        ctx->objects = {{"Ann", "ann", "Ann", 0, kAnn, 0, {}}, {"Bob", "bob", "Bob", 0, kBob, 0, {}}};
        for (int i = 0; i < ctx->objects.size(); ++i) {
            auto *row = new QTreeWidgetItem(objectList);
            row->setIcon(1, ctx->images.icon(objectMarkerImage(ctx->db, ctx->objects[i].guid)));
            row->setData(0, Qt::UserRole, QVariant::fromValue(qlonglong(i)));
        }
    }

    void TearDown() override
    {
        window.reset();
        GuiTest::TearDown();
    }

    void choose(long long markerId)
    {
        combo->setCurrentIndex(combo->findData(QVariant::fromValue(markerId)));
    }

    QStringList attachments()
    {
        return rows(ctx->db, "SELECT guid, marker_id, primary_flag FROM color_markers_bind ORDER BY guid", 3);
    }

    QIcon rowIcon(int row) const { return objectList->topLevelItem(row)->icon(1); }

    long long blue = 0;
    long long red = 0;
    std::unique_ptr<MainWindow> window;
    QComboBox *combo = nullptr;
    QTreeWidget *objectList = nullptr;
    QPushButton *button = nullptr;
};

TEST_F(MarkerTest, ComboListsNoMarkerThenEveryMarkerWithItsColour)
{
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "No marker");
    EXPECT_EQ(combo->itemData(0).toLongLong(), -1);
    EXPECT_TRUE(isImage(combo->itemIcon(0), ImageNoMarker));
    EXPECT_EQ(combo->itemText(2), "Red 'hot' $0041");
    EXPECT_EQ(combo->itemData(2).toLongLong(), red);
    EXPECT_TRUE(isImage(combo->itemIcon(2), colourImageIndex(2)));
    EXPECT_EQ(combo->currentIndex(), 0);
}

TEST_F(MarkerTest, SettingWithoutAnOpenedObjectIsRefused)
{
    choose(blue);
    button->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Color marker");
    EXPECT_EQ(boxes.shown[0].text, "Active Directory object is not selected.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Warning);
    EXPECT_TRUE(attachments().isEmpty());
}

TEST_F(MarkerTest, NoMarkerForAnObjectWithoutOneAsksAndDeletesNothing)
{
    attachMarker(ctx->db, kBob, red);
    window->selectObject(0);
    EXPECT_EQ(combo->currentIndex(), 0);
    boxes.answers.enqueue(true);
    button->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "Clear color marker for AD object?");
    EXPECT_EQ(boxes.shown[0].title, "Color marker");
    EXPECT_EQ(attachments(), QStringList({kBob + "|" + QString::number(red) + "|1"}));
    EXPECT_TRUE(isImage(rowIcon(0), ImageNoMarker));
}

TEST_F(MarkerTest, SetUpdateWithConfirmationAndClear)
{
    window->selectObject(0);

    // Set: no question, one attachment, the colour's icon on the row.
    choose(blue);
    button->click();
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(attachments(), QStringList({kAnn + "|" + QString::number(blue) + "|1"}));
    EXPECT_TRUE(isImage(rowIcon(0), colourImageIndex(0)));

    // Update declined: nothing changes.
    choose(red);
    boxes.answers.enqueue(false);
    button->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              "Color marker already set for this AD object. Would you like to update it?");
    EXPECT_EQ(attachments(), QStringList({kAnn + "|" + QString::number(blue) + "|1"}));
    EXPECT_TRUE(isImage(rowIcon(0), colourImageIndex(0)));

    // Update confirmed.
    boxes.answers.enqueue(true);
    button->click();
    EXPECT_EQ(attachments(), QStringList({kAnn + "|" + QString::number(red) + "|1"}));
    EXPECT_TRUE(isImage(rowIcon(0), colourImageIndex(2)));

    // Opening the object again shows its marker.
    window->selectObject(1);
    EXPECT_EQ(combo->currentIndex(), 0);
    window->selectObject(0);
    EXPECT_EQ(combo->currentData().toLongLong(), red);

    // Clear.
    combo->setCurrentIndex(0);
    boxes.answers.enqueue(true);
    button->click();
    EXPECT_TRUE(attachments().isEmpty());
    EXPECT_TRUE(isImage(rowIcon(0), ImageNoMarker));
    EXPECT_TRUE(isImage(rowIcon(1), ImageNoMarker));
}

TEST_F(MarkerTest, AFailedAttachIsShownAndTheRowKeepsItsIcon)
{
    ctx->db.execute("CREATE TRIGGER refuse BEFORE INSERT ON color_markers_bind BEGIN "
                    "SELECT RAISE(ABORT, 'database is locked'); END");
    window->selectObject(0);
    choose(blue);
    button->click();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Color marker");
    EXPECT_EQ(boxes.shown[0].text,
              "The change could not be stored in the settings file: database is locked.");
    EXPECT_TRUE(attachments().isEmpty());
    EXPECT_TRUE(isImage(rowIcon(0), ImageNoMarker));
}
