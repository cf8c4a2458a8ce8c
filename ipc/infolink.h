// Links to the three InfoDrivers: source packages, destination packages and
// the destination level map.
#pragma once
#include <windows.h>

// The links (one owner): a handle of 0 is a link not made, and sends to it
// reach nobody.
struct InfoLinks {
    HWND hWndSrcePkgInfo;
    HWND hWndDestPkgInfo;
    HWND hWndLevelMapInfo;
    HWND hWndInfoAnswer;    // the last InfoDriver that answered a link request (2729)
};

const InfoLinks& Links();

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
// An InfoDriver that did not take its 2732 or 2733 (stalled, hung or too
// slow at the time) may stand in another state than the driver's: it is
// brought to the driver's last state once more, here; the driver does so
// before each router command it carries out.
void SettleInfoDriverStates();

// A link whose InfoDriver has gone (its window no longer exists) is looked
// for again: a short look (about a second) at most every kRelookMs while it
// is missing, and at once when an InfoDriver announced itself with a 2729
// nobody asked for. What happened, for the caller's journal:
enum RelinkOutcome { kLinkUnchanged, kLinkGone, kLinkFoundAgain };
const unsigned long kRelookMs = 30000;
// Unlinks the link of hWnd when its window has gone, then looks for it.
RelinkOutcome RelinkIfGone(HWND hWnd, int* piDevice);
// Looks for a link that is missing when a look is due.
RelinkOutcome RelinkMissing(int iLink, int* piDevice);
// The link (kSourceLink ...) whose window is hWnd, or -1.
int LinkOfWindow(HWND hWnd);
