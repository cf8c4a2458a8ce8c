// Program entry, start-up and shut-down.
#pragma once
#include <windows.h>

// The driver's own state (one owner): its module, menu and libraries.
// Where it stands between start-up and shut-down is the work state's
// (ipc/work_state.h).
struct DriverState {
    HINSTANCE hInst;
    HMENU hMenu;
    HMODULE hBwccLib;
    HMODULE hCcLib;
    HMODULE hExternalDll;
};

const DriverState& Driver();

BOOL RegisterMainClass(HINSTANCE hInstance);
BOOL CreateMainWindow(HINSTANCE hInstance, int nShow);
// Runs the start-up inside the main window's creation. A close request that
// came during it takes effect at its end; queued commands wait for its end.
void StartDriver();
void InitDriver();
// The library named by ExternalDLL, when it names one; its filter serves
// the takes.
void LoadExternalLibrary();
void ReleaseExternalLibrary();
// The cause goes to the take journal ("WM_CLOSE", "RVX not found" ...).
void ShutdownDriver(const char* pCause = "no cause given");
// A close request: shut-down now, or once the work in progress has finished.
void RequestShutdown(const char* pCause = "no cause given");
// WM_ENDSESSION (the session ends): the shut-down, now and within its own
// bound, before the message returns.
void EndSession();
// MSG_CLOSE_DEFERRED: the work that held back a close request has finished.
void RunDeferredShutdown();
// Shut-down has begun or a close request waits: start-up makes no further
// request.
bool StartupStopped();

// Modal "! Error !" box owned by the main window, OK only.
void ErrorBox(const char* pText);
