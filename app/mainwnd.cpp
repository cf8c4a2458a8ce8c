#include "app/mainwnd.h"

#include <cstdint>
#include <cstdio>

#include "app/driver.h"
#include "app/menu.h"
#include "app/panel.h"
#include "command/dispatch.h"
#include "command/routes.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/work_state.h"
#include "res/resource.h"

static_assert(kAppMessageFirst == WM_APP, "the driver's messages to itself are numbered from WM_APP");

namespace {

// Once shut-down has begun, the files are written and the InfoDrivers are
// unlinked: a take processed now would read no package, yet record a route
// that no file keeps. The shut-down has carried out the queued commands that
// need no peer; texts queued since are dropped, and the log says so. Router
// commands are journaled as dropped, one line each.
void DropAfterClose(TextQueue eQueue)
{
    long nDropped = 0;
    if (eQueue == kCommandQueue) {
        nDropped = CarryOutQueuedAtClose(0);
        PauseDrain(eQueue);
    } else {
        nDropped = DropQueuedTexts(eQueue);
    }
    if (nDropped > 0) {
        char acLine[64];
        std::snprintf(acLine, sizeof acLine, "Closing - %ld queued texts dropped", nDropped);
        DebugLog(acLine);
    }
}

// A drain, back at the message loop, goes on only while the driver is idle.
// Guard: during start-up the texts wait (the modal loop of a message box of
// start-up would otherwise run them in the middle of start-up); start-up
// resumes the drains.
// A close request that waited for the work in progress takes effect here,
// before the next queued text; once closing, the texts are dropped.
bool MayDrain(TextQueue eQueue)
{
    if (IsStarting()) {
        PauseDrain(eQueue);
        return false;
    }
    RunDeferredShutdown();
    if (!IsClosing()) return true;
    DropAfterClose(eQueue);
    return false;
}

void DrainCommand(WPARAM wParam)
{
    if (!MayDrain(kCommandQueue)) return;
    DrainMark sMark = MarkQueue(kCommandQueue);
    if (sMark.iPending > 0) {
        // A state change that arrives meanwhile waits for the settling of
        // the InfoDrivers (so that the last 2733 each gets is the newest)
        // and for the command; the changes that waited for this command
        // are carried out once it is done.
        HoldTxRx();
        SettleInfoDriverStates();
        OnCommandQueued(static_cast<int>(wParam));
        ReleaseTxRx();
    }
    ContinueDrain(kCommandQueue, sMark);
}

void DrainInfo()
{
    if (!MayDrain(kInfoQueue)) return;
    DrainMark sMark = MarkQueue(kInfoQueue);
    char acText[kRingTextSize];
    if (TakeQueuedText(kInfoQueue, acText)) ForwardInfoWrite(acText);
    ContinueDrain(kInfoQueue, sMark);
}

LRESULT NotPosted(UINT uMessage)
{
    char acLine[64];
    std::snprintf(acLine, sizeof acLine, "Message %u sent by another program - ignored", uMessage);
    DebugLog(acLine);
    return 0;
}

// The cause a close request is journaled with: WM_CLOSE, 2175 or File / Exit.
const char* CloseCause(UINT uMessage)
{
    switch (uMessage) {
    case WM_CLOSE: return "WM_CLOSE";
    case WM_COMMAND: return "File / Exit";
    default: return "message 2175 from a peer";
    }
}

// 2174: a package name has changed. The low word is the package, the high
// word the database.
void OnNameChanged(LPARAM lParam)
{
    int iPackage = static_cast<int>(static_cast<uintptr_t>(lParam) & 0xFFFF);
    int iDatabase = static_cast<int>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
    NoteNameChange(iPackage, iDatabase);
    RefreshName(iPackage, iDatabase);
}

}  // namespace

void SeePostedCloses()
{
    const UINT auClose[] = {WM_CLOSE, MSG_CLOSE_REQUEST, WM_COMMAND};
    MSG msg;
    const char* pCause = nullptr;
    for (UINT uMessage : auClose) {
        if (!PeekMessageA(&msg, hWndMain, uMessage, uMessage, PM_NOREMOVE) || msg.message != uMessage) continue;
        if (uMessage == WM_COMMAND && LOWORD(msg.wParam) != IDM_EXIT) continue;
        PeekMessageA(&msg, hWndMain, uMessage, uMessage, PM_REMOVE);
        pCause = CloseCause(uMessage);
        break;
    }
    if (pCause != nullptr) RequestShutdown(pCause);
}

// The messages that change the TX/RX state or a counter are followed by the
// panel's reading of them.
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uMessage) {
    case WM_CLOSE:
    case MSG_CLOSE_REQUEST:
        RequestShutdown(CloseCause(uMessage));
        return 0;
    case WM_QUERYENDSESSION:
        // The driver ends with the session and does not hold it up.
        RequestShutdown("end of the Windows session (WM_QUERYENDSESSION)");
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) EndSession();
        return 0;
    case MSG_CLOSE_DEFERRED:
        RunDeferredShutdown();
        return 0;
    case WM_COPYDATA:
        ReceiveCopyData(hWndMain, wParam, lParam);
        return 1;
    case WM_COMMAND:
        OnMenuCommand(wParam);
        return 0;
    case MSG_RVX_WINDOW:
        OnRvxWindow(reinterpret_cast<HWND>(wParam));
        return 0;
    case MSG_COMMAND_QUEUED: {
        // Guard: only the driver posts the drains; one sent by another
        // program would run a command nested inside whatever the driver is
        // doing (a take inside a take's slot read).
        if (InSendMessage()) return NotPosted(uMessage);
        // A TX/RX change that came during a take took effect at its end.
        const int iTxRx = Rvx().iTxRx;
        DrainCommand(wParam);
        if (Rvx().iTxRx != iTxRx) ShowDriverState();
        return 0;
    }
    case MSG_INFO_QUEUED:
        // Guard: as for the command drain.
        if (InSendMessage()) return NotPosted(uMessage);
        DrainInfo();
        return 0;
    // Guard: once shut-down has begun, nothing these would send (2123,
    // 2187, 2164) may follow the unregister: they are not acted on.
    case MSG_NETWORK_STATUS: {
        char* pText = DeliveredText(uMessage, lParam);
        if (pText == nullptr || IsClosing()) return 0;
        LRESULT lResult = HandleNetworkStatus(pText);
        ShowDriverState();
        return lResult;
    }
    case MSG_NAME_CHANGED:
        if (!IsClosing()) OnNameChanged(lParam);
        return 0;
    case MSG_REVERTIVE_REFRESH:
        if (IsClosing()) return 0;
        OnRevertiveRequest(static_cast<intptr_t>(wParam), static_cast<intptr_t>(lParam));
        return 0;
    case MSG_ARBITRATION_QUERY:
    case MSG_TXRX_ORDER:
    case MSG_OWNERSHIP_QUERY:
    case MSG_RX_ONLY_ORDER: {
        LRESULT lResult = OnArbitration(uMessage, lParam);
        ShowDriverState();
        return lResult;
    }
    case MSG_DRIVER_COMMAND: {
        char* pText = DeliveredText(uMessage, lParam);
        return pText != nullptr ? QueueText(kCommandQueue, pText) : 0;
    }
    case MSG_INFO_NOTICE:
        return 1;
    case MSG_INFO_CONNECT_ANSWER:
        OnInfoConnectAnswer(reinterpret_cast<HWND>(wParam));
        return 0;
    case MSG_INFO_MESSAGE: {
        char* pText = DeliveredText(uMessage, lParam);
        return pText != nullptr ? QueueText(kInfoQueue, pText) : 0;
    }
    default:
        return DefWindowProcA(hWnd, uMessage, wParam, lParam);
    }
}
