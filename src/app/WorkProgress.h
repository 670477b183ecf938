#pragma once
// The progress bar and the stop request of a window whose long work (a plan,
// an apply, an undo) runs on the interface thread. The work reports through
// report(), which keeps serving events so that Cancel and closing the window
// are seen while it runs; it polls cancelFlag(). While work runs, closing the
// window only asks the work to stop.

#include <atomic>

class QProgressBar;
class QWidget;

namespace orvane
{

class WorkProgress
{
  public:
    /// Makes the progress bar as a child of `parent`, which lays it out.
    explicit WorkProgress(QWidget *parent);
    WorkProgress(const WorkProgress &) = delete;
    WorkProgress &operator=(const WorkProgress &) = delete;

    QProgressBar *bar() const { return bar_; }
    /// True from setBusy(true) until setBusy(false).
    bool busy() const { return busy_; }
    /// Marks work as started or ended; either way a stop request is forgotten.
    void setBusy(bool busy);
    /// Asks running work to stop.
    void cancel() { cancel_ = true; }
    /// The flag the work polls; set by cancel().
    const std::atomic_bool *cancelFlag() const { return &cancel_; }
    /// Shows `done` of `total` on the bar and serves pending events.
    void report(int done, int total);
    /// For closeEvent and reject: true while work runs, which is then asked
    /// to stop and the window stays open; false when the window may close.
    bool stopInsteadOfClosing();

  private:
    QProgressBar *bar_;
    std::atomic_bool cancel_{false};
    bool busy_ = false;
};

} // namespace orvane
