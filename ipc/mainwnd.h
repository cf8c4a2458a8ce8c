// The main window's procedure: the one dispatch point for peer messages.
#pragma once
#include <windows.h>
#include "ipc/ring.h"

extern TextRing sCommandRing;   // router commands (2189), drained by 2049
extern TextRing sInfoRing;      // InfoDriver messages (2730), drained by 2050

// Posts the drains of texts that waited for the end of start-up.
void ResumeQueues();

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam);
