// The model of a site of 64 source and 64 destination packages that the
// campaigns checking the driver's files share: its routes and locks, random
// bursts of takes, locks and polls with the state after each command, the
// slot texts of its InfoDrivers and the two files decoded.
#pragma once

#include <string>
#include <vector>

#include "tests/faults/campaigns.h"

struct Site;

const int kBurstPackages = 64;

struct RouteState {
    std::vector<int> aiIndex = std::vector<int>(kBurstPackages + 1, 0);
    std::vector<int> aiLock = std::vector<int>(kBurstPackages + 1, 0);
};

struct BurstCommand {
    std::string sText;
    int iWorkstation;   // its revertive's value for "RP"; 0 for the others
};

// Decodes the two files into a state; false when a file is not complete or
// names a destination beyond the site's packages.
bool DecodeFiles(const std::string& sIndex, const std::string& sLock, RouteState* pState, std::string* psWhy);

// The site's two files against the model: the locks when bLocks, the routes
// when bRoutes. A file that is not checked is still decoded, so it must be
// whole, unless it cannot be read at all (missing, or a folder in its
// place). Each difference counts as lost, a file that does not decode as
// torn.
void CheckSiteFiles(const Site* pSite, const RouteState& sModel, bool bLocks, bool bRoutes, const std::string& sWhen,
                    Figures* pFig);

// Slot texts: package i holds "i"; every level-map slot "1,2,3".
std::string PackageSlots();
std::string LevelMapSlots();

// A burst of 20 to 119 takes (60 %), locks over one to four destinations,
// each followed by an "RP" that confirms it (30 %), and polls, with the state
// after each command: (*paState)[k] is the state after the first k commands.
// Command k goes out with workstation k + 1.
void MakeBurst(const RouteState& sStart, std::vector<BurstCommand>* paCommand, std::vector<RouteState>* paState);
