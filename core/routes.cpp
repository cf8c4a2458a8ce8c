#include "core/routes.h"

#include "app/driver.h"
#include "app/panel.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/command_text.h"
#include "core/counter.h"
#include "core/dispatch.h"
#include "core/tokenizer.h"
#include "ipc/messages.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "res/resource.h"

int aiIndex[kPackageMax + 1];
int abLock[kPackageMax + 1];
int iLastChanged = 0;
long lRevertivesSent = 0;

namespace {

const int kRevertiveMark = 0x8000;   // last revertive of a 2188 series

// Fields of a destination range command ("RP", "RQ"): device, first, last,
// workstation. Returns 0 when the command is refused.
int AcceptRange(char* pText, int* piFirst, int* piLast, int* piWorkstation)
{
    char* apField[5];
    int aiValue[4];
    if (TokenizeCommand(pText, 4, apField, aiValue) < 4) return 0;
    if (!IsOurDevice(aiValue[0]) || !IsDestValid(aiValue[1]) || !HasAccess(aiValue[3])) return 0;
    *piFirst = aiValue[1];
    *piLast = aiValue[2] > DatabaseSize_1 ? DatabaseSize_1 : aiValue[2];
    *piWorkstation = aiValue[3];
    return 1;
}

}  // namespace

void SendRevertives(int iFirst, int iLast, int iMode, int iValue)
{
    if (iTxRx != 2) return;
    int iMessage = iMode == 1 ? MSG_REVERTIVE : MSG_REVERTIVE_SERIES;
    // The tables end at kPackageMax; nothing beyond them is ever sent.
    int iFrom = iFirst < 1 ? 1 : iFirst;
    int iTo = iLast > kPackageMax ? kPackageMax : iLast;
    for (int d = iFrom; d <= iTo; ++d) {
        char acText[64];
        FormatRevertive(acText, sizeof acText, iDevice, d, aiIndex[d]);
        int iSendValue = iValue;
        if (d == iTo && iMessage == MSG_REVERTIVE_SERIES) iSendValue |= kRevertiveMark;
        SendCopyText(hWndMain, hWndRvx, iMessage, iSendValue, acText);
        lRevertivesSent = CountOne(lRevertivesSent);
    }
    ShowCounter(IDC_REVERTIVES_TX, lRevertivesSent);
    if (iCurrentDest >= iFirst && iCurrentDest <= iLast) UpdateLockDisplay();
}

// "RF device workstation": reload the access list, then all revertives. The
// workstation is checked against the list as it stood before the reload.
int CommandRF(char* pText)
{
    char* apField[3];
    int aiValue[2];
    if (TokenizeCommand(pText, 2, apField, aiValue) < 2) return 0;
    if (!IsOurDevice(aiValue[0]) || !HasAccess(aiValue[1])) return 0;
    LoadAccessList();
    SendRevertives(1, DatabaseSize_1, 1, aiValue[1]);
    return 1;
}

// "RL device first last value workstation": set the lock value of a range of
// destinations and write the lock file at once. No revertive follows.
int CommandRL(char* pText)
{
    DebugLog(pText);
    char* apField[6];
    int aiValue[5];
    if (TokenizeCommand(pText, 5, apField, aiValue) < 5) return 0;
    if (!IsOurDevice(aiValue[0]) || !IsDestValid(aiValue[1]) || !IsDestValid(aiValue[2]) ||
        !HasNumericAccess(apField[4], aiValue[4])) {
        return 0;
    }
    int iTo = aiValue[2] > kPackageMax ? kPackageMax : aiValue[2];
    for (int d = aiValue[1]; d <= iTo; ++d) abLock[d] = aiValue[3];
    bIndexDirty = 1;
    bLockDirty = 1;
    UpdateLockDisplay();
    SaveLockFile();
    return 1;
}

// "RP device first last workstation": revertives of a range, one 2187 each.
int CommandRP(char* pText)
{
    int iFirst, iLast, iWorkstation;
    if (AcceptRange(pText, &iFirst, &iLast, &iWorkstation)) SendRevertives(iFirst, iLast, 1, iWorkstation);
    return 1;
}

// "RQ device first last workstation": as "RP", as a 2188 series whose last
// revertive is marked.
int CommandRQ(char* pText)
{
    int iFirst, iLast, iWorkstation;
    if (AcceptRange(pText, &iFirst, &iLast, &iWorkstation)) SendRevertives(iFirst, iLast, 2, iWorkstation);
    return 1;
}

// Message 2177: p1 names the device; p2 = 2 asks for the destinations routed
// from the package of the last name change, anything else for all of them.
void OnRevertiveRequest(intptr_t p1, intptr_t p2)
{
    if (p1 != iDevice) return;
    if (p2 != 2) {
        SendRevertives(1, DatabaseSize_1, 1, 0);
        return;
    }
    if (iLastChanged == 0) return;
    int iTo = DatabaseSize_1 > kPackageMax ? kPackageMax : DatabaseSize_1;
    for (int d = 1; d <= iTo; ++d) {
        if (aiIndex[d] == iLastChanged) SendRevertives(d, d, 1, 0);
    }
}
