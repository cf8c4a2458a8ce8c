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

// The text request that the transport is delivering: a text message (2121,
// 2189, 2730) is taken only as that delivery, once, because only then does
// its lparam point to a text. The same number sent as a plain message by
// some other program carries no text and is refused.
const COPYDATASTRUCT* pTextRequest = nullptr;

char* DeliveredText(UINT uMessage, LPARAM lParam)
{
    if (pTextRequest == nullptr || lParam == 0) return nullptr;
    if (pTextRequest->cbData == static_cast<DWORD>(kNumericBlockSize)) return nullptr;
    if (EnvelopeMessage(pTextRequest->dwData) != static_cast<int>(uMessage)) return nullptr;
    pTextRequest = nullptr;
    return reinterpret_cast<char*>(lParam);
}

// One drain message per ring is outstanding at most: the queue of posted
// messages is limited, so a burst of texts must not post one message each.
int bCommandDrainPosted = 0;
int bInfoDrainPosted = 0;

// Stores a received text for processing from the message loop and releases
// the sender at once. Sends nothing, so it is safe inside any nested send.
LRESULT RingIntake(TextRing* pRing, int* pbDrainPosted, UINT uDrain, const char* pText)
{
    char acLine[256];
    std::snprintf(acLine, sizeof acLine, "<%s>", pText);
    DebugLog(acLine);

    int iEntry = RingPush(pRing, pText);
    if (iEntry == kRingTooLong) {
        // Never cut: a cut command could lose or change its last fields.
        std::snprintf(acLine, sizeof acLine, "Text longer than %d characters refused: %.127s", kRingTextMax, pText);
        DebugLog(acLine);
    } else if (iEntry < 0) {
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

// Once shut-down has begun, the files are written and the InfoDrivers are
// unlinked: a take processed now would read no package, yet record a route
// that no file keeps. Texts still queued are dropped, and the log says so.
// A close request that waits for the end of the work is carried out here,
// before the next queued text. During start-up the texts wait (a message
// box of start-up would otherwise run them); start-up resumes the drains.
int DropWhileClosing(TextRing* pRing, int* pbDrainPosted)
{
    if (bStarting) {
        *pbDrainPosted = 0;
        return 1;
    }
    if (bShutdownRequested) RunDeferredShutdown();
    if (!bClosing) return 0;
    char acText[kRingTextSize];
    long nDropped = 0;
    while (RingPop(pRing, acText)) ++nDropped;
    if (nDropped > 0) {
        char acLine[64];
        std::snprintf(acLine, sizeof acLine, "Closing - %ld queued texts dropped", nDropped);
        DebugLog(acLine);
    }
    *pbDrainPosted = 0;
    return 1;
}

void DrainCommand(WPARAM wParam)
{
    if (DropWhileClosing(&sCommandRing, &bCommandDrainPosted)) return;
    int iRead = sCommandRing.iRead;
    int iPending = sCommandRing.iPending;
    if (iPending > 0) OnCommandQueued(static_cast<int>(wParam));
    ContinueDrain(&sCommandRing, &bCommandDrainPosted, MSG_COMMAND_QUEUED, iRead, iPending);
}

void DrainInfo()
{
    if (DropWhileClosing(&sInfoRing, &bInfoDrainPosted)) return;
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

void ResumeQueues()
{
    if (sCommandRing.iPending > 0 && !bCommandDrainPosted &&
        PostMessageA(hWndMain, MSG_COMMAND_QUEUED, static_cast<WPARAM>(sCommandRing.iRead), 0)) {
        bCommandDrainPosted = 1;
    }
    if (sInfoRing.iPending > 0 && !bInfoDrainPosted &&
        PostMessageA(hWndMain, MSG_INFO_QUEUED, static_cast<WPARAM>(sInfoRing.iRead), 0)) {
        bInfoDrainPosted = 1;
    }
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uMessage) {
    case WM_CLOSE:
    case MSG_CLOSE_REQUEST:
        RequestShutdown();
        return 0;
    case WM_QUERYENDSESSION:
        // The driver ends with the session and does not hold it up.
        RequestShutdown();
        return TRUE;
    case MSG_CLOSE_DEFERRED:
        RunDeferredShutdown();
        return 0;
    case WM_COPYDATA: {
        const COPYDATASTRUCT* pOuter = pTextRequest;
        pTextRequest = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        HandleCopyData(hWndMain, wParam, lParam);
        pTextRequest = pOuter;
        return 1;
    }
    case WM_COMMAND:
        OnMenuCommand(wParam);
        return 0;
    case MSG_RVX_WINDOW:
        OnRvxWindow(reinterpret_cast<HWND>(wParam));
        return 0;
    case MSG_COMMAND_QUEUED:
        DrainCommand(wParam);
        return 0;
    case MSG_INFO_QUEUED:
        DrainInfo();
        return 0;
    case MSG_NETWORK_STATUS: {
        char* pText = DeliveredText(uMessage, lParam);
        return pText != nullptr ? HandleNetworkStatus(pText) : 0;
    }
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
    case MSG_DRIVER_COMMAND: {
        char* pText = DeliveredText(uMessage, lParam);
        return pText != nullptr ? RingIntake(&sCommandRing, &bCommandDrainPosted, MSG_COMMAND_QUEUED, pText) : 0;
    }
    case MSG_INFO_NOTICE:
        return 1;
    case MSG_INFO_CONNECT_ANSWER:
        OnInfoConnectAnswer(reinterpret_cast<HWND>(wParam));
        return 0;
    case MSG_INFO_MESSAGE: {
        char* pText = DeliveredText(uMessage, lParam);
        return pText != nullptr ? RingIntake(&sInfoRing, &bInfoDrainPosted, MSG_INFO_QUEUED, pText) : 0;
    }
    default:
        return DefWindowProcA(hWnd, uMessage, wParam, lParam);
    }
}
