#pragma once
// Passing a VARIANT, an interface or a variable to a command by address. A
// command names such an argument by its address in decimal ("... as variant",
// "... as object", "... as iunknown", "... byref"), and the engine accepts only
// addresses that are registered here at that moment; any other number is
// refused with E_INVALIDARG instead of being dereferenced. So a number typed
// into a tool, or a stale address, never becomes a pointer.
//
// Usage, for the duration of one command:
//   PassedAddress photo(&bytesVariant);
//   invoke(user, "Put('thumbnailPhoto', " + photo.text() + " as variant)");
//
// The caller keeps what it registers alive (and, for an interface, keeps its
// reference) while the PassedAddress lives. The registry is process-wide and
// thread-safe.

#include "automation/com/Interfaces.h"
#include "automation/com/Variant.h"

#include <QString>
#include <mutex>

namespace orvane
{

class PassedAddress
{
  public:
    /// Registers `value` for "as variant" and "as variant byref".
    explicit PassedAddress(const VARIANT *value);
    /// Registers `object` for "as object", "as idispatch" and "as iunknown".
    explicit PassedAddress(IDispatch *object);
    /// Registers `object` for "as iunknown" only.
    explicit PassedAddress(IUnknown *object);
    /// Registers a variable of type `type` (VT_I4 for a LONG, ...) for "byref as <that type>".
    PassedAddress(void *variable, VARTYPE type);
    /// Withdraws the registration.
    ~PassedAddress();
    PassedAddress(const PassedAddress &) = delete;
    PassedAddress &operator=(const PassedAddress &) = delete;

    /// The address in decimal, as a command names it.
    QString text() const;

  private:
    void enter();
    quintptr address_;
    int kind_;
    VARTYPE type_;
};

/// How a command wants to use a passed address (engine-internal).
enum class PassedUse { Variant, Dispatch, Unknown, ByRef };

/// Holds the registry, so that a registration found under it cannot be
/// withdrawn while the engine takes its copy or reference (engine-internal).
std::unique_lock<std::mutex> lockPassedAddresses();

/// With lockPassedAddresses() held: whether `address` is registered for `use`;
/// for ByRef, `byrefType` is the target type without VT_BYREF (engine-internal).
bool isPassedAddressLocked(quintptr address, PassedUse use, VARTYPE byrefType);

} // namespace orvane
