#pragma once
// Parses the registered workbooks that opening a user looks into, on a worker
// thread after a Find, so that the first open finds them in the workbook
// cache with the indexes of their searched columns built. Nothing here is
// visible: a workbook that cannot be read is left for the open to report.
// The cache's rules hold as for any open (see WorkbookCache.h): a warmed
// workbook is used only while the file is unchanged.

#include <QList>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvane
{

/// One workbook to parse and the columns whose Find index to build; the
/// caller reads them from the bindings (workbook/PrewarmTargets.h).
struct PrewarmTarget {
    QString path;
    QList<int> columns;
};

/// Parses into the workbook cache, each on its own thread at once, those of
/// `targets` that are neither kept, lent out nor being parsed by a pre-warm,
/// and builds their columns' indexes; returns when these are done (an open
/// then waits for the others). Does nothing when fewer than two need parsing,
/// since one parse gains nothing from a thread; failures are left for the
/// open to report.
void warmTogether(const QList<PrewarmTarget> &targets);

class WorkbookPrewarm
{
  public:
    WorkbookPrewarm() = default;
    /// Cancels and waits for the workbook being parsed now.
    ~WorkbookPrewarm();
    WorkbookPrewarm(const WorkbookPrewarm &) = delete;
    WorkbookPrewarm &operator=(const WorkbookPrewarm &) = delete;

    /// Parses `targets` two at a time, the last first, on worker threads, replacing
    /// whatever of an earlier run is not started yet; returns at once.
    void start(QList<PrewarmTarget> targets);
    /// Drops the targets not started yet and waits for the one in progress.
    void cancel();
    /// Waits until every target is done (for benchmarks and tests).
    void wait();

  private:
    void run();
    /// Warms queued targets until the queue is empty or cancelled.
    void drain();
    bool cancelled();

    std::mutex mutex_;
    std::condition_variable idle_;
    QList<PrewarmTarget> queue_;
    bool busy_ = false;
    bool cancel_ = false;
    std::thread thread_;
};

} // namespace orvane
