#include "app/driver.h"

#include <cstdio>
#include <cstring>

#include "app/panel.h"
#include "config/files.h"
#include "config/paths.h"
#include "config/profile.h"
#include "ipc/infolink.h"
#include "ipc/mainwnd.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "res/resource.h"

int iDevice = 0;
HINSTANCE hInst = nullptr;
HWND hWndMain = nullptr;
HMENU hMenu = nullptr;
HMODULE hBwccLib = nullptr;
HMODULE hCcLib = nullptr;
HMODULE hExternalDll = nullptr;
int bClosing = 0;
int bStarting = 0;
int bShutdownRequested = 0;

namespace {

const char kMainClass[] = "Q7CMBINE";

// Each send of the shut-down waits at most this long, so that it ends within
// 30 seconds even when RVX and every InfoDriver hang (four sends).
const DWORD kShutdownPeerTimeoutMs = 5000;

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

}  // namespace

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
    wc.lpszClassName = kMainClass;
    return RegisterClassA(&wc) != 0;
}

BOOL CreateMainWindow(HINSTANCE hInstance, int)
{
    hInst = hInstance;
    HWND hWnd = CreateWindowExA(0, kMainClass, nullptr, WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
                                0, 0, 640, 480, nullptr, nullptr, hInstance, nullptr);
    if (hWnd == nullptr) return FALSE;
    hWndMain = hWnd;
    StartDriver();
    return TRUE;
}

namespace {

// The start-up sequence. It stops before its next request as soon as
// shut-down has begun or a close request has come, so a driver that is
// going to end never attaches, registers or links its InfoDrivers on the way
// out.
void RunStartup()
{
    InitDriver();
    if (StartupStopped()) return;

    LoadDeviceProfile();
    if (StartupStopped()) return;

    if (std::strcmp(ExternalDLL, "NONE") != 0) hExternalDll = LoadLibraryA(ExternalDLL);

    if (!AttachToRvx() || StartupStopped()) return;

    LoadIndexFile();
    LoadLockFile();
    CreateMainDialog();
    if (StartupStopped()) return;

    RegisterDevice();
    if (StartupStopped()) return;

    ConnectInfoDrivers();
    if (StartupStopped()) return;

    if (iTxRx == 2) BringInfoDriversToState(2);
}

}  // namespace

// A close request that came during start-up takes effect at its end; queued
// commands wait for the end of start-up too.
void StartDriver()
{
    bStarting = 1;
    RunStartup();
    bStarting = 0;
    if (bShutdownRequested) {
        ShutdownDriver();
    } else {
        ResumeQueues();
    }
}

bool StartupStopped()
{
    return bClosing || bShutdownRequested;
}

// The close requests (2175, WM_CLOSE, the end of the session, File / Exit)
// come here. One that arrives while the driver waits inside one of its own
// sends (a take reading a slot, a revertive, start-up) would otherwise run
// the shut-down in the middle of that work, which then goes on with its
// InfoDrivers unlinked and RVX unregistered: it is noted instead, and the
// shut-down runs once the work has finished.
void RequestShutdown()
{
    if (bClosing) return;
    if (!bStarting && SendDepth() == 0) {
        ShutdownDriver();
        return;
    }
    if (bShutdownRequested) return;
    bShutdownRequested = 1;
    DebugLog("Close request - the shut-down follows the work in progress");
    PostMessageA(hWndMain, MSG_CLOSE_DEFERRED, 0, 0);
}

void RunDeferredShutdown()
{
    if (bShutdownRequested && !bStarting && SendDepth() == 0) ShutdownDriver();
}

void InitDriver()
{
    bClosing = 0;
    bIndexDirty = 0;

    char acTitle[64];
    std::snprintf(acTitle, sizeof acTitle, "R7 Idoruzor v%s - Device %d", ZUR_VERSION, iDevice);
    SetWindowTextA(hWndMain, acTitle);

    hBwccLib = LoadSystemLibrary("BWCC32.DLL");
    if (hBwccLib == nullptr) {
        ErrorBox("Cannot find BWCC32.DLL");
        ShutdownDriver();
        return;
    }
    KeepLoaded(hBwccLib);
    BwccRegisterFn pRegister = reinterpret_cast<BwccRegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(hBwccLib, "BWCCRegister")));
    if (pRegister != nullptr) pRegister(hInst);

    hCcLib = LoadSystemLibrary("KELM_CC.DLL");
    if (hCcLib == nullptr) {
        ErrorBox("Cannot find KELM_CC.DLL");
        ShutdownDriver();
        return;
    }

    hMenu = GetMenu(hWndMain);
    static const UINT auKeyboardItems[] = {IDM_SOURCE_BOX, IDM_DEST_BOX, IDM_TAKE, IDM_LOCK};
    for (UINT uItem : auKeyboardItems) EnableMenuItem(hMenu, uItem, MF_BYCOMMAND | MF_GRAYED);
    DrawMenuBar(hWndMain);
}

// Runs once per process, however many close requests arrive. Nothing is
// sent after the unregister, and a file is written only when this run
// changed its table: a driver that loaded nothing, or was refused, writes
// nothing over what another driver keeps there.
void ShutdownDriver()
{
    if (bClosing) return;
    bClosing = 1;
    SetPeerTimeout(kShutdownPeerTimeoutMs);
    if (hWndRvx != nullptr) {
        DisconnectInfoDrivers();
        UnregisterDevice();
        SaveChangedTables();
    }
    // Each handle is released once.
    if (hBwccLib != nullptr) {
        FreeLibrary(hBwccLib);
        hBwccLib = nullptr;
    }
    if (hExternalDll != nullptr) {
        FreeLibrary(hExternalDll);
        hExternalDll = nullptr;
    }
    PostQuitMessage(0);
}
