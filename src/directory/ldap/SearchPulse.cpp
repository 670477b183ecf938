#include "directory/ldap/SearchPulse.h"

#include <utility>

namespace orvane
{
namespace
{

thread_local std::function<void()> threadPulse;

} // namespace

SearchPulseScope::SearchPulseScope(std::function<void()> pulse)
    : previous_(std::exchange(threadPulse, std::move(pulse)))
{
}

SearchPulseScope::~SearchPulseScope()
{
    threadPulse = std::move(previous_);
}

void pulseSearch()
{
    if (threadPulse)
        threadPulse();
}

} // namespace orvane
