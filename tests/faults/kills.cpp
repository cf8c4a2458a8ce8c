// The driver killed (TerminateProcess) at random moments while it takes,
// locks and polls, and while it saves at shut-down. Each cycle restarts the
// driver on the files the previous cycle left, sends a burst of commands and
// ends in one of three ways: killed during the burst, killed at a random
// moment after the close request 2175 (while it saves both files), or closed
// cleanly. Then both files must be complete (8192 and 4096 bytes) and hold a
// state the driver really had: the lock file the locks after some prefix of
// the commands, never one from before a command whose later "RP" revertive
// RVX had seen (a confirmed lock is never lost); the index file the routes it
// started the cycle with, or those after some such prefix when it saved.
// The lock file is written at every "RL"; the index file only at shut-down,
// so each cycle is one save period. nCount is the number of kills wanted.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/burst.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

// The number of commands known processed: the last "RP" whose revertive is
// in the RVX log, and everything before it.
int ConfirmedPrefix(const std::string& sRvxLog, const std::vector<BurstCommand>& aCommand, int nSent)
{
    std::vector<bool> abSeen(1001, false);
    for (const std::string& sLine : ReadLines(sRvxLog)) {
        if (sLine.find("RVX <- 2187") == std::string::npos) continue;
        size_t i = sLine.find("value=");
        if (i == std::string::npos) continue;
        int iValue = std::atoi(sLine.c_str() + i + 6);
        if (iValue >= 0 && iValue <= 1000) abSeen[static_cast<size_t>(iValue)] = true;
    }
    int nConfirmed = 0;
    for (int j = 0; j < nSent; ++j) {
        if (aCommand[static_cast<size_t>(j)].iWorkstation != 0 && abSeen[static_cast<size_t>(aCommand[static_cast<size_t>(j)].iWorkstation)]) {
            nConfirmed = j + 1;
        }
    }
    return nConfirmed;
}

}  // namespace

int CampaignKills(int nCount, Figures* pFig)
{
    Site site;
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=64\nDatabaseSize_1=64\n") &&
               StartInfoDriver(&site, 0, PackageSlots()) && StartInfoDriver(&site, 1, PackageSlots()) &&
               StartInfoDriver(&site, 2, LevelMapSlots());
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "kills: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    RouteState sStart;
    int nEndings[3] = {0, 0, 0};
    int nClosedFirst = 0;   // closed by itself before the kill after 2175
    for (int iCycle = 0; pFig->nKills < nCount && iCycle < 3 * nCount; ++iCycle) {
        std::string sCycle = "kills: cycle " + std::to_string(iCycle);
        EndProcess(&site.rvx);
        DeleteFileA(site.sRvxLog.c_str());
        if (!StartRvx(&site) || !StartDriver(&site) || !WaitDriverServing(&site, 60000)) {
            Fail(pFig, &pFig->nCrashes, sCycle + ": the driver did not come up");
            EndProcess(&site.driver);
            break;
        }
        ++pFig->nCases;
        std::vector<BurstCommand> aCommand;
        std::vector<RouteState> aState;
        MakeBurst(sStart, &aCommand, &aState);
        int iEnding = RandomBelow(10) < 7 ? 0 : (RandomBelow(3) < 2 ? 1 : 2);
        ++nEndings[iEnding];
        DWORD dwKillAt = GetTickCount() + static_cast<DWORD>(RandomBelow(700));
        bool bKilled = false;
        int nSent = 0;
        for (const BurstCommand& c : aCommand) {
            if (iEnding == 0 && GetTickCount() >= dwKillAt) {
                TerminateProcess(site.driver.hProcess, 9);
                bKilled = true;
                break;
            }
            if (SendToDriver(&site, MSG_DRIVER_COMMAND, c.sText) != 1) {
                Fail(pFig, &pFig->nOther, sCycle + ": command not accepted: " + c.sText);
                break;
            }
            ++nSent;
            ++pFig->nInputs;
            PumpFor(static_cast<DWORD>(RandomBelow(3)));
        }
        if (iEnding == 0 && !bKilled) {
            while (GetTickCount() < dwKillAt) PumpFor(5);
            TerminateProcess(site.driver.hProcess, 9);
            bKilled = true;
        } else if (iEnding == 1) {
            PumpFor(static_cast<DWORD>(RandomBelow(200)));
            PostMessageA(site.hDriver, MSG_CLOSE_REQUEST, 0, 0);
            // Shut-down takes a few tens of milliseconds once the queue is empty.
            PumpFor(static_cast<DWORD>(RandomBelow(60)));
            bKilled = WaitForSingleObject(site.driver.hProcess, 0) != WAIT_OBJECT_0;
            TerminateProcess(site.driver.hProcess, 9);
            if (!bKilled) ++nClosedFirst;
        } else if (iEnding == 2) {
            if (PollRoute(&site, 1, 999, 20000) < 0) Fail(pFig, &pFig->nLost, sCycle + ": the burst was not processed");
            aCommand.resize(static_cast<size_t>(nSent));
            aState.resize(static_cast<size_t>(nSent) + 1);
            aCommand.push_back({"RP 201 1 1 999", 999});
            aState.push_back(aState.back());
            ++nSent;
            DWORD dwExit = 99;
            if (!CloseDriver(&site, &dwExit)) Fail(pFig, &pFig->nCrashes, sCycle + ": no clean close, exit " + std::to_string(dwExit));
        }
        if (bKilled) ++pFig->nKills;
        WaitForExit(site.driver.hProcess, 20000);
        EndProcess(&site.driver);
        PumpFor(50);
        int nConfirmed = ConfirmedPrefix(site.sRvxLog, aCommand, nSent);
        sCycle += " (ending " + std::to_string(iEnding) + ", " + std::to_string(nSent) + " sent, " +
                  std::to_string(nConfirmed) + " confirmed)";

        std::string sIndex;
        std::string sLock;
        ReadWholeFile(SiteFile(&site, "DAT"), &sIndex);
        ReadWholeFile(SiteFile(&site, "LCK"), &sLock);
        RouteState sFile;
        std::string sWhy;
        pFig->nChecks += 3;
        if (!DecodeFiles(sIndex, sLock, &sFile, &sWhy)) {
            Fail(pFig, &pFig->nTorn, sCycle + ": " + sWhy);
            // Start the next cycle from scratch: the driver will too.
            DeleteFileA(SiteFile(&site, "DAT").c_str());
            DeleteFileA(SiteFile(&site, "LCK").c_str());
            sStart = RouteState();
            continue;
        }
        // Locks: a state after at least the confirmed commands.
        bool bLockOk = false;
        bool bLockEarlier = false;
        for (int k = 0; k <= nSent; ++k) {
            if (aState[static_cast<size_t>(k)].aiLock != sFile.aiLock) continue;
            if (k >= nConfirmed) bLockOk = true;
            else bLockEarlier = true;
        }
        if (!bLockOk) {
            if (bLockEarlier) Fail(pFig, &pFig->nLost, sCycle + ": a confirmed lock is missing from the lock file");
            else Fail(pFig, &pFig->nTorn, sCycle + ": the lock file holds locks the driver never had");
        }
        // Routes: the starting routes, or (when it saved) those after at least
        // the confirmed commands; after a clean close, those after all.
        bool bIndexOk = iEnding != 2 && sFile.aiIndex == aState[0].aiIndex;
        bool bIndexEarlier = false;
        for (int k = 0; k <= nSent; ++k) {
            if (aState[static_cast<size_t>(k)].aiIndex != sFile.aiIndex) continue;
            if (k >= nConfirmed && (iEnding != 2 || k == nSent)) bIndexOk = true;
            else bIndexEarlier = true;
        }
        if (!bIndexOk) {
            if (bIndexEarlier) Fail(pFig, &pFig->nLost, sCycle + ": routes of confirmed takes missing from the index file");
            else Fail(pFig, &pFig->nTorn, sCycle + ": the index file holds routes the driver never had");
        }
        // The driver starts the next cycle from what the files hold.
        sStart = sFile;
    }
    std::printf("kills: %d killed during a burst, %d killed while closing, %d closed before that kill, "
                "%d closed cleanly\n",
                nEndings[0], nEndings[1] - nClosedFirst, nClosedFirst, nEndings[2]);
    RemoveSite(&site);
    return 0;
}
