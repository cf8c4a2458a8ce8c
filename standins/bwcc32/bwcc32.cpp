// BWCC32.DLL stand-in: the dialog class "BORDLG" and the shaded frames and
// lines "BorShade", drawn plainly with GDI.
#include "standins/bwcc32/bwcc_api.h"

namespace {

HINSTANCE hDll = nullptr;

LRESULT CALLBACK BorDlgWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DefDlgProcA(hWnd, uMsg, wParam, lParam);
}

void PaintShade(HWND hWnd)
{
    PAINTSTRUCT ps;
    HDC hDc = BeginPaint(hWnd, &ps);
    RECT rc;
    GetClientRect(hWnd, &rc);
    LONG lStyle = GetWindowLongA(hWnd, GWL_STYLE) & 0x0F;
    if (lStyle == kBorShadeDip) {
        // A groove across the middle: dark line above a light one.
        RECT rcLine = rc;
        rcLine.top = (rc.top + rc.bottom) / 2 - 1;
        rcLine.bottom = rcLine.top + 2;
        DrawEdge(hDc, &rcLine, EDGE_ETCHED, BF_TOP);
    } else if (rc.bottom - rc.top <= 3) {
        // One dialog unit high: a recessed rule.
        RECT rcLine = rc;
        rcLine.bottom = rcLine.top + 2;
        DrawEdge(hDc, &rcLine, BDR_SUNKENOUTER, BF_TOP | BF_BOTTOM);
    } else {
        DrawEdge(hDc, &rc, BDR_SUNKENOUTER, BF_RECT);
    }
    EndPaint(hWnd, &ps);
}

LRESULT CALLBACK BorShadeWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_PAINT:
        PaintShade(hWnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;   // the inside belongs to the controls laid over it
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

BOOL RegisterOnce(const WNDCLASSA& wc)
{
    WNDCLASSA wcOld;
    if (GetClassInfoA(hDll, wc.lpszClassName, &wcOld)) return TRUE;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

extern "C" BOOL WINAPI BWCCRegister(HINSTANCE)
{
    // Windows of these classes may outlive a FreeLibrary of this library
    // (dialogs still open while the program ends): keep it loaded for the
    // life of the process once its classes exist.
    HMODULE hPinned = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&BorShadeWndProc), &hPinned);

    WNDCLASSA wcDlg = {};
    wcDlg.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_SAVEBITS;
    wcDlg.lpfnWndProc = BorDlgWndProc;
    wcDlg.cbWndExtra = DLGWINDOWEXTRA;
    wcDlg.hInstance = hDll;
    wcDlg.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wcDlg.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wcDlg.lpszClassName = "BORDLG";

    WNDCLASSA wcShade = {};
    wcShade.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    wcShade.lpfnWndProc = BorShadeWndProc;
    wcShade.hInstance = hDll;
    wcShade.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wcShade.lpszClassName = "BorShade";

    return RegisterOnce(wcDlg) && RegisterOnce(wcShade);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) hDll = hInstance;
    return TRUE;
}
