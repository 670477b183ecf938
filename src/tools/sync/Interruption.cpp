#include "Interruption.h"

#include <csignal>

namespace orvane::synctool
{

namespace
{

std::atomic_bool interrupted{false};
static_assert(std::atomic_bool::is_always_lock_free, "set from a signal handler");

extern "C" void noteInterrupt(int)
{
    interrupted = true;
}

struct sigaction previousInt, previousTerm, previousHup;

} // namespace

Interruption::Interruption()
{
    interrupted = false;
    struct sigaction action = {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
}

Interruption::~Interruption()
{
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
}

const std::atomic_bool *Interruption::flag() const
{
    return &interrupted;
}

} // namespace orvane::synctool
