// Program entry, start-up and shut-down.
#pragma once
#include <windows.h>

extern int iDevice;
extern HINSTANCE hInst;
extern HWND hWndMain;
extern HMENU hMenu;
extern HMODULE hBwccLib;
extern HMODULE hCcLib;
extern HMODULE hExternalDll;
extern int bClosing;
extern int bStarting;            // the start-up sequence is running
extern int bShutdownRequested;   // a close request waits for the work in progress

BOOL RegisterMainClass(HINSTANCE hInstance);
BOOL CreateMainWindow(HINSTANCE hInstance, int nShow);
void InitDriver();
void ShutdownDriver();
// A close request: shut-down now, or once the work in progress has finished.
void RequestShutdown();
// MSG_CLOSE_DEFERRED: the work that held back a close request has finished.
void RunDeferredShutdown();
// Shut-down has begun or a close request waits: start-up makes no further
// request.
bool StartupStopped();

// Modal "! Error !" box owned by the main window, OK only.
void ErrorBox(const char* pText);
