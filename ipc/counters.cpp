#include "ipc/counters.h"

#include "core/counter.h"

namespace {

TrafficCounters sCounters = {0, 0, 0};

}  // namespace

const TrafficCounters& Counters()
{
    return sCounters;
}

void CountRevertiveSent()
{
    sCounters.lRevertivesSent = CountOne(sCounters.lRevertivesSent);
}

void CountCommandReceived()
{
    sCounters.lCommandsReceived = CountOne(sCounters.lCommandsReceived);
}

void CountDriverMessageSent()
{
    sCounters.lDriverMessagesSent = CountOne(sCounters.lDriverMessagesSent);
}

void ResetCounters()
{
    sCounters = {0, 0, 0};
}
