#pragma once
// Waiting for a directory that stopped answering in the middle of a run of
// writes: the same object is bound again after a short, growing pause until
// it answers or the time allowed is spent.

#include "directory/DirectoryConnection.h"

#include <QElapsedTimer>
#include <atomic>
#include <functional>

namespace orvane
{

/// True when `code` says the directory could not be reached (server down,
/// connection refused, timed out, unavailable) rather than that it refused a request.
bool directoryUnavailable(long code);

class DirectoryWait
{
  public:
    /// Allows `seconds` in all, counted from the first wait.
    explicit DirectoryWait(int seconds) : allowedMs_(qint64(seconds) * 1000) {}

    /// Waits until object `guid` can be bound again; false when the time
    /// allowed ran out (or `cancel` was set) first. `tick`, when given, is
    /// called every tenth of a second while waiting (a window keeps drawing
    /// and its Cancel button answering).
    bool untilBack(const DirectoryConnection &connection, const QString &guid, const std::atomic_bool *cancel,
                   const std::function<void()> &tick = {});

  private:
    qint64 allowedMs_;
    QElapsedTimer since_;
};

} // namespace orvane
