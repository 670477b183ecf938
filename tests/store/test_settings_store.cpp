#include "StoreFixture.h"
#include "store/AttributeCatalogue.h"
#include "store/Clock.h"
#include "store/PasswordScrambler.h"
#include "store/SettingsMigrations.h"
#include "store/SettingsStore.h"

#include <QFile>

using namespace orvane;

namespace
{

const QStringList kExpectedOptions = {
    "charlist|1",
    "dcserver|",
    "dcserverport|389",
    "dcbasedn|",
    "selectobjby|2",
    "displayobjby|3",
    "usecurrentadcredentials|1",
    "adusername|",
    "adpassword|",
    "mainwindowstate|16777216",
    "mainwindowheight|600",
    "mainwindowwidth|800",
    "mainwindowsplitterwidth|200",
    "multivalueddelimiter|;",
    "showcomparison|0",
    "replacements|2",
    "trimmedend|...",
    "firstuppercase|1",
    "mainwindowleft|-1",
    "mainwindowtop|-1",
    "mainwindowcolumns|",
    "maxchangedusers|500",
    "maxchangedpercent|10",
};

} // namespace

TEST_F(StoreTest, NewFileHoldsSchemaAndSeedRows)
{
    setClockForTesting([] { return 1700000000LL; }, [](int, int) { return 7; });
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    setClockForTesting({}, {});
    Database db;
    ASSERT_TRUE(db.open(path));

    EXPECT_EQ(rows(db,
                   "SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'sqlite_sequence' "
                   "ORDER BY rowid",
                   1),
              QStringList({"options", "attributes", "events", "selection_charlists", "selection_characters",
                           "excelfiles", "excelfiles_bind", "color_markers", "color_markers_bind",
                           "replacements", "journal_sets", "journal_changes"}));
    EXPECT_EQ(rows(db, "PRAGMA user_version", 1), QStringList({QString::number(kSettingsVersion)}));
    EXPECT_EQ(rows(db, "SELECT fld, val FROM options ORDER BY rowid", 2), kExpectedOptions);

    const QStringList attributes = rows(db,
                                        "SELECT id, fld, attribute, multivalued, rangeupper, elements, "
                                        "syntax FROM attributes ORDER BY rowid",
                                        7);
    ASSERT_EQ(attributes.size(), 39);
    EXPECT_EQ(attributes.first(), "1|Given-Name|givenName|0|64|1|0");
    EXPECT_EQ(attributes[3], "4|Description|description|1|1024|1|0");
    EXPECT_EQ(attributes.last(), "41|Phone-Ip-Other|otherIpPhone|1|64|100|0");
    EXPECT_TRUE(rows(db, "SELECT id FROM attributes WHERE id IN (12, 21)", 1).isEmpty());

    EXPECT_EQ(rows(db,
                   "SELECT selection_charlists.id, listname, count(character) FROM selection_charlists, "
                   "selection_characters WHERE list_id = selection_charlists.id GROUP BY list_id "
                   "ORDER BY selection_charlists.id",
                   3),
              QStringList({"1|English|26", "2|Russian|33", "3|Numbers|10"}));
    EXPECT_EQ(rows(db, "SELECT group_concat(character, '') FROM selection_characters WHERE list_id = 2", 1),
              QStringList({QStringLiteral("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ")}));

    EXPECT_EQ(rows(db, "SELECT id, datetime, read_flag, eventtype, eventtitle, eventtext FROM events", 6),
              QStringList({"1700000007|1700000000|1|1|Thank you for trying Orvane software!|"
                           "Thank you for trying Orvane software!"}));
    for (const char *table :
         {"excelfiles", "excelfiles_bind", "color_markers", "color_markers_bind", "replacements"})
        EXPECT_EQ(rows(db, QStringLiteral("SELECT count(*) FROM ") + table, 1), QStringList({"0"})) << table;
}

TEST_F(StoreTest, ExistingFileIsNeverTouched)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::AlreadyExisted);
    Database db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(rows(db, "SELECT count(*) FROM options", 1), QStringList({QString::number(kExpectedOptions.size())}));
    EXPECT_EQ(rows(db, "SELECT count(*) FROM events", 1), QStringList({"1"}));
    EXPECT_EQ(rows(db, "SELECT count(*) FROM selection_charlists", 1), QStringList({"3"}));
    db.close();

    // A file that exists but lacks tables gets nothing added, and reads as defaults.
    const QString partial = folder + "/partial.db3";
    {
        QFile file(partial);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(db.open(partial));
    db.execute("CREATE TABLE options(fld TEXT, val TEXT);");
    db.close();
    ASSERT_EQ(createIfMissing(partial, seedCharacterLists()), CreateOutcome::AlreadyExisted);
    ASSERT_TRUE(db.open(partial));
    EXPECT_EQ(rows(db, "SELECT name FROM sqlite_master WHERE type = 'table'", 1), QStringList({"options"}));
    const Settings settings = loadSettings(db);
    EXPECT_EQ(settings.serverAddress, ":");
    EXPECT_EQ(settings.replacementMode, 0);
    EXPECT_TRUE(settings.replacementRules.isEmpty());
}

TEST_F(StoreTest, UnwritableFolderCannotCreateFile)
{
    EXPECT_EQ(createIfMissing(folder + "/no-such-folder/data.db3", seedCharacterLists()),
              CreateOutcome::CannotCreateFile);
}

TEST_F(StoreTest, LoadSettingsReadsEveryOption)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    db.setOption("dcserver", "dc1.example.org");
    db.setOption("dcbasedn", "DC=example,DC=org");
    db.setOption("usecurrentadcredentials", "0");
    db.setOption("adusername", "EXAMPLE\\admin");
    savePassword(db, "  s3cret'$0041  ");
    db.execute("INSERT INTO replacements(stringtoreplace, replacewith) VALUES('Street', 'St.')");
    db.execute("INSERT INTO replacements(stringtoreplace, replacewith) VALUES('Avenue', 'Ave.')");

    const Settings s = loadSettings(db);
    EXPECT_EQ(s.serverAddress, "dc1.example.org:389");
    EXPECT_EQ(s.baseDn, "DC=example,DC=org");
    EXPECT_EQ(s.useCurrentCredentials, 0);
    EXPECT_EQ(s.userName, "EXAMPLE\\admin");
    EXPECT_EQ(s.password, "s3cret'$0041");
    EXPECT_EQ(s.replacementMode, 2);
    EXPECT_EQ(s.firstUpperCase, 1);
    EXPECT_EQ(s.multivaluedDelimiter, ";");
    EXPECT_EQ(s.trimmedEnd, "...");
    EXPECT_EQ(s.showComparison, 0);
    EXPECT_EQ(s.wordStartGuard, QStringLiteral(R"((?<=[\s\.\,';\!\?\-\"]|^))"));
    EXPECT_EQ(s.wordEndGuard, QStringLiteral(R"((?=[\s\.\,';\!\?\-\"]|$))"));
    ASSERT_EQ(s.replacementRules.size(), 2);
    EXPECT_EQ(s.replacementRules[1].id, 2);
    EXPECT_EQ(s.replacementRules[1].stringtoreplace, "Avenue");
    EXPECT_EQ(s.replacementRules[1].replacewith, "Ave.");

    const WindowOptions w = loadWindowOptions(db);
    EXPECT_EQ(w.state, 16777216);
    EXPECT_EQ(w.width, 800);
    EXPECT_EQ(w.height, 600);
    EXPECT_EQ(w.splitterWidth, 200);
}

TEST_F(StoreTest, TypedTextIsStoredExactly)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    const QStringList values = {
        "O'Brien", "'); DROP TABLE options; --", "$0041 and $", "Пётр Ёлкин", "tab\there", "emoji 😀", "''"};
    for (const QString &value : values) {
        db.setOption("trimmedend", value);
        EXPECT_EQ(db.optionText("trimmedend"), value);
    }
    EXPECT_EQ(rows(db, "SELECT count(*) FROM options", 1), QStringList({QString::number(kExpectedOptions.size())}));
}

TEST(PasswordScrambling, LengthsAndRoundTrips)
{
    struct Case {
        QString typed;
        int storedBytes;
        QString readBack;
    };
    const QList<Case> cases = {
        {"", 17, ""},
        {"a", 17, "a"},
        {"fifteen-bytes!!", 17, "fifteen-bytes!!"},
        {"sixteen-bytes!!!", 16, "sixteen-bytes!!!"},
        {"seventeen-bytes!!", 17, "seventeen-bytes!!"},
        {"a much longer password of 35 bytes!", 35, "a much longer password of 35 bytes!"},
        {"  padded  ", 17, "padded"},
        {"пароль", 23, "пароль"},               // 12 UTF-8 bytes: padded to 17 characters, 23 bytes
        {"пароль-пароль", 25, "пароль-пароль"}, // 25 UTF-8 bytes
    };
    for (const Case &c : cases) {
        const QString stored = scramblePassword(c.typed);
        EXPECT_EQ(QByteArray::fromBase64(stored.toLatin1()).size(), c.storedBytes) << c.typed.toStdString();
        EXPECT_EQ(unscramblePassword(stored), c.readBack) << c.typed.toStdString();
    }
    EXPECT_EQ(unscramblePassword(""), "");
    EXPECT_EQ(unscramblePassword("c2hvcnQ="), ""); // fewer than 16 bytes
    // Ciphertext stealing: a change in the last partial block changes the output's full block too.
    EXPECT_NE(scramblePassword("seventeen-bytes!!").left(20), scramblePassword("seventeen-bytes!?").left(20));
}
