#pragma once
// The export window: counts the directory's users on a worker thread when it
// opens and, on "Export", writes them into the export workbook on another.
//
// One ExportWorker per main window is the current-thread handle: a second
// count or export starts only when its thread has ended. Workers never touch a
// control: they post what they found to the ExportWorker, which lives on the
// interface thread and passes it on to the window while that still exists.
// Closing a window asks the running thread to stop only when that window
// started it (an export then leaves the workbook unchanged): work started by
// another export window goes on. The worker's owner waits for it when the
// main window goes away. The settings store is read on the interface thread before
// a thread starts, so a worker never shares the connection.

#include "workbook/ExportUsers.h"

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace orvane
{

struct AppContext;
class ExportWindow;

/// The one worker thread of the export window and its stop request.
class ExportWorker : public QObject
{
    Q_OBJECT
  public:
    explicit ExportWorker(QObject *owner);
    /// Asks a running thread to stop and waits for it.
    ~ExportWorker() override;

    /// True while a count or an export runs.
    bool alive() const { return running_.load(); }
    /// Runs `body` on a new thread for `starter` (an ended one is joined
    /// first); false when one is alive.
    bool start(const QObject *starter, std::function<void(const std::atomic_bool &stop)> body);
    /// Asks the running thread to stop at its next record, whoever started it.
    void requestStop() { stop_.store(true); }
    /// Asks the running thread to stop only when `starter` started it.
    void requestStopFor(const QObject *starter);
    /// Waits for the thread to end.
    void wait();
    /// Runs `update` on the interface thread, unless the worker is gone by then.
    void post(std::function<void()> update);

    /// The export worker of `owner`, made on first use.
    static ExportWorker &of(QObject *owner);

  private:
    std::thread thread_;
    const QObject *starter_ = nullptr; ///< who started the last thread; read and set on the interface thread
    std::atomic_bool running_{false};
    std::atomic_bool stop_{false};
};

class ExportWindow : public QDialog
{
    Q_OBJECT
  public:
    ExportWindow(AppContext &ctx, ExportWorker &worker, QWidget *owner);

    /// Starts the count (done by the opener).
    void startCount();

  public slots:
    /// The "Export" button.
    void exportUsers();

  signals:
    /// The count text changed to `count` (it climbs while the count runs).
    void countShown(int count);
    /// The count or the export ended and the window shows its outcome.
    void workDone();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void showCount(int count);
    /// Shows the final count; with none, "Objects not found" and `failure` (the one-line reason, may be "").
    void countDone(int count, const QString &failure);
    void showWritten(int written);
    void exportDone(const QString &finalStatus, int written);

    AppContext &ctx_;
    ExportWorker &worker_;
    QLineEdit *baseDn_ = nullptr;
    QLineEdit *fileName_ = nullptr;
    QLabel *count_ = nullptr;
    QLabel *status_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QPushButton *export_ = nullptr;
};

/// The "Export..." command: refuses while a count or export runs, else opens
/// the window and starts the count. Returns the window (null when refused).
ExportWindow *openExportWindow(AppContext &ctx, QWidget *owner);

} // namespace orvane
