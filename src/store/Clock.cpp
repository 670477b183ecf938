#include "store/Clock.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace orvane
{
namespace
{

std::function<long long()> &nowOverride()
{
    static std::function<long long()> now;
    return now;
}

std::function<int(int, int)> &randomOverride()
{
    static std::function<int(int, int)> random;
    return random;
}

} // namespace

long long localNowSeconds()
{
    if (nowOverride())
        return nowOverride()();
    const QDateTime local = QDateTime::currentDateTime();
    QDateTime asUtc(local.date(), local.time(), Qt::UTC);
    return asUtc.toSecsSinceEpoch();
}

int randomBetween(int low, int high)
{
    if (randomOverride())
        return randomOverride()(low, high);
    return int(QRandomGenerator::global()->bounded(low, high + 1));
}

void setClockForTesting(std::function<long long()> now, std::function<int(int, int)> random)
{
    nowOverride() = std::move(now);
    randomOverride() = std::move(random);
}

} // namespace orvane
