#include "app/panel.h"
HWND hWndDialog = nullptr;
int iSelectedSource = 0;
int iCurrentDest = 0;
int iRoutedSource = 0;
void CreateMainDialog() {}
INT_PTR CALLBACK MainDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }
void UpdateLockDisplay() {}
void RefreshName(int, int) {}
void TakeSelected() {}
void ToggleLock() {}
void SetPanelText(int, const char*) {}
void ShowCounter(int, long) {}
void ClearOutputList() {}
void AddOutputLine(const char*) {}
