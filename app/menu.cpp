#include "app/menu.h"
int bKeyboard = 0;
void OnMenuCommand(WPARAM) {}
void ShowAbout() {}
INT_PTR CALLBACK AboutProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
