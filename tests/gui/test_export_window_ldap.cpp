// The export window against the private slapd: the count on its worker
// thread, "Export" while it runs, a whole export, and closing the window in
// the middle of one.

#include "DirectorySetup.h"
#include "GuiFixture.h"
#include "WorkbookSetup.h"
#include "app/ExportWindow.h"

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace orvane;
using namespace orvane::test;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class ExportWindowTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        connectTo(ctx->settings, *s);
        ctx->settings.multivaluedDelimiter = QStringLiteral(";");
        path = home + QStringLiteral("/export.xlsx");
        writeRowsWorkbook(path.toStdString(), {{1, {"Account", "Phones"}}}, true);
        registerWorkbookWith(ctx->db, path, QStringLiteral("Export"), {{1, 13}, {2, attr::otherTelephone}},
                             false, true);
        owner = std::make_unique<QWidget>();
    }

    void TearDown() override
    {
        owner.reset(); // waits for a running worker
        GuiTest::TearDown();
    }

    // Serves events until the window reports the end of its work (or 60 s pass).
    static bool waitForWork(ExportWindow *window)
    {
        QEventLoop loop;
        QObject::connect(window, &ExportWindow::workDone, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, [&loop] { loop.exit(1); });
        return loop.exec() == 0;
    }

    QString text(ExportWindow *w, const char *name)
    {
        return w->findChild<QLabel *>(QString::fromLatin1(name))->text();
    }

    QString path;
    std::unique_ptr<QWidget> owner;
};

TEST_F(ExportWindowTest, CountThenExportWithProgress)
{
    ExportWindow *window = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(window);
    QList<int> counts;
    QObject::connect(window, &ExportWindow::countShown, [&counts](int n) { counts << n; });
    // "Export" while the count runs does nothing, and a second window is refused.
    window->exportUsers();
    EXPECT_EQ(openExportWindow(*ctx, owner.get()), nullptr);
    EXPECT_EQ(boxes.texts(),
              QStringList({QStringLiteral("Previous export process is still active. Try later.")}));
    ASSERT_TRUE(waitForWork(window));
    ASSERT_GT(counts.size(), 10) << text(window, "ExportStatus").toStdString() << " " << counts.value(0);
    EXPECT_EQ(counts.first(), 1);
    for (int i = 0; i + 1 < counts.size(); ++i)
        ASSERT_EQ(counts[i], i + 1) << "the count climbs one by one";
    const int count = counts.last();
    EXPECT_EQ(text(window, "ExportCount"), QString::number(count));
    EXPECT_EQ(text(window, "ExportStatus"), QStringLiteral("Ready"));
    EXPECT_EQ(window->findChild<QProgressBar *>(QStringLiteral("ExportProgress"))->maximum(), count);
    EXPECT_EQ(window->findChild<QLineEdit *>(QStringLiteral("ExportFileName"))->text(), path);
    window->grab().save(QStringLiteral(ORVANE_TEST_TMP "/export-window.png"));

    auto *exportButton = window->findChild<QPushButton *>(QStringLiteral("ExportButton"));
    ASSERT_TRUE(exportButton->isEnabled());
    exportButton->click();
    EXPECT_FALSE(exportButton->isEnabled());
    ASSERT_TRUE(waitForWork(window));
    EXPECT_EQ(text(window, "ExportStatus"),
              QStringLiteral("Finished: %1 users written to export.xlsx").arg(count));
    EXPECT_EQ(window->findChild<QProgressBar *>(QStringLiteral("ExportProgress"))->value(), count);
    EXPECT_TRUE(exportButton->isEnabled());
    EXPECT_EQ(boxes.shown.size(), 1);
    window->close();
}

TEST_F(ExportWindowTest, ClosingDuringAnExportLeavesTheFileWhole)
{
    ExportWindow *window = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(window);
    ASSERT_TRUE(waitForWork(window));
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray original = before.readAll();
    window->findChild<QPushButton *>(QStringLiteral("ExportButton"))->click();
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ExportWorker::of(owner.get()).wait();
    QApplication::processEvents(); // the worker's last updates find no window
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), original);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_NE(openExportWindow(*ctx, owner.get()), nullptr) << "a new export may start once it ended";
}

TEST_F(ExportWindowTest, ClosingAnIdleWindowLeavesAnotherWindowsWorkRunning)
{
    ExportWindow *first = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(first);
    ASSERT_TRUE(waitForWork(first));
    const QString count = text(first, "ExportCount");
    // The thread ends just after it posts its last update.
    ExportWorker::of(owner.get()).wait();
    ExportWindow *second = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(second);
    ASSERT_TRUE(waitForWork(second));

    // The second window exports; closing the idle first one does not stop it,
    // and "Export..." is refused while it runs.
    second->findChild<QPushButton *>(QStringLiteral("ExportButton"))->click();
    first->close();
    EXPECT_EQ(openExportWindow(*ctx, owner.get()), nullptr);
    ASSERT_TRUE(waitForWork(second));
    EXPECT_EQ(text(second, "ExportStatus"),
              QStringLiteral("Finished: %1 users written to export.xlsx").arg(count));

    // A third window counts; closing the idle second one leaves the count whole.
    ExportWorker::of(owner.get()).wait();
    ExportWindow *third = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(third);
    second->close();
    ASSERT_TRUE(waitForWork(third));
    EXPECT_EQ(text(third, "ExportCount"), count);
    EXPECT_EQ(text(third, "ExportStatus"), QStringLiteral("Ready"));
    EXPECT_EQ(boxes.texts(),
              QStringList({QStringLiteral("Previous export process is still active. Try later.")}));
}

TEST_F(ExportWindowTest, AFailedCountSaysWhyBesideObjectsNotFound)
{
    const struct {
        QString serverAddress, password, status;
    } causes[] = {
        {ctx->settings.serverAddress, QStringLiteral("not the password"),
         QStringLiteral("Objects not found — the server refused the bind: invalid credentials")},
        {QStringLiteral("127.0.0.1:1"), ctx->settings.password,
         QStringLiteral("Objects not found — cannot reach 127.0.0.1:1")},
    };
    for (const auto &c : causes) {
        ctx->settings.serverAddress = c.serverAddress;
        ctx->settings.password = c.password;
        ExportWindow *window = openExportWindow(*ctx, owner.get());
        ASSERT_TRUE(window);
        ASSERT_TRUE(waitForWork(window));
        EXPECT_EQ(text(window, "ExportCount"), QStringLiteral("0"));
        EXPECT_EQ(text(window, "ExportStatus"), c.status);
        window->grab().save(QStringLiteral(ORVANE_TEST_TMP "/export-window-failed.png"));
        EXPECT_FALSE(window->findChild<QPushButton *>(QStringLiteral("ExportButton"))->isEnabled());
        window->close();
        // The count's last update reaches the window just before its thread ends.
        ExportWorker::of(owner.get()).wait();
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ExportWindowTest, NoExportWorkbook)
{
    ctx->db.execute(QStringLiteral("UPDATE excelfiles SET export_flag = '0'"));
    ExportWindow *window = openExportWindow(*ctx, owner.get());
    ASSERT_TRUE(waitForWork(window));
    window->exportUsers();
    EXPECT_EQ(boxes.texts(), QStringList({QStringLiteral("Excel file is not specified.")}));
}
