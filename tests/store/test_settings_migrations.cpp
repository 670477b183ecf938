// The settings file's version: an older file is brought up to date at open,
// a newer one is opened read-only, a failed upgrade leaves the file as it was.
// The fixture settings-v0.db3 was written by orvane-settings before versions
// were kept (see fixtures/README).

#include "StoreFixture.h"
#include "store/OptionTable.h"
#include "store/SettingsMigrations.h"
#include "store/SettingsStore.h"

#include <QFile>
#include <QSet>

using namespace orvane;

namespace
{

const QString kFixture = QStringLiteral(ORVANE_SOURCE_DIR "/tests/store/fixtures/settings-v0.db3");

int countUpgradeEvents(Database &db)
{
    db.query("SELECT count(*) FROM events WHERE eventtitle = 'Settings file upgraded'");
    db.next_row();
    return int(db.get_long(0));
}

} // namespace

TEST(OptionTable, EveryOptionHasItsOwnRowAndKey)
{
    QSet<QString> keys;
    for (qsizetype i = 0; i < optionTable().size(); ++i) {
        const OptionDefinition &row = optionTable()[i];
        EXPECT_EQ(qsizetype(row.option), i) << row.key;
        EXPECT_EQ(&optionDefinition(row.option), &row);
        EXPECT_EQ(findOption(QString::fromLatin1(row.key)), &row);
        EXPECT_EQ(QString::fromLatin1(row.key), QString::fromLatin1(row.key).toLower());
        EXPECT_LE(row.since, kSettingsVersion) << row.key;
        keys.insert(QString::fromLatin1(row.key));
    }
    EXPECT_EQ(keys.size(), optionTable().size());
    EXPECT_EQ(findOption("DCSERVER"), nullptr);
    EXPECT_EQ(optionValueRefusal(optionDefinition(Option::MainWindowWidth), "wide"),
              "mainwindowwidth takes a whole number, not \"wide\"");
    EXPECT_EQ(optionValueRefusal(optionDefinition(Option::MainWindowWidth), "1024"), "");
    EXPECT_EQ(optionValueRefusal(optionDefinition(Option::DcServerPort), "ldaps"), "");
}

TEST_F(StoreTest, AFileOfTheFirstVersionIsBroughtUpToDateSilently)
{
    ASSERT_TRUE(QFile::copy(kFixture, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    Database db;
    const SettingsOpening opening = openSettingsFile(db, path);
    EXPECT_EQ(opening.state, SettingsFileState::Upgraded);
    EXPECT_EQ(opening.fileVersion, 0);
    EXPECT_EQ(settingsOpeningMessage(opening, path), "");
    EXPECT_EQ(settingsFileVersion(db), kSettingsVersion);
    EXPECT_TRUE(missingParts(db).isEmpty()) << missingParts(db).join(", ").toStdString();
    for (const OptionDefinition &option : optionTable()) {
        if (option.since > 0) {
            EXPECT_EQ(optionText(db, option.option), option.defaultValue) << option.key;
        }
    }
    // What the administrator set stays as it was.
    EXPECT_EQ(optionText(db, Option::DcServer), "dc1.example.org");
    EXPECT_EQ(optionText(db, Option::DcBaseDn), "DC=example,DC=org");
    EXPECT_EQ(rows(db, "SELECT filename, primary_flag FROM excelfiles", 2), QStringList({"/srv/hr/staff.xlsx|1"}));
    EXPECT_EQ(countUpgradeEvents(db), 1);
    db.close();

    Database again;
    EXPECT_EQ(openSettingsFile(again, path).state, SettingsFileState::Current);
    EXPECT_EQ(countUpgradeEvents(again), 1);
}

TEST_F(StoreTest, ANewFileIsOfThisVersionWithEveryOption)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    EXPECT_EQ(openSettingsFile(db, path).state, SettingsFileState::Current);
    EXPECT_TRUE(missingParts(db).isEmpty()) << missingParts(db).join(", ").toStdString();
    EXPECT_EQ(rows(db, "SELECT count(*) FROM options", 1), QStringList({QString::number(optionTable().size())}));
    EXPECT_EQ(countUpgradeEvents(db), 0);
}

TEST_F(StoreTest, ANewerFileIsOpenedReadOnly)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    {
        Database db;
        ASSERT_TRUE(db.open(path));
        ASSERT_TRUE(db.execute(QStringLiteral("PRAGMA user_version = %1").arg(kSettingsVersion + 1)));
    }
    Database db;
    const SettingsOpening opening = openSettingsFile(db, path);
    EXPECT_EQ(opening.state, SettingsFileState::Newer);
    EXPECT_TRUE(db.isReadOnly());
    EXPECT_TRUE(settingsOpeningMessage(opening, path).contains("was written by a newer version of Orvane"));
    EXPECT_EQ(optionText(db, Option::DcServerPort), "389");
    EXPECT_FALSE(setOption(db, Option::DcServerPort, QStringLiteral("636")));
    EXPECT_EQ(settingsFileVersion(db), kSettingsVersion + 1);
}

TEST_F(StoreTest, AFailedUpgradeLeavesTheFileAsItWas)
{
    ASSERT_TRUE(QFile::copy(kFixture, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    {
        // A table under the name the journal's index needs makes the migration fail.
        Database db;
        ASSERT_TRUE(db.open(path));
        ASSERT_TRUE(db.execute("CREATE TABLE journal_changes_set(x INT)"));
    }
    Database db;
    const SettingsOpening opening = openSettingsFile(db, path);
    EXPECT_EQ(opening.state, SettingsFileState::UpgradeFailed);
    EXPECT_TRUE(settingsOpeningMessage(opening, path).contains("could not be brought up to date"));
    EXPECT_EQ(settingsFileVersion(db), 0);
    EXPECT_TRUE(rows(db, "SELECT name FROM sqlite_master WHERE name = 'journal_sets'", 1).isEmpty());
    EXPECT_EQ(countUpgradeEvents(db), 0);
    EXPECT_TRUE(missingParts(db).contains("table journal_sets"));
}
