#include "ipc/infolink.h"
HWND hWndSrcePkgInfo = nullptr;
HWND hWndDestPkgInfo = nullptr;
HWND hWndLevelMapInfo = nullptr;
HWND hWndInfoAnswer = nullptr;
void ConnectInfoDrivers() {}
void DisconnectInfoDrivers() {}
void ReadInfoSlot(HWND, int, char* pBuffer, int) { pBuffer[0] = '\0'; }
void InitLevelMap() {}
int ForwardInfoWrite(const char*) { return 0; }
void BringInfoDriversToState(int) {}
