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
    // RVX answers with 2032 while the broadcast is still going on; the main
    // window stores its window in hWndRvx.
    BroadcastToTopLevel(MSG_ATTACH, reinterpret_cast<WPARAM>(hWndMain), 0);
    if (hWndRvx == nullptr) {
        ErrorBox("Cannot find KELM Interface Q7RVX.EXE");
        ShutdownDriver();
        return 0;
    }
    iRvxNumber = static_cast<int>(SendMessageA(hWndRvx, MSG_INTERFACE_NUMBER, 0, 0));
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
        // A send that reaches no window also returns 0, which would read as
        // "registered": RVX gone since the attach counts as a refusal (no box).
        iResult = static_cast<int>(SendMessageA(hWndRvx, MSG_REGISTER, reinterpret_cast<WPARAM>(hWndMain),
                                                static_cast<LPARAM>(iDevice | kDeviceFlag)));
        if (iResult == 0 && !IsWindow(hWndRvx)) iResult = -1;
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
        default:
            break;
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
    return static_cast<int>(SendMessageA(hWndRvx, MSG_UNREGISTER, reinterpret_cast<WPARAM>(hWndMain), 0));
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
        SendMessageA(hWndRvx, MSG_TXRX_REPORT, kReportTxRx, static_cast<LPARAM>(iDevice));
    } else if (iValue == 1 && iTxRx != 1) {
        SetTxRx(1);
        SendMessageA(hWndRvx, MSG_TXRX_REPORT, kReportRxOnly, static_cast<LPARAM>(iDevice));
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
