// Registration with RVX, transmit state, network status and arbitration.
#pragma once
#include <windows.h>

extern HWND hWndRvx;
extern int iRvxNumber;
extern int iTxRx;       // TxRxState: not registered, RX only, TX/RX

int AttachToRvx();
int RegisterDevice();
int UnregisterDevice();
void OnRvxWindow(HWND hWnd);   // 2032: RVX's window (ignored once the attach was given up)
int SetTxRx(int iState);
int HandleNetworkStatus(char* pText);
LRESULT OnArbitration(UINT uMessage, LPARAM lDevice);   // 2179, 2180, 2181, 2190
