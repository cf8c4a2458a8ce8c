// The main window's procedure: the one dispatch point for peer messages.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam);
