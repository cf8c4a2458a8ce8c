// The operator panel: the main dialog "MAINDIALOG".
#pragma once
#include <windows.h>

// What the panel shows and the operator has chosen (one owner).
struct PanelState {
    HWND hWndDialog;        // the panel; 0 while there is none
    int iSelectedSource;    // the source chosen for Take; -1 none
    int iCurrentDest;       // the destination shown; -1 none
    int iRoutedSource;      // the current destination's source as last shown
};

const PanelState& Panel();

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
