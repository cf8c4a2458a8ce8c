#include "ipc/rvx.h"

#include <cstdint>
#include <cstdio>

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
    // An RVX that has gone since the attach, or that does not answer, must
    // not read as "registered".
    LRESULT lResult = 0;
    if (!SendPeerMessage(sRvx.hWndRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hWndMain),
                         static_cast<LPARAM>(iDevice | kDeviceFlag), &lResult)) {
        lResult = kRegisterNoAnswer;
    }
    int iResult = static_cast<int>(lResult);
    if (iResult == 0) sRvx.iTxRx = kTxRx;
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
    if (iState != sRvx.iTxRx) JournalEvent("txrx", JournalTxRxText(iState == kTxRx, pWhy));
    sRvx.iTxRx = iState;
    BringInfoDriversToState(iState);
    return sRvx.iTxRx;
}

int HandleNetworkStatus(char* pText)
{
    NetStatus sStatus;
    ParseNetworkStatus(pText, &sStatus);
    if (sStatus.iField1 != sRvx.iRvxNumber) return 0;
    if (!sStatus.bTxRxKey) return 0;

    int iValue = sStatus.iTxRxValue;
    const LPARAM lDevice = static_cast<LPARAM>(Profile().iDevice);
    if ((iValue == 2 || iValue == 3) && sRvx.iTxRx != kTxRx) {
        SetTxRx(kTxRx, "RVX network status");
        SendPeerMessage(sRvx.hWndRvx, MSG_TXRX_REPORT, kReportTxRx, lDevice, nullptr);
    } else if (iValue == 1 && sRvx.iTxRx != kRxOnly) {
        SetTxRx(kRxOnly, "RVX network status");
        SendPeerMessage(sRvx.hWndRvx, MSG_TXRX_REPORT, kReportRxOnly, lDevice, nullptr);
    }

    char acAnswer[kTextBlockSize];
    FormatNetworkAnswer(acAnswer, sizeof acAnswer, &sStatus, sRvx.iRvxNumber, sRvx.iTxRx);
    SendCopyText(hWndMain, sRvx.hWndRvx, MSG_NETWORK_ANSWER, 0, acAnswer);

    CountRevertiveSent();
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
