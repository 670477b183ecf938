#include "automation/com/Interfaces.h"

namespace orvane
{

namespace
{
thread_local int comInitCount = 0;
}

HRESULT CoInitialize(void *)
{
    return comInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (comInitCount > 0)
        --comInitCount;
}

} // namespace orvane
