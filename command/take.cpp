// The package take: "RC device source dest 'mask' workstation" reads the
// source, destination and level map packages from the InfoDrivers and sends
// each included level's command to its device through RVX.
#include "command/take.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "command/dispatch.h"
#include "command/events.h"
#include "command/journal.h"
#include "command/routes.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/command_text.h"
#include "core/commands.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/take_plan.h"
#include "ipc/counters.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"

// The optional filter of the external library: non-zero means it has taken
// the command over and the driver must not send it.
typedef int (__cdecl *CombinerOutputFilter)(char*);

namespace {

CombinerOutputFilter pfnFilter = nullptr;
// The take in progress stopped sending: a close request left it no time.
bool bTakeCut = false;

// Writes the request line, reads the slot into pSlot (kSlotTextMax + 1 bytes:
// at most 256 characters, always terminated) and writes the reply to the
// debug log. A read that got no answer (the InfoDriver gone, hung or too
// slow: not an empty slot) returns false and is logged with the InfoDriver.
bool ReadSlot(HWND hWndInfo, int iInfoDevice, const char* pRequestLine, int iSlot, char* pSlot)
{
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, pRequestLine, iSlot);
    DebugLog(acLine);
    pSlot[0] = '\0';
    if (TakeCut()) {
        DebugLog("Take abandoned - the driver is closing");
        return false;
    }
    if (!ReadInfoSlot(hWndInfo, iSlot, pSlot, kSlotTextMax + 1)) {
        std::snprintf(acLine, sizeof acLine, "Take abandoned - InfoDriver %d did not answer the read of slot %d",
                      iInfoDevice, iSlot);
        DebugLog(acLine);
        return false;
    }
    pSlot[kSlotTextMax] = '\0';
    DebugLog(pSlot);
    return true;
}

// Counts a level command as sent.
void CountDriverMessage()
{
    CountDriverMessageSent();
    TellCountersChanged();
}

// One level of the take as it is decided: a listed command goes to the
// panel's list and, while transmitting, to the filter and then to RVX.
void OfferLevelCommand(LevelStep* pStep)
{
    if (!IsListed(pStep->eDecision)) return;
    LevelCommand& sCmd = pStep->sCmd;
    TellOutputLine(sCmd.acText);
    if (Rvx().iTxRx != kTxRx) return;
    if (pfnFilter != nullptr) {
        int iTaken = pfnFilter(sCmd.acText);
        sCmd.acText[sizeof sCmd.acText - 1] = '\0';
        if (iTaken) {
            CountDriverMessage();
            return;
        }
    }
    if (pStep->eDecision != kLevelSends) return;
    if (bTakeCut || TakeCut()) {
        bTakeCut = true;
        return;
    }
    SendCopyText(hWndMain, Rvx().hWndRvx, sCmd.iMessage, sCmd.iTarget, sCmd.acText);
    JournalLevelCommand(sCmd.iMessage, sCmd.iTarget, sCmd.acText);
    CountDriverMessage();
}

// A take whose slot reads did not all get an answer is abandoned before
// anything is sent: a level command built from a missing package would put
// a wrong crosspoint on air. The route index and the revertive stay as
// they were. The take works on its own copy of the level table: the
// profile's configuration with this take's working fields.
void PerformTake(int iSource, int iDest, const char* pMaskText, int iWorkstation)
{
    const DeviceProfile& sProfile = Profile();
    const InfoLinks& sLinks = Links();
    char acPrevious[kSlotTextMax + 1];
    char acSource[kSlotTextMax + 1];
    char acDest[kSlotTextMax + 1];
    char acLevelMap[kSlotTextMax + 1];
    TakeSlots sSlots = {nullptr, acSource, acDest, acLevelMap};

    int iPrevious = Routes().aiIndex[iDest];
    if (ReadsPreviousSource(iPrevious)) {
        if (!ReadSlot(sLinks.hWndSrcePkgInfo, sProfile.SrcePkgInfoId,
                      "Requesting contents of previous source package slot %d", iPrevious, acPrevious)) {
            return;
        }
        sSlots.pPrevSource = acPrevious;
    }
    if (!ReadSlot(sLinks.hWndSrcePkgInfo, sProfile.SrcePkgInfoId, "Requesting contents of source package slot %d",
                  iSource, acSource) ||
        !ReadSlot(sLinks.hWndDestPkgInfo, sProfile.DestPkgInfoId, "Requesting contents of dest package slot %d", iDest,
                  acDest) ||
        !ReadSlot(sLinks.hWndLevelMapInfo, sProfile.LevelMapInfoId, "Requesting contents of level map slot %d", iDest,
                  acLevelMap)) {
        return;
    }

    TellOutputCleared();
    if (Rvx().iTxRx != kTxRx) TellOutputLine("RX-Only would Tx...");
    TakePlan sPlan;
    bTakeCut = false;
    PlanTake(sProfile.sLevel, sProfile.sMask, sProfile.RevertiveLevel, sSlots, pMaskText, iWorkstation, DebugLog,
             OfferLevelCommand, &sPlan);

    // A take cut short by a close is not recorded: not all of it is on air.
    if (bTakeCut) {
        DebugLog("Take cut short - the driver is closing");
        return;
    }
    if (sPlan.bRecordsRoute) {
        SetRoute(iDest, iSource);
        SendRevertives(iDest, iDest, kRevertiveEach, 0);
    }
}

}  // namespace

int CommandRC(char* pText)
{
    TellCommandShown(pText);
    TakeOrder sOrder;
    Refusal eRefusal = kNotRefused;
    const int bTaken = AcceptTake(pText, DriverLimits(), Routes().abLock, &sOrder, &eRefusal);
    JournalVerdict(eRefusal);
    if (bTaken) {
        PerformTake(sOrder.iSource, sOrder.iDest, sOrder.pMask, sOrder.iWorkstation);
    }
    TellRoutesChanged(1, kPackageMax);
    return 1;
}

void UseExternalLibrary(HMODULE hLibrary)
{
    FARPROC pProc = hLibrary != nullptr ? GetProcAddress(hLibrary, "combinerOutputFilter") : nullptr;
    // Through the generic function pointer type: the export is looked up by
    // name and its type is the library's contract.
    pfnFilter = reinterpret_cast<CombinerOutputFilter>(reinterpret_cast<void (*)(void)>(pProc));
}
