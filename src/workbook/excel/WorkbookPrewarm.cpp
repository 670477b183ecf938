#include "workbook/excel/WorkbookPrewarm.h"

#include "workbook/excel/WorkbookCache.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <system_error>
#include <vector>

namespace orvane
{

namespace
{

void warmTarget(const PrewarmTarget &target, const std::function<bool()> &cancelled)
{
    WorkbookCache::warm(target.path.toStdString(), [&](Workbook &book) {
        for (int column : target.columns) {
            if (cancelled && cancelled())
                return;
            // Any text builds the column's index; the answer is not needed.
            book.activeSheet().find(static_cast<uint32_t>(column), " ", 0);
        }
    });
}

// Runs `work` on this thread and on up to `extra` more at once, and waits for all.
void runOnThreads(qsizetype extra, const std::function<void()> &work)
{
    std::vector<std::thread> helpers;
    for (qsizetype i = 0; i < extra; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // no more threads to be had: fewer workers take the same work
        }
    }
    work();
    for (std::thread &helper : helpers)
        helper.join();
}

} // namespace

void warmTogether(const QList<PrewarmTarget> &all)
{
    QList<PrewarmTarget> targets;
    for (const PrewarmTarget &target : all) {
        if (WorkbookCache::needsParse(target.path.toStdString()))
            targets.append(target);
    }
    if (targets.size() < 2)
        return;
    // A thread per workbook, not per core: the parses then share the cores to
    // the end instead of the last one running alone.
    constexpr qsizetype kMostThreads = 4;
    std::atomic<qsizetype> next{0};
    runOnThreads(std::min(targets.size(), kMostThreads) - 1, [&] {
        for (qsizetype i; (i = next++) < targets.size();)
            warmTarget(targets[i], {});
    });
}

WorkbookPrewarm::~WorkbookPrewarm()
{
    cancel();
}

void WorkbookPrewarm::start(QList<PrewarmTarget> targets)
{
    std::unique_lock<std::mutex> lock(mutex_);
    queue_ = std::move(targets);
    cancel_ = false;
    if (busy_ || queue_.isEmpty())
        return;
    // A worker that found its queue empty has ended or is about to.
    if (thread_.joinable())
        thread_.join();
    busy_ = true;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        // No thread to be had: the first open parses as it always could.
        busy_ = false;
        queue_.clear();
    }
}

void WorkbookPrewarm::cancel()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.clear();
        cancel_ = true;
    }
    if (thread_.joinable())
        thread_.join();
}

void WorkbookPrewarm::wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
}

bool WorkbookPrewarm::cancelled()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return cancel_;
}

void WorkbookPrewarm::run()
{
    for (;;) {
        // Two workbooks at a time: the machine has two cores or more, and the
        // window's thread mostly waits for the user meanwhile.
        runOnThreads(1, [this] { drain(); });
        std::lock_guard<std::mutex> lock(mutex_);
        // start() may have queued more after both workers found the queue empty.
        if (queue_.isEmpty() || cancel_) {
            busy_ = false;
            idle_.notify_all();
            return;
        }
    }
}

void WorkbookPrewarm::drain()
{
    for (;;) {
        PrewarmTarget target;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.isEmpty() || cancel_)
                return;
            // From the last: an open that comes meanwhile goes from the first,
            // so the two meet halfway instead of the open waiting behind each parse.
            target = queue_.takeLast();
        }
        warmTarget(target, [this] { return cancelled(); });
    }
}

} // namespace orvane
