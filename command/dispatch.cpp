#include "command/dispatch.h"

#include <cstdio>

#include "command/events.h"
#include "command/journal.h"
#include "command/routes.h"
#include "command/take.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/command_text.h"
#include "core/log.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/work_state.h"

// Commands are taken from the ring in arrival order: the ring never loses or
// repeats one, so the index posted with 2049 is not needed to find it.
void OnCommandQueued(int)
{
    char acText[kRingTextSize];
    if (!TakeQueuedText(kCommandQueue, acText)) return;
    DispatchCommand(acText);
    // Counted whatever the command was.
    CountCommandReceived();
    TellCountersChanged();
}

// At a close, before the unregister: a queued lock, poll or refresh needs
// no InfoDriver and is carried out, in arrival order, while time is left; a
// take, any other text, and whatever the time left no room for are dropped,
// each with its journal line. Texts that arrive meanwhile join the queue.
long CarryOutQueuedAtClose(unsigned long ulLimitMs)
{
    const DWORD dwStart = GetTickCount();
    BeginCloseDrain(dwStart, ulLimitMs);
    long nDropped = 0;
    char acText[kRingTextSize];
    while (TakeQueuedText(kCommandQueue, acText)) {
        const CommandKind eKind = CommandKindOf(acText);
        const bool bNeedsNoPeer = eKind == CMD_RL || eKind == CMD_RP || eKind == CMD_RQ || eKind == CMD_RF;
        if (bNeedsNoPeer && GetTickCount() - dwStart < ulLimitMs) {
            DispatchCommand(acText);
            CountCommandReceived();
        } else {
            JournalDroppedAtClose(acText);
            ++nDropped;
        }
    }
    EndCloseDrain();
    TellCountersChanged();
    return nDropped;
}

CommandHandler HandlerOf(const char* pText)
{
    switch (CommandKindOf(pText)) {
    case CMD_RC: return CommandRC;
    case CMD_RF: return CommandRF;
    case CMD_RL: return CommandRL;
    case CMD_RP: return CommandRP;
    case CMD_RQ: return CommandRQ;
    default:     return nullptr;
    }
}

void DispatchCommand(char* pText)
{
    if (pText == nullptr) return;
    char acLine[256];
    DebugLog("!");
    std::snprintf(acLine, sizeof acLine, "P TXRX is %d", Rvx().iTxRx);
    DebugLog(acLine);
    std::snprintf(acLine, sizeof acLine, "Parsing - [%s]", pText);
    DebugLog(acLine);

    // The handler's acceptance flag is not needed here: it gives the
    // journal its verdict itself.
    JournalCommandReceived(pText);
    CommandHandler pHandler = HandlerOf(pText);
    if (pHandler != nullptr) pHandler(pText);
    JournalCommandDone();
}

bool TakeFromPanel(int iSource, int iDest)
{
    if (iSource < 1 || iSource > Profile().DatabaseSize_0) return false;
    if (iDest < 1 || iDest > Profile().DatabaseSize_1) return false;
    char acCommand[64];
    std::snprintf(acCommand, sizeof acCommand, "RC %d %d %d ',---' 0", Profile().iDevice, iSource, iDest);
    DebugLog(acCommand);
    DispatchCommand(acCommand);
    return true;
}

bool ToggleLockFromPanel(int iDest)
{
    if (iDest < 1 || iDest > Profile().DatabaseSize_1) return false;
    char acCommand[32];
    std::snprintf(acCommand, sizeof acCommand, "RL %d %d %d %d 0", Profile().iDevice, iDest, iDest,
                  Routes().abLock[iDest] != 0 ? 0 : 1);
    DispatchCommand(acCommand);
    return true;
}

CommandLimits DriverLimits()
{
    const DeviceProfile& sProfile = Profile();
    CommandLimits sLimits = {sProfile.iDevice, sProfile.DatabaseSize_0, sProfile.DatabaseSize_1, sProfile.abAccess};
    return sLimits;
}
