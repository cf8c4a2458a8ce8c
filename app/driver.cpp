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
#include "res/resource.h"

int iDevice = 0;
HINSTANCE hInst = nullptr;
HWND hWndMain = nullptr;
HMENU hMenu = nullptr;
HMODULE hBwccLib = nullptr;
HMODULE hCcLib = nullptr;
HMODULE hExternalDll = nullptr;
int bClosing = 0;

namespace {

const char kMainClass[] = "Q7CMBINE";

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

// Start-up stops as soon as shut-down has begun, so a driver that is going to
// end never attaches, registers or links its InfoDrivers on the way out.
void StartDriver()
{
    InitDriver();
    if (bClosing) return;

    LoadDeviceProfile();
    if (bClosing) return;

    if (std::strcmp(ExternalDLL, "NONE") != 0) hExternalDll = LoadLibraryA(ExternalDLL);

    if (!AttachToRvx() || bClosing) return;

    LoadIndexFile();
    LoadLockFile();
    CreateMainDialog();
    if (bClosing) return;

    int bRegistered = RegisterDevice();
    if (bClosing) {
        // A close request that arrived while RVX was answering the
        // registration ran shut-down before RVX had registered us.
        if (bRegistered) UnregisterDevice();
        return;
    }

    ConnectInfoDrivers();
    if (bClosing) return;

    if (iTxRx == 2) BringInfoDriversToState(2);
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

void ShutdownDriver()
{
    bClosing = 1;
    if (hWndRvx != nullptr) {
        DisconnectInfoDrivers();
        UnregisterDevice();
        SaveIndexFile();
        SaveLockFile();
    }
    // Each handle is released once, however often shut-down runs.
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
