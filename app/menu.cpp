// The main window's menu bar: Exit, keyboard control of the panel (focus a
// list, Take, Lock from the bar) and the About box.
#include "app/menu.h"

#include <cstdio>

#include "app/driver.h"
#include "app/panel.h"
#include "config/files.h"
#include "config/profile.h"
#include "ipc/intake.h"
#include "res/resource.h"
#include "res/version.h"

namespace {

int bKeyboard = 0;   // keyboard control of the panel is on

const char kOwnershipNotice[] = "(c) the ZUR developers";

HMENU DriverMenu()
{
    return Driver().hMenu != nullptr ? Driver().hMenu : GetMenu(hWndMain);
}

// Moves the focus into a package list and highlights its first entry when it
// has none; the focus change itself notifies the panel.
void FocusList(int iList)
{
    HWND hList = GetDlgItem(Panel().hWndDialog, iList);
    if (hList == nullptr) return;
    SetFocus(hList);
    if (SendMessageA(hList, LB_GETCURSEL, 0, 0) == LB_ERR) SendMessageA(hList, LB_SETCURSEL, 0, 0);
}

// With keyboard control on, the bar items that drive the panel are enabled
// and 911 carries a check mark; off, they are greyed.
void SwitchKeyboard()
{
    HMENU hBar = DriverMenu();
    bKeyboard = bKeyboard == 0 ? 1 : 0;
    CheckMenuItem(hBar, IDM_KEYBOARD, MF_BYCOMMAND | (bKeyboard ? MF_CHECKED : MF_UNCHECKED));
    for (int iItem = IDM_SOURCE_BOX; iItem <= IDM_LOCK; ++iItem) {
        EnableMenuItem(hBar, iItem, MF_BYCOMMAND | (bKeyboard ? MF_ENABLED : MF_GRAYED));
    }
    DrawMenuBar(hWndMain);
    FocusList(IDC_DEST_LIST);
}

}  // namespace

// A menu command comes with 0 in the high word; an accelerator's or a
// control's notification is not one of the menu's commands.
void OnMenuCommand(WPARAM wParam)
{
    if (HIWORD(wParam) != 0) return;
    switch (LOWORD(wParam)) {
    case IDM_EXIT:         RequestShutdown("File / Exit"); break;
    case IDM_CLEAR_ERRORS: break;
    case IDM_KEYBOARD:     SwitchKeyboard(); break;
    case IDM_SOURCE_BOX:   FocusList(IDC_SOURCE_LIST); break;
    case IDM_DEST_BOX:     FocusList(IDC_DEST_LIST); break;
    case IDM_TAKE: {
        const int iDest = Panel().iCurrentDest;
        if (iDest >= 1 && iDest <= Profile().DatabaseSize_1 && Routes().abLock[iDest] == 0) TakeSelected();
        break;
    }
    case IDM_LOCK:         ToggleLock(); break;
    case IDM_ABOUT:        ShowAbout(); break;
    }
}

int KeyboardControlOn()
{
    return bKeyboard;
}

void ResetKeyboardControl()
{
    bKeyboard = 0;
}

void ShowAbout()
{
    DialogBoxParamA(Driver().hInst, "ABOUT", hWndMain, AboutProc, 0);
}

INT_PTR CALLBACK AboutProc(HWND hDlg, UINT uMessage, WPARAM, LPARAM)
{
    switch (uMessage) {
    case WM_INITDIALOG: {
        // The compiler's date is "Mmm dd yyyy" with a blank before a one-digit
        // day; shown as month, day and year separated by single blanks.
        char acMonth[4] = "";
        int iDay = 0;
        int iYear = 0;
        std::sscanf(__DATE__, "%3s %d %d", acMonth, &iDay, &iYear);
        char acDate[32];
        std::snprintf(acDate, sizeof acDate, "%s %d %d", acMonth, iDay, iYear);
        char acText[64];
        std::snprintf(acText, sizeof acText, "%s - %s", acDate, __TIME__);
        SetDlgItemTextA(hDlg, IDC_ABOUT_BUILD, acText);
        std::snprintf(acText, sizeof acText, "Version %s - %s", ZUR_VERSION, kOwnershipNotice);
        SetDlgItemTextA(hDlg, IDC_ABOUT_VERSION, acText);
        return 1;
    }
    case WM_COMMAND:
        EndDialog(hDlg, 1);
        return 1;
    }
    return 0;
}
