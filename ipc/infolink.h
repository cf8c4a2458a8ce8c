// Links to the three InfoDrivers: source packages, destination packages and
// the destination level map.
#pragma once
#include <windows.h>

extern HWND hWndSrcePkgInfo;
extern HWND hWndDestPkgInfo;
extern HWND hWndLevelMapInfo;
extern HWND hWndInfoAnswer;

// The three links, in the order they are made.
enum { kSourceLink = 0, kDestLink = 1, kLevelMapLink = 2, kLinkCount = 3 };
const int kAllLinked = -1;

// Asked before each request of a long piece of work (the links, the level
// map): true stops the work there.
typedef bool (*StopCheck)();

// Links the InfoDrivers in order and fills the level map. Returns the link
// whose InfoDriver did not answer (the ones after it are not tried), or
// kAllLinked when none failed (a stop is no failure).
int ConnectInfoDrivers(StopCheck pfnStopped);
void DisconnectInfoDrivers();
// false when the InfoDriver did not answer (gone, hung or too slow).
bool ReadInfoSlot(HWND hWndLink, int iSlot, char* pBuffer, int nLength);
void OnInfoConnectAnswer(HWND hWnd);   // 2729
void InitLevelMap(StopCheck pfnStopped);
int ForwardInfoWrite(const char* pText);   // an InfoDriver ring text
void BringInfoDriversToState(int iState);  // 2732/2733 on each linked InfoDriver
