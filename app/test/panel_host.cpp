#include "app/test/panel_host.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/menu.h"
#include "app/panel.h"
#include "config/files.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "res/resource.h"
#include "standins/bwcc32/bwcc_api.h"
#include "standins/kelm_cc/tav_button.h"
#include "tests/host/debug_capture.h"
#include "tests/host/test_host.h"
#include "tests/host/window.h"

namespace {

std::atomic<bool> bRenamed(false);
std::mutex mRequests;
std::vector<NameRequest> asRequests;
WPARAM wLastSysCommand = 0;


int Word(const char* p)
{
    return static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8);
}

LRESULT CALLBACK RvxProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    if (uMessage == WM_COPYDATA) {
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    }
    if (uMessage == MSG_NAME_REQUEST) {
        char* pBlock = reinterpret_cast<char*>(lParam);
        NameRequest r = {Word(pBlock), Word(pBlock + 2), Word(pBlock + 4)};
        {
            std::lock_guard<std::mutex> lock(mRequests);
            asRequests.push_back(r);
        }
        if (r.iDatabase == 0 && r.iIndex == 7) {
            std::memset(pBlock, 'L', 80);
            pBlock[80] = '\0';
        } else {
            std::snprintf(pBlock, kTextBlockSize, "%s %d%s", r.iDatabase == 0 ? "SRC" : "DST", r.iIndex,
                          bRenamed ? " v2" : "");
        }
        return 1;
    }
    return DefWindowProcA(hWnd, uMessage, wParam, lParam);
}

LRESULT CALLBACK MainProc(HWND hWnd, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uMessage) {
    case WM_COPYDATA:
        HandleCopyData(hWnd, wParam, lParam);
        return 1;
    case WM_COMMAND:
        OnMenuCommand(wParam);
        return 0;
    case WM_SYSCOMMAND:
        wLastSysCommand = wParam;
        return 0;
    case WM_CLOSE:
        return 0;
    }
    return DefWindowProcA(hWnd, uMessage, wParam, lParam);
}

HMENU BuildMenu()
{
    HMENU hBar = CreateMenu();
    HMENU hFile = CreatePopupMenu();
    AppendMenuA(hFile, MF_STRING, IDM_EXIT, "E&xit");
    AppendMenuA(hBar, MF_POPUP, reinterpret_cast<UINT_PTR>(hFile), "&File");
    AppendMenuA(hBar, MF_STRING, IDM_CLEAR_ERRORS, "&Clear Errors");
    HMENU hKeys = CreatePopupMenu();
    AppendMenuA(hKeys, MF_STRING, IDM_KEYBOARD, "&Enable Keyboard Control");
    AppendMenuA(hBar, MF_POPUP, reinterpret_cast<UINT_PTR>(hKeys), "&Keyboard");
    AppendMenuA(hBar, MF_STRING, IDM_SOURCE_BOX, "&Source Box");
    AppendMenuA(hBar, MF_STRING, IDM_DEST_BOX, "&Dest Box");
    AppendMenuA(hBar, MF_STRING, IDM_TAKE, "&Take");
    AppendMenuA(hBar, MF_STRING, IDM_LOCK, "&Lock");
    AppendMenuA(hBar, MF_STRING, IDM_ABOUT, "&About");
    return hBar;
}

}  // namespace

void RenameAll(bool bOn)
{
    bRenamed = bOn;
}

std::vector<NameRequest> TakeNameRequests()
{
    std::lock_guard<std::mutex> lock(mRequests);
    std::vector<NameRequest> v;
    v.swap(asRequests);
    return v;
}

void StartHost()
{
    if (hWndMain != nullptr) return;
    HINSTANCE hInst = GetModuleHandleA(nullptr);
    static DebugCapture capture;   // the driver's debug lines, for the whole run

    // The control libraries, built beside the test.
    HMODULE hBwccLib = LoadLibraryA("BWCC32.DLL");
    LoadLibraryA("KELM_CC.DLL");
    BwccRegisterProc pRegister = hBwccLib != nullptr
        ? reinterpret_cast<BwccRegisterProc>(reinterpret_cast<void*>(GetProcAddress(hBwccLib, "BWCCRegister")))
        : nullptr;
    if (pRegister != nullptr) pRegister(hInst);

    static HANDLE hReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static HWND hRvx = nullptr;
    static std::thread rvx([] {
        hRvx = MakeWindow("PanelTestRvx", RvxProc, "RVX");
        SetEvent(hReady);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    rvx.detach();
    WaitForSingleObject(hReady, 10000);
    UseRvx(hRvx);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = hInst;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = "PanelTestMain";
    RegisterClassA(&wc);
    HMENU hBar = LoadMenuA(hInst, "Menu");
    if (hBar == nullptr) hBar = BuildMenu();
    SetMainWindow(CreateWindowA("PanelTestMain", "Panel test", WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                640, 480, nullptr, hBar, hInst, nullptr));
}

WPARAM LastSysCommand()
{
    return wLastSysCommand;
}

void UsePanelProfile(int iDevice, int iSources, int iDests, const std::string& sCombiner)
{
    std::string sDir = UseTempConfigDir(iDevice);
    LoadTestProfile(sDir, "[Database]\nDatabaseSize_0=" + std::to_string(iSources) + "\nDatabaseSize_1=" +
                              std::to_string(iDests) + "\n[Combiner]\nDebugMode=1\n" + sCombiner);
}

void ClearRoutes()
{
    for (int d = 1; d <= kPackageMax; ++d) SetRoute(d, 0);
    SetLocks(1, kPackageMax, 0);
}

void OpenPanel()
{
    StartHost();
    ClosePanel();
    // The menu as start-up leaves it: keyboard control off.
    HMENU hBar = GetMenu(hWndMain);
    CheckMenuItem(hBar, IDM_KEYBOARD, MF_BYCOMMAND | MF_UNCHECKED);
    for (int iItem = IDM_SOURCE_BOX; iItem <= IDM_LOCK; ++iItem) {
        EnableMenuItem(hBar, iItem, MF_BYCOMMAND | MF_GRAYED);
    }
    CreateMainDialog();
    ShowWindow(hWndMain, SW_RESTORE);
    Pump(20);
}

void ClosePanel()
{
    if (Panel().hWndDialog != nullptr) DestroyWindow(Panel().hWndDialog);
}

std::vector<std::string> TakeDebugLines()
{
    std::vector<std::string> v;
    for (std::string sLine : DebugCapture::Take()) {
        if (sLine.compare(0, 5, "<GR>-") != 0) continue;   // not the driver's
        sLine.erase(0, 5);
        if (!sLine.empty() && sLine.back() == '\n') sLine.pop_back();
        v.push_back(sLine);
    }
    return v;
}

bool Contains(const std::vector<std::string>& asLines, const std::string& sText)
{
    for (const std::string& s : asLines) {
        if (s.find(sText) != std::string::npos) return true;
    }
    return false;
}

std::string ControlText(int iControl)
{
    char acText[256] = "";
    GetDlgItemTextA(Panel().hWndDialog, iControl, acText, sizeof acText);
    return acText;
}

std::string ListEntry(int iList, int iEntry)
{
    HWND hList = GetDlgItem(Panel().hWndDialog, iList);
    LRESULT n = SendMessageA(hList, LB_GETTEXTLEN, static_cast<WPARAM>(iEntry), 0);
    if (n == LB_ERR) return "<none>";
    std::string s(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(hList, LB_GETTEXT, static_cast<WPARAM>(iEntry), reinterpret_cast<LPARAM>(&s[0]));
    s.resize(static_cast<size_t>(n));
    return s;
}

int ListCount(int iList)
{
    return static_cast<int>(SendDlgItemMessageA(Panel().hWndDialog, iList, LB_GETCOUNT, 0, 0));
}

int ListSelection(int iList)
{
    return static_cast<int>(SendDlgItemMessageA(Panel().hWndDialog, iList, LB_GETCURSEL, 0, 0));
}

namespace {

void ClickAt(HWND hWnd, int x, int y)
{
    LPARAM lPoint = MAKELPARAM(x, y);
    SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    SendMessageA(hWnd, WM_LBUTTONUP, 0, lPoint);
}

}  // namespace

void ClickListEntry(int iList, int iEntry)
{
    HWND hList = GetDlgItem(Panel().hWndDialog, iList);
    SendMessageA(hList, LB_SETTOPINDEX, static_cast<WPARAM>(iEntry), 0);
    RECT rc = {};
    SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(iEntry), reinterpret_cast<LPARAM>(&rc));
    ClickAt(hList, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

void ClickButton(int iControl)
{
    HWND hButton = GetDlgItem(Panel().hWndDialog, iControl);
    RECT rc = {};
    GetClientRect(hButton, &rc);
    ClickAt(hButton, rc.right / 2, rc.bottom / 2);
}

void Pump(int iMilliseconds)
{
    DWORD dwEnd = GetTickCount() + static_cast<DWORD>(iMilliseconds);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    } while (static_cast<LONG>(GetTickCount() - dwEnd) < 0);
}

std::string StyleCode(int iControl)
{
    ATOM aCode = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(GetDlgItem(Panel().hWndDialog, iControl),
                                                                       TAV_STYLE_PROPERTY)));
    char acCode[32] = "";
    if (aCode != 0) GlobalGetAtomNameA(aCode, acCode, sizeof acCode);
    return acCode;
}

int ButtonFace(int iControl)
{
    return static_cast<int>(SendDlgItemMessageA(Panel().hWndDialog, iControl, TAVM_GETFACE, 0, 0));
}

void PanelFixture::SetUp()
{
    StartHost();
    UsePanelProfile(12, 10, 20);
    ClearRoutes();
    SetRoute(1, 3);
    SetRoute(5, 4);
    RenameAll(false);
    OpenPanel();
    TakeNameRequests();
    TakeDebugLines();
}

void PanelFixture::TearDown()
{
    ClosePanel();
}
