// The attribute edit windows without a directory: layout, the value list's
// rules and the size cut. Writing is covered against slapd.
#include "GuiFixture.h"
#include "app/AttributeEditDialogs.h"
#include "app/AttributeEditing.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace orvane;

namespace
{

constexpr long long kTitleId = 9;       // Title, single-valued, 64 characters
constexpr long long kPhoneOtherId = 14; // Phone-Office-Other, multi-valued, 100 values
constexpr long long kDescriptionId = 4; // Description, multi-valued, 1 value

QStringList listTexts(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

} // namespace

class AttributeEditDialogTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        attributeList = new QTreeWidget;
        attributeList->setColumnCount(2);
        ctx->objects = {{"Ann Lee", "alee", "Ann Lee", 0, "11111111-2222-3333-4444-555555555555", 1, {}}};
        ctx->currentObject = 0;
    }

    void TearDown() override
    {
        delete dialog;
        delete attributeList;
        GuiTest::TearDown();
    }

    // Lists one attribute row, selects it and opens its editor.
    QDialog *edit(long long id, const QString &label, const QString &value)
    {
        attributeList->clear();
        auto *row = new QTreeWidgetItem(attributeList, QStringList({label, value}));
        row->setData(0, Qt::UserRole, QVariant::fromValue(id));
        attributeList->setCurrentItem(row);
        dialog = openAttributeEditor({ctx.get(), attributeList, {}}, QStringLiteral("Ann Lee"), nullptr);
        return dialog;
    }

    template <typename T> T *control(const char *name)
    {
        T *found = dialog->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void add(const QString &text)
    {
        control<QLineEdit>("ValueField")->setText(text);
        control<QPushButton>("AddButton")->click();
    }

    QTreeWidget *attributeList = nullptr;
    QPointer<QDialog> dialog;
};

TEST_F(AttributeEditDialogTest, SingleValueWindowShowsTheAttributeAndItsValue)
{
    ASSERT_TRUE(edit(kTitleId, "Title", "Initial title"));
    EXPECT_TRUE(qobject_cast<EditAttributeDialog *>(dialog));
    EXPECT_EQ(dialog->windowTitle(), "Attribute edit - Ann Lee");
    EXPECT_EQ(dialog->size(), QSize(300, 135));
    EXPECT_FALSE(dialog->isModal());
    auto *attribute = control<QLineEdit>("AttributeField");
    EXPECT_EQ(attribute->text(), "Title");
    EXPECT_TRUE(attribute->isReadOnly());
    EXPECT_EQ(attribute->property("catalogueId").toLongLong(), kTitleId);
    EXPECT_EQ(attribute->geometry(), QRect(80, 15, 200, 20));
    EXPECT_EQ(control<QLineEdit>("ValueField")->text(), "Initial title");
    EXPECT_EQ(control<QPushButton>("OkButton")->geometry(), QRect(100, 90, 80, 22));
    EXPECT_EQ(control<QPushButton>("CancelButton")->geometry(), QRect(200, 90, 80, 22));

    // A second edit replaces the first window.
    QPointer<QDialog> first = dialog;
    edit(kTitleId, "Title", "Other");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());

    // Cancel closes without anything shown.
    control<QPushButton>("CancelButton")->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(AttributeEditDialogTest, OkDoesNothingWhileNoObjectIsOpen)
{
    for (const long long id : {kTitleId, kPhoneOtherId}) {
        ASSERT_TRUE(edit(id, "Attribute", "a"));
        ctx->objects[0].selected = 0;
        control<QPushButton>("OkButton")->click();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_FALSE(dialog.isNull()) << id;
        EXPECT_TRUE(dialog->isVisible()) << id;
        EXPECT_TRUE(boxes.shown.isEmpty()) << id;
        ctx->objects[0].selected = 1;
    }
}

TEST_F(AttributeEditDialogTest, MultiValueListShowsTheStoredDelimitersFieldsInReverse)
{
    // The delimiter comes from the store, not from the in-memory settings.
    ctx->db.setOption("multivalueddelimiter", "|");
    ctx->settings.multivaluedDelimiter = ";";
    ASSERT_TRUE(edit(kPhoneOtherId, "Phone-Office-Other", "one||two;2|three"));
    ASSERT_TRUE(qobject_cast<EditMultiValueDialog *>(dialog));
    EXPECT_EQ(dialog->size(), QSize(360, 235));
    EXPECT_EQ(listTexts(control<QListWidget>("ValueList")), QStringList({"three", "two;2", "one"}));
    EXPECT_EQ(control<QLineEdit>("ValueField")->text(), "");
    EXPECT_EQ(control<QListWidget>("ValueList")->geometry(), QRect(80, 75, 200, 95));
    EXPECT_EQ(control<QPushButton>("OkButton")->geometry(), QRect(100, 190, 80, 22));
}

TEST_F(AttributeEditDialogTest, AddIgnoresEmptyAndDuplicateValuesAndStopsAtTheLimit)
{
    ASSERT_TRUE(edit(kPhoneOtherId, "Phone-Office-Other", "abc;Def"));
    auto *list = control<QListWidget>("ValueList");
    auto *field = control<QLineEdit>("ValueField");

    add("ABC");
    add("dEF");
    add("");
    EXPECT_EQ(listTexts(list), QStringList({"Def", "abc"}));
    EXPECT_EQ(field->text(), "");
    add("ABC");
    EXPECT_EQ(field->text(), "ABC"); // a refused duplicate stays in the field
    add("ghi");
    EXPECT_EQ(listTexts(list), QStringList({"ghi", "Def", "abc"}));
    EXPECT_EQ(field->text(), "");
    EXPECT_TRUE(boxes.shown.isEmpty());

    // 100 values fill Phone-Office-Other; the 101st is refused with a notice.
    QStringList hundred;
    for (int i = 1; i <= 100; ++i)
        hundred << QString::number(i);
    dialog->close(); // an editor with added values would be brought forward instead
    ASSERT_TRUE(edit(kPhoneOtherId, "Phone-Office-Other", hundred.join(';')));
    add("101");
    EXPECT_EQ(control<QListWidget>("ValueList")->count(), 100);
    EXPECT_EQ(control<QLineEdit>("ValueField")->text(), "101");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Attribute edit");
    EXPECT_EQ(boxes.shown[0].text, "Attribute Phone-Office-Other can have only 100 values.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Information);

    // Description holds one value: a second is refused the same way.
    dialog->close();
    ASSERT_TRUE(edit(kDescriptionId, "Description", "first"));
    add("second");
    EXPECT_EQ(boxes.shown.last().text, "Attribute Description can have only 1 value.");
}

TEST_F(AttributeEditDialogTest, DeleteLeavesTheTopmostRemovedValueInTheField)
{
    ASSERT_TRUE(edit(kPhoneOtherId, "Phone-Office-Other", "a;b;c;d"));
    auto *list = control<QListWidget>("ValueList");
    ASSERT_EQ(listTexts(list), QStringList({"d", "c", "b", "a"}));
    list->item(1)->setSelected(true);
    list->item(3)->setSelected(true);
    control<QPushButton>("DeleteButton")->click();
    EXPECT_EQ(listTexts(list), QStringList({"d", "b"}));
    EXPECT_EQ(control<QLineEdit>("ValueField")->text(), "c");
}

TEST(AttributeSize, OnlyValuesLongerThanTheAttributeAreCut)
{
    const QString exact(64, QLatin1Char('x'));
    EXPECT_EQ(fitToAttributeSize(exact, 64, "..."), exact);
    EXPECT_EQ(fitToAttributeSize(exact + "y", 64, "..."), QString(60, QLatin1Char('x')) + "...");
    const QString seventy(70, QLatin1Char('z'));
    EXPECT_EQ(fitToAttributeSize(seventy, 64, "...").size(), 63);
    EXPECT_EQ(fitToAttributeSize("", 64, "..."), "");
}

TEST_F(AttributeEditDialogTest, ASecondEditorNeverDropsWhatWasTypedInTheFirst)
{
    QPointer<QDialog> first = edit(kTitleId, "Title", "Initial title");
    ASSERT_TRUE(first);
    // Nothing typed: the new editor takes the first one's place.
    QPointer<QDialog> second = edit(kPhoneOtherId, "Phone-Office-Other", "555");
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_FALSE(first && first->isVisible());
    EXPECT_TRUE(second->isVisible());

    // A value typed but not added yet, or a changed list, keeps the editor: it is brought forward.
    for (const bool listChanged : {false, true}) {
        SCOPED_TRACE(listChanged ? "list changed" : "value typed");
        dialog = second;
        if (listChanged)
            add("666");
        else
            control<QLineEdit>("ValueField")->setText("666");
        EXPECT_EQ(edit(kTitleId, "Title", "Initial title"), second.data());
        EXPECT_TRUE(second->isVisible());
        dialog = second;
        EXPECT_EQ(listChanged ? listTexts(control<QListWidget>("ValueList")).join(',')
                              : control<QLineEdit>("ValueField")->text(),
                  listChanged ? QStringLiteral("666,555") : QStringLiteral("666"));
    }

    // The same for a single value changed in its field.
    second->close();
    QPointer<QDialog> title = edit(kTitleId, "Title", "Initial title");
    control<QLineEdit>("ValueField")->setText("Changed title");
    EXPECT_EQ(edit(kPhoneOtherId, "Phone-Office-Other", "555"), title.data());
    dialog = title;
    EXPECT_EQ(control<QLineEdit>("ValueField")->text(), QStringLiteral("Changed title"));
}
