// RVX killed while takes run, and a new RVX started that announces itself
// with 2032 (rvxsim's script finds the driver by its class and sends it).
// One driver lives through every round: after each replacement it must
// still run, its revertives must reach the new RVX, and the level commands
// the new RVX receives must be those of their own takes. nCount is the
// number of RVX kills.
#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

int CampaignRvxKill(int nCount, Figures* pFig)
{
    Site site;
    const std::string sLevels = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=F,R,103\n";
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", sLevels) &&
               StartRvx(&site) && StartInfoDriver(&site, 0, InfoKillSlots(true)) &&
               StartInfoDriver(&site, 1, InfoKillSlots(false)) && StartInfoDriver(&site, 2) && StartDriver(&site) &&
               WaitDriverServing(&site, 60000);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "rvxkill: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    for (int iRound = 0; iRound < nCount; ++iRound) {
        std::string sRound = "rvxkill: round " + std::to_string(iRound);
        // Takes with RVX killed at a random moment among them (workstation 77:
        // those still waiting when the new RVX comes may reach it too).
        int iKillAt = RandomBelow(20);
        for (int k = 1; k <= 20; ++k) {
            if (k - 1 == iKillAt) {
                EndProcess(&site.rvx);
                ++pFig->nKills;
            }
            SendToDriver(&site, MSG_DRIVER_COMMAND, "RC 201 " + std::to_string(1 + RandomBelow(16)) + " " +
                                                        std::to_string(1 + RandomBelow(16)) + " ',1,2,3' 77");
            ++pFig->nInputs;
            PumpFor(static_cast<DWORD>(RandomBelow(8)));
        }
        PumpFor(static_cast<DWORD>(RandomBelow(300)));
        ++pFig->nChecks;
        if (WaitForSingleObject(site.driver.hProcess, 0) == WAIT_OBJECT_0) {
            Fail(pFig, &pFig->nCrashes, sRound + ": the driver ended without RVX");
            break;
        }
        // The new RVX announces itself.
        ++pFig->nChecks;
        if (!StartRvx(&site, "-e \"find-driver 10\" -e \"plain 2032 self 0\"") ||
            WaitForLine(site.sRvxLog, {"RVX -> 2032"}, 20000) < 0) {
            Fail(pFig, &pFig->nOther, sRound + ": the new RVX did not announce itself");
            continue;
        }
        ++pFig->nCases;
        // Revertives and level commands reach it.
        ++pFig->nChecks;
        if (PollRoute(&site, 2, 500 + iRound % 400, 20000) < 0) {
            Fail(pFig, &pFig->nLost, sRound + ": no revertive reached the new RVX");
        }
        std::vector<std::pair<int, int>> aTake;
        for (int k = 1; k <= 5; ++k) {
            int s = 1 + RandomBelow(16);
            int d = 1 + RandomBelow(16);
            aTake.push_back({s, d});
            SendToDriver(&site, MSG_DRIVER_COMMAND,
                         "RC 201 " + std::to_string(s) + " " + std::to_string(d) + " ',1,2,3' " + std::to_string(k));
            ++pFig->nInputs;
        }
        char acLast[40];
        std::snprintf(acLast, sizeof acLast, "text=\"RR 201 %03d %03d\"", aTake.back().second, aTake.back().first);
        ++pFig->nChecks;
        if (WaitForLine(site.sRvxLog, {"RVX <- 2187", acLast}, 20000) < 0) {
            Fail(pFig, &pFig->nLost, sRound + ": the takes' revertives did not reach the new RVX");
        }
        // Exactly the three levels of each of the five takes.
        int nCommands = CheckLevelCommands(site.sRvxLog, aTake, false, pFig, "rvxkill", 77);
        ++pFig->nChecks;
        if (nCommands != 15) {
            Fail(pFig, &pFig->nLost, sRound + ": " + std::to_string(nCommands) + " level commands at the new RVX, not 15");
        }
    }
    ++pFig->nChecks;
    DWORD dwExit = 99;
    if (!CloseDriver(&site, &dwExit)) Fail(pFig, &pFig->nCrashes, "rvxkill: no clean close, exit " + std::to_string(dwExit));
    RemoveSite(&site);
    return 0;
}
