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

// A take whose slot reads did not all get an answer is abandoned before
// anything is sent: a level command built from a missing package would put
// a wrong crosspoint on air. The route index and the revertive stay as
// they were. The take works on its own copy of the level table: the
// profile's configuration with this take's working fields.
void PerformTake(int iSource, int iDest, const char* pMaskText, int iWorkstation)
{
    const DeviceProfile& sProfile = Profile();
    const InfoLinks& sLinks = Links();
    char acSlot[kSlotTextMax + 1];

    LevelEntry sLevel[kLevelCount + 1];
    std::memcpy(sLevel, sProfile.sLevel, sizeof sLevel);
    ResetTakeFields(sLevel);

    int iPrevious = Routes().aiIndex[iDest];
    if (ReadsPreviousSource(iPrevious)) {
        if (!ReadSlot(sLinks.hWndSrcePkgInfo, sProfile.SrcePkgInfoId,
                      "Requesting contents of previous source package slot %d", iPrevious, acSlot)) {
            return;
        }
        ReadPrevSourceSlot(sLevel, acSlot);
    }
    if (!ReadSlot(sLinks.hWndSrcePkgInfo, sProfile.SrcePkgInfoId, "Requesting contents of source package slot %d",
                  iSource, acSlot)) {
        return;
    }
    ReadSourceSlot(sLevel, acSlot);
    if (!ReadSlot(sLinks.hWndDestPkgInfo, sProfile.DestPkgInfoId, "Requesting contents of dest package slot %d", iDest,
                  acSlot)) {
        return;
    }
    ReadDestSlot(sLevel, acSlot);
    if (!ReadSlot(sLinks.hWndLevelMapInfo, sProfile.LevelMapInfoId, "Requesting contents of level map slot %d", iDest,
                  acSlot)) {
        return;
    }
    ReadLevelMapSlot(sLevel, acSlot);

    SelectLevels(sLevel, sProfile.sMask, pMaskText, DebugLog);

    TellOutputCleared();
    if (Rvx().iTxRx != kTxRx) TellOutputLine("RX-Only would Tx...");

    for (int L = 1; L <= kLevelCount; ++L) {
        LevelCommand sCmd;
        if (!ComposeLevelCommand(sLevel, L, iWorkstation, &sCmd, DebugLog)) continue;
        TellOutputLine(sCmd.acText);
        if (Rvx().iTxRx != kTxRx) continue;
        if (pfnFilter != nullptr) {
            int iTaken = pfnFilter(sCmd.acText);
            sCmd.acText[sizeof sCmd.acText - 1] = '\0';
            if (iTaken) {
                CountDriverMessage();
                continue;
            }
        }
        if (sCmd.bBlocked) continue;
        SendCopyText(hWndMain, Rvx().hWndRvx, sCmd.iMessage, sCmd.iTarget, sCmd.acText);
        JournalLevelCommand(sCmd.iMessage, sCmd.iTarget, sCmd.acText);
        CountDriverMessage();
    }

    if (TakeRecordsRoute(sLevel, sProfile.RevertiveLevel)) {
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
