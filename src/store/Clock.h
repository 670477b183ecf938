#pragma once
// Time and chance as the store sees them. Event ids and dates depend on both,
// so tests replace them through setClockForTesting.

#include <functional>

namespace orvane
{

/// Returns the local wall-clock time as seconds since 1970-01-01 00:00:00,
/// taken as if it were UTC (no time-zone shift): the form of events.datetime.
long long localNowSeconds();

/// Returns a whole number from `low` to `high` inclusive.
int randomBetween(int low, int high);

/// Replaces the clock and the random source; pass empty functions to restore
/// the real ones.
void setClockForTesting(std::function<long long()> now, std::function<int(int, int)> random);

} // namespace orvane
