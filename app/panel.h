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
void SetPanelText(int iControl, const char* pText);
void ShowCounter(int iControl, long lValue);
void ClearOutputList();
void AddOutputLine(const char* pText);
