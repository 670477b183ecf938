#pragma once
// Passing a VARIANT (a photo's bytes, an array of values) to one command by
// its address: the one place that turns an address into command text; the
// address is registered with the engine (PassedAddress) for the command only.

#include "automation/com/Variant.h"

#include <QString>

namespace orvane
{

struct AutomationObject;

/// Invokes `before` + the address of `value` in decimal + " as variant" +
/// `after` on `object`; returns the HRESULT (the engine's last error is set).
HRESULT invokeWithVariant(AutomationObject *object, const QString &before, const VARIANT *value,
                          const QString &after);

} // namespace orvane
