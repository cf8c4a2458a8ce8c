// The operator panel: the modeless child dialog "MAINDIALOG" that fills the
// main window. It lists the source and destination package names (asked from
// RVX), shows the routed source and the lock state of the current destination,
// and turns Take and the lock toggle into router commands for the intake.
#include "app/panel.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/menu.h"
#include "command/dispatch.h"
#include "command/events.h"
#include "config/files.h"
#include "config/profile.h"
#include "config/profile_text.h"
#include "core/log.h"
#include "core/messages.h"
#include "ipc/counters.h"
#include "ipc/intake.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "ipc/wire.h"
#include "res/resource.h"

namespace {

PanelState sPanel = {nullptr, 0, 0, 0};

const int kNameLength = kShownNameMax;   // a package name as shown in the lists

// The controls the driver writes while it runs. Each control's window is
// looked up once per panel: finding a control by its identifier asks the
// window server for the panel's whole child list every time. The texts last
// written are kept, so that an unchanged text is not written again: every
// text change is a window server request and a redraw, and the lock display,
// for one, is written after every command. The library's buttons take two
// kinds of text, a style code (beginning with "/") and a caption, kept apart.
struct PanelControl {
    int iId = 0;
    HWND hWnd = nullptr;
    bool bStyled = false;
    bool bCaptionKnown = false;
    bool bCodeKnown = false;
    bool bPending = false;   // sPending waits for the next refresh
    std::string sCaption;
    std::string sCode;
    std::string sPending;
};

const int kPanelControlsMax = 16;
PanelControl asControl[kPanelControlsMax];
int nControls = 0;

// The figures that change with every command (the counters, the last command
// in and the level commands out) are written by a refresh at most every
// kRefreshPeriod ms, not as each command passes: every write is a window
// server request and a redraw, which a burst of commands would otherwise pay
// for on every take. Commands given on the panel itself refresh it at once.
const UINT kRefreshPeriod = 100;
const size_t kOutputLinesMax = 64;
bool bRefreshArmed = false;
bool bOutputPending = false;
std::vector<std::string> asOutputLine;

void ForgetControls()
{
    for (int i = 0; i < nControls; ++i) asControl[i] = PanelControl();
    nControls = 0;
    bRefreshArmed = false;
    bOutputPending = false;
    asOutputLine.clear();
}

PanelControl* FindControl(int iId)
{
    if (sPanel.hWndDialog == nullptr) return nullptr;
    for (int i = 0; i < nControls; ++i) {
        if (asControl[i].iId == iId) return &asControl[i];
    }
    HWND hWnd = GetDlgItem(sPanel.hWndDialog, iId);
    if (hWnd == nullptr || nControls == kPanelControlsMax) return nullptr;
    PanelControl& control = asControl[nControls++];
    control.iId = iId;
    control.hWnd = hWnd;
    char acClass[32] = "";
    GetClassNameA(hWnd, acClass, sizeof acClass);
    control.bStyled = std::strcmp(acClass, "TAV_CC_Button") == 0;
    return &control;
}

// The window of a panel control; nullptr while there is no panel.
HWND ControlWindow(int iId)
{
    PanelControl* pControl = FindControl(iId);
    if (pControl != nullptr) return pControl->hWnd;
    return sPanel.hWndDialog != nullptr ? GetDlgItem(sPanel.hWndDialog, iId) : nullptr;
}

void ArmRefresh()
{
    if (bRefreshArmed || sPanel.hWndDialog == nullptr) return;
    if (SetTimer(sPanel.hWndDialog, ID_REFRESH_TIMER, kRefreshPeriod, nullptr) != 0) bRefreshArmed = true;
}

// Writes a text with the next refresh.
void ShowLater(int iControl, const char* pText)
{
    PanelControl* pControl = FindControl(iControl);
    if (pControl == nullptr) {
        SetPanelText(iControl, pText);
        return;
    }
    pControl->sPending = pText;
    pControl->bPending = true;
    ArmRefresh();
}

void ShowCounter(int iControl, long lValue)
{
    char acText[16];
    std::snprintf(acText, sizeof acText, "%08ld", lValue);
    ShowLater(iControl, acText);
}

// The counters as the panel last showed them.
long alShown[3];

void ShowCounters()
{
    const TrafficCounters& c = Counters();
    const int aiControl[3] = {IDC_REVERTIVES_TX, IDC_COMMANDS_RX, IDC_DRIVER_TX};
    const long alNow[3] = {c.lRevertivesSent, c.lCommandsReceived, c.lDriverMessagesSent};
    for (int i = 0; i < 3; ++i) {
        if (alNow[i] == alShown[i]) continue;
        alShown[i] = alNow[i];
        ShowCounter(aiControl[i], alNow[i]);
    }
}

void ShowCommand(const char* pText)
{
    ShowLater(IDC_INPUT, pText != nullptr ? pText : "");
}

void ClearOutputList()
{
    if (sPanel.hWndDialog == nullptr) return;
    asOutputLine.clear();
    bOutputPending = true;
    ArmRefresh();
}

void AddOutputLine(const char* pText)
{
    if (sPanel.hWndDialog == nullptr || asOutputLine.size() >= kOutputLinesMax) return;
    asOutputLine.emplace_back(pText);
    bOutputPending = true;
    ArmRefresh();
}

// Routes or locks of iFirst..iLast may have changed: the current
// destination's display follows when it is among them.
void ShowRoutes(int iFirst, int iLast)
{
    if (sPanel.iCurrentDest >= iFirst && sPanel.iCurrentDest <= iLast) UpdateLockDisplay();
}

// Writes the TX/RX indicator: the look first, then the caption. Before the
// driver has registered it shows what the template gives.
void ShowTxRxState()
{
    if (Rvx().iTxRx == kTxRx) {
        SetPanelText(IDC_INTERFACE, "/__2B0_");
        SetPanelText(IDC_INTERFACE, "Tx/Rx");
    } else if (Rvx().iTxRx == kRxOnly) {
        SetPanelText(IDC_INTERFACE, "/__1B0_");
        SetPanelText(IDC_INTERFACE, "Rx Only");
    }
}

// Asks RVX for the name of package iIndex of database iDatabase (0 sources,
// 1 destinations); the reply's name is copied back into the block's first
// 64 bytes and terminated there.
void RequestName(char* pBlock, int iDatabase, int iIndex)
{
    PackNameRequest(pBlock, Profile().iDevice, iDatabase, iIndex);
    SendCopyData(hWndMain, Rvx().hWndRvx, MSG_NAME_REQUEST, 0, pBlock, kNameLength);
    pBlock[kNameLength] = '\0';
}

// Refills one package list with the names of packages 1..iCount. The list is
// drawn once, when it is full: drawn after every name, its scroll bar and
// columns would be worked out again for each of up to 4096 names.
void FillList(int iList, int iDatabase, int iCount)
{
    char acBlock[kTextBlockSize];
    std::memset(acBlock, 0, sizeof acBlock);
    HWND hList = ControlWindow(iList);
    SendMessageA(hList, WM_SETREDRAW, FALSE, 0);
    SendMessageA(hList, LB_RESETCONTENT, 0, 0);
    if (iCount > 0) SendMessageA(hList, LB_INITSTORAGE, static_cast<WPARAM>(iCount), iCount * (kNameLength + 1));
    for (int i = 1; i <= iCount && !StartupStopped(); ++i) {
        RequestName(acBlock, iDatabase, i);
        SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(acBlock));
    }
    SendMessageA(hList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hList, nullptr, TRUE);
}

void FillSourceList()
{
    FillList(IDC_SOURCE_LIST, 0, Profile().DatabaseSize_0);
}

void FillDestList()
{
    FillList(IDC_DEST_LIST, 1, Profile().DatabaseSize_1);
}

void OnSourceSelect()
{
    LRESULT lSelection = SendDlgItemMessageA(sPanel.hWndDialog, IDC_SOURCE_LIST, LB_GETCURSEL, 0, 0);
    sPanel.iSelectedSource = lSelection == LB_ERR ? -1 : static_cast<int>(lSelection) + 1;
}

// Choosing a destination makes it current and clears the source choice, so
// the operator picks the destination first, then the source.
void OnDestSelect()
{
    LRESULT lSelection = SendDlgItemMessageA(sPanel.hWndDialog, IDC_DEST_LIST, LB_GETCURSEL, 0, 0);
    if (lSelection == LB_ERR) {
        sPanel.iCurrentDest = -1;
        return;
    }
    sPanel.iCurrentDest = static_cast<int>(lSelection) + 1;
    sPanel.iSelectedSource = -1;
    UpdateLockDisplay();
}

void InitMainDialog()
{
    // The main window takes the panel's place and a size whose client area
    // holds the whole panel below the menu bar. The panel is the main
    // window's child, so it cannot serve as a z-order reference: the z-order
    // is left as it is (with a child as reference the platform may skip the
    // whole change).
    RECT rc;
    GetWindowRect(sPanel.hWndDialog, &rc);
    RECT rcOuter = {0, 0, rc.right - rc.left, rc.bottom - rc.top};
    AdjustWindowRectEx(&rcOuter, static_cast<DWORD>(GetWindowLongA(hWndMain, GWL_STYLE)), GetMenu(hWndMain) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(hWndMain, GWL_EXSTYLE)));
    SetWindowPos(hWndMain, sPanel.hWndDialog, rc.left, rc.top, rcOuter.right - rcOuter.left,
                 rcOuter.bottom - rcOuter.top, SWP_NOZORDER);
    ShowWindow(hWndMain, SW_SHOWMINIMIZED);

    // A column holds NameLength characters of 9 pixels. A NameLength below 1
    // (empty or not a number in the profile) would make the columns 0 pixels
    // wide, which the list box divides by: such a value counts as the
    // default 8. No column is wider than the longest name shown.
    const int iColumnChars = ListColumnChars(Profile().NameLength);
    SendMessageA(ControlWindow(IDC_SOURCE_LIST), LB_SETCOLUMNWIDTH, static_cast<WPARAM>(iColumnChars * 9), 0);
    SendMessageA(ControlWindow(IDC_DEST_LIST), LB_SETCOLUMNWIDTH, static_cast<WPARAM>(iColumnChars * 9), 0);
    FillSourceList();
    FillDestList();

    sPanel.iCurrentDest = 1;
    UpdateLockDisplay();
    ResetKeyboardControl();

    ResetCounters();
    for (int i = 0; i < 3; ++i) alShown[i] = 0;
    ShowCounter(IDC_REVERTIVES_TX, 0);
    ShowCounter(IDC_COMMANDS_RX, 0);
    ShowCounter(IDC_DRIVER_TX, 0);
    SetPanelText(IDC_DRIVER_RX, "n/a");

    StartSaveTimer(sPanel.hWndDialog, ID_SAVE_TIMER);

    if (Driver().hExternalDll != nullptr) {
        char acText[64];
        std::snprintf(acText, sizeof acText, "%s loaded", Profile().ExternalDLL);
        SetPanelText(IDC_EXTERNAL, acText);
    }
    RefreshPanel();
}

const CommandEvents sPanelEvents = {ShowCommand, ClearOutputList, AddOutputLine, ShowCounters, ShowRoutes};

}  // namespace

void CreateMainDialog()
{
    SetCommandEvents(&sPanelEvents);
    sPanel.hWndDialog = CreateDialogParamA(Driver().hInst, "MAINDIALOG", hWndMain, MainDialogProc, 0);
}

INT_PTR CALLBACK MainDialogProc(HWND hDlg, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (uMessage) {
    case WM_MOVE: {
        // The panel stays at the top left of the main window's client area.
        RECT rc;
        GetWindowRect(hDlg, &rc);
        MoveWindow(hDlg, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
        return 1;
    }
    case WM_INITDIALOG:
        sPanel.hWndDialog = hDlg;
        ForgetControls();
        InitMainDialog();
        return 1;
    case WM_DESTROY:
        ForgetControls();
        sPanel.hWndDialog = nullptr;
        return 0;
    case WM_COMMAND:
        // Every notification of a list (selection, double click, focus) counts.
        switch (LOWORD(wParam)) {
        case IDC_SOURCE_LIST: OnSourceSelect(); break;
        case IDC_DEST_LIST:   OnDestSelect(); break;
        case IDC_TAKE:        TakeSelected(); break;
        case IDC_LOCK:        ToggleLock(); break;
        }
        return 1;
    case WM_SYSCOMMAND:
        SendMessageA(hWndMain, WM_SYSCOMMAND, LOWORD(wParam), lParam);
        return 1;
    case WM_TIMER:
        if (LOWORD(wParam) == ID_SAVE_TIMER) OnSaveTimer();
        if (LOWORD(wParam) == ID_REFRESH_TIMER) RefreshPanel();
        return 1;
    }
    return 0;
}

void UpdateLockDisplay()
{
    const int iDest = sPanel.iCurrentDest;
    if (iDest < 1 || iDest > Profile().DatabaseSize_1) return;
    const int iRouted = Routes().aiIndex[iDest];
    sPanel.iRoutedSource = iRouted;
    // A destination never routed (0, or -1) shows no source highlighted.
    int iEntry = iRouted >= 1 && iRouted <= Profile().DatabaseSize_0 ? iRouted - 1 : -1;
    HWND hSources = ControlWindow(IDC_SOURCE_LIST);
    if (SendMessageA(hSources, LB_GETCURSEL, 0, 0) != iEntry) {
        SendMessageA(hSources, LB_SETCURSEL, static_cast<WPARAM>(iEntry), 0);
    }
    int bLocked = Routes().abLock[iDest] != 0;
    SetPanelText(IDC_LOCK, bLocked ? "Locked" : "Unlocked");
    SetPanelText(IDC_LOCK, bLocked ? "/1B____" : "/2B____");
    HWND hTake = ControlWindow(IDC_TAKE);
    if (hTake != nullptr && (IsWindowEnabled(hTake) != 0) == (bLocked != 0)) EnableWindow(hTake, !bLocked);
}

// Asks RVX again for one name after it reported a change. Each list is
// bounded by its own database size.
void RefreshName(int iIndex, int iDatabase)
{
    int iList;
    int iCount;
    if (iDatabase == 0) {
        iList = IDC_SOURCE_LIST;
        iCount = Profile().DatabaseSize_0;
    } else if (iDatabase == 1) {
        iList = IDC_DEST_LIST;
        iCount = Profile().DatabaseSize_1;
    } else {
        return;
    }
    if (iIndex < 1 || iIndex > iCount) return;

    char acBlock[kTextBlockSize];
    std::memset(acBlock, 0, sizeof acBlock);
    RequestName(acBlock, iDatabase, iIndex);
    HWND hList = ControlWindow(iList);
    SendMessageA(hList, LB_DELETESTRING, static_cast<WPARAM>(iIndex - 1), 0);
    SendMessageA(hList, LB_INSERTSTRING, static_cast<WPARAM>(iIndex - 1), reinterpret_cast<LPARAM>(acBlock));
}

void TakeSelected()
{
    if (!TakeFromPanel(sPanel.iSelectedSource, sPanel.iCurrentDest)) return;
    RefreshPanel();
}

void ToggleLock()
{
    MessageBeep(0);
    if (!ToggleLockFromPanel(sPanel.iCurrentDest)) return;
    UpdateLockDisplay();
    RefreshPanel();
}

void SetPanelText(int iControl, const char* pText)
{
    if (pText == nullptr) pText = "";
    PanelControl* pControl = FindControl(iControl);
    if (pControl == nullptr) {
        if (sPanel.hWndDialog != nullptr) SetDlgItemTextA(sPanel.hWndDialog, iControl, pText);
        return;
    }
    bool bCode = pControl->bStyled && pText[0] == '/';
    if (!bCode) pControl->bPending = false;   // a caption written now replaces the one waiting
    bool& bKnown = bCode ? pControl->bCodeKnown : pControl->bCaptionKnown;
    std::string& sLast = bCode ? pControl->sCode : pControl->sCaption;
    if (bKnown && sLast == pText) return;
    SetWindowTextA(pControl->hWnd, pText);
    sLast = pText;
    bKnown = true;
}

const PanelState& Panel()
{
    return sPanel;
}

void ShowDriverState()
{
    ShowTxRxState();
    ShowCounters();
}

void RefreshPanel()
{
    if (sPanel.hWndDialog == nullptr) return;
    if (bRefreshArmed) {
        KillTimer(sPanel.hWndDialog, ID_REFRESH_TIMER);
        bRefreshArmed = false;
    }
    for (int i = 0; i < nControls; ++i) {
        PanelControl& control = asControl[i];
        if (!control.bPending) continue;
        std::string sText;
        sText.swap(control.sPending);
        SetPanelText(control.iId, sText.c_str());
    }
    HWND hList = ControlWindow(IDC_OUTPUT);
    if (bOutputPending && hList != nullptr) {
        // Written whole and drawn once.
        SendMessageA(hList, WM_SETREDRAW, FALSE, 0);
        SendMessageA(hList, LB_RESETCONTENT, 0, 0);
        for (const std::string& sLine : asOutputLine) {
            SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(sLine.c_str()));
        }
        SendMessageA(hList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(hList, nullptr, TRUE);
    }
    bOutputPending = false;
}
