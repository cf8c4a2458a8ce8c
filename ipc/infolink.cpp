#include "ipc/infolink.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/filecodec.h"
#include "config/profile.h"
#include "core/levels.h"
#include "core/log.h"
#include "core/messages.h"
#include "core/tokenizer.h"
#include "ipc/intake.h"
#include "ipc/transport.h"

namespace {

InfoLinks sLinks = {nullptr, nullptr, nullptr, nullptr};

struct InfoLink {
    HWND* phWnd;
    const char* pRequesting;
    const char* pSuccess;
};

// The three links, always handled in this order.
const InfoLink asLink[kLinkCount] = {
    {&sLinks.hWndSrcePkgInfo, "Requesting handle to Source Package InfoDriver %d",
     "Source package InfoDriver %d handle = 0x%04x"},
    {&sLinks.hWndDestPkgInfo, "Requesting handle to destination package InfoDriver %d",
     "Destination package InfoDriver %d handle = 0x%04x"},
    {&sLinks.hWndLevelMapInfo, "Requesting handle to destination level mapping InfoDriver %d",
     "Destination level mapping InfoDriver %d handle = 0x%04x"},
};

// The link whose 2724 is out, or -1. Only then is a 2729 an answer to it;
// the windows that answer are kept in order until each is confirmed.
int iLinkAsked = -1;
const int kAnswerMax = 8;
HWND ahAnswer[kAnswerMax];
int nAnswer = 0;
HWND hNewAnswer = nullptr;   // set when an answer joins the list

// The window being confirmed: asked alone with the same 2724, it must answer
// with its own 2729 while that request is in progress.
HWND hConfirming = nullptr;
bool bConfirmed = false;

// A 2729 nobody asked for, from a window that is not linked: an InfoDriver
// that started again and announces itself. The next look for a missing
// link tries it first.
HWND hUnasked = nullptr;

// A look for a link that has gone waits at most this long for answers.
const DWORD kShortLookMs = 1000;
// How long the window asked alone has to answer: it has just answered.
const DWORD kConfirmMs = 2000;

// The InfoDriver's device number, as the profile names it.
int LinkDevice(int iLink)
{
    const DeviceProfile& sProfile = Profile();
    if (iLink == kSourceLink) return sProfile.SrcePkgInfoId;
    return iLink == kDestLink ? sProfile.DestPkgInfoId : sProfile.LevelMapInfoId;
}

bool Stopped(StopCheck pfnStopped)
{
    return pfnStopped != nullptr && pfnStopped();
}

}  // namespace

const InfoLinks& Links()
{
    return sLinks;
}

void UseInfoLinks(HWND hWndSource, HWND hWndDest, HWND hWndLevelMap)
{
    sLinks.hWndSrcePkgInfo = hWndSource;
    sLinks.hWndDestPkgInfo = hWndDest;
    sLinks.hWndLevelMapInfo = hWndLevelMap;
}

// 2729: while a window is confirmed, its own answer confirms it; while a
// link is asked for, the answer joins the list of windows to confirm; any
// other answer is kept as an InfoDriver announcing itself.
void OnInfoConnectAnswer(HWND hWnd)
{
    if (hConfirming != nullptr && hWnd == hConfirming) {
        bConfirmed = true;
        return;
    }
    sLinks.hWndInfoAnswer = hWnd;
    if (hWnd == nullptr) return;
    if (iLinkAsked < 0) {
        bool bMissing = false;
        for (int i = 0; i < kLinkCount; ++i) {
            if (*asLink[i].phWnd == hWnd) return;
            bMissing = bMissing || *asLink[i].phWnd == nullptr;
        }
        if (bMissing) {
            hUnasked = hWnd;
        } else {
            char acLine[128];
            std::snprintf(acLine, sizeof acLine, "An InfoDriver answered unasked (handle = 0x%04x) - not linked",
                          static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hWnd)));
            DebugLog(acLine);
        }
        return;
    }
    for (int i = 0; i < nAnswer; ++i) {
        if (ahAnswer[i] == hWnd) return;
    }
    if (nAnswer < kAnswerMax) ahAnswer[nAnswer++] = hWnd;
    hNewAnswer = hWnd;
}

namespace {

unsigned int HandleValue(HWND hWnd)
{
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hWnd));
}

// Asks hWnd alone for the InfoDriver of iLink: true when it answered with
// its own 2729 while the request was in progress.
bool ConfirmInfoDriver(int iLink, HWND hWnd)
{
    HWND hOuter = hConfirming;
    bool bOuter = bConfirmed;
    hConfirming = hWnd;
    bConfirmed = false;
    SendPeerMessageWithin(hWnd, MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndMain),
                          static_cast<LPARAM>(LinkDevice(iLink) | kDeviceFlag), kConfirmMs);
    bool bMine = bConfirmed;
    hConfirming = hOuter;
    bConfirmed = bOuter;
    return bMine;
}

// Confirms the answers in the order they came until one is the InfoDriver
// of iLink; the others are named. Returns the confirmed window or null.
HWND ConfirmAnswers(int iLink, int* piNext, HWND hFound)
{
    char acLine[160];
    for (; *piNext < nAnswer; ++*piNext) {
        HWND hWnd = ahAnswer[*piNext];
        if (hWnd == hFound) continue;
        if (!ConfirmInfoDriver(iLink, hWnd)) {
            std::snprintf(acLine, sizeof acLine, "An answer for InfoDriver %d (handle = 0x%04x) was not confirmed - not linked",
                          LinkDevice(iLink), HandleValue(hWnd));
            DebugLog(acLine);
        } else if (hFound == nullptr) {
            hFound = hWnd;
        } else {
            std::snprintf(acLine, sizeof acLine,
                          "A second InfoDriver %d answered (handle = 0x%04x) - kept the first (handle = 0x%04x)",
                          LinkDevice(iLink), HandleValue(hWnd), HandleValue(hFound));
            DebugLog(acLine);
        }
    }
    return hFound;
}

// Looks for the InfoDriver of iLink: broadcasts 2724 (unless hFirst, a
// window that announced itself, is confirmed first) and waits up to dwWaitMs
// for answers, confirming each. Every answer that came during the look is
// confirmed, so a duplicate is named. Returns the window or null.
HWND LookForInfoDriver(int iLink, DWORD dwWaitMs, HWND hFirst)
{
    nAnswer = 0;
    hNewAnswer = nullptr;
    iLinkAsked = iLink;
    if (hFirst != nullptr) ahAnswer[nAnswer++] = hFirst;
    DWORD dwStart = GetTickCount();
    int iNext = 0;
    HWND hFound = ConfirmAnswers(iLink, &iNext, nullptr);
    if (hFound == nullptr && dwWaitMs > 0) {
        BroadcastToTopLevel(MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndMain),
                            static_cast<LPARAM>(LinkDevice(iLink) | kDeviceFlag));
        for (;;) {
            hFound = ConfirmAnswers(iLink, &iNext, hFound);
            DWORD dwTaken = GetTickCount() - dwStart;
            if (hFound != nullptr || dwTaken >= dwWaitMs) break;
            hNewAnswer = nullptr;
            if (iNext < nAnswer) continue;
            WaitForSentMessages(dwWaitMs - dwTaken, &hNewAnswer);
        }
    }
    iLinkAsked = -1;
    ConfirmAnswers(iLink, &iNext, hFound);
    return hFound;
}

}  // namespace

// Finds each InfoDriver by broadcasting 2724 with its device number; the one
// that has it answers with 2729, which the main window keeps in
// hWndInfoAnswer; one that is busy at the time is waited for. A missing
// InfoDriver is fatal, so the links stop there. A close request that arrived
// meanwhile stops them before the next request.
int ConnectInfoDrivers(StopCheck pfnStopped)
{
    for (int i = 0; i < kLinkCount; ++i) {
        if (Stopped(pfnStopped)) return kAllLinked;
        const InfoLink& link = asLink[i];
        int iLinkDevice = LinkDevice(i);
        *link.phWnd = nullptr;
        sLinks.hWndInfoAnswer = nullptr;

        char acText[256];
        std::snprintf(acText, sizeof acText, link.pRequesting, iLinkDevice);
        DebugLog(acText);
        HWND hFound = LookForInfoDriver(i, kFindPeerMs, nullptr);
        if (hFound == nullptr) return i;
        *link.phWnd = hFound;
        std::snprintf(acText, sizeof acText, link.pSuccess, iLinkDevice, HandleValue(hFound));
        DebugLog(acText);
        if (i == kLevelMapLink && !Stopped(pfnStopped)) InitLevelMap(pfnStopped);
    }
    return kAllLinked;
}

namespace {

// When each missing link was last looked for (0: not yet).
DWORD adwLastLook[kLinkCount];

const char* const apLinkName[kLinkCount] = {"Source package", "Destination package",
                                            "Destination level mapping"};

void LinkAgain(int iLink, HWND hWnd)
{
    *asLink[iLink].phWnd = hWnd;
    char acLine[160];
    std::snprintf(acLine, sizeof acLine, "%s InfoDriver %d linked again (handle = 0x%04x)", apLinkName[iLink],
                  LinkDevice(iLink), HandleValue(hWnd));
    DebugLog(acLine);
    if (iLink == kLevelMapLink) InitLevelMap(nullptr);
}

}  // namespace

int LinkOfWindow(HWND hWnd)
{
    for (int i = 0; i < kLinkCount; ++i) {
        if (hWnd != nullptr && *asLink[i].phWnd == hWnd) return i;
    }
    return -1;
}

RelinkOutcome RelinkMissing(int iLink, int* piDevice)
{
    *piDevice = LinkDevice(iLink);
    if (*asLink[iLink].phWnd != nullptr) return kLinkUnchanged;
    DWORD dwNow = GetTickCount();
    bool bDue = adwLastLook[iLink] == 0 || dwNow - adwLastLook[iLink] >= kRelookMs;
    if (!bDue && hUnasked == nullptr) return kLinkUnchanged;
    HWND hFirst = hUnasked;
    hUnasked = nullptr;
    adwLastLook[iLink] = dwNow != 0 ? dwNow : 1;
    HWND hFound = LookForInfoDriver(iLink, bDue ? kShortLookMs : 0, hFirst);
    if (hFound == nullptr) {
        // The one that announced itself may be the InfoDriver of another link.
        if (hFirst != nullptr) hUnasked = hFirst;
        return kLinkUnchanged;
    }
    LinkAgain(iLink, hFound);
    return kLinkFoundAgain;
}

RelinkOutcome RelinkIfGone(HWND hWnd, int* piDevice)
{
    int iLink = LinkOfWindow(hWnd);
    if (iLink < 0 || IsWindow(hWnd)) return kLinkUnchanged;
    *piDevice = LinkDevice(iLink);
    *asLink[iLink].phWnd = nullptr;
    char acLine[128];
    std::snprintf(acLine, sizeof acLine, "%s InfoDriver %d has gone (handle = 0x%04x)", apLinkName[iLink],
                  LinkDevice(iLink), HandleValue(hWnd));
    DebugLog(acLine);
    adwLastLook[iLink] = 0;
    return RelinkMissing(iLink, piDevice) == kLinkFoundAgain ? kLinkFoundAgain : kLinkGone;
}

void DisconnectInfoDrivers()
{
    for (int i = 0; i < kLinkCount; ++i) {
        HWND hWnd = *asLink[i].phWnd;
        if (hWnd == nullptr) continue;
        SendPeerMessage(hWnd, MSG_INFO_DISCONNECT, reinterpret_cast<WPARAM>(hWnd),
                        static_cast<LPARAM>(LinkDevice(i)), nullptr);
        *asLink[i].phWnd = nullptr;
    }
}

// Slot read (2727). The caller's buffer gets at most nLength - 1 characters of
// the slot text and is always terminated; an unanswered read gives "" and
// false, an empty slot "" and true.
bool ReadInfoSlot(HWND hWndLink, int iSlot, char* pBuffer, int nLength)
{
    if (nLength <= 0) return false;
    char acBlock[kTextBlockSize + 1];
    std::memset(acBlock, 0, sizeof acBlock);
    bool bAnswered = false;
    SendCopyTextAnswered(hWndMain, hWndLink, MSG_INFO_SLOT_READ, iSlot, "", acBlock, kTextBlockSize, &bAnswered);
    acBlock[kTextBlockSize] = '\0';
    size_t nKeep = std::strlen(acBlock);
    if (nKeep > static_cast<size_t>(nLength - 1)) nKeep = static_cast<size_t>(nLength - 1);
    std::memcpy(pBuffer, acBlock, nKeep);
    pBuffer[nKeep] = '\0';
    return bAnswered;
}

// Every level-map slot whose first kLevelMapProbe characters hold no comma
// gets the default mapping "1,2,...,32". Each slot is offered the same default: what
// the InfoDriver answers to one write is not carried to the next. A slot
// whose read got no answer is not written: it may hold a map. A close
// request stops the loop before its next request.
void InitLevelMap(StopCheck pfnStopped)
{
    char acDefault[kDefaultLevelMapSize];
    FormatDefaultLevelMap(acDefault);
    DebugLog(acDefault);

    long nUnanswered = 0;
    for (int iSlot = 1; iSlot <= kPackageMax && !Stopped(pfnStopped); ++iSlot) {
        char acSlot[kLevelMapProbe + 1];
        if (!ReadInfoSlot(sLinks.hWndLevelMapInfo, iSlot, acSlot, sizeof acSlot)) {
            ++nUnanswered;
            continue;
        }
        if (!LevelMapGetsDefault(acSlot)) continue;
        SendCopyText(hWndMain, sLinks.hWndLevelMapInfo, MSG_LEVELMAP_DEFAULT, iSlot, acDefault);
    }
    if (nUnanswered > 0) {
        char acLine[128];
        std::snprintf(acLine, sizeof acLine,
                      "Level map InfoDriver %d did not answer %ld slot reads - those slots were left as they are",
                      Profile().LevelMapInfoId, nUnanswered);
        DebugLog(acLine);
    }
}

// An InfoDriver ring text whose second character is 'W' ("IW device 'text'
// slot ...") is written (2726) to every linked InfoDriver with that device
// number. The text is taken whole (a request block carries at most 512
// characters); a longer one is refused rather than cut, since a cut could
// fall inside the slot number and write another slot.
int ForwardInfoWrite(const char* pText)
{
    if (pText == nullptr) return 0;
    char acWork[kTextBlockSize];
    size_t nKeep = std::strlen(pText);
    if (nKeep > sizeof acWork - 1) {
        DebugLog("InfoDriver write refused - longer than 512 characters");
        return 0;
    }
    std::memcpy(acWork, pText, nKeep + 1);
    if (acWork[0] == '\0' || acWork[1] != 'W') return 0;

    char* apField[4];
    int aiValue[3];
    if (TokenizeCommand(acWork, 3, apField, aiValue) < 3) return 0;
    for (int i = 0; i < kLinkCount; ++i) {
        if (LinkDevice(i) != aiValue[0]) continue;
        SendCopyText(hWndMain, *asLink[i].phWnd, MSG_INFO_SLOT_WRITE, aiValue[2], apField[1]);
    }
    return 0;
}

namespace {

int iStateWanted = 0;                 // the state last brought to (0: none yet)
bool abStateOwed[kLinkCount] = {};    // its 2732 or 2733 did not go through

// Brings one InfoDriver to TX/RX (iState kTxRx) or to RX only (any other
// state), asking its state first (2732) and setting it (2733) only when it
// differs. False when the query or the set did not go through: its state is
// then not known.
bool BringToState(HWND hWnd, int iState)
{
    LRESULT lNow = 0;
    if (!SendPeerMessage(hWnd, MSG_INFO_TXRX_QUERY, 0, 0, &lNow)) return false;
    if (iState == kTxRx) {
        if (lNow != kTxRx) return SendPeerMessage(hWnd, MSG_INFO_TXRX_SET, kReportTxRx, 0, nullptr);
    } else if (lNow == kTxRx) {
        return SendPeerMessage(hWnd, MSG_INFO_TXRX_SET, kReportRxOnly, 0, nullptr);
    }
    return true;
}

}  // namespace

void BringInfoDriversToState(int iState)
{
    iStateWanted = iState;
    for (int i = 0; i < kLinkCount; ++i) {
        HWND hWnd = *asLink[i].phWnd;
        abStateOwed[i] = hWnd != nullptr && !BringToState(hWnd, iState);
    }
}

void SettleInfoDriverStates()
{
    for (int i = 0; i < kLinkCount; ++i) {
        HWND hWnd = *asLink[i].phWnd;
        if (!abStateOwed[i] || hWnd == nullptr) {
            abStateOwed[i] = false;
            continue;
        }
        abStateOwed[i] = !BringToState(hWnd, iStateWanted);
        if (!abStateOwed[i]) {
            char acLine[96];
            std::snprintf(acLine, sizeof acLine, "InfoDriver %d brought to the driver's state once more",
                          LinkDevice(i));
            DebugLog(acLine);
        }
    }
}
