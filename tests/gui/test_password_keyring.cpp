// The directory password in the desktop keyring. Runs on a private session
// bus with its own GNOME Keyring (scripts/keyring-session, wired in by CTest).
// Password values are compared without printing them.

#include "GuiFixture.h"
#include "app/MainWindow.h"
#include "app/OptionsWindow.h"
#include "store/PasswordScrambler.h"
#include "store/keyring/SystemKeyring.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

using namespace orvane;

namespace
{

const QString kPassword = QStringLiteral("Kr9-zq!x\u00fcmlaut");

} // namespace

class KeyringTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        ASSERT_FALSE(qgetenv("DBUS_SESSION_BUS_ADDRESS").isEmpty()) << "run through scripts/keyring-session";
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
        return main->findChild<OptionsWindow *>("OptionsWindow");
    }

    template <typename T> T *in(OptionsWindow *w, const char *name) { return w->findChild<T *>(name); }

    // Returns what the keyring holds for `key`, "" when nothing.
    static QString keyringEntry(const QString &key)
    {
        QString secret;
        return SystemKeyring().read(key, secret) == SecretStore::Result::Done ? secret : QString();
    }

    // Returns the bytes of the settings file and any SQLite file beside it.
    QByteArray settingsBytes() const
    {
        QByteArray bytes;
        for (const char *name : {"data.db3", "data.db3-journal", "data.db3-wal"}) {
            QFile file(ctx->dataFolder + QLatin1String(name));
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll();
        }
        return bytes;
    }

    std::unique_ptr<MainWindow> main;
};

TEST_F(KeyringTest, SaveStoresThePasswordInTheKeyringOnlyAndTheNextStartReadsIt)
{
    OptionsWindow *w = openOptions();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(in<QLabel>(w, "PasswordPlaceLabel")->text(), "in the system keyring");
    in<QCheckBox>(w, "UseCurrentCredentials")->click();
    in<QLineEdit>(w, "DcServerField")->setText("dc.keyring.test");
    in<QLineEdit>(w, "UserNameField")->setText("admin");
    in<QLineEdit>(w, "PasswordField")->setText(kPassword);
    in<QPushButton>(w, "OkButton")->click();
    EXPECT_TRUE(boxes.shown.isEmpty());

    EXPECT_TRUE(keyringEntry("admin@dc.keyring.test") == kPassword);
    EXPECT_EQ(ctx->db.optionText("adpassword"), "");
    ctx->db.close();
    const QByteArray bytes = settingsBytes();
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_FALSE(bytes.contains(kPassword.toUtf8()));
    EXPECT_FALSE(
        bytes.contains(QByteArray(reinterpret_cast<const char *>(kPassword.utf16()), kPassword.size() * 2)));
    EXPECT_FALSE(bytes.contains(scramblePassword(kPassword).toLatin1()));

    const auto next = prepared();
    EXPECT_EQ(next->settings.useCurrentCredentials, 0);
    EXPECT_TRUE(next->settings.password == kPassword);
}

TEST_F(KeyringTest, AScrambledPasswordFromBeforeIsReadAndMovedToTheKeyringBySave)
{
    ctx->db.setOption("dcserver", "dc.old.test");
    ctx->db.setOption("adusername", "olduser");
    ctx->db.setOption("usecurrentadcredentials", "0");
    ctx->db.setOption("adpassword", scramblePassword(kPassword));
    main.reset();
    ctx = prepared();
    EXPECT_TRUE(ctx->settings.password == kPassword);
    EXPECT_TRUE(keyringEntry("olduser@dc.old.test").isEmpty());

    main = std::make_unique<MainWindow>(*ctx);
    OptionsWindow *w = openOptions();
    ASSERT_NE(w, nullptr);
    in<QPushButton>(w, "ApplyButton")->setEnabled(true);
    in<QPushButton>(w, "ApplyButton")->click();
    EXPECT_TRUE(keyringEntry("olduser@dc.old.test") == kPassword);
    EXPECT_EQ(ctx->db.optionText("adpassword"), "");

    // With current credentials no password is kept anywhere.
    in<QCheckBox>(w, "UseCurrentCredentials")->click();
    in<QPushButton>(w, "OkButton")->click();
    EXPECT_TRUE(keyringEntry("olduser@dc.old.test").isEmpty());
    EXPECT_EQ(ctx->db.optionText("adpassword"), "");
}

TEST_F(KeyringTest, TheSettingsToolStoresThroughTheSameKeyring)
{
    const QString file = ctx->dataFolder + "data.db3";
    ctx->db.setOption("dcserver", "dc.tool.test");
    ctx->db.setOption("adusername", "scripted");
    ctx->db.setOption("usecurrentadcredentials", "0");
    QProcess tool;
    tool.start(QStringLiteral(ORVANE_BINARY_DIR "/src/tools/orvane-settings"), {file, "set-password"});
    tool.write(kPassword.toUtf8() + "\n");
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(20000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(tool.readAllStandardOutput().trimmed(), "stored in the system keyring");
    EXPECT_TRUE(keyringEntry("scripted@dc.tool.test") == kPassword);
    EXPECT_EQ(ctx->db.optionText("adpassword"), "");
}
