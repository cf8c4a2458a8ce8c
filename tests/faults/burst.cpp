// The model of the fault campaigns' 64-package site (see burst.h).
#include "tests/faults/burst.h"

#include "tests/faults/site.h"

bool DecodeFiles(const std::string& sIndex, const std::string& sLock, RouteState* pState, std::string* psWhy)
{
    if (sIndex.size() != 8192) {
        *psWhy = "index file of " + std::to_string(sIndex.size()) + " bytes";
        return false;
    }
    if (sLock.size() != 4096) {
        *psWhy = "lock file of " + std::to_string(sLock.size()) + " bytes";
        return false;
    }
    for (int d = 1; d <= 4096; ++d) {
        int iSource = (static_cast<unsigned char>(sIndex[2 * (d - 1)]) << 8) |
                      static_cast<unsigned char>(sIndex[2 * (d - 1) + 1]);
        int iLock = static_cast<unsigned char>(sLock[d - 1]);
        if (d <= kBurstPackages) {
            pState->aiIndex[d] = iSource;
            pState->aiLock[d] = iLock;
        } else if (iSource != 0 || iLock != 0) {
            *psWhy = "an entry beyond the site's destinations";
            return false;
        }
    }
    return true;
}

void CheckSiteFiles(const Site* pSite, const RouteState& sModel, bool bLocks, bool bRoutes, const std::string& sWhen,
                    Figures* pFig)
{
    std::string sIndex;
    std::string sLock;
    if (!ReadWholeFile(SiteFile(pSite, "DAT"), &sIndex) && !bRoutes) sIndex.assign(8192, '\0');
    if (!ReadWholeFile(SiteFile(pSite, "LCK"), &sLock) && !bLocks) sLock.assign(4096, '\0');
    RouteState sFile;
    std::string sWhy;
    ++pFig->nChecks;
    if (!DecodeFiles(sIndex, sLock, &sFile, &sWhy)) {
        Fail(pFig, &pFig->nTorn, sWhen + ": " + sWhy);
        return;
    }
    for (int d = 1; d <= kBurstPackages; ++d) {
        size_t i = static_cast<size_t>(d);
        if (bLocks && sFile.aiLock[i] != sModel.aiLock[i]) {
            Fail(pFig, &pFig->nLost, sWhen + ": destination " + std::to_string(d) + " has lock " +
                                         std::to_string(sFile.aiLock[i]) + " in the lock file, confirmed " +
                                         std::to_string(sModel.aiLock[i]));
        }
        if (bRoutes && sFile.aiIndex[i] != sModel.aiIndex[i]) {
            Fail(pFig, &pFig->nLost, sWhen + ": destination " + std::to_string(d) + " routed from " +
                                         std::to_string(sFile.aiIndex[i]) + " in the index file, confirmed " +
                                         std::to_string(sModel.aiIndex[i]));
        }
    }
}

std::string PackageSlots()
{
    std::string s;
    for (int i = 1; i <= kBurstPackages; ++i) s += std::to_string(i) + " " + std::to_string(i) + "\n";
    return s;
}

std::string LevelMapSlots()
{
    std::string s;
    for (int i = 1; i <= 4096; ++i) s += std::to_string(i) + " 1,2,3\n";
    return s;
}

void MakeBurst(const RouteState& sStart, std::vector<BurstCommand>* paCommand, std::vector<RouteState>* paState)
{
    paCommand->clear();
    paState->assign(1, sStart);
    int n = 20 + RandomBelow(100);
    RouteState s = sStart;
    auto add = [&](const std::string& sText, int iWs) {
        paCommand->push_back({sText, iWs});
        paState->push_back(s);
    };
    while (static_cast<int>(paCommand->size()) < n) {
        int iWs = static_cast<int>(paCommand->size()) + 1;
        int d = 1 + RandomBelow(kBurstPackages);
        int iKind = RandomBelow(10);
        if (iKind < 6) {
            int iSource = 1 + RandomBelow(kBurstPackages);
            if (s.aiLock[d] == 0) s.aiIndex[d] = iSource;
            add("RC 201 " + std::to_string(iSource) + " " + std::to_string(d) + " ',1' " + std::to_string(iWs), 0);
        } else if (iKind < 9) {
            int d2 = d + RandomBelow(4);
            if (d2 > kBurstPackages) d2 = kBurstPackages;
            int iValue = RandomBelow(2);
            for (int i = d; i <= d2; ++i) s.aiLock[i] = iValue;
            add("RL 201 " + std::to_string(d) + " " + std::to_string(d2) + " " + std::to_string(iValue) + " " +
                    std::to_string(iWs), 0);
            // Its confirmation: a later command whose revertive RVX sees.
            iWs = static_cast<int>(paCommand->size()) + 1;
            add("RP 201 " + std::to_string(d) + " " + std::to_string(d) + " " + std::to_string(iWs), iWs);
        } else {
            add("RP 201 " + std::to_string(d) + " " + std::to_string(d) + " " + std::to_string(iWs), iWs);
        }
    }
}
