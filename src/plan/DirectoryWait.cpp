#include "plan/DirectoryWait.h"

#include "directory/ObjectBinding.h"

#include <QThread>
#include <algorithm>

namespace orvane
{

namespace
{

constexpr qint64 kFirstPauseMs = 200;
constexpr qint64 kLongestPauseMs = 3000;
constexpr qint64 kTickMs = 100;

} // namespace

bool directoryUnavailable(long code)
{
    switch (static_cast<quint32>(code)) {
    case 0x8007203AU: // the server is down
    case 0x800704C9U: // the connection was refused
    case 0x800705B4U: // timed out
    case 0x8007200FU: // the server is unavailable
    case 0x8007200EU: // the server is busy
        return true;
    }
    return false;
}

bool DirectoryWait::untilBack(const DirectoryConnection &connection, const QString &guid,
                              const std::atomic_bool *cancel, const std::function<void()> &tick)
{
    if (!since_.isValid())
        since_.start();
    qint64 pause = kFirstPauseMs;
    while (since_.elapsed() < allowedMs_) {
        if (cancel && cancel->load())
            return false;
        const qint64 until = since_.elapsed() + std::min(pause, std::max<qint64>(1, allowedMs_ - since_.elapsed()));
        while (since_.elapsed() < until && !(cancel && cancel->load())) {
            QThread::msleep(std::min(kTickMs, std::max<qint64>(1, until - since_.elapsed())));
            if (tick)
                tick();
        }
        if (cancel && cancel->load())
            return false;
        pause = std::min(pause * 2, kLongestPauseMs);
        BoundObject bound;
        DirectoryFailure failure;
        if (BindObject(connection, guid, &bound, &failure) == BindResult::Bound)
            return true;
        if (failure.failed() && !directoryUnavailable(failure.code))
            return true; // it answers again, if only to refuse
    }
    return false;
}

} // namespace orvane
