// KELM_CC.DLL stand-in: the push button class "TAV_CC_Button", drawn
// plainly with GDI, whose "/" texts select its look.
#include "standins/kelm_cc/tav_button.h"

#include <cstdlib>
#include <cstring>

namespace {

HINSTANCE hDll = nullptr;

struct TavButton {
    char acStyle[32];
    ATOM atomStyle;
    int iFace;
    int bBold;
    int bPressed;     // drawn pressed: mouse held down inside
    int bTracking;    // mouse held down since a press inside
    HFONT hFont;
};

TavButton* Data(HWND hWnd)
{
    return reinterpret_cast<TavButton*>(GetWindowLongPtrA(hWnd, 0));
}

COLORREF FaceColour(int iFace)
{
    switch (iFace) {
    case kTavFaceRed: return RGB(224, 96, 96);
    case kTavFaceGreen: return RGB(96, 192, 96);
    case kTavFaceAmber: return RGB(232, 184, 72);
    case kTavFaceBlue: return RGB(112, 144, 224);
    default: return GetSysColor(COLOR_BTNFACE);
    }
}

void SetStyleCode(HWND hWnd, TavButton* p, const char* pCode)
{
    std::strncpy(p->acStyle, pCode, sizeof p->acStyle - 1);
    p->acStyle[sizeof p->acStyle - 1] = '\0';
    p->iFace = kTavFacePlain;
    for (const char* c = p->acStyle + 1; *c != '\0'; ++c) {
        if (*c >= '0' && *c <= '9') {
            p->iFace = (*c >= '1' && *c <= '4') ? *c - '0' : kTavFacePlain;
            break;
        }
    }
    p->bBold = std::strchr(p->acStyle, 'B') != nullptr;
    ATOM atomNew = GlobalAddAtomA(p->acStyle);
    if (p->atomStyle != 0) GlobalDeleteAtom(p->atomStyle);
    p->atomStyle = atomNew;
    SetPropA(hWnd, TAV_STYLE_PROPERTY, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atomNew)));
    InvalidateRect(hWnd, nullptr, TRUE);
}

void Click(HWND hWnd)
{
    if (!IsWindowEnabled(hWnd)) return;
    HWND hParent = GetParent(hWnd);
    int iId = GetDlgCtrlID(hWnd);
    SendMessageA(hParent, WM_COMMAND, MAKEWPARAM(iId, BN_CLICKED), reinterpret_cast<LPARAM>(hWnd));
}

void Paint(HWND hWnd, TavButton* p)
{
    PAINTSTRUCT ps;
    HDC hDc = BeginPaint(hWnd, &ps);
    RECT rc;
    GetClientRect(hWnd, &rc);
    HBRUSH hFace = CreateSolidBrush(FaceColour(p->iFace));
    FillRect(hDc, &rc, hFace);
    DeleteObject(hFace);
    if (GetWindowLongA(hWnd, GWL_STYLE) & kTavStyleFlat) {
        DrawEdge(hDc, &rc, BDR_SUNKENOUTER, BF_RECT);
    } else {
        DrawEdge(hDc, &rc, p->bPressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    }

    char acCaption[256];
    GetWindowTextA(hWnd, acCaption, sizeof acCaption);
    HFONT hBase = p->hFont != nullptr ? p->hFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HFONT hBold = nullptr;
    if (p->bBold) {
        LOGFONTA lf;
        if (GetObjectA(hBase, sizeof lf, &lf)) {
            lf.lfWeight = FW_BOLD;
            hBold = CreateFontIndirectA(&lf);
        }
    }
    HGDIOBJ hOld = SelectObject(hDc, hBold != nullptr ? hBold : hBase);
    SetBkMode(hDc, TRANSPARENT);
    SetTextColor(hDc, IsWindowEnabled(hWnd) ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
    if (p->bPressed) OffsetRect(&rc, 1, 1);
    DrawTextA(hDc, acCaption, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(hDc, hOld);
    if (hBold != nullptr) DeleteObject(hBold);
    EndPaint(hWnd, &ps);
}

int Inside(HWND hWnd, LPARAM lParam)
{
    RECT rc;
    GetClientRect(hWnd, &rc);
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&rc, pt);
}

LRESULT CALLBACK TavButtonWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    TavButton* p = Data(hWnd);
    switch (uMsg) {
    case WM_NCCREATE: {
        p = static_cast<TavButton*>(std::calloc(1, sizeof(TavButton)));
        if (p == nullptr) return FALSE;
        SetWindowLongPtrA(hWnd, 0, reinterpret_cast<LONG_PTR>(p));
        // The creation text follows the same rule as a later text.
        CREATESTRUCTA* pCreate = reinterpret_cast<CREATESTRUCTA*>(lParam);
        if (pCreate->lpszName != nullptr && !IS_INTRESOURCE(pCreate->lpszName) && pCreate->lpszName[0] == '/') {
            SetStyleCode(hWnd, p, pCreate->lpszName);
            pCreate->lpszName = "";
        }
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
    case WM_NCDESTROY:
        if (p != nullptr) {
            RemovePropA(hWnd, TAV_STYLE_PROPERTY);
            if (p->atomStyle != 0) GlobalDeleteAtom(p->atomStyle);
            std::free(p);
            SetWindowLongPtrA(hWnd, 0, 0);
        }
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    case WM_SETTEXT: {
        const char* pText = reinterpret_cast<const char*>(lParam);
        if (p != nullptr && pText != nullptr && pText[0] == '/') {
            SetStyleCode(hWnd, p, pText);
            return TRUE;
        }
        LRESULT lResult = DefWindowProcA(hWnd, uMsg, wParam, lParam);
        InvalidateRect(hWnd, nullptr, TRUE);
        return lResult;
    }
    case TAVM_GETFACE:
        return p != nullptr ? p->iFace : kTavFacePlain;
    case WM_SETFONT:
        if (p != nullptr) p->hFont = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hWnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return p != nullptr ? reinterpret_cast<LRESULT>(p->hFont) : 0;
    case WM_PAINT:
        if (p == nullptr) break;
        Paint(hWnd, p);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_ENABLE:
        if (p != nullptr && !wParam) p->bPressed = p->bTracking = 0;
        InvalidateRect(hWnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (p == nullptr || !IsWindowEnabled(hWnd)) return 0;
        p->bTracking = 1;
        p->bPressed = 1;
        SetCapture(hWnd);
        InvalidateRect(hWnd, nullptr, TRUE);
        return 0;
    case WM_MOUSEMOVE:
        if (p != nullptr && p->bTracking && p->bPressed != Inside(hWnd, lParam)) {
            p->bPressed = Inside(hWnd, lParam);
            InvalidateRect(hWnd, nullptr, TRUE);
        }
        return 0;
    case WM_LBUTTONUP: {
        if (p == nullptr || !p->bTracking) return 0;
        int bClick = Inside(hWnd, lParam);
        p->bTracking = 0;
        p->bPressed = 0;
        if (GetCapture() == hWnd) ReleaseCapture();
        InvalidateRect(hWnd, nullptr, TRUE);
        if (bClick) Click(hWnd);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (p != nullptr && p->bTracking && reinterpret_cast<HWND>(lParam) != hWnd) {
            p->bTracking = 0;
            p->bPressed = 0;
            InvalidateRect(hWnd, nullptr, TRUE);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE) Click(hWnd);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_BUTTON;
    case BM_CLICK:
        Click(hWnd);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        hDll = hInstance;
        // The button's windows may outlive a FreeLibrary: stay loaded.
        HMODULE hPinned = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&TavButtonWndProc), &hPinned);
        WNDCLASSA wc = {};
        wc.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = TavButtonWndProc;
        wc.cbWndExtra = sizeof(LONG_PTR);
        wc.hInstance = hDll;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = TAV_BUTTON_CLASS;
        RegisterClassA(&wc);
    }
    return TRUE;
}
