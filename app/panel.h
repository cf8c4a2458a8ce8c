// The operator panel: the main dialog "MAINDIALOG".
#pragma once
#include <windows.h>

extern HWND hWndDialog;
extern int iSelectedSource;
extern int iCurrentDest;
extern int iRoutedSource;

void CreateMainDialog();
INT_PTR CALLBACK MainDialogProc(HWND hDlg, UINT uMessage, WPARAM wParam, LPARAM lParam);
void UpdateLockDisplay();
void RefreshName(int iIndex, int iDatabase);
void TakeSelected();
void ToggleLock();

// Writes to the panel's controls; nothing happens while there is no panel.
// A text equal to the one last written is not written again.
void SetPanelText(int iControl, const char* pText);
// The panel reads the driver's state: the TX/RX indicator at once, the
// counters with the next refresh. What the command layer does reaches the
// panel through its events (command/events.h): the figures that change with
// every command (the counters, the last command received, the output list
// of the last take) are shown by the next refresh, at most 100 ms later.
void ShowDriverState();
// Writes what waits for the refresh now.
void RefreshPanel();
