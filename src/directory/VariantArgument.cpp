#include "directory/VariantArgument.h"

#include "automation/CommandEngine.h"
#include "directory/CommandTrace.h"

#if __has_include("automation/PassedAddress.h")
#include "automation/PassedAddress.h"
#define ORVANE_HAS_PASSED_ADDRESS 1
#endif

namespace orvane
{

HRESULT invokeWithVariant(AutomationObject *object, const QString &before, const VARIANT *value,
                          const QString &after)
{
#ifdef ORVANE_HAS_PASSED_ADDRESS
    const PassedAddress passed(value);
    return sendMethod(object, before + passed.text() + QStringLiteral(" as variant") + after);
#else
    return sendMethod(object, before + QString::number(reinterpret_cast<quintptr>(value)) +
                                  QStringLiteral(" as variant") + after);
#endif
}

} // namespace orvane
