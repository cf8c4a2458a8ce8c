// Links to the three InfoDrivers: source packages, destination packages and
// the destination level map.
#pragma once
#include <windows.h>

extern HWND hWndSrcePkgInfo;
extern HWND hWndDestPkgInfo;
extern HWND hWndLevelMapInfo;
extern HWND hWndInfoAnswer;

void ConnectInfoDrivers();
void DisconnectInfoDrivers();
// false when the InfoDriver did not answer (gone, hung or too slow).
bool ReadInfoSlot(HWND hWndLink, int iSlot, char* pBuffer, int nLength);
void OnInfoConnectAnswer(HWND hWnd);   // 2729
void InitLevelMap();
int ForwardInfoWrite(const char* pText);   // an InfoDriver ring text
void BringInfoDriversToState(int iState);  // 2732/2733 on each linked InfoDriver
