// Menu commands, keyboard control and the About box.
#pragma once
#include <windows.h>

extern int bKeyboard;

void OnMenuCommand(WPARAM wParam);
void ShowAbout();
INT_PTR CALLBACK AboutProc(HWND hDlg, UINT uMessage, WPARAM wParam, LPARAM lParam);
