#include "app/ExportWindow.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/Placement.h"
#include "app/WindowFont.h"
#include "directory/FailureReason.h"
#include "directory/UserSearch.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QProgressBar>
#include <QScreen>

namespace orvane
{

namespace
{

// Progress is posted every this many users, and for the last one.
constexpr int kProgressStep = 50;

} // namespace

ExportWorker::ExportWorker(QObject *owner) : QObject(owner)
{
    setObjectName(QStringLiteral("ExportWorker"));
}

ExportWorker::~ExportWorker()
{
    requestStop();
    wait();
}

bool ExportWorker::start(const QObject *starter, std::function<void(const std::atomic_bool &stop)> body)
{
    if (running_.load())
        return false;
    wait();
    starter_ = starter;
    stop_.store(false);
    running_.store(true);
    thread_ = std::thread([this, body = std::move(body)] {
        body(stop_);
        running_.store(false);
    });
    return true;
}

void ExportWorker::requestStopFor(const QObject *starter)
{
    if (running_.load() && starter_ == starter)
        requestStop();
}

void ExportWorker::wait()
{
    if (thread_.joinable())
        thread_.join();
}

void ExportWorker::post(std::function<void()> update)
{
    // Queued on this object: dropped with it, and never run on the worker thread.
    QMetaObject::invokeMethod(this, std::move(update), Qt::QueuedConnection);
}

ExportWorker &ExportWorker::of(QObject *owner)
{
    if (auto *worker =
            owner->findChild<ExportWorker *>(QStringLiteral("ExportWorker"), Qt::FindDirectChildrenOnly))
        return *worker;
    return *new ExportWorker(owner);
}

ExportWindow::ExportWindow(AppContext &ctx, ExportWorker &worker, QWidget *owner)
    : QDialog(owner), ctx_(ctx), worker_(worker)
{
    setObjectName(QStringLiteral("ExportWindow"));
    setWindowTitle(QStringLiteral("Export"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(350, 200);
    applyWindowFont(this);

    auto *frame = new QGroupBox(this);
    frame->setGeometry(3, 0, 344, 197);
    placeLabel(this, QStringLiteral("BaseDN:"), QRect(15, 18, 100, 20));
    baseDn_ = new QLineEdit(ctx_.settings.baseDn, this);
    baseDn_->setObjectName(QStringLiteral("ExportBaseDn"));
    baseDn_->setReadOnly(true);
    baseDn_->setGeometry(90, 15, 240, 20);
    placeLabel(this, QStringLiteral("File name:"), QRect(15, 48, 100, 20));
    fileName_ = new QLineEdit(ExportWorkbookPath(ctx_.db), this);
    fileName_->setObjectName(QStringLiteral("ExportFileName"));
    fileName_->setReadOnly(true);
    fileName_->setGeometry(90, 45, 240, 20);
    placeLabel(this, QStringLiteral("Objects:"), QRect(15, 78, 50, 20));
    count_ = placeLabel(this, QStringLiteral("0"), QRect(90, 78, 100, 20));
    count_->setObjectName(QStringLiteral("ExportCount"));
    placeLabel(this, QStringLiteral("Status:"), QRect(15, 108, 50, 20));
    // Two lines high, so that a failed count's reason fits above the progress bar.
    status_ = placeLabel(this, QStringLiteral("Please wait..."), QRect(90, 108, 250, 26));
    status_->setObjectName(QStringLiteral("ExportStatus"));
    status_->setWordWrap(true);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ExportProgress"));
    progress_->setGeometry(90, 135, 240, 10);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    export_ = new QPushButton(QStringLiteral("Export"), this);
    export_->setObjectName(QStringLiteral("ExportButton"));
    export_->setGeometry(60, 165, 100, 22);
    export_->setEnabled(false);
    export_->setAutoDefault(false);
    connect(export_, &QPushButton::clicked, this, &ExportWindow::exportUsers);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ExportCloseButton"));
    close->setGeometry(180, 165, 100, 22);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void ExportWindow::startCount()
{
    const DirectoryConnection connection = connectionFromSettings(ctx_.settings);
    QPointer<ExportWindow> window(this);
    ExportWorker *worker = &worker_;
    status_->setText(kCountingText);
    worker_.start(this, [connection, window, worker](const std::atomic_bool &stop) {
        const CountOutcome outcome = CountUsers(
            connection,
            [&](int count) {
                worker->post([window, count] {
                    if (window)
                        window->showCount(count);
                });
            },
            &stop);
        // Found here, on the worker: a TLS failure is looked into again over the network.
        const QString reason = failureReason(outcome.failure, connection);
        worker->post([window, count = outcome.count, reason] {
            if (window)
                window->countDone(count, reason);
        });
    });
}

void ExportWindow::showCount(int count)
{
    count_->setText(QString::number(count));
    emit countShown(count);
}

void ExportWindow::countDone(int count, const QString &failure)
{
    showCount(count);
    if (count > 0) {
        status_->setText(kCountReadyText);
        progress_->setMaximum(count);
        export_->setEnabled(true);
    } else {
        status_->setText(withFailureReason(kCountNoneText, failure));
    }
    status_->setToolTip(status_->text());
    emit workDone();
}

void ExportWindow::exportUsers()
{
    const QString path = ExportWorkbookPath(ctx_.db);
    if (path.isEmpty()) {
        dialogs().warn(this, kExportTitle, QStringLiteral("Excel file is not specified."));
        return;
    }
    if (worker_.alive())
        return;
    const ExportJob job{connectionFromSettings(ctx_.settings), ctx_.settings.multivaluedDelimiter, path,
                        LoadExportBindings(ctx_.db)};
    QPointer<ExportWindow> window(this);
    ExportWorker *worker = &worker_;
    export_->setEnabled(false);
    progress_->setValue(0);
    worker_.start(this, [job, window, worker](const std::atomic_bool &stop) {
        ExportCallbacks callbacks;
        callbacks.stop = &stop;
        callbacks.status = [&](const QString &text) {
            worker->post([window, text] {
                if (window)
                    window->status_->setText(text);
            });
        };
        callbacks.progress = [&](int written) {
            if (written % kProgressStep == 0)
                worker->post([window, written] {
                    if (window)
                        window->showWritten(written);
                });
        };
        callbacks.warn = [&](const QString &title, const QString &text) {
            worker->post([window, title, text] { dialogs().warn(window, title, text); });
        };
        const ExportOutcome outcome = ExportUsers(job, callbacks);
        worker->post([window, outcome] {
            if (window)
                window->exportDone(outcome.finalStatus, outcome.written);
        });
    });
}

void ExportWindow::showWritten(int written)
{
    progress_->setValue(qMin(written, progress_->maximum()));
}

void ExportWindow::exportDone(const QString &finalStatus, int written)
{
    showWritten(written);
    if (!finalStatus.isEmpty())
        status_->setText(finalStatus);
    status_->setToolTip(finalStatus);
    export_->setEnabled(true);
    emit workDone();
}

void ExportWindow::closeEvent(QCloseEvent *event)
{
    worker_.requestStopFor(this);
    QDialog::closeEvent(event);
}

ExportWindow *openExportWindow(AppContext &ctx, QWidget *owner)
{
    ExportWorker &worker = ExportWorker::of(owner);
    if (worker.alive()) {
        dialogs().warn(owner, kExportTitle,
                       QStringLiteral("Previous export process is still active. Try later."));
        return nullptr;
    }
    auto *window = new ExportWindow(ctx, worker, owner);
    window->show();
    window->startCount();
    return window;
}

} // namespace orvane
