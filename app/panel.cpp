// The operator panel: the modeless child dialog "MAINDIALOG" that fills the
// main window. It lists the source and destination package names (asked from
// RVX), shows the routed source and the lock state of the current destination,
// and turns Take and the lock toggle into router commands for the intake.
#include "app/panel.h"

#include <cstdio>
#include <cstring>

#include "app/driver.h"
#include "app/menu.h"
#include "config/files.h"
#include "config/profile.h"
#include "core/dispatch.h"
#include "core/routes.h"
#include "core/take.h"
#include "ipc/rvx.h"
#include "ipc/transport.h"
#include "res/resource.h"

HWND hWndDialog = nullptr;
int iSelectedSource = 0;
int iCurrentDest = 0;
int iRoutedSource = 0;

namespace {

const int kNameLength = 64;       // a package name as shown in the lists
const int kSaveTimerPeriod = 60000;

// Asks RVX for the name of package iIndex of database iDatabase (0 sources,
// 1 destinations). The request carries device, database and index as 16-bit
// little-endian integers at the start of the block; the reply's name is
// copied back into the block's first 64 bytes and terminated there.
void RequestName(char* pBlock, int iDatabase, int iIndex)
{
    const int aiField[3] = {iDevice, iDatabase, iIndex};
    for (int i = 0; i < 3; ++i) {
        pBlock[2 * i] = static_cast<char>(aiField[i] & 0xFF);
        pBlock[2 * i + 1] = static_cast<char>((aiField[i] >> 8) & 0xFF);
    }
    SendCopyData(hWndMain, hWndRvx, MSG_NAME_REQUEST, 0, pBlock, kNameLength);
    pBlock[kNameLength] = '\0';
}

// Refills one package list with the names of packages 1..iCount.
void FillList(int iList, int iDatabase, int iCount)
{
    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kTextBlockSize);
    if (hBlock == nullptr) return;
    char* pBlock = static_cast<char*>(GlobalLock(hBlock));
    if (pBlock == nullptr) {
        GlobalFree(hBlock);
        return;
    }
    SendDlgItemMessageA(hWndDialog, iList, LB_RESETCONTENT, 0, 0);
    for (int i = 1; i <= iCount; ++i) {
        RequestName(pBlock, iDatabase, i);
        SendDlgItemMessageA(hWndDialog, iList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pBlock));
    }
    GlobalUnlock(hBlock);
    GlobalFree(hBlock);
}

void FillSourceList()
{
    FillList(IDC_SOURCE_LIST, 0, DatabaseSize_0);
}

void FillDestList()
{
    FillList(IDC_DEST_LIST, 1, DatabaseSize_1);
}

void OnSourceSelect()
{
    LRESULT lSelection = SendDlgItemMessageA(hWndDialog, IDC_SOURCE_LIST, LB_GETCURSEL, 0, 0);
    iSelectedSource = lSelection == LB_ERR ? -1 : static_cast<int>(lSelection) + 1;
}

// Choosing a destination makes it current and clears the source choice, so
// the operator picks the destination first, then the source.
void OnDestSelect()
{
    LRESULT lSelection = SendDlgItemMessageA(hWndDialog, IDC_DEST_LIST, LB_GETCURSEL, 0, 0);
    if (lSelection == LB_ERR) {
        iCurrentDest = -1;
        return;
    }
    iCurrentDest = static_cast<int>(lSelection) + 1;
    iSelectedSource = -1;
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
    GetWindowRect(hWndDialog, &rc);
    RECT rcOuter = {0, 0, rc.right - rc.left, rc.bottom - rc.top};
    AdjustWindowRectEx(&rcOuter, static_cast<DWORD>(GetWindowLongA(hWndMain, GWL_STYLE)), GetMenu(hWndMain) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(hWndMain, GWL_EXSTYLE)));
    SetWindowPos(hWndMain, hWndDialog, rc.left, rc.top, rcOuter.right - rcOuter.left, rcOuter.bottom - rcOuter.top,
                 SWP_NOZORDER);
    ShowWindow(hWndMain, SW_SHOWMINIMIZED);

    SendDlgItemMessageA(hWndDialog, IDC_SOURCE_LIST, LB_SETCOLUMNWIDTH, NameLength * 9, 0);
    SendDlgItemMessageA(hWndDialog, IDC_DEST_LIST, LB_SETCOLUMNWIDTH, NameLength * 9, 0);
    FillSourceList();
    FillDestList();

    iCurrentDest = 1;
    UpdateLockDisplay();
    bKeyboard = 0;

    lRevertivesSent = 0;
    lCommandsReceived = 0;
    lDriverMessagesSent = 0;
    ShowCounter(IDC_REVERTIVES_TX, lRevertivesSent);
    ShowCounter(IDC_COMMANDS_RX, lCommandsReceived);
    ShowCounter(IDC_DRIVER_TX, lDriverMessagesSent);
    SetPanelText(IDC_DRIVER_RX, "n/a");

    SetTimer(hWndDialog, ID_SAVE_TIMER, kSaveTimerPeriod, nullptr);

    if (hExternalDll != nullptr) {
        char acText[64];
        std::snprintf(acText, sizeof acText, "%s loaded", ExternalDLL);
        SetPanelText(IDC_EXTERNAL, acText);
    }
}

}  // namespace

void CreateMainDialog()
{
    hWndDialog = CreateDialogParamA(hInst, "MAINDIALOG", hWndMain, MainDialogProc, 0);
}

INT_PTR CALLBACK MainDialogProc(HWND hDlg, UINT uMessage, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(uMessage)) {
    case WM_MOVE: {
        // The panel stays at the top left of the main window's client area.
        RECT rc;
        GetWindowRect(hDlg, &rc);
        MoveWindow(hDlg, 0, 0, rc.right - rc.left, rc.bottom - rc.top, TRUE);
        return 1;
    }
    case WM_INITDIALOG:
        hWndDialog = hDlg;
        InitMainDialog();
        return 1;
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
        return 1;
    }
    return 0;
}

void UpdateLockDisplay()
{
    if (iCurrentDest < 1 || iCurrentDest > DatabaseSize_1) return;
    iRoutedSource = aiIndex[iCurrentDest];
    // A destination never routed (0, or -1) shows no source highlighted.
    int iEntry = iRoutedSource >= 1 && iRoutedSource <= DatabaseSize_0 ? iRoutedSource - 1 : -1;
    SendDlgItemMessageA(hWndDialog, IDC_SOURCE_LIST, LB_SETCURSEL, static_cast<WPARAM>(iEntry), 0);
    int bLocked = abLock[iCurrentDest] != 0;
    SetPanelText(IDC_LOCK, bLocked ? "Locked" : "Unlocked");
    SetPanelText(IDC_LOCK, bLocked ? "/1B____" : "/2B____");
    if (hWndDialog != nullptr) EnableWindow(GetDlgItem(hWndDialog, IDC_TAKE), !bLocked);
}

// Asks RVX again for one name after it reported a change. Each list is
// bounded by its own database size.
void RefreshName(int iIndex, int iDatabase)
{
    int iList;
    int iCount;
    if (iDatabase == 0) {
        iList = IDC_SOURCE_LIST;
        iCount = DatabaseSize_0;
    } else if (iDatabase == 1) {
        iList = IDC_DEST_LIST;
        iCount = DatabaseSize_1;
    } else {
        return;
    }
    if (iIndex < 1 || iIndex > iCount) return;

    char acBlock[kTextBlockSize];
    std::memset(acBlock, 0, sizeof acBlock);
    RequestName(acBlock, iDatabase, iIndex);
    SendDlgItemMessageA(hWndDialog, iList, LB_DELETESTRING, static_cast<WPARAM>(iIndex - 1), 0);
    SendDlgItemMessageA(hWndDialog, iList, LB_INSERTSTRING, static_cast<WPARAM>(iIndex - 1),
                        reinterpret_cast<LPARAM>(acBlock));
}

void TakeSelected()
{
    if (iSelectedSource < 1 || iSelectedSource > DatabaseSize_0) return;
    if (iCurrentDest < 1 || iCurrentDest > DatabaseSize_1) return;
    char acCommand[64];
    std::snprintf(acCommand, sizeof acCommand, "RC %d %d %d ',---' 0", iDevice, iSelectedSource, iCurrentDest);
    DebugLog(acCommand);
    DispatchCommand(acCommand);
}

void ToggleLock()
{
    MessageBeep(0);
    if (iCurrentDest < 1 || iCurrentDest > DatabaseSize_1) return;
    char acCommand[32];
    if (abLock[iCurrentDest] != 0) {
        std::snprintf(acCommand, sizeof acCommand, "RL %d %d %d 0 0", iDevice, iCurrentDest, iCurrentDest);
    } else {
        std::snprintf(acCommand, sizeof acCommand, "RL %d %d %d 1 0", iDevice, iCurrentDest, iCurrentDest);
    }
    DispatchCommand(acCommand);
    UpdateLockDisplay();
}

void SetPanelText(int iControl, const char* pText)
{
    if (hWndDialog == nullptr) return;
    SetDlgItemTextA(hWndDialog, iControl, pText);
}

void ShowCounter(int iControl, long lValue)
{
    char acText[16];
    std::snprintf(acText, sizeof acText, "%08ld", lValue);
    SetPanelText(iControl, acText);
}

void ClearOutputList()
{
    if (hWndDialog == nullptr) return;
    SendDlgItemMessageA(hWndDialog, IDC_OUTPUT, LB_RESETCONTENT, 0, 0);
}

void AddOutputLine(const char* pText)
{
    if (hWndDialog == nullptr) return;
    SendDlgItemMessageA(hWndDialog, IDC_OUTPUT, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pText));
}
