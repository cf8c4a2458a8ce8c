#include "app/driver.h"
#include "ipc/mainwnd.h"
int iDevice = 0;
HINSTANCE hInst = nullptr;
HWND hWndMain = nullptr;
HMENU hMenu = nullptr;
HMODULE hBwccLib = nullptr;
HMODULE hCcLib = nullptr;
HMODULE hExternalDll = nullptr;
int bClosing = 0;
BOOL RegisterMainClass(HINSTANCE) { return TRUE; }
BOOL CreateMainWindow(HINSTANCE, int) { return FALSE; }
void StartDriver() {}
void InitDriver() {}
void ShutdownDriver() { bClosing = 1; PostQuitMessage(0); }
void ErrorBox(const char* pText) { MessageBoxA(hWndMain, pText, "! Error !", MB_OK); }
