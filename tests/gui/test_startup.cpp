#include "ScriptedDialogs.h"
#include "app/Startup.h"
#include "store/OptionTable.h"
#include "store/DataFolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

// Points XDG_DATA_HOME at a fresh scratch folder for one test.
QString freshDataHome(const char *name)
{
    const QString home = QStringLiteral(ORVANE_TEST_TMP "/") + QLatin1String(name);
    QDir(home).removeRecursively();
    QDir().mkpath(home);
    qputenv("XDG_DATA_HOME", home.toUtf8());
    return home;
}

int countRows(Database &db, const QString &table)
{
    db.query(QStringLiteral("SELECT count(*) FROM ") + table);
    db.next_row();
    return int(db.get_long(0));
}

} // namespace

TEST(Startup, FirstStartCreatesFolderAndSettingsFile)
{
    const QString home = freshDataHome("first") + QStringLiteral("/not-yet");
    qputenv("XDG_DATA_HOME", home.toUtf8());
    ScriptedDialogs boxes;
    {
        AppContext ctx;
        prepareContext(ctx);
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join('\n').toStdString();
        EXPECT_EQ(ctx.quitFlag, 0);
        EXPECT_EQ(ctx.dataFolder, home + QStringLiteral("/orvane/"));
        EXPECT_TRUE(QFileInfo(ctx.dataFolder + "data.db3").isFile());
        EXPECT_EQ(ctx.version, "v1.01 beta");
        ASSERT_NE(ctx.guidFormatter, nullptr);
        const QByteArray objectGuid = QByteArray::fromHex("00112233445566778899aabbccddeeff");
        OLECHAR text[39];
        EXPECT_EQ(
            ctx.guidFormatter(guidFromBytes(reinterpret_cast<const std::uint8_t *>(objectGuid.constData())),
                              text, 39),
            39);
        EXPECT_EQ(QString::fromUtf16(text), "{33221100-5544-7766-8899-AABBCCDDEEFF}");
        EXPECT_EQ(ctx.settings.replacementMode, 2);
        EXPECT_EQ(ctx.settings.trimmedEnd, "...");
        EXPECT_EQ(ctx.window.state, 16777216);
        EXPECT_EQ(ctx.images.count(), 24);
        EXPECT_FALSE(ctx.images.icon(9).isNull());
        EXPECT_FALSE(ctx.images.icon(23).isNull());
        EXPECT_EQ(ctx.images.syncPicture.size(), QSize(24, 24));
        EXPECT_EQ(ctx.images.programIcon.size(), QSize(32, 32));
        EXPECT_EQ(ctx.images.silhouette.size(), QSize(96, 96));
    }
    // A second start adds nothing and shows nothing.
    AppContext again;
    prepareContext(again);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(countRows(again.db, "events"), 1);
    EXPECT_EQ(countRows(again.db, "options"), int(orvane::optionTable().size()));
    EXPECT_EQ(countRows(again.db, "selection_characters"), 69);
}

TEST(Startup, DataFolderThatCannotBeCreatedEndsTheProgram)
{
    const QString home = freshDataHome("blocked");
    QFile blocker(home + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/file")).toUtf8());

    ScriptedDialogs boxes;
    AppContext ctx;
    QElapsedTimer timer;
    timer.start();
    // With the quit flag set the loop must end by itself after its first pass;
    // the guard only keeps a broken build from hanging the test run.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(10000);
    EXPECT_EQ(runProgram(ctx), 0);
    EXPECT_LT(timer.elapsed(), 9000);
    EXPECT_EQ(ctx.quitFlag, 1);

    const QString folder = home + QStringLiteral("/file/orvane/");
    ASSERT_GE(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Application error");
    EXPECT_EQ(boxes.shown[0].text, "Cannot create folder: " + folder + ". Application will be terminated.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Warning);
    // The settings steps follow with their own messages.
    EXPECT_TRUE(boxes.texts().contains("Could not create data file."));
    EXPECT_EQ(boxes.texts().last(), "Could not open local database.");
}

namespace
{

constexpr QFile::Permissions kGroupOrOther = QFile::Permissions(0x0077);

int countTighteningEvents(Database &db)
{
    db.query(QStringLiteral("SELECT count(*) FROM events WHERE eventtitle = 'Settings file made private'"));
    db.next_row();
    return int(db.get_long(0));
}

} // namespace

TEST(Startup, DataFolderAndFileArePrivateAndAnOpenOneIsTightenedWithOneEvent)
{
    const QString home = freshDataHome("private");
    ScriptedDialogs boxes;
    QString folder;
    {
        AppContext ctx;
        prepareContext(ctx);
        folder = ctx.dataFolder;
        EXPECT_EQ(QFileInfo(folder).permissions() & kGroupOrOther, 0);
        EXPECT_EQ(QFileInfo(folder + "data.db3").permissions() & kGroupOrOther, 0);
        EXPECT_EQ(countTighteningEvents(ctx.db), 0);
    }
    // As an earlier version left them: 0755 and 0644.
    const auto everybodyReads = QFile::Permissions(0x6644);
    ASSERT_TRUE(QFile::setPermissions(folder, everybodyReads | QFile::ExeOwner | QFile::ExeGroup |
                                                  QFile::ExeOther | QFile::ExeUser));
    ASSERT_TRUE(QFile::setPermissions(folder + "data.db3", everybodyReads));
    for (int start = 0; start < 2; ++start) {
        AppContext ctx;
        prepareContext(ctx);
        EXPECT_EQ(QFileInfo(folder).permissions() & kGroupOrOther, 0);
        EXPECT_EQ(QFileInfo(folder + "data.db3").permissions() & kGroupOrOther, 0);
        EXPECT_EQ(countTighteningEvents(ctx.db), 1);
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(Startup, AnIncompleteFileIsReportedOnceAndTheProgramGoesOn)
{
    const QString home = freshDataHome("incomplete");
    QDir().mkdir(home + "/orvane", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = home + "/orvane/data.db3";
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    {
        Database db;
        ASSERT_TRUE(db.open(path));
        db.execute("DROP TABLE color_markers");
        db.execute("DELETE FROM options WHERE fld = 'charlist'");
    }
    ScriptedDialogs boxes;
    AppContext ctx;
    prepareContext(ctx);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Settings file");
    EXPECT_TRUE(boxes.shown[0].text.contains("Missing: table color_markers, option charlist."))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(ctx.quitFlag, 0);
    EXPECT_EQ(ctx.settings.trimmedEnd, "...");
}

TEST(Startup, AFileOfAnOlderVersionIsUpgradedWithOneEventAndNoBox)
{
    const QString home = freshDataHome("older");
    QDir().mkdir(home + "/orvane", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = home + "/orvane/data.db3";
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/tests/store/fixtures/settings-v0.db3"), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    ScriptedDialogs boxes;
    AppContext ctx;
    prepareContext(ctx);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join("\n").toStdString();
    EXPECT_EQ(ctx.settings.serverAddress, "dc1.example.org:389");
    ctx.db.query("SELECT eventtext FROM events WHERE eventtitle = 'Settings file upgraded'");
    ASSERT_EQ(ctx.db.next_row(), 1);
    EXPECT_TRUE(ctx.db.get_text(0).startsWith("The settings file was brought from settings version 0 to"));
    EXPECT_EQ(ctx.db.next_row(), 0);
}

TEST(Startup, AFileOfANewerVersionIsOpenedReadOnlyAndSaysSo)
{
    const QString home = freshDataHome("newer");
    QDir().mkdir(home + "/orvane", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = home + "/orvane/data.db3";
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    {
        Database db;
        ASSERT_TRUE(db.open(path));
        ASSERT_TRUE(db.execute("PRAGMA user_version = 999"));
    }
    ScriptedDialogs boxes;
    AppContext ctx;
    prepareContext(ctx);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Settings file");
    EXPECT_TRUE(boxes.shown[0].text.contains("was written by a newer version of Orvane (settings version 999"))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains("read-only"));
    EXPECT_TRUE(ctx.db.isReadOnly());
    EXPECT_EQ(ctx.settings.trimmedEnd, "...");
    EXPECT_EQ(ctx.quitFlag, 0);
}
