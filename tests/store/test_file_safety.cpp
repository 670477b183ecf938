// The settings file's safety: a first start that fails leaves no file, an
// incomplete file says what it lacks, a second writer is waited for instead of
// failing at once, and the folder and file are private to their owner.

#include "StoreFixture.h"
#include "store/PasswordScrambler.h"
#include "store/PasswordStore.h"
#include "store/PrivateFiles.h"
#include "store/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <thread>

using namespace orvane;

namespace
{

constexpr QFile::Permissions kGroupOrOther = QFile::Permissions(0x0077);

bool isPrivate(const QString &path)
{
    return (QFileInfo(path).permissions() & kGroupOrOther) == 0;
}

} // namespace

TEST_F(StoreTest, AFirstStartThatFailsHalfwayLeavesNoFile)
{
    // A NUL inside a list name ends the statement text early: the seeding of
    // the character lists fails after every table before it was written.
    QList<CharacterList> lists = seedCharacterLists();
    lists[1].name = QStringLiteral("Rus") + QChar(0) + QStringLiteral("sian");
    EXPECT_NE(createIfMissing(path, lists), CreateOutcome::Created);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());

    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    EXPECT_EQ(missingParts(db), QStringList());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"data.db3"}));
}

TEST_F(StoreTest, AnIncompleteFileNamesWhatItLacks)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    db.execute("DROP TABLE replacements");
    db.execute("DELETE FROM options WHERE fld IN ('charlist', 'trimmedend')");
    EXPECT_EQ(missingParts(db), QStringList({"table replacements", "option charlist", "option trimmedend"}));
    // Saving an option the file lacks is a failure, not a silent no-op.
    EXPECT_FALSE(db.setOption("charlist", "2"));
    EXPECT_EQ(db.failedWrites(), 1);
    EXPECT_EQ(db.lastError(), "the settings file has no option charlist");
}

TEST_F(StoreTest, ASecondWriterIsWaitedForNotFailedAtOnce)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database program;
    Database tool;
    ASSERT_TRUE(program.open(path));
    ASSERT_TRUE(tool.open(path));
    ASSERT_TRUE(tool.execute("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(tool.setOption("dcserver", "from-tool"));
    std::thread commitLater([&tool] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        tool.execute("COMMIT");
    });
    const bool written = program.setOption("dcbasedn", "dc=example");
    commitLater.join();
    EXPECT_TRUE(written) << program.lastError().toStdString();
    EXPECT_EQ(program.optionText("dcserver"), "from-tool");
    EXPECT_EQ(program.optionText("dcbasedn"), "dc=example");
}

TEST_F(StoreTest, FolderAndFileAreMadePrivateAndTighteningIsRecordedOnce)
{
    const QString data = folder + "/share/orvane/";
    ASSERT_TRUE(makePrivateFolder(data));
    EXPECT_EQ(QFileInfo(data).permissions() & 0x7777, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadUser | QFile::WriteUser |
                                                          QFile::ExeUser);
    const QString file = data + "data.db3";
    ASSERT_EQ(createIfMissing(file, seedCharacterLists()), CreateOutcome::Created);
    EXPECT_TRUE(isPrivate(file));

    // As an earlier version left them: readable by everybody.
    const auto open = QFile::Permissions(0x6644);
    ASSERT_TRUE(QFile::setPermissions(data, open | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    ASSERT_TRUE(QFile::setPermissions(file, open));
    {
        QFile journal(file + "-journal");
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::setPermissions(file + "-journal", open));
    Database db;
    ASSERT_TRUE(db.open(file));
    const QStringList changed = secureSettingsFile(db, data, file);
    QFile::remove(file + "-journal");
    ASSERT_EQ(changed.size(), 3);
    EXPECT_TRUE(changed[0].endsWith(": 0755 -> 0700")) << changed[0].toStdString();
    EXPECT_TRUE(changed[1].endsWith("data.db3: 0644 -> 0600")) << changed[1].toStdString();
    EXPECT_TRUE(isPrivate(data) && isPrivate(file));
    EXPECT_TRUE(secureSettingsFile(db, data, file).isEmpty());
    EXPECT_EQ(rows(db, "SELECT eventtype, read_flag, eventtitle FROM events WHERE eventtype = '2'", 3),
              QStringList({"2|1|Settings file made private"}));
}

namespace
{

// A keyring that keeps entries in memory, or answers as if none were reachable.
class MemoryKeyring : public SecretStore
{
  public:
    explicit MemoryKeyring(bool reachable) : reachable_(reachable) {}
    Result read(const QString &key, QString &secret) override
    {
        if (!reachable_)
            return Result::Unreachable;
        if (!entries.contains(key))
            return Result::NotFound;
        secret = entries.value(key);
        return Result::Done;
    }
    Result write(const QString &key, const QString &secret) override
    {
        if (!reachable_)
            return Result::Unreachable;
        entries.insert(key, secret);
        return Result::Done;
    }
    Result remove(const QString &key) override
    {
        if (!reachable_)
            return Result::Unreachable;
        return entries.remove(key) ? Result::Done : Result::NotFound;
    }
    QMap<QString, QString> entries;

  private:
    bool reachable_;
};

} // namespace

TEST_F(StoreTest, PasswordGoesToTheKeyringWhenOneAnswersElseToTheColumn)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    const PasswordOwner owner{"dc1", "admin"};
    const QString password = "Pw-4711";
    const auto column = [&db] { return db.optionText("adpassword"); };

    MemoryKeyring none(false);
    EXPECT_EQ(passwordPlace(&none, owner), PasswordPlace::SettingsFile);
    EXPECT_EQ(storePassword(db, &none, owner, password, false, owner).place, PasswordPlace::SettingsFile);
    EXPECT_TRUE(unscramblePassword(column()) == password);

    // A file from before: read from the column, moved to the keyring by the next save.
    MemoryKeyring keyring(true);
    EXPECT_TRUE(loadPassword(db, &keyring, owner) == password);
    EXPECT_EQ(passwordPlace(&keyring, owner), PasswordPlace::Keyring);
    EXPECT_EQ(storePassword(db, &keyring, owner, password, false, owner).place, PasswordPlace::Keyring);
    EXPECT_EQ(column(), "");
    EXPECT_EQ(keyring.entries.keys(), QStringList({"admin@dc1"}));
    EXPECT_TRUE(loadPassword(db, &keyring, owner) == password);

    // A new user name moves the entry; current credentials store nothing anywhere.
    const PasswordOwner renamed{"dc1", "operator"};
    storePassword(db, &keyring, renamed, password, false, owner);
    EXPECT_EQ(keyring.entries.keys(), QStringList({"operator@dc1"}));
    EXPECT_EQ(storePassword(db, &keyring, renamed, password, true, renamed).place, PasswordPlace::Nowhere);
    EXPECT_TRUE(keyring.entries.isEmpty());
    EXPECT_EQ(column(), "");

    EXPECT_EQ(passwordRefusal("inner space ok"), "");
    EXPECT_NE(passwordRefusal(" leading"), "");
    EXPECT_NE(passwordRefusal("trailing "), "");
}
