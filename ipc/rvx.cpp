#include "ipc/rvx.h"

#include <cstdint>
#include <cstdio>

#include "app/driver.h"
#include "app/panel.h"
#include "config/profile.h"
#include "core/counter.h"
#include "core/routes.h"
#include "ipc/infolink.h"
#include "ipc/netstatus.h"
#include "ipc/transport.h"
#include "res/resource.h"

HWND hWndRvx = nullptr;
int iRvxNumber = 0;
int iTxRx = 0;

namespace {

const int kDeviceFlag = 0x8000;   // marks the lparam of 2184 as a device number
// How long a peer has to answer a broadcast (RVX its 2032 to the 2031, an
// InfoDriver its 2729 to the 2724): a peer that is busy at the time still
// counts as running when it answers within this time.
const DWORD kFindPeerMs = 10000;

// The attach: not yet tried, RVX's answer awaited, found, or given up. A
// 2032 that arrives after the driver gave up is not taken: the driver is
// already ending without RVX.
enum { kAttachNotTried, kAttachWaiting, kAttachFound, kAttachGivenUp };
int iAttachState = kAttachNotTried;
const int kReportTxRx = 3;        // wparam of 2215 and 2733 for TX/RX
const int kReportRxOnly = 1;      // and for RX only

// Writes the TX/RX indicator: the look first, then the caption.
void ShowTxRxIndicator(int iState)
{
    if (iState == 2) {
        SetPanelText(IDC_INTERFACE, "/__2B0_");
        SetPanelText(IDC_INTERFACE, "Tx/Rx");
    } else {
        SetPanelText(IDC_INTERFACE, "/__1B0_");
        SetPanelText(IDC_INTERFACE, "Rx Only");
    }
}

}  // namespace

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
    if (hWndRvx == nullptr && dwTaken < kFindPeerMs) WaitForSentMessages(kFindPeerMs - dwTaken, &hWndRvx);
    if (hWndRvx == nullptr) {
        iAttachState = kAttachGivenUp;
        ErrorBox("Cannot find KELM Interface Q7RVX.EXE");
        ShutdownDriver();
        return 0;
    }
    iAttachState = kAttachFound;
    LRESULT lNumber = 0;
    SendPeerMessage(hWndRvx, MSG_INTERFACE_NUMBER, 0, 0, &lNumber);
    iRvxNumber = static_cast<int>(lNumber);
    return 1;
}

int RegisterDevice()
{
    char acLine[64];
    // Window handles are pointer-sized; their value fits 32 bits on both targets.
    std::snprintf(acLine, sizeof acLine, "RVX handle 0x%04x",
                  static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hWndRvx)));
    DebugLog(acLine);
    int iResult;
    if (iDevice < 1 || iDevice > 999) {
        ErrorBox("The supplied driver Id is invalid");
        iResult = 1;
    } else {
        std::snprintf(acLine, sizeof acLine, "Attempting to register device %d", iDevice);
        DebugLog(acLine);
        iTxRx = 0;
        // An RVX that has gone since the attach, or that does not answer,
        // must not read as "registered": that is result -1.
        LRESULT lResult = 0;
        if (!SendPeerMessage(hWndRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hWndMain),
                             static_cast<LPARAM>(iDevice | kDeviceFlag), &lResult)) {
            lResult = -1;
        }
        iResult = static_cast<int>(lResult);
        switch (iResult) {
        case 0:
            iTxRx = 2;
            ShowTxRxIndicator(2);
            break;
        case 1:
            ErrorBox("Request refused - ID supplied is invalid");
            iTxRx = 0;
            break;
        case 2:
            ErrorBox("Request refused - A driver has already registered this Id");
            iTxRx = 0;
            break;
        case 3:
            ErrorBox("Request refused - RVX has not been enabled in Driver Mode");
            iTxRx = 0;
            break;
        case -1:
            ErrorBox("Request refused - RVX did not answer the registration");
            break;
        default: {
            // The operator must never see the driver just disappear.
            char acText[64];
            std::snprintf(acText, sizeof acText, "Request refused - RVX answered %d", iResult);
            ErrorBox(acText);
            break;
        }
        }
    }
    std::snprintf(acLine, sizeof acLine, "Result is %d", iResult);
    DebugLog(acLine);
    if (iResult != 0) {
        ShutdownDriver();
        return 0;
    }
    return 1;
}

int UnregisterDevice()
{
    LRESULT lResult = 0;
    SendPeerMessage(hWndRvx, MSG_UNREGISTER, reinterpret_cast<WPARAM>(hWndMain), 0, &lResult);
    return static_cast<int>(lResult);
}

void OnRvxWindow(HWND hWnd)
{
    if (iAttachState == kAttachGivenUp) {
        DebugLog("RVX answered after the driver gave up - ignored");
        return;
    }
    hWndRvx = hWnd;
}

int SetTxRx(int iState)
{
    iTxRx = iState;
    ShowTxRxIndicator(iState);
    BringInfoDriversToState(iState);
    return iTxRx;
}

int HandleNetworkStatus(char* pText)
{
    NetStatus sStatus;
    ParseNetworkStatus(pText, &sStatus);
    if (sStatus.iField1 != iRvxNumber) return 0;
    if (!sStatus.bTxRxKey) return 0;

    int iValue = sStatus.iTxRxValue;
    if ((iValue == 2 || iValue == 3) && iTxRx != 2) {
        SetTxRx(2);
        SendPeerMessage(hWndRvx, MSG_TXRX_REPORT, kReportTxRx, static_cast<LPARAM>(iDevice), nullptr);
    } else if (iValue == 1 && iTxRx != 1) {
        SetTxRx(1);
        SendPeerMessage(hWndRvx, MSG_TXRX_REPORT, kReportRxOnly, static_cast<LPARAM>(iDevice), nullptr);
    }

    char acAnswer[kTextBlockSize];
    FormatNetworkAnswer(acAnswer, sizeof acAnswer, &sStatus, iRvxNumber, iTxRx);
    SendCopyText(hWndMain, hWndRvx, MSG_NETWORK_ANSWER, 0, acAnswer);

    lRevertivesSent = CountOne(lRevertivesSent);
    ShowCounter(IDC_REVERTIVES_TX, lRevertivesSent);
    return 1;
}

LRESULT OnArbitration(UINT uMessage, LPARAM lDevice)
{
    int bOurs = lDevice == static_cast<LPARAM>(iDevice);
    switch (uMessage) {
    case MSG_ARBITRATION_QUERY:
        if (bOurs) return 0;
        return iTxRx != 2 ? 1 : 0;
    case MSG_TXRX_ORDER:
        if (bOurs) {
            SetTxRx(2);
            return 1;
        }
        return iTxRx == 2 ? 1 : 0;
    case MSG_OWNERSHIP_QUERY:
        return bOurs ? 1 : 0;
    case MSG_RX_ONLY_ORDER:
        if (bOurs) SetTxRx(1);
        return 0;
    default:
        return 0;
    }
}
