// An InfoDriver killed while takes run. Each round starts the driver with
// all three InfoDrivers, streams takes of known packages and kills one of
// the InfoDrivers (in turn: sources, destinations, level map) at a random
// moment. Every level command that reaches RVX must come from the slots of
// its own take: a value of the killed InfoDriver may read as nothing (0 or
// no command) but never as another slot's text. After the kill the driver
// must still answer "RP", and close cleanly. nCount is the number of rounds.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int kPackages = 16;
const int kTakes = 60;

// Level L of source package s carries 100 L + s; of destination package d
// 1000 + 100 L + d: a value names its slot and level.
std::string SlotFile(bool bSource)
{
    std::string s;
    for (int i = 1; i <= kPackages; ++i) {
        s += std::to_string(i) + " ";
        for (int iLevel = 1; iLevel <= 3; ++iLevel) {
            s += (iLevel > 1 ? "," : "") + std::to_string((bSource ? 0 : 1000) + 100 * iLevel + i);
        }
        s += "\n";
    }
    return s;
}

// The text of a received line's text="..." field.
std::string TextField(const std::string& sLine)
{
    size_t i = sLine.find("text=\"");
    if (i == std::string::npos) return "";
    size_t j = sLine.find('"', i + 6);
    return sLine.substr(i + 6, j == std::string::npos ? std::string::npos : j - i - 6);
}

}  // namespace

int CheckLevelCommands(const std::string& sRvxLog, const std::vector<std::pair<int, int>>& aTake, bool bSourceMayBeEmpty,
                       Figures* pFig, const char* pCampaign, int iIgnoreWs)
{
    int nChecked = 0;
    for (const std::string& sLine : ReadLines(sRvxLog)) {
        if (sLine.find("RVX <- 2124") == std::string::npos) continue;
        std::string sText = TextField(sLine);
        int iTarget = 0, iSrc = 0, iDest = 0, iWs = 0;
        char acMask[16] = "";
        int nFields = std::sscanf(sText.c_str(), "RC %d %d %d %15s %d", &iTarget, &iSrc, &iDest, acMask, &iWs);
        if (nFields == 5 && iWs == iIgnoreWs) continue;
        ++nChecked;
        ++pFig->nChecks;
        if (nFields != 5 ||
            iWs < 1 || iWs > static_cast<int>(aTake.size()) || iTarget < 101 || iTarget > 103) {
            Fail(pFig, &pFig->nWrong, std::string(pCampaign) + ": a level command of no take: " + sLine);
            continue;
        }
        int iLevel = iTarget - 100;
        int s = aTake[iWs - 1].first;
        int d = aTake[iWs - 1].second;
        bool bSrcOk = iSrc == 100 * iLevel + s || (bSourceMayBeEmpty && (iSrc == 0 || iSrc == -1));
        bool bDestOk = iDest == 1000 + 100 * iLevel + d;
        if (!bSrcOk || !bDestOk) {
            Fail(pFig, &pFig->nWrong, std::string(pCampaign) + ": take RC 201 " + std::to_string(s) + " " +
                                          std::to_string(d) + " sent " + sText);
        }
    }
    return nChecked;
}

std::string InfoKillSlots(bool bSource)
{
    return SlotFile(bSource);
}

int CampaignInfoKill(int nCount, Figures* pFig)
{
    Site site;
    const std::string sLevels = "[Levels]\nLevel_01=F,R,101\nLevel_02=F,R,102\nLevel_03=F,R,103\n";
    if (!CreateSite(&site) || !WriteCampaignProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", sLevels)) {
        Fail(pFig, &pFig->nOther, "infokill: site not created");
        RemoveSite(&site);
        return 1;
    }
    for (int iRound = 0; iRound < nCount; ++iRound) {
        int iVictim = iRound % 3;
        EndProcess(&site.rvx);
        bool bUp = StartRvx(&site);
        for (int i = 0; bUp && i < 3; ++i) {
            if (site.info[i].hProcess == nullptr) bUp = StartInfoDriver(&site, i, i < 2 ? SlotFile(i == 0) : "");
        }
        bUp = bUp && StartDriver(&site) && WaitDriverServing(&site, 60000);
        if (!bUp) {
            Fail(pFig, &pFig->nOther, "infokill: round " + std::to_string(iRound) + " did not come up");
            EndProcess(&site.driver);
            continue;
        }
        ++pFig->nCases;
        std::vector<std::pair<int, int>> aTake;
        int iKillAt = RandomBelow(kTakes);
        for (int k = 1; k <= kTakes; ++k) {
            if (k - 1 == iKillAt) {
                PumpFor(static_cast<DWORD>(RandomBelow(15)));
                EndProcess(&site.info[iVictim]);
                ++pFig->nKills;
            }
            int s = 1 + RandomBelow(kPackages);
            int d = 1 + RandomBelow(kPackages);
            aTake.push_back({s, d});
            SendToDriver(&site, MSG_DRIVER_COMMAND,
                         "RC 201 " + std::to_string(s) + " " + std::to_string(d) + " ',1,2,3' " + std::to_string(k));
            ++pFig->nInputs;
            PumpFor(static_cast<DWORD>(RandomBelow(6)));
        }
        // Still serving: an "RP" after the whole stream is answered.
        ++pFig->nChecks;
        if (PollRoute(&site, 1, 999, 20000) < 0) {
            Fail(pFig, &pFig->nLost, "infokill: round " + std::to_string(iRound) + ": no answer after the kill");
        }
        CheckLevelCommands(site.sRvxLog, aTake, iVictim == 0, pFig, "infokill", -1);
        ++pFig->nChecks;
        DWORD dwExit = 99;
        if (!CloseDriver(&site, &dwExit)) {
            Fail(pFig, &pFig->nCrashes, "infokill: round " + std::to_string(iRound) + ": no clean close, exit " +
                                            std::to_string(dwExit));
            EndProcess(&site.driver);
        }
    }
    RemoveSite(&site);
    return 0;
}
