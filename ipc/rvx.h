// Registration with RVX, transmit state, network status and arbitration.
#pragma once
#include <windows.h>

// RVX as the driver knows it (one owner).
struct RvxLink {
    HWND hWndRvx;      // RVX's window, once it has answered the attach
    int iRvxNumber;    // its interface number (2119)
    int iTxRx;         // TxRxState: not registered, RX only, TX/RX
};

const RvxLink& Rvx();

// 1 when RVX answered the broadcast (its window is then known), 0 when not.
int AttachToRvx();
// Takes hWnd as RVX's window and asks its interface number: the attach once
// RVX has answered (a test's RVX, which the broadcast passes over, this way).
void UseRvx(HWND hWnd);
// kRegistered when RVX registered the device (the driver is then TX/RX);
// otherwise RVX's refusal (one of the three below, or another number),
// kRegisterNoAnswer, or kRegisterInvalidId for a device number outside
// 1..999, which is never sent.
const int kRegistered = 0;
const int kRegisterRefusedId = 1;         // the Id supplied is invalid
const int kRegisterIdTaken = 2;           // a driver has already registered the Id
const int kRegisterNotDriverMode = 3;     // RVX has not been enabled in driver mode
const int kRegisterNoAnswer = -1;
const int kRegisterInvalidId = -2;
int RegisterDevice();
int UnregisterDevice();
void OnRvxWindow(HWND hWnd);   // 2032: RVX's window (ignored once the attach was given up)
// State changes (SetTxRx, network status) are carried out one at a time in
// the order they arrive. One that arrives while another is being carried
// out, or while the state is held, waits and is carried out after it.
// Each change goes to the take journal with its cause.
int SetTxRx(int iState, const char* pWhy = "no cause given");
int HandleNetworkStatus(char* pText);
// Holds the transmit state for a piece of work that must go out whole (a
// take, a run of revertives): changes that arrive meanwhile take effect at
// the matching release. Holds nest.
void HoldTxRx();
void ReleaseTxRx();
LRESULT OnArbitration(UINT uMessage, LPARAM lDevice);   // 2179, 2180, 2181, 2190
