#include "ipc/mainwnd.h"
#include "ipc/transport.h"
TextRing sCommandRing;
TextRing sInfoRing;
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    if (uMessage == WM_COPYDATA) { HandleCopyData(hWnd, wParam, lParam); return 1; }
    return DefWindowProcA(hWnd, uMessage, wParam, lParam);
}
