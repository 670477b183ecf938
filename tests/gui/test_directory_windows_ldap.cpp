// The main window's directory commands against the private slapd: Find, the
// attribute edit windows, enable/disable and the image window, checked with
// ldapsearch. The operations themselves are tested in tests/directory; these
// tests check what the windows add (rows, icons, status texts, messages,
// what the dialogs send).
#include "GuiFixture.h"
#include "TestDirectory.h"
#include "TestJpeg.h"
#include "WorkbookSetup.h"
#include "app/AttributeEditDialogs.h"
#include "app/ImageDialog.h"
#include "app/MainWindow.h"
#include "app/ObjectListLoader.h"
#include "app/ObjectView.h"
#include "app/ReviewWindow.h"
#include "directory/AccountState.h"
#include "directory/FailureReason.h"
#include "directory/Photo.h"
#include "directory/TlsDiagnosis.h"
#include "directory/ldap/LdapPool.h"
#include "store/ColourMarkers.h"
#include "store/ColourTable.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <functional>
#include <ldap.h>

using namespace orvane;
using orvane::test::ldapsearch;
using orvane::test::ldapsearchEntry;
using orvane::test::ldifValues;

namespace
{

constexpr long long kTitleId = 9;
constexpr long long kPhoneOtherId = 14;
constexpr int kAccountDisabledBit = 0x2;

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList texts(const std::vector<QByteArray> &values)
{
    QStringList result;
    for (const QByteArray &v : values)
        result << QString::fromUtf8(v);
    return result;
}

// Answers with fixed states and records that it was released.
class FixedStatusCheck : public ObjectStatusCheck
{
  public:
    FixedStatusCheck(QString upToDate, QString differs, bool *released)
        : upToDate_(std::move(upToDate)), differs_(std::move(differs)), released_(released)
    {
    }
    ~FixedStatusCheck() override { *released_ = true; }
    int status(const ObjectEntry &entry) override
    {
        if (entry.sAMAccountName == upToDate_)
            return 0;
        return entry.sAMAccountName == differs_ ? 1 : 3;
    }

  private:
    QString upToDate_, differs_;
    bool *released_;
};

} // namespace

class DirectoryWindowTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        const auto found = orvane::test::testDirectory(QStringLiteral("slapd"));
        if (!found)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start)");
        dir = *found;
        ctx->settings.serverAddress = dir.serverAddress();
        ctx->settings.baseDn = dir.base;
        ctx->settings.useCurrentCredentials = 0;
        ctx->settings.userName = dir.admin;
        ctx->settings.password = dir.password;
        ctx->settings.multivaluedDelimiter = QStringLiteral(";");
        window = std::make_unique<MainWindow>(*ctx);
        ASSERT_TRUE(window->open());
        objectList = child<QTreeWidget>("ObjectList");
        attributeList = child<QTreeWidget>("AttributeList");
        statusText = child<QLabel>("StatusText");
    }

    void TearDown() override
    {
        window.reset();
        GuiTest::TearDown();
    }

    template <typename T> T *child(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void find(const QString &letter)
    {
        auto *letters = child<QComboBox>("LetterCombo");
        letters->setCurrentIndex(letters->findText(letter));
        ASSERT_EQ(letters->currentText(), letter);
        window->findChild<QAction *>(QStringLiteral("Find"))->trigger();
    }

    // Index in the object table of the user `sam` (-1 when not listed).
    int indexOf(const QString &sam) const
    {
        for (int i = 0; i < ctx->objects.size(); ++i) {
            if (ctx->objects[i].sAMAccountName == sam)
                return i;
        }
        return -1;
    }

    QTreeWidgetItem *rowOf(const QString &sam) const
    {
        for (QTreeWidgetItem *row : objectList->findItems(QString(), Qt::MatchContains, 3)) {
            if (ctx->objects.value(row->data(0, Qt::UserRole).toInt()).sAMAccountName == sam)
                return row;
        }
        return nullptr;
    }

    // Finds with `letter`, makes `sam` the current row and returns its index.
    int findAndPick(const QString &letter, const QString &sam)
    {
        find(letter);
        const int index = indexOf(sam);
        EXPECT_GE(index, 0) << sam.toStdString();
        if (index >= 0)
            objectList->setCurrentItem(rowOf(sam));
        return index;
    }

    // Opens the user and lists one attribute row for it, as SelectObject would.
    void openWithAttribute(int index, long long id, const QString &label, const QString &attribute)
    {
        window->selectObject(index);
        attributeList->clear();
        auto *row = new QTreeWidgetItem(attributeList,
                                        QStringList({label, ctx->objects[index].values.value(attribute)}));
        row->setData(0, Qt::UserRole, QVariant::fromValue(id));
        attributeList->setCurrentItem(row);
    }

    template <typename Dialog> Dialog *openEditor()
    {
        window->attributeListDoubleClicked();
        auto *dialog = window->findChild<Dialog *>();
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    QString dnOf(const QString &cn) const
    {
        return QStringLiteral("CN=") + cn + QLatin1Char(',') + dir.fixturesBase();
    }

    QStringList directoryValues(const QString &cn, const QString &attribute) const
    {
        return texts(ldifValues(ldapsearchEntry(dir, dnOf(cn), {attribute}), attribute));
    }

    void action(const char *menu, const QString &text)
    {
        GuiTest::action(child<QMenu>(menu), text)->trigger();
    }

    orvane::test::TestDirectory dir;
    std::unique_ptr<MainWindow> window;
    QTreeWidget *objectList = nullptr;
    QTreeWidget *attributeList = nullptr;
    QLabel *statusText = nullptr;
};

TEST_F(DirectoryWindowTest, FindListsTheUsersLdapsearchFindsWithTheirIcons)
{
    const QString childSuffix = (QStringLiteral(",DC=child,") + dir.base).toLower();
    const QString disabledGuid = orvane::test::guidTextOf(dir, dnOf("Fixture Disabled"));
    const long long red = insertMarker(ctx->db, 2, "Red");
    attachMarker(ctx->db, disabledGuid, red);
    bool released = false;
    window->setObjectStatusCheck([&](AppContext &) {
        return std::make_unique<FixedStatusCheck>("fixture.disabled", "fixture.sparse", &released);
    });

    for (const QString &letter : {QStringLiteral("A"), QStringLiteral("D"), QStringLiteral("S")}) {
        SCOPED_TRACE(letter.toStdString());
        QStringList expected;
        const auto entries =
            ldapsearch(dir, dir.base, "(&(objectCategory=person)(objectClass=user)(sn=" + letter + "*))",
                       {"sAMAccountName"});
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            const QStringList sam = texts(ldifValues(it.value(), "sAMAccountName"));
            if (!it.key().endsWith(childSuffix) && !sam.value(0).isEmpty())
                expected << sam.value(0);
        }
        ASSERT_FALSE(expected.isEmpty());

        released = false;
        find(letter);
        EXPECT_TRUE(released);
        QStringList listed;
        for (const ObjectEntry &entry : ctx->objects)
            listed << entry.sAMAccountName;
        expected.sort();
        listed.sort();
        EXPECT_EQ(listed, expected);
        EXPECT_EQ(statusText->text(), QString::number(expected.size()) + " objects");
        EXPECT_EQ(statusText->toolTip(), "");

        ASSERT_EQ(objectList->topLevelItemCount(), ctx->objects.size());
        for (int i = 0; i < objectList->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *row = objectList->topLevelItem(i);
            const ObjectEntry &entry = ctx->objects[i];
            EXPECT_EQ(row->data(0, Qt::UserRole).toLongLong(), i);
            EXPECT_EQ(row->text(3), entry.displayValue);
            EXPECT_EQ(isImage(row->icon(2), ImageDisabled), entry.accountDisabled == 1)
                << entry.cn.toStdString();
            EXPECT_EQ(row->icon(2).isNull(), entry.accountDisabled == 0);
            const bool marked = entry.guid == disabledGuid;
            EXPECT_TRUE(isImage(row->icon(1), marked ? colourImageIndex(2) : ImageNoMarker));
            if (entry.sAMAccountName == "fixture.disabled")
                EXPECT_TRUE(isImage(row->icon(0), ImageUpToDate));
            else if (entry.sAMAccountName == "fixture.sparse")
                EXPECT_TRUE(isImage(row->icon(0), ImageDiffers));
            else
                EXPECT_TRUE(row->icon(0).isNull());
        }
    }
    // Fixture Sparse has no displayName: its row text is empty.
    const QTreeWidgetItem *sparse = rowOf("fixture.sparse");
    ASSERT_TRUE(sparse);
    EXPECT_EQ(sparse->text(3), "");
}

TEST_F(DirectoryWindowTest, StatusFieldShowsTheSearchThenTheCount)
{
    QStringList shown;
    const int n = loadObjectList(*ctx, objectList, "",
                                 [&](const QString &text, const QString &) { shown << text; }, {});
    ASSERT_GT(n, 200);
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.first(), "Selecting AD objects...");
    for (int i = 1; i + 1 < shown.size(); ++i)
        EXPECT_TRUE(shown[i].startsWith("Selecting AD objects... ")) << shown[i].toStdString();
    EXPECT_EQ(shown.last(), QString::number(n) + " objects");
    // The progress counts directory entries (some are not listed); one user is one object.
    EXPECT_EQ(selectingProgressText(1200, 2058), "Selecting AD objects... 1200 of 2058 entries read");
    EXPECT_EQ(objectCountText(1), "1 object");
    EXPECT_EQ(objectCountText(0), "0 objects");
}

TEST_F(DirectoryWindowTest, RowsAreListedWhileTheSearchWalksAndTheIconsFollow)
{
    // Progress at every entry read: each progress text is shown with the rows listed by then.
    QList<std::pair<long, int>> seen; // entries read, rows listed
    bool released = false;
    const int n = loadObjectList(
        *ctx, objectList, "",
        [&](const QString &text, const QString &) {
            const QString prefix = QStringLiteral("Selecting AD objects... ");
            if (text.startsWith(prefix))
                seen.append(
                    {text.mid(prefix.size()).section(u' ', 0, 0).toLong(), objectList->topLevelItemCount()});
        },
        [&](AppContext &) {
            return std::make_unique<FixedStatusCheck>("fixture.disabled", "fixture.sparse", &released);
        },
        0);
    ASSERT_GT(n, 200);
    ASSERT_GT(seen.size(), 200);
    bool partlyListed = false;
    for (qsizetype i = 0; i < seen.size(); ++i) {
        EXPECT_LE(seen[i].second, seen[i].first);
        if (i > 0) {
            EXPECT_GE(seen[i].second, seen[i - 1].second);
        }
        partlyListed = partlyListed || (seen[i].second > 0 && seen[i].second < n);
    }
    EXPECT_TRUE(partlyListed);
    EXPECT_EQ(seen.last().second, n);

    // Every row has its icon once the Find returns, and the check was released.
    EXPECT_TRUE(released);
    ASSERT_EQ(objectList->topLevelItemCount(), n);
    for (int i = 0; i < n; ++i) {
        const QString sam = ctx->objects[i].sAMAccountName;
        const QIcon icon = objectList->topLevelItem(i)->icon(0);
        if (sam == "fixture.disabled")
            EXPECT_TRUE(isImage(icon, ImageUpToDate));
        else if (sam == "fixture.sparse")
            EXPECT_TRUE(isImage(icon, ImageDiffers));
        else
            EXPECT_TRUE(icon.isNull()) << sam.toStdString();
    }

    // A primary workbook that cannot be opened is reported once, after the rows, which get no icon.
    orvane::test::registerWorkbookWith(
        ctx->db, home + QStringLiteral("/gone.xlsx"), QStringLiteral("HR"),
        {{1, orvane::test::attr::employeeID, true}, {2, orvane::test::attr::title}}, true);
    boxes.shown.clear();
    EXPECT_EQ(loadObjectList(
                  *ctx, objectList, "", [](const QString &, const QString &) {}, makePrimaryStatusCheck),
              n);
    EXPECT_EQ(boxes.texts(),
              QStringList{"Excel file " + home + QStringLiteral("/gone.xlsx") + " not found."});
    for (int i = 0; i < n; ++i)
        EXPECT_TRUE(objectList->topLevelItem(i)->icon(0).isNull());
}

TEST_F(DirectoryWindowTest, WithSeveralServersListedTheCountNamesTheOneThatAnswered)
{
    // Nothing listens on port 1: the first server listed does not answer.
    const QString answering = ctx->settings.serverAddress;
    ctx->settings.serverAddress = QStringLiteral("127.0.0.1:1, ") + answering;
    QStringList shown;
    const int n = loadObjectList(*ctx, objectList, "",
                                 [&](const QString &text, const QString &) { shown << text; }, {});
    ASSERT_GT(n, 200);
    EXPECT_EQ(shown.last(), QString::number(n) + " objects from " + answering);
}

// libldap reads its trust once per process, so the test swaps the global CA
// file (and the environment naming it), makes a new TLS context and drops the
// pooled connections that were set up with the old one.
void trustCaFile(const QString &path)
{
    qputenv("LDAPTLS_CACERT", path.toLocal8Bit());
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, path.toLocal8Bit().constData());
    const int client = 0;
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_NEWCTX, &client);
    LdapPool::instance().clear();
}

TEST_F(DirectoryWindowTest, AFailedSearchShowsZeroObjectsAndSaysWhy)
{
    find("A");
    ASSERT_GT(objectList->topLevelItemCount(), 1);
    EXPECT_EQ(statusText->text(), QString::number(objectList->topLevelItemCount()) + " objects");
    const QString ownCa = qEnvironmentVariable("LDAPTLS_CACERT");
    const QString otherCa = home + "/other-ca.pem";
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", home + "/other-ca.key",
                              "-out", otherCa, "-days", "2", "-subj", "/CN=Another CA"});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0);

    // Each cause in one line after the count; the engine's code stays in the tooltip; no box.
    const struct {
        const char *what;
        std::function<void(Settings &)> spoil;
        QString status;
        const char *tooltipHas;
    } causes[] = {
        {"wrong password", [](Settings &s) { s.password = "not the password"; },
         "0 objects — the server refused the bind: invalid credentials", "<-2147023570>"},
        {"wrong port", [](Settings &s) { s.serverAddress = "127.0.0.1:1"; }, "0 objects — cannot reach 127.0.0.1:1",
         "<-2147016646>"},
        {"a host the certificate does not name",
         [&](Settings &s) { s.serverAddress = "localhost:" + QString::number(dir.port); },
         "0 objects — TLS failed: the certificate does not name localhost (checked as this computer's name, " +
             certificateNameFor("localhost") + "; CA file " + ownCa + ")",
         "<-2147016659>"},
        {"a certificate from another CA", [&](Settings &) { trustCaFile(otherCa); },
         "0 objects — TLS failed: the certificate is not signed by a trusted CA (CA file " + otherCa + ")",
         "<-2147016659>"},
    };
    for (const auto &c : causes) {
        SCOPED_TRACE(c.what);
        Settings &s = ctx->settings;
        s.serverAddress = dir.serverAddress();
        s.password = dir.password;
        c.spoil(s);
        find("A");
        trustCaFile(ownCa);
        EXPECT_EQ(objectList->topLevelItemCount(), 0);
        EXPECT_TRUE(ctx->objects.isEmpty());
        EXPECT_EQ(statusText->text(), c.status);
        EXPECT_TRUE(statusText->toolTip().contains(c.tooltipHas)) << statusText->toolTip().toStdString();
        EXPECT_TRUE(boxes.shown.isEmpty());
        // Review all says the same where it shows its count.
        ReviewWindow *review = openReviewWindow(*ctx, window.get(), [] {});
        ASSERT_TRUE(review);
        EXPECT_EQ(review->findChild<QLabel *>("ReviewCount")->text(),
                  "0 changes for 0 users, 0 ticked — " + c.status.mid(QString("0 objects — ").size()));
        review->close();
        settle();
    }

    // A sound search says nothing more, in Review all neither.
    ctx->settings.serverAddress = dir.serverAddress();
    ctx->settings.password = dir.password;
    find("A");
    EXPECT_EQ(statusText->text(), QString::number(objectList->topLevelItemCount()) + " objects");
    EXPECT_EQ(ctx->searchFailure, "");
}

TEST_F(DirectoryWindowTest, EditingATitleWritesItAndShowsTheReloadedValue)
{
    const int index = findAndPick("W", "writer08");
    ASSERT_GE(index, 0);
    openWithAttribute(index, kTitleId, "Title", "title");

    const QString tooLong(70, QLatin1Char('e'));
    const struct {
        QString typed;
        QString stored;
    } cases[] = {{"Engineer", "Engineer"}, {tooLong, QString(60, QLatin1Char('e')) + "..."}, {"", ""}};
    for (const auto &c : cases) {
        auto *dialog = openEditor<EditAttributeDialog>();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), "Attribute edit - Writer 08");
        EXPECT_EQ(dialog->findChild<QLineEdit *>("AttributeField")->text(), "Title");
        dialog->findChild<QLineEdit *>("ValueField")->setText(c.typed);
        dialog->findChild<QPushButton *>("OkButton")->click();
        settle();
        EXPECT_EQ(window->findChild<EditAttributeDialog *>(), nullptr);

        EXPECT_EQ(directoryValues("Writer 08", "title"),
                  c.stored.isEmpty() ? QStringList() : QStringList({c.stored}));
        EXPECT_EQ(ctx->objects[index].values.value("title"), c.stored);
        EXPECT_EQ(attributeList->topLevelItem(0)->text(1), c.stored);
    }
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join('\n').toStdString();
}

TEST_F(DirectoryWindowTest, MultiValueEditWritesTheListOrderAndReopensReversed)
{
    const int index = findAndPick("W", "writer09");
    ASSERT_GE(index, 0);
    openWithAttribute(index, kPhoneOtherId, "Phone-Office-Other", "otherTelephone");

    auto *dialog = openEditor<EditMultiValueDialog>();
    ASSERT_TRUE(dialog);
    auto *list = dialog->findChild<QListWidget *>("ValueList");
    auto *field = dialog->findChild<QLineEdit *>("ValueField");
    list->selectAll();
    dialog->findChild<QPushButton *>("DeleteButton")->click();
    ASSERT_EQ(list->count(), 0);
    for (const char *value : {"y", "x", "X"}) {
        field->setText(value);
        dialog->findChild<QPushButton *>("AddButton")->click();
    }
    ASSERT_EQ(dialog->values(), QStringList({"x", "y"}));
    dialog->findChild<QPushButton *>("OkButton")->click();
    settle();

    EXPECT_EQ(directoryValues("Writer 09", "otherTelephone"), QStringList({"x", "y"}));
    EXPECT_EQ(attributeList->topLevelItem(0)->text(1), "x;y");
    auto *again = openEditor<EditMultiValueDialog>();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->values(), QStringList({"y", "x"}));

    // An empty list clears the attribute.
    again->findChild<QListWidget *>("ValueList")->clear();
    again->findChild<QPushButton *>("OkButton")->click();
    settle();
    EXPECT_EQ(directoryValues("Writer 09", "otherTelephone"), QStringList());
    EXPECT_EQ(attributeList->topLevelItem(0)->text(1), "");
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join('\n').toStdString();
}

TEST_F(DirectoryWindowTest, DisableAndEnableSwitchTheAccountAndItsIcon)
{
    const QString guid = orvane::test::guidTextOf(dir, dnOf("Writer 10"));
    const DirectoryConnection connection = connectionFromSettings(ctx->settings);
    ASSERT_EQ(EnableAccount(connection, guid).result, 1);
    const auto uac = [&] { return directoryValues("Writer 10", "userAccountControl").value(0).toInt(); };

    // The opened user stays opened while another row's account changes.
    find("W");
    const int opened = indexOf("writer08");
    window->selectObject(opened);
    const int index = indexOf("writer10");
    ASSERT_GE(index, 0);
    objectList->setCurrentItem(rowOf("writer10"));

    for (int round = 0; round < 2; ++round) { // the second disable finds it disabled and writes nothing
        action("ObjectMenu", "Disable account");
        EXPECT_EQ(ctx->objects[index].accountDisabled, 1);
        EXPECT_TRUE(isImage(rowOf("writer10")->icon(2), ImageDisabled));
        EXPECT_TRUE(uac() & kAccountDisabledBit);
    }
    EXPECT_EQ(ctx->currentObject, opened);
    EXPECT_EQ(ctx->objects[opened].selected, 1);

    action("ObjectMenu", "Enable account");
    EXPECT_EQ(ctx->objects[index].accountDisabled, 0);
    EXPECT_TRUE(rowOf("writer10")->icon(2).isNull());
    EXPECT_FALSE(uac() & kAccountDisabledBit);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join('\n').toStdString();

    // An unreachable server: the open-failure message, nothing changed.
    ctx->settings.serverAddress = "127.0.0.1:1";
    action("ObjectMenu", "Disable account");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Disable account error");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Warning);
    EXPECT_TRUE(boxes.shown[0].text.contains("> COM method error occurred while trying to open AD object."))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(ctx->objects[index].accountDisabled, 0);
    EXPECT_TRUE(rowOf("writer10")->icon(2).isNull());
}

TEST_F(DirectoryWindowTest, ImageWindowChecksSetsExportsAndRemovesThePhoto)
{
    const QString guid = orvane::test::guidTextOf(dir, dnOf("Writer 10"));
    const DirectoryConnection connection = connectionFromSettings(ctx->settings);
    RemovePhoto(connection, guid);
    const QString folder = home + "/photos/";
    QDir().mkpath(folder);
    const QByteArray exact = orvane::test::makeJpeg(96, 96, 102400);
    ASSERT_TRUE(orvane::test::writeFile(folder + "exact.jpg", exact));
    ASSERT_TRUE(orvane::test::writeFile(folder + "big.jpg", orvane::test::makeJpeg(96, 96, 102401)));
    ASSERT_TRUE(orvane::test::writeFile(folder + "tall.jpg", orvane::test::makeJpeg(96, 97)));
    ASSERT_TRUE(orvane::test::writeFile(folder + "damaged.jpg", orvane::test::makeDamagedJpeg(96, 96)));

    ASSERT_GE(findAndPick("W", "writer10"), 0);
    action("ObjectMenu", "Image...");
    auto *dialog = window->findChild<ImageDialog *>();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Attribute edit - Writer 10");
    const auto button = [&](const char *name) { return dialog->findChild<QPushButton *>(name); };
    EXPECT_FALSE(button("SetImageButton")->isEnabled());
    EXPECT_FALSE(button("RemoveImageButton")->isEnabled());
    EXPECT_FALSE(button("ExportImageButton")->isEnabled());
    EXPECT_TRUE(boxes.shown.isEmpty());

    const auto open = [&](const QString &file) {
        boxes.shown.clear();
        boxes.files.enqueue(folder + file);
        button("OpenImageButton")->click();
        return boxes.texts().mid(1); // after the open-file dialog
    };
    EXPECT_EQ(open("big.jpg"), QStringList({"The image size must be less or equal to 100 KB."}));
    EXPECT_FALSE(button("SetImageButton")->isEnabled());
    EXPECT_EQ(open("tall.jpg"),
              QStringList({"The image dimension size must be 96x96 pixels. The image you have "
                           "loaded has 96x97 pixels."}));
    EXPECT_FALSE(button("SetImageButton")->isEnabled());
    EXPECT_EQ(boxes.shown.last().title, "Image file");
    EXPECT_EQ(open("damaged.jpg"), QStringList({"Cannot open selected file."}));
    EXPECT_FALSE(button("SetImageButton")->isEnabled());
    EXPECT_EQ(open("exact.jpg"), QStringList());
    EXPECT_TRUE(button("SetImageButton")->isEnabled());
    // The preview is drawn from libjpeg's decode: the file's grey ramp, not a blank square.
    const QImage preview = dialog->findChild<QLabel *>("Preview")->pixmap().toImage();
    ASSERT_EQ(preview.size(), QSize(96, 96));
    EXPECT_NE(preview.pixel(0, 0), preview.pixel(40, 0));

    // No: nothing written. Yes: the bytes are the photo.
    boxes.shown.clear();
    boxes.answers << false << true;
    button("SetImageButton")->click();
    EXPECT_EQ(directoryValues("Writer 10", "thumbnailPhoto"), QStringList());
    button("SetImageButton")->click();
    EXPECT_EQ(boxes.texts(),
              QStringList({"Set new image to Writer 10 AD object?", "Set new image to Writer 10 AD object?",
                           "The image has been successfully set."}));
    EXPECT_EQ(ldifValues(ldapsearchEntry(dir, dnOf("Writer 10"), {"thumbnailPhoto"}), "thumbnailPhoto"),
              std::vector<QByteArray>({exact}));
    EXPECT_FALSE(button("SetImageButton")->isEnabled());
    EXPECT_TRUE(button("RemoveImageButton")->isEnabled());
    EXPECT_TRUE(button("ExportImageButton")->isEnabled());

    // Export writes the stored bytes unchanged, and asks before overwriting.
    const QString exported = folder + "writer10.jpg";
    boxes.shown.clear();
    boxes.files << exported << exported;
    boxes.answers << false;
    button("ExportImageButton")->click();
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), exact);
    button("ExportImageButton")->click();
    EXPECT_EQ(boxes.texts(), QStringList({"", "Image has been sucessfully saved to file.", "",
                                          "File already exists. Would you like to overwrite it?"}));
    EXPECT_EQ(boxes.shown[1].title, "Export image");
    EXPECT_EQ(boxes.shown[3].icon, DialogIcon::Warning) << "the overwrite question warns";

    boxes.shown.clear();
    boxes.answers << true;
    button("RemoveImageButton")->click();
    EXPECT_EQ(boxes.texts(), QStringList({"Remove the image from Writer 10 AD object?",
                                          "The image has been successfully removed."}));
    EXPECT_EQ(directoryValues("Writer 10", "thumbnailPhoto"), QStringList());
    EXPECT_FALSE(button("RemoveImageButton")->isEnabled());
    EXPECT_FALSE(button("ExportImageButton")->isEnabled());

    // A stored photo of another size is not shown but can be removed.
    QFile wide(QStringLiteral(ORVANE_SOURCE_DIR "/tests/directory/fixtures/photo-120x160.jpg"));
    ASSERT_TRUE(wide.open(QIODevice::ReadOnly));
    ASSERT_EQ(SetPhoto(connection, guid, wide.readAll()).result, 1);
    boxes.shown.clear();
    action("ObjectMenu", "Image...");
    settle();
    dialog = window->findChild<ImageDialog *>();
    ASSERT_TRUE(dialog);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Image");
    EXPECT_EQ(
        boxes.shown[0].text,
        "The object already has image but its dimension size is different from recomended 96x96 pixels.");
    EXPECT_TRUE(button("RemoveImageButton")->isEnabled());
    RemovePhoto(connection, guid);
}
