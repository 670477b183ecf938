#include "GuiFixture.h"
#include "app/MainWindow.h"
#include "app/ObjectSelectionTab.h"
#include "app/OptionsWindow.h"
#include "store/ColourMarkers.h"
#include "store/PasswordScrambler.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QRadioButton>
#include <QTabWidget>

using namespace orvane;

namespace
{

const QString kTricky = QStringLiteral("It's $0041 'x'");

} // namespace

class OptionsWindowTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        // No desktop keyring answers here: the password goes to the scrambled
        // column (the keyring has tests of its own on a private session bus).
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        GuiTest::SetUp();
        main = std::make_unique<MainWindow>(*ctx);
    }

    void TearDown() override
    {
        main.reset();
        GuiTest::TearDown();
    }

    OptionsWindow *openOptions()
    {
        action(main->findChild<QMenu *>("MenuFile"), "Options")->trigger();
        auto *window = main->findChild<OptionsWindow *>("OptionsWindow");
        EXPECT_NE(window, nullptr);
        return window;
    }

    template <typename T> T *in(OptionsWindow *w, const char *name)
    {
        T *found = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void click(OptionsWindow *w, const char *button) { in<QPushButton>(w, button)->click(); }

    static void finishClosing() { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    bool applyEnabled(OptionsWindow *w) { return in<QPushButton>(w, "ApplyButton")->isEnabled(); }

    QStringList options() { return rows(ctx->db, "SELECT fld, val FROM options ORDER BY rowid", 2); }

    std::unique_ptr<MainWindow> main;
};

TEST_F(OptionsWindowTest, HasFiveTabsInOrderAndStartsWithApplyDisabled)
{
    OptionsWindow *w = openOptions();
    EXPECT_EQ(w->windowTitle(), "Options");
    EXPECT_EQ(w->size(), QSize(500, 350));
    auto *tabs = in<QTabWidget>(w, "OptionsTabs");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles, QStringList({"Object selection", "Active Directory", "Excel files", "Color markers",
                                   "Replacements"}));
    EXPECT_FALSE(applyEnabled(w));
    EXPECT_TRUE(in<QPushButton>(w, "CancelButton")->isDefault());
    EXPECT_EQ(in<QPushButton>(w, "OkButton")->geometry(), QRect(200, 310, 80, 25));

    // The directory tab shows the options as stored.
    EXPECT_EQ(in<QLineEdit>(w, "PortField")->text(), "389");
    EXPECT_EQ(in<QComboBox>(w, "SelectByCombo")->currentText(), "Surname");
    EXPECT_EQ(in<QComboBox>(w, "DisplayByCombo")->currentText(), "Display-Name");
    EXPECT_EQ(in<QComboBox>(w, "SelectByCombo")->itemText(0), "Address"); // ascending by name
    EXPECT_EQ(in<QComboBox>(w, "ShowComparisonCombo")->currentText(), "always");
    EXPECT_EQ(in<QLineEdit>(w, "PasswordField")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(in<QRadioButton>(w, "ReplaceWhenTooLong")->isChecked());
    EXPECT_EQ(in<QLineEdit>(w, "TrimmedEndField")->text(), "...");

    // "Options" again brings the same window forward.
    EXPECT_EQ(openOptions(), w);
    EXPECT_EQ(main->findChildren<OptionsWindow *>().size(), 1);
}

TEST_F(OptionsWindowTest, OkWithoutChangesWritesEveryOptionAgainAndResetsTheMainWindow)
{
    ctx->db.execute("CREATE TABLE writes(fld TEXT, val TEXT)");
    ctx->db.execute("CREATE TRIGGER logwrites AFTER UPDATE ON options BEGIN "
                    "INSERT INTO writes(fld, val) VALUES(new.fld, new.val); END");
    const QStringList before = options();
    ctx->objects = {{"Ann", "ann", "Ann", 0, "11111111-2222-3333-4444-555555555555", 0, {}}};
    new QTreeWidgetItem(main->findChild<QTreeWidget *>("ObjectList"), QStringList({"", "", "", "Ann"}));
    main->selectObject(0);
    ASSERT_EQ(main->findChild<QLineEdit *>("ObjectField")->text(), "Ann");

    QPointer<OptionsWindow> w = openOptions();
    click(w, "OkButton");
    finishClosing();
    EXPECT_TRUE(w.isNull());

    EXPECT_EQ(
        rows(ctx->db, "SELECT fld FROM writes ORDER BY rowid", 1),
        QStringList({"dcserver", "dcserverport", "dcbasedn", "selectobjby", "displayobjby", "showcomparison",
                     "usecurrentadcredentials", "adusername", "adpassword", "multivalueddelimiter",
                     "charlist", "replacements", "firstuppercase", "trimmedend",
                     "maxchangedusers", "maxchangedpercent"}));
    // With current credentials no password is stored: the column stays empty.
    EXPECT_EQ(options(), before);
    EXPECT_TRUE(ctx->settings.password.isEmpty());
    EXPECT_EQ(ctx->settings.serverAddress, ":389");

    EXPECT_EQ(main->findChild<QTreeWidget *>("ObjectList")->topLevelItemCount(), 0);
    EXPECT_TRUE(main->findChild<QLineEdit *>("ObjectField")->text().isEmpty());
    EXPECT_EQ(openedObject(*ctx), nullptr);
    EXPECT_EQ(main->findChild<QTreeWidget *>("ObjectList")->headerItem()->text(3), "Display-Name");
}

TEST_F(OptionsWindowTest, ApplySavesFieldsAndIsEnabledOnlyByChanges)
{
    OptionsWindow *w = openOptions();
    in<QLineEdit>(w, "DcServerField")->setText("dc1.example.org");
    EXPECT_TRUE(applyEnabled(w));
    in<QComboBox>(w, "DisplayByCombo")
        ->setCurrentIndex(in<QComboBox>(w, "DisplayByCombo")->findText("Surname"));
    in<QComboBox>(w, "ShowComparisonCombo")->setCurrentIndex(1);
    click(w, "ApplyButton");
    EXPECT_FALSE(applyEnabled(w));
    EXPECT_EQ(ctx->db.optionText("dcserver"), "dc1.example.org");
    EXPECT_EQ(ctx->db.optionText("displayobjby"), "2");
    EXPECT_EQ(ctx->settings.serverAddress, "dc1.example.org:389");
    EXPECT_EQ(ctx->settings.showComparison, 1);
    EXPECT_EQ(main->findChild<QTreeWidget *>("ObjectList")->headerItem()->text(3), "Surname");
    EXPECT_TRUE(w->isVisible());

    // A radio button counts only when it leaves the saved mode.
    auto *always = in<QRadioButton>(w, "AlwaysReplace");
    auto *whenTooLong = in<QRadioButton>(w, "ReplaceWhenTooLong");
    whenTooLong->click();
    EXPECT_FALSE(applyEnabled(w));
    always->click();
    EXPECT_TRUE(applyEnabled(w));
    click(w, "ApplyButton");
    EXPECT_EQ(ctx->settings.replacementMode, 1);
    EXPECT_EQ(ctx->db.optionText("replacements"), "1");
    always->click();
    EXPECT_FALSE(applyEnabled(w));

    in<QCheckBox>(w, "FirstUpperCase")->click();
    EXPECT_TRUE(applyEnabled(w));
    in<QLineEdit>(w, "TrimmedEndField")->setText(kTricky);
    click(w, "ApplyButton");
    EXPECT_EQ(ctx->settings.firstUpperCase, 0);
    EXPECT_EQ(ctx->db.optionText("firstuppercase"), "0");
    EXPECT_EQ(ctx->db.optionText("trimmedend"), kTricky);
    EXPECT_EQ(ctx->settings.trimmedEnd, kTricky);

    // Cancel drops the fields typed since.
    in<QLineEdit>(w, "BaseDnField")->setText("dc=example,dc=org");
    click(w, "CancelButton");
    EXPECT_TRUE(ctx->db.optionText("dcbasedn").isEmpty());
}

TEST_F(OptionsWindowTest, PasswordIsSavedScrambledAndCurrentCredentialsDisableTheFields)
{
    OptionsWindow *w = openOptions();
    auto *useCurrent = in<QCheckBox>(w, "UseCurrentCredentials");
    auto *user = in<QLineEdit>(w, "UserNameField");
    auto *password = in<QLineEdit>(w, "PasswordField");
    ASSERT_TRUE(useCurrent->isChecked());
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(password->isEnabled());

    useCurrent->click();
    EXPECT_TRUE(user->isEnabled());
    EXPECT_TRUE(password->isEnabled());
    EXPECT_TRUE(applyEnabled(w));
    user->setText("admin");
    password->setText("s3cret'$0041");
    click(w, "ApplyButton");
    EXPECT_EQ(ctx->db.optionText("usecurrentadcredentials"), "0");
    EXPECT_EQ(ctx->db.optionText("adusername"), "admin");
    const QString stored = ctx->db.optionText("adpassword");
    EXPECT_NE(stored, "s3cret'$0041");
    EXPECT_EQ(stored, scramblePassword("s3cret'$0041"));
    EXPECT_EQ(unscramblePassword(stored), "s3cret'$0041");
    EXPECT_EQ(ctx->settings.password, "s3cret'$0041");
    EXPECT_EQ(ctx->settings.useCurrentCredentials, 0);

    useCurrent->click();
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(password->isEnabled());
    EXPECT_TRUE(applyEnabled(w));
    click(w, "OkButton");
    // Both are written whatever the check box says.
    EXPECT_EQ(ctx->db.optionText("usecurrentadcredentials"), "1");
    EXPECT_EQ(ctx->db.optionText("adusername"), "admin");
    EXPECT_EQ(ctx->settings.useCurrentCredentials, 1);
}

TEST_F(OptionsWindowTest, CharacterListShowsSortedAtOpeningAndStoredOrderWhenChosen)
{
    OptionsWindow *w = openOptions();
    auto *lists = in<QComboBox>(w, "CharListCombo");
    auto *characters = in<QTreeWidget>(w, "Characters");
    EXPECT_EQ(lists->currentText(), "English");
    EXPECT_EQ(characters->topLevelItemCount(), 26);

    in<QLineEdit>(w, "NewListField")->setText(kTricky);
    click(w, "AddListButton");
    EXPECT_EQ(lists->currentText(), kTricky);
    EXPECT_EQ(characters->topLevelItemCount(), 0);
    EXPECT_TRUE(in<QLineEdit>(w, "NewListField")->text().isEmpty());
    EXPECT_FALSE(applyEnabled(w));
    for (const char *c : {"C", "A", "B"}) {
        in<QLineEdit>(w, "CharacterField")->setText(c);
        click(w, "AddCharacterButton");
    }
    EXPECT_EQ(columnTexts(characters, 0), QStringList({"B", "A", "C"}));
    click(w, "OkButton");
    finishClosing();
    EXPECT_EQ(rows(ctx->db,
                   "SELECT listname FROM selection_charlists WHERE id = (SELECT val FROM options WHERE "
                   "fld = 'charlist')",
                   1),
              QStringList({kTricky}));
    auto *letters = main->findChild<QComboBox *>("LetterCombo");
    QStringList shown;
    for (int i = 0; i < letters->count(); ++i)
        shown << letters->itemText(i);
    EXPECT_EQ(shown, QStringList({"A", "B", "C"}));

    w = openOptions();
    lists = in<QComboBox>(w, "CharListCombo");
    characters = in<QTreeWidget>(w, "Characters");
    EXPECT_EQ(lists->currentText(), kTricky);
    EXPECT_EQ(columnTexts(characters, 0), QStringList({"A", "B", "C"}));
    emit lists->activated(lists->currentIndex());
    EXPECT_EQ(columnTexts(characters, 0), QStringList({"C", "A", "B"}));
    EXPECT_TRUE(applyEnabled(w));
}

TEST_F(OptionsWindowTest, CharacterListEditorRefusals)
{
    OptionsWindow *w = openOptions();
    auto *lists = in<QComboBox>(w, "CharListCombo");
    auto *characters = in<QTreeWidget>(w, "Characters");

    in<QLineEdit>(w, "NewListField")->setText("Numbers");
    click(w, "AddListButton");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Options");
    EXPECT_EQ(boxes.shown[0].text, "Character list already exists, please choose different name.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Information);
    EXPECT_EQ(lists->count(), 3);

    // Every copy of a character goes; the list's other characters stay.
    lists->setCurrentIndex(lists->findText("Numbers"));
    emit lists->activated(lists->currentIndex());
    in<QLineEdit>(w, "CharacterField")->setText("7");
    click(w, "AddCharacterButton");
    characters->setCurrentItem(characters->topLevelItem(0));
    click(w, "DeleteCharacterButton");
    EXPECT_EQ(
        rows(ctx->db, "SELECT count(*) FROM selection_characters WHERE list_id = '3' AND character = '7'", 1),
        QStringList({"0"}));
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM selection_characters WHERE list_id = '3'", 1),
              QStringList({"9"}));

    // Deleting a list asks, deletes its characters and shows the list now selected.
    boxes.shown.clear();
    boxes.answers.enqueue(true);
    click(w, "DeleteListButton");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "Are you sure want to delete character list and all its content?");
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM selection_characters WHERE list_id = '3'", 1),
              QStringList({"0"}));
    EXPECT_EQ(lists->count(), 2);
    EXPECT_EQ(lists->currentIndex(), 0);
    EXPECT_EQ(characters->topLevelItemCount(), 26);
    EXPECT_EQ(ctx->db.optionText("charlist"), "1");

    // With no list left, adding a character is refused.
    for (int i = 0; i < 2; ++i) {
        boxes.answers.enqueue(true);
        click(w, "DeleteListButton");
    }
    ASSERT_EQ(lists->count(), 0);
    boxes.shown.clear();
    in<QLineEdit>(w, "CharacterField")->setText("X");
    click(w, "AddCharacterButton");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "Character list is not selected.");
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM selection_characters", 1), QStringList({"0"}));
}

TEST_F(OptionsWindowTest, CancelAfterAddingAReplacementRuleKeepsItForTheNextSave)
{
    OptionsWindow *w = openOptions();
    in<QLineEdit>(w, "StringField")->setText("O'");
    in<QLineEdit>(w, "ReplaceWithField")->setText("$0041");
    click(w, "SetRuleButton");
    auto *rules = in<QTreeWidget>(w, "RuleList");
    ASSERT_EQ(rules->topLevelItemCount(), 1);
    EXPECT_EQ(rules->topLevelItem(0)->text(0), "O'");
    EXPECT_EQ(rules->topLevelItem(0)->text(1), "$0041");
    EXPECT_TRUE(in<QLineEdit>(w, "StringField")->text().isEmpty());
    click(w, "CancelButton");
    finishClosing();

    EXPECT_EQ(rows(ctx->db, "SELECT stringtoreplace, replacewith FROM replacements", 2),
              QStringList({"O'|$0041"}));
    EXPECT_TRUE(ctx->settings.replacementRules.isEmpty());

    w = openOptions();
    click(w, "OkButton");
    ASSERT_EQ(ctx->settings.replacementRules.size(), 1);
    EXPECT_EQ(ctx->settings.replacementRules[0].stringtoreplace, "O'");
    EXPECT_EQ(ctx->settings.replacementRules[0].replacewith, "$0041");
}

TEST_F(OptionsWindowTest, ReplacementRulesAreUpdatedAfterAskingAndDeletedWithout)
{
    OptionsWindow *w = openOptions();
    auto *rules = in<QTreeWidget>(w, "RuleList");
    for (const auto &[s, r] : {std::pair{"St.", "Street"}, std::pair{"Rd.", "Road"}}) {
        in<QLineEdit>(w, "StringField")->setText(s);
        in<QLineEdit>(w, "ReplaceWithField")->setText(r);
        click(w, "SetRuleButton");
    }
    EXPECT_EQ(columnTexts(rules, 0), QStringList({"Rd.", "St."}));

    in<QLineEdit>(w, "StringField")->setText("St.");
    in<QLineEdit>(w, "ReplaceWithField")->setText("Str.");
    boxes.answers.enqueue(false);
    click(w, "SetRuleButton");
    EXPECT_EQ(boxes.texts(), QStringList({"String definition already exists, would you like to update it?"}));
    EXPECT_EQ(columnTexts(rules, 1), QStringList({"Road", "Street"}));
    EXPECT_EQ(in<QLineEdit>(w, "StringField")->text(), "St.");
    boxes.answers.enqueue(true);
    click(w, "SetRuleButton");
    EXPECT_EQ(columnTexts(rules, 1), QStringList({"Road", "Str."}));
    EXPECT_EQ(rows(ctx->db, "SELECT replacewith FROM replacements WHERE stringtoreplace = 'St.'", 1),
              QStringList({"Str."}));

    rules->setCurrentItem(rules->topLevelItem(0));
    emit rules->itemDoubleClicked(rules->topLevelItem(0), 0);
    EXPECT_EQ(in<QLineEdit>(w, "StringField")->text(), "Rd.");
    EXPECT_EQ(in<QLineEdit>(w, "ReplaceWithField")->text(), "Road");
    boxes.shown.clear();
    click(w, "DeleteRuleButton");
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(columnTexts(rules, 0), QStringList({"St."}));
    EXPECT_EQ(rows(ctx->db, "SELECT stringtoreplace FROM replacements", 1), QStringList({"St."}));
}

TEST_F(OptionsWindowTest, ColourMarkerTabCreatesRenamesAndDeletes)
{
    OptionsWindow *w = openOptions();
    auto *colours = in<QComboBox>(w, "ColorCombo");
    auto *desc = in<QLineEdit>(w, "MarkerDescriptionField");
    auto *markers = in<QTreeWidget>(w, "MarkerList");
    auto *mainCombo = main->findChild<QComboBox *>("MarkerCombo");
    ASSERT_EQ(colours->count(), 7);
    EXPECT_EQ(colours->itemText(6), "Turquoise");

    colours->setCurrentIndex(2);
    desc->setText(kTricky);
    click(w, "SetColorMarkerButton");
    colours->setCurrentIndex(5);
    desc->setText("Gray");
    click(w, "SetColorMarkerButton");
    EXPECT_EQ(columnTexts(markers, 0), QStringList({"Gray", kTricky}));
    EXPECT_TRUE(desc->text().isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(rows(ctx->db, "SELECT color_id, desc FROM color_markers ORDER BY id", 2),
              QStringList({"2|" + kTricky, "5|Gray"}));

    // A second marker for a colour renames the first, after asking.
    colours->setCurrentIndex(2);
    desc->setText("Red");
    boxes.answers.enqueue(true);
    click(w, "SetColorMarkerButton");
    EXPECT_EQ(boxes.texts(), QStringList({"Marker already exists, would you like to update it?"}));
    EXPECT_EQ(rows(ctx->db, "SELECT color_id, desc FROM color_markers ORDER BY id", 2),
              QStringList({"2|Red", "5|Gray"}));
    EXPECT_EQ(columnTexts(markers, 0), QStringList({"Gray", "Red"}));

    // Double click shows a marker for editing.
    markers->setCurrentItem(markers->topLevelItem(0));
    emit markers->itemDoubleClicked(markers->topLevelItem(0), 0);
    EXPECT_EQ(colours->currentIndex(), 5);
    EXPECT_EQ(desc->text(), "Gray");

    // Deleting a marker in use asks; declined changes nothing, confirmed
    // removes it from every object and from the main window's combo.
    const long long red =
        rows(ctx->db, "SELECT id FROM color_markers WHERE color_id = 2", 1).first().toLongLong();
    attachMarker(ctx->db, "11111111-2222-3333-4444-555555555555", red);
    main->refillMarkerCombo();
    ASSERT_EQ(mainCombo->count(), 3);
    markers->setCurrentItem(markers->topLevelItem(1));
    boxes.shown.clear();
    boxes.answers.enqueue(false);
    click(w, "DeleteMarkerButton");
    EXPECT_EQ(
        boxes.texts(),
        QStringList({"The marker you are trying to delete is in use. Would you like to delete it anyway?"}));
    EXPECT_EQ(markers->topLevelItemCount(), 2);
    boxes.answers.enqueue(true);
    click(w, "DeleteMarkerButton");
    EXPECT_EQ(columnTexts(markers, 0), QStringList({"Gray"}));
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM color_markers_bind", 1), QStringList({"0"}));
    EXPECT_EQ(mainCombo->count(), 2);

    // An unused marker goes without a question.
    boxes.shown.clear();
    markers->setCurrentItem(markers->topLevelItem(0));
    click(w, "DeleteMarkerButton");
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(markers->topLevelItemCount(), 0);
    EXPECT_EQ(mainCombo->count(), 1);
}

TEST_F(OptionsWindowTest, PasswordWithSpacesAtEitherEndIsRefusedAndTheTabSaysWhereItIsKept)
{
    OptionsWindow *w = openOptions();
    EXPECT_EQ(in<QLabel>(w, "PasswordPlaceLabel")->text(), "only scrambled in the settings file");
    in<QCheckBox>(w, "UseCurrentCredentials")->click();
    in<QLineEdit>(w, "DcServerField")->setText("dc.example");
    const QStringList before = options();
    for (const char *typed : {" lead", "trail "}) {
        boxes.shown.clear();
        in<QLineEdit>(w, "PasswordField")->setText(typed);
        click(w, "OkButton");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].title, "Options");
        EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Warning);
        EXPECT_TRUE(boxes.shown[0].text.startsWith("The password begins or ends with a space."));
        EXPECT_FALSE(boxes.shown[0].text.contains(QString::fromLatin1(typed).trimmed()));
        EXPECT_EQ(options(), before); // nothing at all was written
        EXPECT_TRUE(applyEnabled(w));
    }
    finishClosing();
    ASSERT_NE(main->findChild<OptionsWindow *>("OptionsWindow"), nullptr); // still open, nothing lost

    in<QLineEdit>(w, "PasswordField")->setText("in ner");
    click(w, "ApplyButton");
    EXPECT_EQ(unscramblePassword(ctx->db.optionText("adpassword")), "in ner");
}

TEST_F(OptionsWindowTest, DeletingTheCurrentListThenCancelLeavesCharlistOnAListThatExists)
{
    OptionsWindow *w = openOptions();
    auto *lists = in<QComboBox>(w, "CharListCombo");
    ASSERT_EQ(lists->currentText(), "English");
    boxes.answers.enqueue(true);
    click(w, "DeleteListButton");
    EXPECT_EQ(lists->currentText(), "Numbers");
    click(w, "CancelButton");
    finishClosing();
    EXPECT_EQ(ctx->db.optionText("charlist"), "3");
    auto *letters = main->findChild<QComboBox *>("LetterCombo");
    ASSERT_EQ(letters->count(), 10);
    EXPECT_EQ(letters->itemText(0), "0");
}

TEST_F(OptionsWindowTest, DeletingOneOfTwoEqualCharactersRemovesBothOnScreenAsInTheFile)
{
    OptionsWindow *w = openOptions();
    auto *lists = in<QComboBox>(w, "CharListCombo");
    auto *characters = in<QTreeWidget>(w, "Characters");
    lists->setCurrentIndex(lists->findText("Numbers"));
    emit lists->activated(lists->currentIndex());
    in<QLineEdit>(w, "CharacterField")->setText("7");
    click(w, "AddCharacterButton");
    ASSERT_EQ(columnTexts(characters, 0).count("7"), 2);
    characters->setCurrentItem(characters->topLevelItem(0));
    click(w, "DeleteCharacterButton");
    EXPECT_EQ(columnTexts(characters, 0).count("7"), 0);
    EXPECT_EQ(columnTexts(characters, 0).size(), 9);
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM selection_characters WHERE list_id = '3'", 1),
              QStringList({"9"}));
}

TEST_F(OptionsWindowTest, AFailedWriteIsShownAndTheListStaysAsStored)
{
    OptionsWindow *w = openOptions();
    for (const char *table : {"selection_characters", "replacements"})
        ctx->db.execute(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE INSERT ON %1 BEGIN "
                                       "SELECT RAISE(ABORT, 'disk I/O error'); END")
                            .arg(QLatin1String(table)));
    auto *characters = in<QTreeWidget>(w, "Characters");
    in<QLineEdit>(w, "CharacterField")->setText("Ä");
    click(w, "AddCharacterButton");
    in<QLineEdit>(w, "StringField")->setText("Str.");
    in<QLineEdit>(w, "ReplaceWithField")->setText("Street");
    click(w, "SetRuleButton");

    ASSERT_EQ(boxes.shown.size(), 2);
    for (const RecordedDialog &box : boxes.shown) {
        EXPECT_EQ(box.title, "Options");
        EXPECT_EQ(box.icon, DialogIcon::Warning);
        EXPECT_EQ(box.text, "The change could not be stored in the settings file: disk I/O error.");
    }
    EXPECT_EQ(characters->topLevelItemCount(), 26);
    EXPECT_EQ(in<QTreeWidget>(w, "RuleList")->topLevelItemCount(), 0);
    EXPECT_EQ(in<QLineEdit>(w, "CharacterField")->text(), "Ä"); // what was typed stays for a retry
}

TEST_F(OptionsWindowTest, TheDirectoryTabShowsAndSavesTheChangeThreshold)
{
    OptionsWindow *w = openOptions();
    auto *users = in<QSpinBox>(w, "MaxChangedUsersField");
    auto *percent = in<QSpinBox>(w, "MaxChangedPercentField");
    EXPECT_EQ(users->value(), 500);
    EXPECT_EQ(percent->value(), 10);
    users->setValue(40);
    percent->setValue(0);
    EXPECT_TRUE(applyEnabled(w));
    in<QPushButton>(w, "ApplyButton")->click();
    EXPECT_EQ(rows(ctx->db, "SELECT fld, val FROM options WHERE fld LIKE 'maxchanged%' ORDER BY fld", 2),
              QStringList({"maxchangedpercent|0", "maxchangedusers|40"}));
    EXPECT_FALSE(applyEnabled(w));
}
