// The fault campaigns against the running driver. Each runs nCount rounds
// (inputs, kills or cases, as its file says), adds what it tried and what
// went wrong to the figures, and records each failure as one line.
#pragma once

#include <string>
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

int CampaignInfoKill(int nCount, Figures* pFig);
int CampaignRvxKill(int nCount, Figures* pFig);
int CampaignKills(int nCount, Figures* pFig);
int CampaignMalformed(int nCount, Figures* pFig);
int CampaignProfiles(int nCount, Figures* pFig);
int CampaignAccess(int nCount, Figures* pFig);
int CampaignRvxGone(int nCount, Figures* pFig);
