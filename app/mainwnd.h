// The main window's procedure: the one dispatch point for peer messages.
#pragma once
#include <windows.h>

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam);

// The close requests waiting in the queue as posted messages (WM_CLOSE,
// 2175, File / Exit), taken out and requested now: long work that never
// returns to the message loop looks for them through the transport's watch,
// which runs this only until shut-down has begun.
void SeePostedCloses();
