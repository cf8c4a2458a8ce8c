#include "command/events.h"

namespace {

const CommandEvents* pHandlers = nullptr;

}  // namespace

void SetCommandEvents(const CommandEvents* pEvents)
{
    pHandlers = pEvents;
}

void TellCommandShown(const char* pText)
{
    if (pHandlers != nullptr && pHandlers->pfnCommandShown != nullptr) pHandlers->pfnCommandShown(pText);
}

void TellOutputCleared()
{
    if (pHandlers != nullptr && pHandlers->pfnOutputCleared != nullptr) pHandlers->pfnOutputCleared();
}

void TellOutputLine(const char* pText)
{
    if (pHandlers != nullptr && pHandlers->pfnOutputLine != nullptr) pHandlers->pfnOutputLine(pText);
}

void TellCountersChanged()
{
    if (pHandlers != nullptr && pHandlers->pfnCountersChanged != nullptr) pHandlers->pfnCountersChanged();
}

void TellRoutesChanged(int iFirst, int iLast)
{
    if (pHandlers != nullptr && pHandlers->pfnRoutesChanged != nullptr) pHandlers->pfnRoutesChanged(iFirst, iLast);
}
