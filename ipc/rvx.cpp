#include "ipc/rvx.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/journal_file.h"
#include "config/profile.h"
#include "core/log.h"
#include "ipc/counters.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/netstatus.h"
#include "ipc/transport.h"

namespace {

RvxLink sRvx = {nullptr, 0, kTxRxNone};

// The attach: not yet tried, RVX's answer awaited, found, or given up. A
// 2032 that arrives after the driver gave up is not taken: the driver is
// already ending without RVX.
enum { kAttachNotTried, kAttachWaiting, kAttachFound, kAttachGivenUp };
int iAttachState = kAttachNotTried;

// State changes waiting to be carried out, oldest first: an order (2180,
// 2190) with its state, or a network status with its text, which is read
// again when its turn comes (whether it changes the state depends on the
// state then).
struct StateChange {
    bool bStatus;
    unsigned long ulAfter;   // router commands that had arrived before it
    int iState;
    const char* pWhy;   // for the take journal (a string literal)
    char acText[kTextBlockSize + 1];
};
const int kChangeMax = 32;
StateChange asChange[kChangeMax];
int iChangeFirst = 0;
int nChange = 0;
bool bApplying = false;   // a change is being carried out (its sends may nest others)
int iHold = 0;            // HoldTxRx minus ReleaseTxRx
// What the last 2215 told RVX (0: none was sent). A later change by an
// order tells RVX too when that report would otherwise stand wrong.
WPARAM wLastReport = 0;

WPARAM ReportValue(int iState)
{
    return iState == kTxRx ? kReportTxRx : kReportRxOnly;
}

void Report(int iState)
{
    wLastReport = ReportValue(iState);
    SendPeerMessage(sRvx.hWndRvx, MSG_TXRX_REPORT, wLastReport, static_cast<LPARAM>(Profile().iDevice), nullptr);
}

void ChangeState(int iState, const char* pWhy)
{
    if (iState != sRvx.iTxRx) JournalEvent("txrx", JournalTxRxText(iState == kTxRx, pWhy));
    sRvx.iTxRx = iState;
    BringInfoDriversToState(iState);
}

void ApplyOrder(int iState, const char* pWhy)
{
    ChangeState(iState, pWhy);
    if (iState == kTxRxNone) {
        wLastReport = 0;   // not registered: no report stands
    } else if (wLastReport != 0 && wLastReport != ReportValue(iState)) {
        Report(iState);
    }
}

void ApplyNetworkStatus(char* pText)
{
    NetStatus sStatus;
    ParseNetworkStatus(pText, &sStatus);
    int iValue = sStatus.iTxRxValue;
    if ((iValue == kNetStatusTxRx || iValue == kNetStatusTxRxToo) && sRvx.iTxRx != kTxRx) {
        ChangeState(kTxRx, "RVX network status");
        Report(kTxRx);
    } else if (iValue == kNetStatusRxOnly && sRvx.iTxRx != kRxOnly) {
        ChangeState(kRxOnly, "RVX network status");
        Report(kRxOnly);
    }

    char acAnswer[kTextBlockSize];
    FormatNetworkAnswer(acAnswer, sizeof acAnswer, &sStatus, sRvx.iRvxNumber, sRvx.iTxRx);
    SendCopyText(hWndMain, sRvx.hWndRvx, MSG_NETWORK_ANSWER, 0, acAnswer);
    CountRevertiveSent();
}

// Carries out the waiting changes in order, unless one is being carried
// out already (it goes on with the rest) or the state is held.
void ApplyStateChanges()
{
    if (bApplying || iHold > 0) return;
    bApplying = true;
    while (nChange > 0) {
        // A change waits for the router commands that arrived before it:
        // they run under the state they arrived in, as at the partner
        // driver, which takes the same commands in the same order. (Else a
        // take queued behind a slow one would run receive-only here after an
        // RX-only order, while the partner, receive-only when it took it,
        // recorded it too: nobody would send it.)
        if (TextsLeft(kCommandQueue) < asChange[iChangeFirst].ulAfter) break;
        StateChange sChange = asChange[iChangeFirst];
        iChangeFirst = (iChangeFirst + 1) % kChangeMax;
        --nChange;
        if (sChange.bStatus) {
            ApplyNetworkStatus(sChange.acText);
        } else {
            ApplyOrder(sChange.iState, sChange.pWhy);
        }
    }
    bApplying = false;
}

void QueueStateChange(bool bStatus, int iState, const char* pWhy, const char* pText)
{
    if (nChange == kChangeMax) {
        DebugLog("Too many TX/RX changes waiting - the oldest was dropped");
        iChangeFirst = (iChangeFirst + 1) % kChangeMax;
        --nChange;
    }
    StateChange& sChange = asChange[(iChangeFirst + nChange) % kChangeMax];
    sChange.bStatus = bStatus;
    sChange.ulAfter = TextsEntered(kCommandQueue);
    sChange.iState = iState;
    sChange.pWhy = pWhy;
    sChange.acText[0] = '\0';
    if (pText != nullptr) {
        std::strncpy(sChange.acText, pText, kTextBlockSize);
        sChange.acText[kTextBlockSize] = '\0';
    }
    ++nChange;
    ApplyStateChanges();
}

}  // namespace

const RvxLink& Rvx()
{
    return sRvx;
}

int AttachToRvx()
{
    DebugLog("Trying to attach to RVX");
    // RVX answers with 2032, usually while the broadcast is still going on,
    // and the main window keeps its window in hWndRvx (OnRvxWindow). An RVX
    // that was busy answers later: it is waited for.
    iAttachState = kAttachWaiting;
    DWORD dwStart = GetTickCount();
    BroadcastToTopLevel(MSG_ATTACH, reinterpret_cast<WPARAM>(hWndMain), 0);
    DWORD dwTaken = GetTickCount() - dwStart;
    if (sRvx.hWndRvx == nullptr && dwTaken < kFindPeerMs) {
        WaitForSentMessages(kFindPeerMs - dwTaken, &sRvx.hWndRvx);
    }
    if (sRvx.hWndRvx == nullptr) {
        iAttachState = kAttachGivenUp;
        return 0;
    }
    UseRvx(sRvx.hWndRvx);
    return 1;
}

void UseRvx(HWND hWnd)
{
    sRvx.hWndRvx = hWnd;
    iAttachState = kAttachFound;
    LRESULT lNumber = 0;
    SendPeerMessage(sRvx.hWndRvx, MSG_INTERFACE_NUMBER, 0, 0, &lNumber);
    sRvx.iRvxNumber = static_cast<int>(lNumber);
}

// The "Result is" line gives RVX's answer as it came, -1 when none came, and
// 1 for a device number the driver does not send.
int RegisterDevice()
{
    const int iDevice = Profile().iDevice;
    char acLine[64];
    // Window handles are pointer-sized; their value fits 32 bits on both targets.
    std::snprintf(acLine, sizeof acLine, "RVX handle 0x%04x",
                  static_cast<unsigned int>(reinterpret_cast<uintptr_t>(sRvx.hWndRvx)));
    DebugLog(acLine);
    if (iDevice < 1 || iDevice > kDeviceMax) {
        DebugLog("Result is 1");
        return kRegisterInvalidId;
    }
    std::snprintf(acLine, sizeof acLine, "Attempting to register device %d", iDevice);
    DebugLog(acLine);
    sRvx.iTxRx = kTxRxNone;
    wLastReport = 0;
    // An RVX that has gone since the attach, or that does not answer, must
    // not read as "registered".
    LRESULT lResult = 0;
    if (!SendPeerMessage(sRvx.hWndRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hWndMain),
                         static_cast<LPARAM>(iDevice | kDeviceFlag), &lResult)) {
        lResult = kRegisterNoAnswer;
    }
    int iResult = static_cast<int>(lResult);
    if (iResult == kRegistered) sRvx.iTxRx = kTxRx;
    std::snprintf(acLine, sizeof acLine, "Result is %d", iResult);
    DebugLog(acLine);
    return iResult;
}

int UnregisterDevice()
{
    LRESULT lResult = 0;
    SendPeerMessage(sRvx.hWndRvx, MSG_UNREGISTER, reinterpret_cast<WPARAM>(hWndMain), 0, &lResult);
    return static_cast<int>(lResult);
}

void OnRvxWindow(HWND hWnd)
{
    if (iAttachState == kAttachGivenUp) {
        DebugLog("RVX answered after the driver gave up - ignored");
        return;
    }
    sRvx.hWndRvx = hWnd;
}

int SetTxRx(int iState, const char* pWhy)
{
    QueueStateChange(false, iState, pWhy, nullptr);
    return sRvx.iTxRx;
}

void HoldTxRx()
{
    ++iHold;
}

void ReleaseTxRx()
{
    if (iHold > 0) --iHold;
    ApplyStateChanges();
}

// 1 for a network status of this interface with the TXRX key, which is
// answered (once any change that arrived before it has been carried out).
int HandleNetworkStatus(char* pText)
{
    char acCopy[kTextBlockSize + 1];
    std::strncpy(acCopy, pText, kTextBlockSize);
    acCopy[kTextBlockSize] = '\0';
    NetStatus sStatus;
    ParseNetworkStatus(acCopy, &sStatus);
    if (sStatus.iField1 != sRvx.iRvxNumber) return 0;
    if (!sStatus.bTxRxKey) return 0;
    QueueStateChange(true, 0, "RVX network status", pText);
    return 1;
}

LRESULT OnArbitration(UINT uMessage, LPARAM lDevice)
{
    int bOurs = lDevice == static_cast<LPARAM>(Profile().iDevice);
    switch (uMessage) {
    case MSG_ARBITRATION_QUERY:
        if (bOurs) return 0;
        return sRvx.iTxRx != kTxRx ? 1 : 0;
    case MSG_TXRX_ORDER:
        if (bOurs) {
            SetTxRx(kTxRx, "RVX's TX/RX order");
            return 1;
        }
        return sRvx.iTxRx == kTxRx ? 1 : 0;
    case MSG_OWNERSHIP_QUERY:
        return bOurs ? 1 : 0;
    case MSG_RX_ONLY_ORDER:
        if (bOurs) SetTxRx(kRxOnly, "RVX's RX-only order");
        return 0;
    default:
        return 0;
    }
}
