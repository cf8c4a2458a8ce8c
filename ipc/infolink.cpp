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

// The link whose 2724 is out, or -1. Only then is a 2729 an answer; one that
// comes later (the driver gave up on it) is not taken.
int iLinkAsked = -1;

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

// 2729: the first InfoDriver that answers the link's request is linked. A
// second one with the same device number (a leftover instance) is named in
// the log and left alone, so the link never changes under the driver.
void OnInfoConnectAnswer(HWND hWnd)
{
    if (iLinkAsked < 0) {
        sLinks.hWndInfoAnswer = hWnd;
        return;
    }
    if (hWnd == nullptr || hWnd == sLinks.hWndInfoAnswer) return;
    if (sLinks.hWndInfoAnswer == nullptr) {
        sLinks.hWndInfoAnswer = hWnd;
        return;
    }
    char acLine[160];
    std::snprintf(acLine, sizeof acLine,
                  "A second InfoDriver %d answered (handle = 0x%04x) - kept the first (handle = 0x%04x)",
                  LinkDevice(iLinkAsked), static_cast<unsigned int>(reinterpret_cast<uintptr_t>(hWnd)),
                  static_cast<unsigned int>(reinterpret_cast<uintptr_t>(sLinks.hWndInfoAnswer)));
    DebugLog(acLine);
}

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
        iLinkAsked = i;
        DWORD dwStart = GetTickCount();
        BroadcastToTopLevel(MSG_INFO_CONNECT, reinterpret_cast<WPARAM>(hWndMain),
                            static_cast<LPARAM>(iLinkDevice | kDeviceFlag));
        DWORD dwTaken = GetTickCount() - dwStart;
        if (sLinks.hWndInfoAnswer == nullptr && dwTaken < kFindPeerMs) {
            WaitForSentMessages(kFindPeerMs - dwTaken, &sLinks.hWndInfoAnswer);
        }
        iLinkAsked = -1;

        if (sLinks.hWndInfoAnswer == nullptr) return i;
        *link.phWnd = sLinks.hWndInfoAnswer;
        std::snprintf(acText, sizeof acText, link.pSuccess, iLinkDevice,
                      static_cast<unsigned int>(reinterpret_cast<uintptr_t>(sLinks.hWndInfoAnswer)));
        DebugLog(acText);
        if (i == kLevelMapLink && !Stopped(pfnStopped)) InitLevelMap(pfnStopped);
    }
    return kAllLinked;
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
// number.
int ForwardInfoWrite(const char* pText)
{
    if (pText == nullptr) return 0;
    char acWork[128];
    size_t nKeep = std::strlen(pText);
    if (nKeep > sizeof acWork - 1) nKeep = sizeof acWork - 1;
    std::memcpy(acWork, pText, nKeep);
    acWork[nKeep] = '\0';
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

// Brings each linked InfoDriver to TX/RX (iState kTxRx) or to RX only (any other
// state), asking its state first (2732) and setting it (2733) only when it
// differs.
void BringInfoDriversToState(int iState)
{
    for (int i = 0; i < kLinkCount; ++i) {
        HWND hWnd = *asLink[i].phWnd;
        if (hWnd == nullptr) continue;
        LRESULT lNow = 0;
        SendPeerMessage(hWnd, MSG_INFO_TXRX_QUERY, 0, 0, &lNow);
        if (iState == kTxRx) {
            if (lNow != kTxRx) SendPeerMessage(hWnd, MSG_INFO_TXRX_SET, kReportTxRx, 0, nullptr);
        } else if (lNow == kTxRx) {
            SendPeerMessage(hWnd, MSG_INFO_TXRX_SET, kReportRxOnly, 0, nullptr);
        }
    }
}
