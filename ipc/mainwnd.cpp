#include "ipc/mainwnd.h"

#include <cstdint>
#include <cstdio>

#include "app/driver.h"
#include "app/menu.h"
#include "app/panel.h"
#include "config/profile.h"
#include "core/dispatch.h"
#include "core/routes.h"
#include "ipc/infolink.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"

TextRing sCommandRing;
TextRing sInfoRing;

namespace {

// One drain message per ring is outstanding at most: the queue of posted
// messages is limited, so a burst of texts must not post one message each.
int bCommandDrainPosted = 0;
int bInfoDrainPosted = 0;

// Stores a received text for processing from the message loop and releases
// the sender at once. Sends nothing, so it is safe inside any nested send.
LRESULT RingIntake(TextRing* pRing, int* pbDrainPosted, UINT uDrain, const char* pText)
{
    if (pText == nullptr) pText = "";
    char acLine[256];
    std::snprintf(acLine, sizeof acLine, "<%s>", pText);
    DebugLog(acLine);

    if (RingPush(pRing, pText) < 0) {
        std::snprintf(acLine, sizeof acLine, "Queue full (%ld texts dropped): %.127s", pRing->lDropped, pText);
        DebugLog(acLine);
    }
    if (!*pbDrainPosted && pRing->iPending > 0) {
        if (PostMessageA(hWndMain, uDrain, static_cast<WPARAM>(pRing->iRead), 0)) *pbDrainPosted = 1;
    }
    return 1;
}

// After one text has been processed: post the next drain while texts wait.
// A consumer that took nothing ends the drain instead of spinning on it.
void ContinueDrain(TextRing* pRing, int* pbDrainPosted, UINT uDrain, int iReadBefore, int iPendingBefore)
{
    int bProgress = pRing->iRead != iReadBefore || pRing->iPending < iPendingBefore;
    if (pRing->iPending > 0 && bProgress &&
        PostMessageA(hWndMain, uDrain, static_cast<WPARAM>(pRing->iRead), 0)) {
        *pbDrainPosted = 1;
        return;
    }
    *pbDrainPosted = 0;
}

void DrainCommand(WPARAM wParam)
{
    int iRead = sCommandRing.iRead;
    int iPending = sCommandRing.iPending;
    if (iPending > 0) OnCommandQueued(static_cast<int>(wParam));
    ContinueDrain(&sCommandRing, &bCommandDrainPosted, MSG_COMMAND_QUEUED, iRead, iPending);
}

void DrainInfo()
{
    int iRead = sInfoRing.iRead;
    int iPending = sInfoRing.iPending;
    char acText[kRingTextSize];
    if (RingPop(&sInfoRing, acText)) ForwardInfoWrite(acText);
    ContinueDrain(&sInfoRing, &bInfoDrainPosted, MSG_INFO_QUEUED, iRead, iPending);
}

// 2174: a package name has changed. The low word is the package, the high
// word the database; the revertive refresh later looks at iLastChanged.
void OnNameChanged(LPARAM lParam)
{
    int iPackage = static_cast<int>(static_cast<uintptr_t>(lParam) & 0xFFFF);
    int iDatabase = static_cast<int>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
    iLastChanged = (iDatabase == 0 || iDatabase == 2) ? iPackage : 0;
    RefreshName(iPackage, iDatabase);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uMessage) {
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case MSG_CLOSE_REQUEST:
        ShutdownDriver();
        return 0;
    case WM_COPYDATA:
        HandleCopyData(hWndMain, wParam, lParam);
        return 1;
    case WM_COMMAND:
        OnMenuCommand(wParam);
        return 0;
    case MSG_RVX_WINDOW:
        hWndRvx = reinterpret_cast<HWND>(wParam);
        return 0;
    case MSG_COMMAND_QUEUED:
        DrainCommand(wParam);
        return 0;
    case MSG_INFO_QUEUED:
        DrainInfo();
        return 0;
    case MSG_NETWORK_STATUS:
        return HandleNetworkStatus(reinterpret_cast<char*>(lParam));
    case MSG_NAME_CHANGED:
        OnNameChanged(lParam);
        return 0;
    case MSG_REVERTIVE_REFRESH:
        OnRevertiveRequest(static_cast<intptr_t>(wParam), static_cast<intptr_t>(lParam));
        return 0;
    case MSG_ARBITRATION_QUERY:
    case MSG_TXRX_ORDER:
    case MSG_OWNERSHIP_QUERY:
    case MSG_RX_ONLY_ORDER:
        return OnArbitration(uMessage, lParam);
    case MSG_DRIVER_COMMAND:
        return RingIntake(&sCommandRing, &bCommandDrainPosted, MSG_COMMAND_QUEUED,
                          reinterpret_cast<const char*>(lParam));
    case MSG_INFO_NOTICE:
        return 1;
    case MSG_INFO_CONNECT_ANSWER:
        hWndInfoAnswer = reinterpret_cast<HWND>(wParam);
        return 0;
    case MSG_INFO_MESSAGE:
        return RingIntake(&sInfoRing, &bInfoDrainPosted, MSG_INFO_QUEUED, reinterpret_cast<const char*>(lParam));
    default:
        return DefWindowProcA(hWnd, uMessage, wParam, lParam);
    }
}
