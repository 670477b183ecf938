#include "directory/VariantArgument.h"

#include "automation/CommandEngine.h"
#include "automation/PassedAddress.h"
#include "directory/CommandTrace.h"

namespace orvane
{

HRESULT invokeWithVariant(AutomationObject *object, const QString &before, const VARIANT *value,
                          const QString &after)
{
    // The engine takes the number as an address only while it is registered.
    const PassedAddress passed(value);
    return sendMethod(object, before + passed.text() + QStringLiteral(" as variant") + after);
}

} // namespace orvane
