// Close requests at random moments while the driver takes, with a slow or
// hung InfoDriver. Each round starts the driver with fresh peers, one of
// which is, in turn: stuck in its handler (answering each text request after
// 60 s), slow (after 0 to 4 s), hung (it stops taking messages at a random
// take), slow but live (after 8 to 11 s, from the end of start-up on), or
// healthy. A stream of 8 to 30 takes is sent, with lock commands on
// destinations no take goes to among them, and the driver is asked to close
// at a random moment of it (one round in seven during its start-up instead,
// half of those by a posted request): by 2175, WM_CLOSE sent or posted, a
// close request twice, WM_QUERYENDSESSION or File / Exit. In one round in
// three RVX answers slowly and an "RF" sweep is asked for just before the
// close. In one round in seven an InfoDriver is missing instead: the driver
// opens its box "Unable to connect to ..." and the close request comes while
// the box is open, with nobody to press OK. Then:
// - after its unregister (2186) RVX receives nothing more, and an InfoDriver
//   no slot read after its unlink (2725); RVX sees one 2186 (none when it
//   was never attached);
// - every take either reached RVX whole (its three level commands, each from
//   its own slots, then its revertive) or not at all;
// - the index file holds the routes it held before the round, changed by
//   exactly the takes whose revertives RVX saw, and is not written at all
//   when none did and no lock was sent;
// - the lock file holds every lock sent (each was queued before the close
//   request, possibly behind a slow take), and is not written when none was;
// - the driver ends within 30 s of the first request, with exit code 0.
// nCount is the number of rounds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "res/resource.h"
#include "tests/faults/burst.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int kPackages = 16;
// Takes go to destinations 1-12, locks to 13-16.
const int kTakeDestinations = 12;
const int kLockWorkstation = 800;
const int kSweepWorkstation = 900;
const int kLevels = 3;
const DWORD kCloseLimitMs = 30000;

// Round r has the InfoDriver fault r % 4, so that a short run meets the
// worst ones first.
enum PeerFault { kStuck, kSlow, kHung, kLive, kHealthy, kPeerFaults };
const char* const apPeerFault[kPeerFaults] = {"stuck", "slow", "hung", "slow but live", "healthy"};

enum CloseKind { kSent2175, kSentClose, kPostedClose, kTwice, kEndSession, kMenuExit, kCloseKinds };
const char* const apCloseKind[kCloseKinds] = {"2175 sent", "WM_CLOSE sent", "WM_CLOSE posted", "twice",
                                             "WM_QUERYENDSESSION", "File / Exit"};

struct FileSnapshot {
    bool bExists = false;
    std::string sData;
    FILETIME ftWrite = {0, 0};
};

FileSnapshot Snapshot(const std::string& sPath)
{
    FileSnapshot s;
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!GetFileAttributesExA(sPath.c_str(), GetFileExInfoStandard, &fad)) return s;
    s.bExists = ReadWholeFile(sPath, &s.sData);
    s.ftWrite = fad.ftLastWriteTime;
    return s;
}

bool SameFile(const FileSnapshot& a, const FileSnapshot& b)
{
    return a.bExists == b.bExists && a.sData == b.sData && CompareFileTime(&a.ftWrite, &b.ftWrite) == 0;
}

// An index file with a random route on every destination, and an empty
// lock file: the first round's files; each later round starts on those the
// round before left.
void WriteStartFiles(Site* pSite)
{
    std::string sIndex(8192, '\0');
    for (int d = 1; d <= kPackages; ++d) {
        sIndex[static_cast<size_t>(2 * d - 1)] = static_cast<char>(1 + RandomBelow(kPackages));
    }
    WriteTextFile(SiteFile(pSite, "DAT"), sIndex);
    WriteTextFile(SiteFile(pSite, "LCK"), std::string(4096, '\0'));
}

int MessageOf(const std::string& sLine)
{
    size_t i = sLine.find(" <- ");
    return i == std::string::npos ? 0 : std::atoi(sLine.c_str() + i + 4);
}

int ValueOf(const std::string& sLine)
{
    size_t i = sLine.find(" value=");
    return i == std::string::npos ? -1 : std::atoi(sLine.c_str() + i + 7);
}

std::string TextOf(const std::string& sLine)
{
    size_t i = sLine.find("text=\"");
    if (i == std::string::npos) return "";
    size_t j = sLine.find('"', i + 6);
    return sLine.substr(i + 6, j == std::string::npos ? std::string::npos : j - i - 6);
}

struct Totals {
    int anFault[kPeerFaults] = {0, 0, 0, 0, 0};
    int anClose[kCloseKinds] = {0, 0, 0, 0, 0, 0};
    int nDuringStartup = 0;
    int nPostedDuringStartup = 0;
    int nBox = 0;       // rounds closed while the start-up box was open
    int nSweeps = 0;    // rounds with an "RF" sweep asked for before the close
    long nSweepRevertives = 0;
    long nLocks = 0;    // lock commands sent
    long nCompleted = 0;
    long nAbandoned = 0;   // "Take abandoned" in the debug log
    long nDeferred = 0;    // close requests that waited for the work in progress
    long nAfterUnregister = 0;
    long nHangs = 0;
    DWORD dwLongestClose = 0;
};

// Sends the close request of that kind to the driver's window.
void RequestClose(Site* pSite, int iKind, const std::string& sRound, Figures* pFig)
{
    HWND h = pSite->hDriver;
    DWORD_PTR dwResult = 0;
    switch (iKind) {
    case kSent2175:
        SendMessageTimeoutA(h, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 40000, &dwResult);
        break;
    case kSentClose:
        SendMessageTimeoutA(h, WM_CLOSE, 0, 0, SMTO_NORMAL, 40000, &dwResult);
        break;
    case kPostedClose:
        PostMessageA(h, WM_CLOSE, 0, 0);
        break;
    case kTwice:
        if (RandomBelow(2) == 0) {
            SendMessageTimeoutA(h, WM_CLOSE, 0, 0, SMTO_NORMAL, 40000, &dwResult);
            PostMessageA(h, WM_CLOSE, 0, 0);
        } else {
            SendMessageTimeoutA(h, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 40000, &dwResult);
            PumpFor(static_cast<DWORD>(RandomBelow(300)));
            SendMessageTimeoutA(h, MSG_CLOSE_REQUEST, 0, 0, SMTO_NORMAL, 40000, &dwResult);
        }
        break;
    case kEndSession:
        ++pFig->nChecks;
        if (SendMessageTimeoutA(h, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 40000, &dwResult) && dwResult != TRUE) {
            Fail(pFig, &pFig->nWrong, sRound + ": WM_QUERYENDSESSION answered " + std::to_string(dwResult));
        }
        break;
    case kMenuExit:
        PostMessageA(h, WM_COMMAND, IDM_EXIT, 0);
        break;
    }
}

// The RVX log of a round: one 2186 (none when RVX never sent its window),
// nothing received after it, and every take whole or absent. Adds the
// completed takes, in order, to *paDone as (destination, source).
void CheckRvxLog(const Site* pSite, int iFrom, const std::vector<std::pair<int, int>>& aTake, const std::string& sRound,
                 std::vector<std::pair<int, int>>* paDone, Totals* pTotals, Figures* pFig)
{
    std::vector<std::string> asLine = ReadLines(pSite->sRvxLog);
    int nUnregister = 0;
    bool bAttached = false;
    int iCurrent = 0;   // workstation of the take whose level commands are arriving
    int nLevels = 0;
    for (size_t i = 0; i < asLine.size(); ++i) {
        const std::string& s = asLine[i];
        if (s.find("RVX -> 2032") != std::string::npos) bAttached = true;
        int iMessage = MessageOf(s);
        if (iMessage == 0) continue;
        if (nUnregister > 0) {
            ++pTotals->nAfterUnregister;
            Fail(pFig, &pFig->nWrong, sRound + ": received after the unregister: " + s);
        }
        if (iMessage == MSG_UNREGISTER) ++nUnregister;
        if (static_cast<int>(i) < iFrom || nUnregister > 0) continue;
        if (iMessage == MSG_ROUTE_COMMAND) {
            int iTarget = 0, iSrc = 0, iDest = 0, iWs = 0;
            char acMask[16] = "";
            if (std::sscanf(TextOf(s).c_str(), "RC %d %d %d %15s %d", &iTarget, &iSrc, &iDest, acMask, &iWs) != 5) {
                continue;
            }
            if (iWs != iCurrent) {
                if (iCurrent != 0) {
                    Fail(pFig, &pFig->nWrong, sRound + ": take " + std::to_string(iCurrent) + " sent " +
                                                  std::to_string(nLevels) + " level commands and no revertive");
                }
                iCurrent = iWs;
                nLevels = 0;
            }
            ++nLevels;
        } else if (iMessage == MSG_REVERTIVE) {
            if (ValueOf(s) == kSweepWorkstation) {
                ++pTotals->nSweepRevertives;
                continue;
            }
            ++pFig->nChecks;
            int d = 0, iSource = 0, iDevice = 0;
            if (ValueOf(s) != 0 || std::sscanf(TextOf(s).c_str(), "RR %d %d %d", &iDevice, &d, &iSource) != 3) {
                Fail(pFig, &pFig->nWrong, sRound + ": a revertive no take asked for: " + s);
                continue;
            }
            if (iCurrent < 1 || iCurrent > static_cast<int>(aTake.size())) {
                Fail(pFig, &pFig->nWrong, sRound + ": a revertive with no level commands before it: " + s);
                continue;
            }
            const std::pair<int, int>& take = aTake[static_cast<size_t>(iCurrent - 1)];
            if (nLevels != kLevels || d != take.second || iSource != take.first) {
                Fail(pFig, &pFig->nWrong, sRound + ": take " + std::to_string(iCurrent) + " (RC 201 " +
                                              std::to_string(take.first) + " " + std::to_string(take.second) +
                                              ") came with " + std::to_string(nLevels) + " level commands and " +
                                              TextOf(s));
            }
            paDone->push_back({d, iSource});
            iCurrent = 0;
        }
    }
    if (iCurrent != 0) {
        Fail(pFig, &pFig->nWrong, sRound + ": take " + std::to_string(iCurrent) + " sent " + std::to_string(nLevels) +
                                      " level commands and no revertive");
    }
    pFig->nChecks += 2;
    if (nUnregister != (bAttached ? 1 : 0)) {
        Fail(pFig, &pFig->nWrong, sRound + ": " + std::to_string(nUnregister) + " unregisters (2186), RVX " +
                                      (bAttached ? "attached" : "never attached"));
    }
}

// No InfoDriver gets a slot read after its unlink, or two unlinks.
void CheckInfoLogs(const Site* pSite, const std::string& sRound, Totals* pTotals, Figures* pFig)
{
    for (int i = 0; i < 3; ++i) {
        int nUnlinks = 0;
        for (const std::string& s : ReadLines(pSite->asInfoLog[i])) {
            int iMessage = MessageOf(s);
            if (iMessage == MSG_INFO_DISCONNECT) ++nUnlinks;
            if (nUnlinks > 0 && (iMessage == MSG_INFO_SLOT_READ || iMessage == MSG_INFO_SLOT_WRITE ||
                                 iMessage == MSG_LEVELMAP_DEFAULT)) {
                ++pTotals->nAfterUnregister;
                Fail(pFig, &pFig->nWrong, sRound + ": after the unlink: " + s);
            }
        }
        ++pFig->nChecks;
        if (nUnlinks > 1) {
            Fail(pFig, &pFig->nWrong, sRound + ": InfoDriver " + std::to_string(301 + i) + " unlinked " +
                                          std::to_string(nUnlinks) + " times");
        }
    }
}

// The index file: the starting routes changed by the completed takes; not
// written at all when no take completed and no lock was sent. The lock file:
// the starting locks changed by every lock sent (aLock: destination, value,
// in order); never written when none was.
void CheckFiles(const FileSnapshot& datBefore, const FileSnapshot& lckBefore, const FileSnapshot& datAfter,
                const FileSnapshot& lckAfter, const std::vector<std::pair<int, int>>& aDone,
                const std::vector<std::pair<int, int>>& aLock, const std::string& sRound, Figures* pFig)
{
    pFig->nChecks += 2;
    if (aLock.empty() && !SameFile(lckBefore, lckAfter)) {
        Fail(pFig, &pFig->nWrong, sRound + ": the lock file was written");
    }
    if (!aLock.empty()) {
        RouteState sBefore;
        RouteState sAfter;
        std::string sWhy;
        if (!DecodeFiles(std::string(8192, '\0'), lckBefore.sData, &sBefore, &sWhy) ||
            !DecodeFiles(std::string(8192, '\0'), lckAfter.sData, &sAfter, &sWhy)) {
            Fail(pFig, &pFig->nTorn, sRound + ": " + sWhy);
        } else {
            RouteState sExpected = sBefore;
            for (const std::pair<int, int>& lock : aLock) sExpected.aiLock[static_cast<size_t>(lock.first)] = lock.second;
            for (int d = 1; d <= kPackages; ++d) {
                int iFile = sAfter.aiLock[static_cast<size_t>(d)];
                int iWant = sExpected.aiLock[static_cast<size_t>(d)];
                if (iFile == iWant) continue;
                Fail(pFig, &pFig->nLost, sRound + ": destination " + std::to_string(d) + " has lock " +
                                             std::to_string(iFile) + " in the lock file, " + std::to_string(iWant) +
                                             " after the lock commands sent");
            }
        }
    }
    if (aDone.empty() && aLock.empty()) {
        if (!SameFile(datBefore, datAfter)) {
            Fail(pFig, &pFig->nWrong, sRound + ": the index file was written, no take completed");
        }
        return;
    }
    RouteState sBefore;
    RouteState sAfter;
    std::string sWhy;
    if (!DecodeFiles(datBefore.sData, lckBefore.sData, &sBefore, &sWhy) ||
        !DecodeFiles(datAfter.sData, lckAfter.sData, &sAfter, &sWhy)) {
        Fail(pFig, &pFig->nTorn, sRound + ": " + sWhy);
        return;
    }
    RouteState sExpected = sBefore;
    for (const std::pair<int, int>& done : aDone) sExpected.aiIndex[static_cast<size_t>(done.first)] = done.second;
    for (int d = 1; d <= kBurstPackages; ++d) {
        int iFile = sAfter.aiIndex[static_cast<size_t>(d)];
        int iWant = sExpected.aiIndex[static_cast<size_t>(d)];
        if (iFile == iWant) continue;
        std::string sWhat = sRound + ": destination " + std::to_string(d) + " routed from " + std::to_string(iFile) +
                            " in the index file, " + std::to_string(iWant) + " after the revertives";
        // The file still holds an older route (the last revertive's is lost),
        // or a route that no revertive announced.
        bool bOlder = iFile == sBefore.aiIndex[static_cast<size_t>(d)];
        for (const std::pair<int, int>& done : aDone) bOlder = bOlder || (done.first == d && done.second == iFile);
        Fail(pFig, bOlder ? &pFig->nLost : &pFig->nWrong, sWhat);
    }
}

int CountDebug(DWORD dwPid, const char* pPart)
{
    int n = 0;
    for (const std::string& s : DebugLines(dwPid)) n += s.find(pPart) != std::string::npos;
    return n;
}

}  // namespace

int CampaignCloses(int nCount, Figures* pFig)
{
    Site site;
    const std::string sLevels = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=F,R,103\n";
    if (!CreateSite(&site) ||
        !WriteSiteProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", 1, "ExternalDLL=NONE\n", sLevels)) {
        Fail(pFig, &pFig->nOther, "closes: site not created");
        RemoveSite(&site);
        return 1;
    }
    if (!StartDebugCapture()) {
        Fail(pFig, &pFig->nOther, "closes: the debug output is held by another program");
        RemoveSite(&site);
        return 1;
    }
    WriteStartFiles(&site);
    Totals totals;
    for (int iRound = 0; iRound < nCount; ++iRound) {
        int iFault = iRound % kPeerFaults;
        // One round in seven: an InfoDriver missing at start-up, the close
        // while its box is open.
        bool bBox = iRound % 7 == 4;
        int iMissing = bBox ? RandomBelow(3) : -1;
        int iVictim = iFault == kHung ? RandomBelow(3) : RandomBelow(2);
        int iDelay = iFault == kStuck ? 60000 : iFault == kSlow ? RandomBelow(4001)
                                              : iFault == kLive ? 8000 + RandomBelow(3001) : 0;
        int iClose = RandomBelow(kCloseKinds);
        bool bStartup = !bBox && RandomBelow(7) == 0;
        // Posted requests are the ones the waits of start-up must look for.
        if (bStartup && RandomBelow(2) == 0) iClose = RandomBelow(2) == 0 ? kPostedClose : kMenuExit;
        bool bSweep = !bBox && RandomBelow(3) == 0;
        int iRvxDelay = bSweep ? 100 + RandomBelow(401) : 0;
        int nTakes = 8 + RandomBelow(23);
        if (bBox) {
            iFault = kHealthy;
            iDelay = 0;
        }
        char acRound[200];
        std::snprintf(acRound, sizeof acRound, "closes: round %d (%s InfoDriver %d%s, %s%s%s%s)", iRound,
                      apPeerFault[iFault], 301 + iVictim,
                      iFault == kSlow || iFault == kLive ? (", " + std::to_string(iDelay) + " ms").c_str() : "",
                      apCloseKind[iClose], bStartup ? " during start-up" : "",
                      bBox ? (", InfoDriver " + std::to_string(301 + iMissing) + " missing, box open").c_str() : "",
                      bSweep ? (", RF sweep, RVX " + std::to_string(iRvxDelay) + " ms").c_str() : "");
        std::string sRound = acRound;
        if (!bBox) ++totals.anFault[iFault];
        ++totals.anClose[iClose];
        totals.nDuringStartup += bStartup;
        totals.nPostedDuringStartup += bStartup && (iClose == kPostedClose || iClose == kMenuExit);
        totals.nBox += bBox;
        totals.nSweeps += bSweep;

        // Fresh peers: a hung or stuck one ends with its round.
        bool bUp = StartRvx(&site, iRvxDelay > 0 ? "--answer-delay " + std::to_string(iRvxDelay) : "");
        for (int i = 0; bUp && i < 3; ++i) {
            if (i == iMissing) {
                site.asInfoLog[i].clear();
                continue;
            }
            std::string sMore = InfoDriverLog(&site, i);
            // Slow but live from the end of start-up on (its TX/RX query):
            // a link answered after 8 s would be given up.
            if (i == iVictim && iFault == kLive) {
                sMore += " -e \"expect 2732 60\" -e \"set answer-delay " + std::to_string(iDelay) + "\"";
            } else if (i == iVictim && iDelay > 0) {
                sMore += " --answer-delay " + std::to_string(iDelay);
            }
            if (i == iVictim && iFault == kHung) sMore += " -e \"expect 2728 \\\"\\\" 600\" -e \"stall 60s\"";
            bUp = StartInfoDriver(&site, i, i == 2 ? LevelMapSlots() : InfoKillSlots(i == 0), sMore);
        }
        HWND hVictim = bUp && !bBox ? WaitForWindow("InfoSim", ("InfoDriver " + std::to_string(301 + iVictim)).c_str(),
                                                    site.info[iVictim].dwPid, 20000)
                                    : nullptr;
        FileSnapshot datBefore = Snapshot(SiteFile(&site, "DAT"));
        FileSnapshot lckBefore = Snapshot(SiteFile(&site, "LCK"));
        ClearDebugLines();
        bUp = bUp && (bBox || hVictim != nullptr) && StartDriver(&site);
        HWND hBox = nullptr;
        if (bUp && bBox) {
            hBox = WaitForErrorBox(site.driver.dwPid, 60000);
            site.hDriver = WaitForWindow("Q7CMBINE", kDriverTitle201, site.driver.dwPid, 5000);
        } else if (bUp && bStartup) {
            site.hDriver = WaitForWindow("Q7CMBINE", kDriverTitle201, site.driver.dwPid, 60000);
        } else if (bUp) {
            bUp = WaitDriverServing(&site, 60000);
        }
        if (!bUp || site.hDriver == nullptr || (bBox && hBox == nullptr)) {
            Fail(pFig, &pFig->nOther, sRound + ": did not come up" + (bBox ? " with its box" : ""));
            EndProcess(&site.driver);
            for (StartedProcess& p : site.info) EndProcess(&p);
            EndProcess(&site.rvx);
            continue;
        }
        ++pFig->nCases;
        int iFrom = static_cast<int>(ReadLines(site.sRvxLog).size());
        if (bBox) {
            ++pFig->nChecks;
            std::string sBox = ErrorBoxText(hBox);
            if (sBox.find("Unable to connect to") == std::string::npos) {
                Fail(pFig, &pFig->nWrong, sRound + ": the box says \"" + sBox + "\"");
            }
            nTakes = 0;
        }

        // The stream, with the close at a random take and a random wait after
        // it, long enough to reach into a slow read. Locks come before the
        // close only, on destinations no take goes to; not during start-up,
        // where a driver not yet registered carries out nothing.
        int iCloseAt = RandomBelow(nTakes + 1);
        int iStallAt = iFault == kHung && !bStartup ? RandomBelow(nTakes) : -1;
        int iWaitMax = iFault == kHealthy ? 40 : iFault == kSlow ? 3 * iDelay + 50 : iFault == kLive ? 2 * iDelay : 14000;
        if (bStartup) iWaitMax = 2500;
        if (bBox) iWaitMax = 3000;
        std::vector<std::pair<int, int>> aTake;
        std::vector<std::pair<int, int>> aLock;
        DWORD dwCloseAt = 0;
        for (int k = 0; k <= nTakes; ++k) {
            if (k == iStallAt) {
                DWORD_PTR dwIgnored = 0;
                SendMessageTimeoutA(hVictim, MSG_INFO_NOTICE, 0, 0, SMTO_NORMAL, 2000, &dwIgnored);
            }
            if (k == iCloseAt) {
                DWORD dwWait = static_cast<DWORD>(RandomBelow(iWaitMax + 1));
                if (bSweep) {
                    // The sweep's 16 revertives take 16 of RVX's delays.
                    SendToDriver(&site, MSG_DRIVER_COMMAND, "RF 201 " + std::to_string(kSweepWorkstation));
                    dwWait = static_cast<DWORD>(RandomBelow(16 * iRvxDelay + 1));
                }
                PumpFor(dwWait);
                dwCloseAt = GetTickCount();
                RequestClose(&site, iClose, sRound, pFig);
            }
            if (k == nTakes) break;
            if (!bStartup && k < iCloseAt && RandomBelow(4) == 0) {
                int d = kTakeDestinations + 1 + RandomBelow(kPackages - kTakeDestinations);
                int iValue = RandomBelow(2);
                if (SendToDriver(&site, MSG_DRIVER_COMMAND,
                                 "RL 201 " + std::to_string(d) + " " + std::to_string(d) + " " +
                                     std::to_string(iValue) + " " + std::to_string(kLockWorkstation)) == 1) {
                    aLock.push_back({d, iValue});
                } else {
                    Fail(pFig, &pFig->nOther, sRound + ": a lock command was not accepted");
                }
                ++pFig->nInputs;
                ++totals.nLocks;
            }
            int s = 1 + RandomBelow(kPackages);
            int d = 1 + RandomBelow(kTakeDestinations);
            aTake.push_back({s, d});
            SendToDriver(&site, MSG_DRIVER_COMMAND,
                         "RC 201 " + std::to_string(s) + " " + std::to_string(d) + " ',1,2,3' " + std::to_string(k + 1));
            ++pFig->nInputs;
            PumpFor(static_cast<DWORD>(RandomBelow(3)));
        }
        DWORD dwExit = 99;
        DWORD dwSince = GetTickCount() - dwCloseAt;
        bool bEnded = WaitForExit(site.driver.hProcess, dwSince < 45000 ? 45000 - dwSince : 0, &dwExit);
        DWORD dwTaken = GetTickCount() - dwCloseAt;
        if (bEnded && dwTaken > totals.dwLongestClose) totals.dwLongestClose = dwTaken;
        pFig->nChecks += 2;
        if (!bEnded || dwTaken > kCloseLimitMs) {
            ++totals.nHangs;
            std::string sWhen = bEnded ? "ended " + std::to_string(dwTaken) + " ms after" : "did not end within 45 s of";
            Fail(pFig, &pFig->nCrashes, sRound + ": " + sWhen + " the close request");
        } else if (dwExit != 0) {
            Fail(pFig, &pFig->nCrashes, sRound + ": exit code " + std::to_string(dwExit));
        }
        DWORD dwPid = site.driver.dwPid;
        EndProcess(&site.driver);
        for (StartedProcess& p : site.info) EndProcess(&p);
        EndProcess(&site.rvx);
        PumpFor(100);   // the last debug texts

        std::vector<std::pair<int, int>> aDone;
        CheckRvxLog(&site, iFrom, aTake, sRound, &aDone, &totals, pFig);
        CheckLevelCommands(site.sRvxLog, aTake, false, pFig, "closes", -1);
        CheckInfoLogs(&site, sRound, &totals, pFig);
        CheckFiles(datBefore, lckBefore, Snapshot(SiteFile(&site, "DAT")), Snapshot(SiteFile(&site, "LCK")), aDone,
                   aLock, sRound, pFig);
        totals.nCompleted += static_cast<long>(aDone.size());
        totals.nAbandoned += CountDebug(dwPid, "Take abandoned");
        totals.nDeferred += CountDebug(dwPid, "the shut-down follows the work in progress");
        for (const std::string& s : site.asTemp) DeleteFileA(s.c_str());
        site.asTemp.clear();
    }
    StopDebugCapture();
    std::printf("closes: peers: %d stuck (60 s), %d slow (0-4 s), %d hung, %d slow but live (8-11 s), %d healthy; "
                "closes: ",
                totals.anFault[kStuck], totals.anFault[kSlow], totals.anFault[kHung], totals.anFault[kLive],
                totals.anFault[kHealthy]);
    for (int i = 0; i < kCloseKinds; ++i) std::printf("%s%d %s", i > 0 ? ", " : "", totals.anClose[i], apCloseKind[i]);
    std::printf("; %d during start-up (%d posted), %d with the start-up box open, %ld waited for the work in "
                "progress\n",
                totals.nDuringStartup, totals.nPostedDuringStartup, totals.nBox, totals.nDeferred);
    std::printf("closes: %ld takes and locks sent, %ld locks, %ld takes completed, %ld abandoned (no answer to a slot "
                "read); %d RF sweeps (%ld of their revertives sent); %ld received after an unregister or unlink; "
                "%ld hangs; longest close %lu ms\n",
                pFig->nInputs, totals.nLocks, totals.nCompleted, totals.nAbandoned, totals.nSweeps,
                totals.nSweepRevertives, totals.nAfterUnregister, totals.nHangs,
                static_cast<unsigned long>(totals.dwLongestClose));
    RemoveSite(&site);
    return 0;
}
