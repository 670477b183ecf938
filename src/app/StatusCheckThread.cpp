#include "app/StatusCheckThread.h"

#include "app/ObjectListLoader.h"

#include <chrono>

namespace orvane
{

StatusCheckThread::StatusCheckThread(std::unique_ptr<ObjectStatusCheck> check) : check_(std::move(check))
{
    thread_ = std::thread([this] { run(); });
}

StatusCheckThread::~StatusCheckThread()
{
    finish();
}

void StatusCheckThread::submit(int row, const ObjectEntry &entry)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.emplace_back(row, entry);
        ++submitted_;
    }
    wake_.notify_one();
}

void StatusCheckThread::submit(const ObjectTable &table, int from, int to)
{
    if (from >= to)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int row = from; row < to; ++row)
            queue_.emplace_back(row, table[row]);
        submitted_ += to - from;
    }
    wake_.notify_one();
}

QList<RowStatus> StatusCheckThread::take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    QList<RowStatus> taken;
    taken.swap(answers_);
    return taken;
}

bool StatusCheckThread::waitAnswered(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return answeredAll_.wait_for(lock, std::chrono::milliseconds(ms),
                                 [this] { return answered_ == submitted_; });
}

void StatusCheckThread::finish()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    wake_.notify_one();
    thread_.join();
    check_->showWarnings();
}

void StatusCheckThread::run()
{
    check_->prepare();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (queue_.empty())
            break;
        // Everything queued is answered in one go outside the lock, so the
        // walk hands over entries without waiting for a status read.
        std::deque<std::pair<int, ObjectEntry>> batch;
        batch.swap(queue_);
        lock.unlock();
        QList<RowStatus> answered;
        answered.reserve(qsizetype(batch.size()));
        for (const auto &[row, entry] : batch)
            answered.append({row, check_->status(entry)});
        batch.clear();
        lock.lock();
        answers_.append(answered);
        answered_ += answered.size();
        if (answered_ == submitted_)
            answeredAll_.notify_all();
    }
    lock.unlock();
    check_->close();
}

} // namespace orvane
