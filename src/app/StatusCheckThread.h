#pragma once
// The thread that answers a Find's status check: the listed users are handed
// over as the search walks, and their states come back to the interface
// thread in batches, so that reading the primary workbook's rows takes
// nothing from the walk on a machine with a second core.

#include "directory/ObjectTable.h"

#include <QList>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace orvane
{

class ObjectStatusCheck;

/// One answered row: its index in the object table and its state.
struct RowStatus {
    int row;
    int state;
};

class StatusCheckThread
{
  public:
    /// Starts the thread, which prepares `check` at once and then answers
    /// what submit() hands it.
    explicit StatusCheckThread(std::unique_ptr<ObjectStatusCheck> check);
    /// Waits for the entries handed over and ends the thread.
    ~StatusCheckThread();
    StatusCheckThread(const StatusCheckThread &) = delete;
    StatusCheckThread &operator=(const StatusCheckThread &) = delete;

    /// Queues `entry`, listed as row `row`, for its status.
    void submit(int row, const ObjectEntry &entry);
    /// Queues the entries of `table` from `from` up to `to` (their rows), in one go.
    void submit(const ObjectTable &table, int from, int to);
    /// The rows answered since the last take, in the order submitted.
    QList<RowStatus> take();
    /// Waits at most `ms` until every submitted entry is answered; true when it is.
    bool waitAnswered(int ms);
    /// Ends the thread once every entry is answered (the check closed there),
    /// then lets the check show its warnings here.
    void finish();

  private:
    void run();

    std::unique_ptr<ObjectStatusCheck> check_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable answeredAll_;
    std::deque<std::pair<int, ObjectEntry>> queue_;
    QList<RowStatus> answers_;
    long long submitted_ = 0;
    long long answered_ = 0;
    bool closed_ = false;
    std::thread thread_;
};

} // namespace orvane
