#include "app/driver.h"

#include <cstdio>
#include <cstring>

#include "app/mainwnd.h"
#include "app/panel.h"
#include "app/startup.h"
#include "command/dispatch.h"
#include "command/take.h"
#include "config/files.h"
#include "config/journal_file.h"
#include "config/paths.h"
#include "config/profile.h"
#include "config/profile_text.h"
#include "core/device_names.h"
#include "core/log.h"
#include "ipc/infolink.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "ipc/work_state.h"
#include "res/resource.h"
#include "res/version.h"

namespace {

// The main window's size when it is created.
const int kMainWidth = 640;
const int kMainHeight = 480;

DriverState sDriver = {nullptr, nullptr, nullptr, nullptr, nullptr};

// A close ends within 30 seconds of its request, whatever the peers do: the
// work in progress finishes within the peer limit of its send under way
// (12 s) and its grace (kTakeGraceMs), and the shut-down shares what is left
// of kCloseBoundMs among its own steps, 5 s at most for each send. The end
// of the session has a shorter bound of its own: the process may be ended
// as soon as WM_ENDSESSION returns.
const DWORD kCloseBoundMs = 27000;
const DWORD kEndSessionBoundMs = 10000;
const DWORD kShutdownPeerTimeoutMs = 5000;
const DWORD kShutdownStepMinMs = 250;

struct CloseClock {
    bool bStarted;
    DWORD dwAt;      // the first close request
    DWORD dwBound;   // the whole close ends this long after it
};
CloseClock sClose = {false, 0, kCloseBoundMs};

void StartCloseClock(DWORD dwBound)
{
    if (!sClose.bStarted) {
        sClose.bStarted = true;
        sClose.dwAt = GetTickCount();
        sClose.dwBound = dwBound;
    } else if (dwBound < sClose.dwBound) {
        sClose.dwBound = dwBound;
    }
    NoteCloseRequested(sClose.dwAt);
}

// An equal share of the time left for nSteps steps, within 250 ms to 5 s.
DWORD ShareOfCloseTime(int nSteps)
{
    DWORD dwUsed = GetTickCount() - sClose.dwAt;
    DWORD dwLeft = dwUsed < sClose.dwBound ? sClose.dwBound - dwUsed : 0;
    DWORD dwShare = dwLeft / static_cast<DWORD>(nSteps);
    if (dwShare > kShutdownPeerTimeoutMs) return kShutdownPeerTimeoutMs;
    return dwShare < kShutdownStepMinMs ? kShutdownStepMinMs : dwShare;
}

// A close request presses OK on any box of the driver's own: start-up waits
// in its modal loop, and on an unattended machine nobody else will.
BOOL CALLBACK PressOwnBox(HWND hWnd, LPARAM)
{
    char acClass[16] = "";
    GetClassNameA(hWnd, acClass, sizeof acClass);
    if (std::strcmp(acClass, "#32770") == 0 && GetWindow(hWnd, GW_OWNER) == hWndMain) {
        PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

typedef BOOL(WINAPI* BwccRegisterFn)(HINSTANCE);

// Loads "<system library directory>\<name>". Returns 0 when it cannot.
HMODULE LoadSystemLibrary(const char* pName)
{
    char acDir[MAX_PATH];
    char acPath[MAX_PATH];
    if (!GetSystemDir(acDir, sizeof acDir)) return nullptr;
    int n = std::snprintf(acPath, sizeof acPath, "%s\\%s", acDir, pName);
    if (n < 0 || n >= static_cast<int>(sizeof acPath)) return nullptr;
    return LoadLibraryA(acPath);
}

// The dialog library's classes serve the panel's windows for the rest of the
// process, so the module is kept in memory even after its handle is released.
void KeepLoaded(HMODULE hModule)
{
    HMODULE hPinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(hModule), &hPinned);
}

// The window title; while a table cannot be saved it carries a mark, so
// that the operator sees it on the panel until a save succeeds.
void ShowTitle(bool bSaveFailing)
{
    char acEnd[32];
    FormatDriverTitleEnd(acEnd, sizeof acEnd, Profile().iDevice);
    char acTitle[96];
    std::snprintf(acTitle, sizeof acTitle, "R7 Idoruzor v%s %s%s", ZUR_VERSION, acEnd,
                  bSaveFailing ? " - NOT SAVED" : "");
    SetWindowTextA(hWndMain, acTitle);
}

}  // namespace

const DriverState& Driver()
{
    return sDriver;
}

void ErrorBox(const char* pText)
{
    MessageBoxA(hWndMain, pText, "! Error !", MB_OK);
}

BOOL RegisterMainClass(HINSTANCE hInstance)
{
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, "grdicon");
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = "Menu";
    wc.lpszClassName = kDriverWindowClass;
    return RegisterClassA(&wc) != 0;
}

BOOL CreateMainWindow(HINSTANCE hInstance, int)
{
    sDriver.hInst = hInstance;
    const DWORD dwStyle = WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    HWND hWnd = CreateWindowExA(0, kDriverWindowClass, nullptr, dwStyle, 0, 0, kMainWidth, kMainHeight, nullptr,
                                nullptr, hInstance, nullptr);
    if (hWnd == nullptr) return FALSE;
    SetMainWindow(hWnd);
    StartDriver();
    return TRUE;
}

void StartDriver()
{
    BeginStartup();
    RunStartup();
    EndStartup();
    if (CloseWaits()) {
        ShutdownDriver(WaitingCloseCause());
    } else {
        ResumeQueues();
    }
}

bool StartupStopped()
{
    return StopRequested();
}

// The close requests (2175, WM_CLOSE, the end of the session, File / Exit)
// come here, and take effect when the work state allows.
void RequestShutdown(const char* pCause)
{
    if (IsClosing()) return;
    StartCloseClock(kCloseBoundMs);
    // The work that goes on until the shut-down waits for its peers no
    // longer than the shut-down would.
    SetPeerTimeout(kShutdownPeerTimeoutMs);
    // Guard: a request that arrived inside one of the driver's own sends (a
    // take reading a slot, a revertive) or during start-up would otherwise
    // run the shut-down in the middle of that work, which then goes on with
    // its InfoDrivers unlinked and RVX unregistered. It waits instead.
    if (CloseMayTakeEffectNow()) {
        ShutdownDriver(pCause);
        return;
    }
    EnumThreadWindows(GetCurrentThreadId(), PressOwnBox, 0);
    // One waiting request posts one MSG_CLOSE_DEFERRED; later ones add nothing.
    if (!NoteWaitingClose(pCause)) return;
    DebugLog("Close request - the shut-down follows the work in progress");
    PostMessageA(hWndMain, MSG_CLOSE_DEFERRED, 0, 0);
}

// The session ends once WM_ENDSESSION returns, and the process with it: the
// shut-down runs now, even inside work in progress (which then sends
// nothing more: sends stop at the unregister), within its own bound.
void EndSession()
{
    StartCloseClock(kEndSessionBoundMs);
    ShutdownDriver("end of the Windows session (WM_ENDSESSION)");
}

void RunDeferredShutdown()
{
    if (WaitingCloseDue()) ShutdownDriver(WaitingCloseCause());
}

void InitDriver()
{
    ShowTitle(false);
    SetSaveStateHook(ShowTitle);
    SetPostedCloseWatch(SeePostedCloses);

    sDriver.hBwccLib = LoadSystemLibrary("BWCC32.DLL");
    if (sDriver.hBwccLib == nullptr) {
        ErrorBox("Cannot find BWCC32.DLL");
        ShutdownDriver("BWCC32.DLL not found");
        return;
    }
    KeepLoaded(sDriver.hBwccLib);
    BwccRegisterFn pRegister = reinterpret_cast<BwccRegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(sDriver.hBwccLib, "BWCCRegister")));
    if (pRegister != nullptr) pRegister(sDriver.hInst);

    sDriver.hCcLib = LoadSystemLibrary("KELM_CC.DLL");
    if (sDriver.hCcLib == nullptr) {
        ErrorBox("Cannot find KELM_CC.DLL");
        ShutdownDriver("KELM_CC.DLL not found");
        return;
    }

    sDriver.hMenu = GetMenu(hWndMain);
    static const UINT auKeyboardItems[] = {IDM_SOURCE_BOX, IDM_DEST_BOX, IDM_TAKE, IDM_LOCK};
    for (UINT uItem : auKeyboardItems) EnableMenuItem(sDriver.hMenu, uItem, MF_BYCOMMAND | MF_GRAYED);
    DrawMenuBar(hWndMain);
}

// Runs once per process, however many close requests arrive. Nothing is
// sent after the unregister, and a file is written only when this run
// changed its table: a driver that loaded nothing, or was refused, writes
// nothing over what another driver keeps there.
void ShutdownDriver(const char* pCause)
{
    // Guard: a second run would journal a second shut-down and send after
    // the unregister; a close request nested in this one's sends ends here.
    if (!BeginClosing()) return;
    JournalEvent("shut-down", pCause);
    StartCloseClock(kCloseBoundMs);
    if (Rvx().hWndRvx != nullptr) {
        // A driver that RVX has not registered carries out nothing: the
        // files are another driver's. The queued commands get a sixth of
        // the time left, their sends as long each.
        DWORD dwQueue = Rvx().iTxRx != kTxRxNone ? ShareOfCloseTime(6) : 0;
        SetPeerTimeout(ShareOfCloseTime(6));
        long nDropped = CarryOutQueuedAtClose(dwQueue);
        if (nDropped > 0) {
            char acLine[64];
            std::snprintf(acLine, sizeof acLine, "Closing - %ld queued texts dropped", nDropped);
            DebugLog(acLine);
        }
        SetPeerTimeout(ShareOfCloseTime(4));
        DisconnectInfoDrivers();
        SetPeerTimeout(ShareOfCloseTime(1));
        UnregisterDevice();
        StopSends(true);
        SaveChangedTables();
    }
    CloseJournal();
    // Each handle is released once.
    if (sDriver.hBwccLib != nullptr) {
        FreeLibrary(sDriver.hBwccLib);
        sDriver.hBwccLib = nullptr;
    }
    ReleaseExternalLibrary();
    PostQuitMessage(0);
}

void LoadExternalLibrary()
{
    if (std::strcmp(Profile().ExternalDLL, kNoLibrary) == 0) return;
    sDriver.hExternalDll = LoadLibraryA(Profile().ExternalDLL);
    UseExternalLibrary(sDriver.hExternalDll);
}

// The take stops using the filter before the library goes.
void ReleaseExternalLibrary()
{
    if (sDriver.hExternalDll == nullptr) return;
    UseExternalLibrary(nullptr);
    FreeLibrary(sDriver.hExternalDll);
    sDriver.hExternalDll = nullptr;
}

void ResetDriverForTest()
{
    ResetWorkState();
    sClose = {false, 0, kCloseBoundMs};
    StopSends(false);
    SetPeerTimeout(kPeerTimeoutMs);
}
