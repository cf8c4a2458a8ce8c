// The fault campaigns against the running driver. Each runs nCount rounds
// (inputs, kills or cases, as its file says), adds what it tried and what
// went wrong to the figures, and records each failure as one line.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Figures {
    long nInputs = 0;    // messages, commands or profile values tried
    long nKills = 0;     // processes terminated
    long nCases = 0;     // rounds, restarts or profile cases checked
    long nChecks = 0;    // individual checks made
    long nCrashes = 0;   // the driver ended unasked, hung, or ended with a code other than 0
    long nLost = 0;      // confirmed commands or locks missing afterwards
    long nTorn = 0;      // files short, long or holding a state the driver never had
    long nWrong = 0;     // level commands, revertives or changes that should not have been
    long nOther = 0;     // anything else: a peer that did not come up, a write outside the site
    std::vector<std::string> asFailure;
};

// Records one failure of the given kind (a counter of the figures).
void Fail(Figures* pFig, long* pnKind, const std::string& sWhat);

// Shared by the campaigns that stream takes of known packages (infokill.cpp).
// Slot texts of the 16 packages, in which every value names its slot and
// level: level L of source s carries 100 L + s; of destination d
// 1000 + 100 L + d.
std::string InfoKillSlots(bool bSource);
// Checks the level commands (2124) of the RVX log against the takes sent
// (take k went out with workstation k), leaving out those of workstation
// iIgnoreWs; each must carry its own take's slot values. Returns the number
// checked.
int CheckLevelCommands(const std::string& sRvxLog, const std::vector<std::pair<int, int>>& aTake, bool bSourceMayBeEmpty,
                       Figures* pFig, const char* pCampaign, int iIgnoreWs);

int CampaignInfoKill(int nCount, Figures* pFig);
int CampaignRvxKill(int nCount, Figures* pFig);
int CampaignKills(int nCount, Figures* pFig);
int CampaignMalformed(int nCount, Figures* pFig);
int CampaignProfiles(int nCount, Figures* pFig);
int CampaignAccess(int nCount, Figures* pFig);
int CampaignRvxGone(int nCount, Figures* pFig);
int CampaignCloses(int nCount, Figures* pFig);
int CampaignSecond(int nCount, Figures* pFig);
int CampaignSoak(int nCount, Figures* pFig);
int CampaignLate(int nCount, Figures* pFig);
int CampaignFiles(int nCount, Figures* pFig);
