// Registration with RVX, transmit state, network status and arbitration.
#pragma once
#include <windows.h>

extern HWND hWndRvx;
extern int iRvxNumber;
extern int iTxRx;       // TxRxState: not registered, RX only, TX/RX

// 1 when RVX answered the broadcast (its window is then known), 0 when not.
int AttachToRvx();
// 0 when RVX registered the device (the driver is then TX/RX); otherwise
// RVX's refusal (1 invalid Id, 2 Id taken, 3 not in driver mode, or another
// number), kRegisterNoAnswer, or kRegisterInvalidId for a device number
// outside 1..999, which is never sent.
const int kRegisterNoAnswer = -1;
const int kRegisterInvalidId = -2;
int RegisterDevice();
int UnregisterDevice();
void OnRvxWindow(HWND hWnd);   // 2032: RVX's window (ignored once the attach was given up)
int SetTxRx(int iState);
int HandleNetworkStatus(char* pText);
LRESULT OnArbitration(UINT uMessage, LPARAM lDevice);   // 2179, 2180, 2181, 2190
