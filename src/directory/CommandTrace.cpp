#include "directory/CommandTrace.h"

#include "automation/CommandEngine.h"

namespace orvane
{

namespace
{
thread_local CommandTrace *currentTrace = nullptr;
}

CommandTrace::CommandTrace() : outer_(currentTrace)
{
    currentTrace = this;
}

CommandTrace::~CommandTrace()
{
    currentTrace = outer_;
}

void traceCommand(const QString &command)
{
    if (currentTrace)
        currentTrace->commands_.append(command);
}

bool commandsTraced()
{
    return currentTrace != nullptr;
}

HRESULT sendMethod(AutomationObject *object, const QString &command, const QString &shown)
{
    traceCommand(shown.isEmpty() ? command : shown);
    return invoke(object, command);
}

HRESULT sendProperty(AutomationObject *object, const QString &command, const QString &shown)
{
    traceCommand(shown.isEmpty() ? command : shown);
    return setProperty(object, command);
}

} // namespace orvane
