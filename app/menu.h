// Menu commands, keyboard control and the About box.
#pragma once
#include <windows.h>

void OnMenuCommand(WPARAM wParam);
// Keyboard control of the panel from the menu bar; a new panel starts with it
// off (the bar as it was).
void ResetKeyboardControl();
void ShowAbout();
INT_PTR CALLBACK AboutProc(HWND hDlg, UINT uMessage, WPARAM wParam, LPARAM lParam);
