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
// The figures that change with every command are shown by the next refresh
// of the panel, at most 100 ms later: a counter, the last command received,
// and the output list of the last take.
void ShowCounter(int iControl, long lValue);
void ShowCommand(const char* pText);
void ClearOutputList();
void AddOutputLine(const char* pText);
// Writes what waits for the refresh now.
void RefreshPanel();
