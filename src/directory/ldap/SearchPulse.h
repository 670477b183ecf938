#pragma once
// A long paged search's sign of life on its thread: between two pages the
// thread's pulse runs, so that a window whose search runs on the interface
// thread can repaint while a result of many thousands of entries arrives.
// Nothing runs on a thread without a pulse.

#include <functional>

namespace orvane
{

/// Sets `pulse` as the calling thread's pulse until the scope ends, when the
/// one set before comes back.
class SearchPulseScope
{
  public:
    explicit SearchPulseScope(std::function<void()> pulse);
    ~SearchPulseScope();
    SearchPulseScope(const SearchPulseScope &) = delete;
    SearchPulseScope &operator=(const SearchPulseScope &) = delete;

  private:
    std::function<void()> previous_;
};

/// Runs the calling thread's pulse, if it has one.
void pulseSearch();

} // namespace orvane
