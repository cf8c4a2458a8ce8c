// Program entry, start-up and shut-down.
#pragma once
#include <windows.h>

#define ZUR_VERSION "3.05.03"

extern int iDevice;
extern HINSTANCE hInst;
extern HWND hWndMain;
extern HMENU hMenu;
extern HMODULE hBwccLib;
extern HMODULE hCcLib;
extern HMODULE hExternalDll;
extern int bClosing;

BOOL RegisterMainClass(HINSTANCE hInstance);
BOOL CreateMainWindow(HINSTANCE hInstance, int nShow);
void StartDriver();
void InitDriver();
void ShutdownDriver();

// Modal "! Error !" box owned by the main window, OK only.
void ErrorBox(const char* pText);
