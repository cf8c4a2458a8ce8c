#include "ipc/rvx.h"
HWND hWndRvx = nullptr;
int iRvxNumber = 0;
int iTxRx = 0;
int AttachToRvx() { return 0; }
int RegisterDevice() { return 0; }
int UnregisterDevice() { return 0; }
int SetTxRx(int iState) { iTxRx = iState; return iTxRx; }
int HandleNetworkStatus(char*) { return 0; }
LRESULT OnArbitration(UINT, LPARAM) { return 0; }
