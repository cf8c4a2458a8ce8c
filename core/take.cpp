// The package take: "RC device source dest 'mask' workstation" reads the
// source, destination and level map packages from the InfoDrivers and sends
// each included level's command to its device through RVX.
#include "core/take.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/driver.h"
#include "app/panel.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/counter.h"
#include "core/dispatch.h"
#include "core/routes.h"
#include "core/tokenizer.h"
#include "ipc/infolink.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "res/resource.h"

LevelEntry sLevel[kLevelCount + 1];
MaskEntry sMask[kMaskCount + 1];
long lDriverMessagesSent = 0;

// The optional filter of the external library: non-zero means it has taken
// the command over and the driver must not send it.
typedef int (__cdecl *CombinerOutputFilter)(char*);

namespace {

const int kTakeFields = 5;   // device, source, destination, mask, workstation

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

CombinerOutputFilter FindFilter()
{
    if (!hExternalDll) return nullptr;
    FARPROC pProc = GetProcAddress(hExternalDll, "combinerOutputFilter");
    // Through the generic function pointer type: the export is looked up by
    // name and its type is the library's contract.
    return reinterpret_cast<CombinerOutputFilter>(reinterpret_cast<void (*)(void)>(pProc));
}

// Counts a level command as sent; the panel shows the count with its next
// refresh.
void CountDriverMessage()
{
    lDriverMessagesSent = CountOne(lDriverMessagesSent);
    ShowCounter(IDC_DRIVER_TX, lDriverMessagesSent);
}

// A take whose slot reads did not all get an answer is abandoned before
// anything is sent: a level command built from a missing package would put
// a wrong crosspoint on air. The route index and the revertive stay as
// they were.
void PerformTake(int iSource, int iDest, const char* pMaskText, int iWorkstation)
{
    char acSlot[kSlotTextMax + 1];

    ResetTakeFields(sLevel);

    int iPrevious = aiIndex[iDest];
    if (iPrevious >= 1 && iPrevious <= kPackageMax) {
        if (!ReadSlot(hWndSrcePkgInfo, SrcePkgInfoId, "Requesting contents of previous source package slot %d",
                      iPrevious, acSlot)) {
            return;
        }
        ReadPrevSourceSlot(sLevel, acSlot);
    }
    if (!ReadSlot(hWndSrcePkgInfo, SrcePkgInfoId, "Requesting contents of source package slot %d", iSource, acSlot)) {
        return;
    }
    ReadSourceSlot(sLevel, acSlot);
    if (!ReadSlot(hWndDestPkgInfo, DestPkgInfoId, "Requesting contents of dest package slot %d", iDest, acSlot)) {
        return;
    }
    ReadDestSlot(sLevel, acSlot);
    if (!ReadSlot(hWndLevelMapInfo, LevelMapInfoId, "Requesting contents of level map slot %d", iDest, acSlot)) {
        return;
    }
    ReadLevelMapSlot(sLevel, acSlot);

    SelectLevels(sLevel, sMask, pMaskText, DebugLog);

    ClearOutputList();
    if (iTxRx != 2) AddOutputLine("RX-Only would Tx...");

    CombinerOutputFilter pFilter = FindFilter();

    for (int L = 1; L <= kLevelCount; ++L) {
        LevelCommand sCmd;
        if (!ComposeLevelCommand(sLevel, L, iWorkstation, &sCmd, DebugLog)) continue;
        AddOutputLine(sCmd.acText);
        if (iTxRx != 2) continue;
        if (pFilter) {
            int iTaken = pFilter(sCmd.acText);
            sCmd.acText[sizeof sCmd.acText - 1] = '\0';
            if (iTaken) {
                CountDriverMessage();
                continue;
            }
        }
        if (sCmd.bBlocked) continue;
        SendCopyText(hWndMain, hWndRvx, sCmd.iMessage, sCmd.iTarget, sCmd.acText);
        CountDriverMessage();
    }

    // The index follows the take only when it includes the revertive level.
    if (RevertiveLevel < 1 || RevertiveLevel > kLevelCount || sLevel[RevertiveLevel].iMask != -1) {
        aiIndex[iDest] = iSource;
        bIndexDirty = 1;
        SendRevertives(iDest, iDest, 1, 0);
    }
}

}  // namespace

int CommandRC(char* pText)
{
    ShowCommand(pText);

    char* apField[kTakeFields + 1];
    int aiValue[kTakeFields];
    int nFields = TokenizeCommand(pText, kTakeFields, apField, aiValue);
    if (nFields >= kTakeFields) {
        int iSource = aiValue[1];
        int iDest = aiValue[2];
        int iWorkstation = aiValue[4];
        if (IsOurDevice(aiValue[0]) && HasNumericAccess(apField[4], iWorkstation) && IsSourceValid(iSource)
            && IsDestValid(iDest) && !abLock[iDest]) {
            PerformTake(iSource, iDest, apField[3], iWorkstation);
        }
    }

    UpdateLockDisplay();
    return 1;
}
