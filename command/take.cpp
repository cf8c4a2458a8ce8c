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
#include "config/journal_file.h"
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
#include "ipc/work_state.h"

// The optional filter of the external library: non-zero means it has taken
// the command over and the driver must not send it.
typedef int (__cdecl *CombinerOutputFilter)(char*);

namespace {

CombinerOutputFilter pfnFilter = nullptr;

HWND LinkWindow(int iLink)
{
    const InfoLinks& sLinks = Links();
    if (iLink == kSourceLink) return sLinks.hWndSrcePkgInfo;
    return iLink == kDestLink ? sLinks.hWndDestPkgInfo : sLinks.hWndLevelMapInfo;
}

// A link that is missing, or whose InfoDriver has gone, is looked for again
// (when a look is due); what came of it goes to the journal. True when it
// was linked again: the InfoDriver is then brought to the driver's state.
bool FindLinkAgain(int iLink)
{
    int iDevice = 0;
    HWND hWnd = LinkWindow(iLink);
    RelinkOutcome eOutcome = hWnd != nullptr ? RelinkIfGone(hWnd, &iDevice) : RelinkMissing(iLink, &iDevice);
    char acLine[96];
    if (eOutcome == kLinkGone) {
        std::snprintf(acLine, sizeof acLine, "InfoDriver %d has gone - not found again", iDevice);
        JournalNote(acLine);
    } else if (eOutcome == kLinkFoundAgain) {
        std::snprintf(acLine, sizeof acLine, "InfoDriver %d linked again", iDevice);
        JournalNote(acLine);
        BringInfoDriversToState(Rvx().iTxRx);
    }
    return eOutcome == kLinkFoundAgain;
}

// Writes the request line, reads the slot into pSlot (kSlotTextMax + 1 bytes:
// at most 256 characters, always terminated) and writes the reply to the
// debug log. A read that got no answer (the InfoDriver gone, hung or too
// slow: not an empty slot) returns false and is logged and journaled with
// the InfoDriver; one whose InfoDriver has gone is read once more if it is
// found again.
bool ReadSlot(int iLink, int iInfoDevice, const char* pRequestLine, int iSlot, char* pSlot)
{
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, pRequestLine, iSlot);
    DebugLog(acLine);
    pSlot[0] = '\0';
    if (TakeCut(GetTickCount())) {
        DebugLog("Take abandoned - the driver is closing");
        return false;
    }
    bool bAnswered = ReadInfoSlot(LinkWindow(iLink), iSlot, pSlot, kSlotTextMax + 1);
    if (!bAnswered && FindLinkAgain(iLink)) bAnswered = ReadInfoSlot(LinkWindow(iLink), iSlot, pSlot, kSlotTextMax + 1);
    if (!bAnswered) {
        std::snprintf(acLine, sizeof acLine, "Take abandoned - InfoDriver %d did not answer the read of slot %d",
                      iInfoDevice, iSlot);
        DebugLog(acLine);
        std::snprintf(acLine, sizeof acLine, "take abandoned - InfoDriver %d did not answer the read of slot %d",
                      iInfoDevice, iSlot);
        JournalNote(acLine);
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

// Set once a level command of the take under way was not taken by RVX: the
// take stops there, so that no later level goes on air without it.
bool bTakeStopped = false;

// One level of the take as it is decided: a listed command goes to the
// panel's list and, while transmitting, to the filter and then to RVX. A
// command RVX does not take (gone, hung or too slow: the request was given
// up) stops the take: it is journaled as not delivered and left off the
// panel's list, which shows what went out.
void OfferLevelCommand(LevelStep* pStep)
{
    if (bTakeStopped || !IsListed(pStep->eDecision)) return;
    LevelCommand& sCmd = pStep->sCmd;
    char acShown[sizeof sCmd.acText];
    std::memcpy(acShown, sCmd.acText, sizeof acShown);
    if (Rvx().iTxRx != kTxRx) {
        TellOutputLine(acShown);
        return;
    }
    if (pfnFilter != nullptr) {
        int iTaken = pfnFilter(sCmd.acText);
        sCmd.acText[sizeof sCmd.acText - 1] = '\0';
        if (iTaken) {
            TellOutputLine(acShown);
            CountDriverMessage();
            return;
        }
    }
    if (pStep->eDecision != kLevelSends) {
        TellOutputLine(acShown);
        return;
    }
    // With a close pending, the take sends its level commands only within
    // its grace; one cut short is not recorded, as one RVX did not take.
    if (TakeCut(GetTickCount())) {
        bTakeStopped = true;
        DebugLog("Take cut short - the driver is closing");
        return;
    }
    bool bTaken = false;
    SendCopyTextAnswered(hWndMain, Rvx().hWndRvx, sCmd.iMessage, sCmd.iTarget, sCmd.acText, nullptr, 0, &bTaken);
    if (!bTaken) {
        bTakeStopped = true;
        JournalLevelCommand(sCmd.iMessage, sCmd.iTarget, sCmd.acText, false);
        char acLine[sizeof sCmd.acText + 64];
        std::snprintf(acLine, sizeof acLine, "Take stopped - RVX did not take %s", sCmd.acText);
        DebugLog(acLine);
        return;
    }
    TellOutputLine(acShown);
    JournalLevelCommand(sCmd.iMessage, sCmd.iTarget, sCmd.acText);
    CountDriverMessage();
}

// A take whose slot reads did not all get an answer is abandoned before
// anything is sent: a level command built from a missing package would put
// a wrong crosspoint on air. The route index and the revertive stay as
// they were, as they do for a take that stopped at a level command RVX did
// not take. The panel's list is cleared first, so an abandoned take leaves
// no earlier take's commands in it. The take works on its own copy of the
// level table: the profile's configuration with this take's working fields.
void PerformTake(int iSource, int iDest, const char* pMaskText, int iWorkstation)
{
    const DeviceProfile& sProfile = Profile();
    char acPrevious[kSlotTextMax + 1];
    char acSource[kSlotTextMax + 1];
    char acDest[kSlotTextMax + 1];
    char acLevelMap[kSlotTextMax + 1];
    TakeSlots sSlots = {nullptr, acSource, acDest, acLevelMap};

    TellOutputCleared();
    bTakeStopped = false;
    int iPrevious = Routes().aiIndex[iDest];
    if (ReadsPreviousSource(iPrevious)) {
        if (!ReadSlot(kSourceLink, sProfile.SrcePkgInfoId,
                      "Requesting contents of previous source package slot %d", iPrevious, acPrevious)) {
            return;
        }
        sSlots.pPrevSource = acPrevious;
    }
    if (!ReadSlot(kSourceLink, sProfile.SrcePkgInfoId, "Requesting contents of source package slot %d",
                  iSource, acSource) ||
        !ReadSlot(kDestLink, sProfile.DestPkgInfoId, "Requesting contents of dest package slot %d", iDest,
                  acDest) ||
        !ReadSlot(kLevelMapLink, sProfile.LevelMapInfoId, "Requesting contents of level map slot %d", iDest,
                  acLevelMap)) {
        return;
    }

    if (Rvx().iTxRx != kTxRx) TellOutputLine("RX-Only would Tx...");
    TakePlan sPlan;
    PlanTake(sProfile.sLevel, sProfile.sMask, sProfile.RevertiveLevel, sSlots, pMaskText, iWorkstation, DebugLog,
             OfferLevelCommand, &sPlan);

    if (sPlan.bRecordsRoute && !bTakeStopped) {
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
        // The take runs whole under the transmit state it starts with: a
        // change that arrives meanwhile takes effect after it.
        HoldTxRx();
        PerformTake(sOrder.iSource, sOrder.iDest, sOrder.pMask, sOrder.iWorkstation);
        ReleaseTxRx();
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
