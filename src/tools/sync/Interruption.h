#pragma once
// Ctrl-C or a stop of the schedule during writes: instead of dying midway, the
// run stops after the current write and the journal records the remaining
// writes as skipped. Only while an Interruption lives; before it, an interrupt
// ends the tool at once (nothing has been written yet).

#include <atomic>

namespace orvane::synctool
{

class Interruption
{
  public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption &) = delete;
    Interruption &operator=(const Interruption &) = delete;

    /// The flag the writes read before each write.
    const std::atomic_bool *flag() const;
};

} // namespace orvane::synctool
