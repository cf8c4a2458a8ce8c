// Access control: with "Access=1,5-7", takes, locks, reloads and polls from
// workstations outside the list (random numbers over the whole int range
// included) must change no index entry and no lock. Checked after every
// batch through the revertives of every destination (asked from an allowed
// workstation) and the lock file, and at the end through both files written
// at shut-down. A take and a lock from an allowed workstation close the run,
// to show that the checks see a change when there is one. nCount is the
// number of refused commands.
#include <cstdio>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const int kDests = 16;

bool Allowed(long long ll)
{
    return ll == 0 || ll == 1 || (ll >= 5 && ll <= 7);
}

long long OutsideWorkstation()
{
    static const long long allFixed[] = {2, 3, 4, 8, 999, 1000, 1001, 4096, 65535, 65536, -1, -5, 2147483647LL,
                                         -2147483647LL - 1};
    if (RandomBelow(4) == 0) return allFixed[RandomBelow(static_cast<int>(sizeof allFixed / sizeof allFixed[0]))];
    long long ll;
    do {
        ll = RandomBelow(3) == 0 ? static_cast<long long>(static_cast<int>(RandomNumber()))
                                 : static_cast<long long>(RandomBelow(1100)) - 50;
    } while (Allowed(ll));
    return ll;
}

// The routed source of each destination 1..kDests, read through revertives.
bool ReadRoutes(Site* pSite, std::vector<int>* paiRoute)
{
    paiRoute->assign(kDests + 1, 0);
    for (int d = 1; d <= kDests; ++d) {
        int i = PollRoute(pSite, d, 1, 10000);
        if (i < 0) return false;
        (*paiRoute)[d] = i;
    }
    return true;
}

}  // namespace

int CampaignAccess(int nCount, Figures* pFig)
{
    std::string sSources;
    std::string sDests;
    for (int i = 1; i <= kDests; ++i) {
        sSources += std::to_string(i) + " " + std::to_string(i) + "\n";
        sDests += std::to_string(i) + " " + std::to_string(i) + "\n";
    }
    Site site;
    bool bUp = CreateSite(&site) &&
               WriteCampaignProfile(&site, "DatabaseSize_0=16\nDatabaseSize_1=16\n", "[Security]\nAccess=1,5-7\n") &&
               StartRvx(&site) && StartInfoDriver(&site, 0, sSources) && StartInfoDriver(&site, 1, sDests) &&
               StartInfoDriver(&site, 2) && StartDriver(&site) && WaitDriverServing(&site, 60000);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "access: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    // A known state from an allowed workstation: routes on every destination,
    // locks on the even ones.
    for (int d = 1; d <= kDests; ++d) {
        SendToDriver(&site, MSG_DRIVER_COMMAND, "RC 201 " + std::to_string(kDests + 1 - d) + " " + std::to_string(d) + " ',1' 1");
    }
    for (int d = 2; d <= kDests; d += 2) {
        SendToDriver(&site, MSG_DRIVER_COMMAND, "RL 201 " + std::to_string(d) + " " + std::to_string(d) + " 1 6");
    }
    std::vector<int> aiBefore;
    std::string sLockBefore;
    if (!ReadRoutes(&site, &aiBefore) || !ReadWholeFile(SiteFile(&site, "LCK"), &sLockBefore)) {
        Fail(pFig, &pFig->nOther, "access: the starting state could not be read");
    }
    int nBatch = 0;
    for (int i = 0; i < nCount; ++i) {
        long long llWs = OutsideWorkstation();
        int d = 1 + RandomBelow(kDests);
        int d2 = d + RandomBelow(kDests + 1 - d);
        std::string sWs = std::to_string(llWs);
        std::string sCommand;
        switch (RandomBelow(5)) {
        case 0: sCommand = "RL 201 " + std::to_string(d) + " " + std::to_string(d2) + " " + std::to_string(RandomBelow(2)) + " " + sWs; break;
        case 1: sCommand = "RL 201 1 " + std::to_string(kDests) + " 0 " + sWs; break;
        case 2: sCommand = "RF 201 " + sWs; break;
        default: sCommand = "RC 201 " + std::to_string(1 + RandomBelow(kDests)) + " " + std::to_string(d) + " ',1' " + sWs; break;
        }
        SendToDriver(&site, MSG_DRIVER_COMMAND, sCommand);
        ++pFig->nInputs;
        if (++nBatch < 100 && i + 1 < nCount) continue;
        nBatch = 0;
        std::vector<int> aiNow;
        std::string sLockNow;
        pFig->nChecks += 2;
        if (!ReadRoutes(&site, &aiNow)) {
            Fail(pFig, &pFig->nCrashes, "access: the driver stopped answering");
            break;
        }
        if (aiNow != aiBefore) Fail(pFig, &pFig->nWrong, "access: a route changed by a refused workstation, before " + sCommand);
        ReadWholeFile(SiteFile(&site, "LCK"), &sLockNow);
        if (sLockNow != sLockBefore) Fail(pFig, &pFig->nWrong, "access: a lock changed by a refused workstation, before " + sCommand);
    }
    // Both files written at shut-down hold the starting state.
    ++pFig->nCases;
    DWORD dwExit = 99;
    if (!CloseDriver(&site, &dwExit)) Fail(pFig, &pFig->nCrashes, "access: no clean close, exit " + std::to_string(dwExit));
    std::string sIndex;
    std::string sLock;
    ReadWholeFile(SiteFile(&site, "DAT"), &sIndex);
    ReadWholeFile(SiteFile(&site, "LCK"), &sLock);
    pFig->nChecks += 2;
    bool bIndexSame = sIndex.size() == 8192;
    for (int d = 1; bIndexSame && d <= kDests; ++d) {
        int iSaved = (static_cast<unsigned char>(sIndex[2 * (d - 1)]) << 8) | static_cast<unsigned char>(sIndex[2 * (d - 1) + 1]);
        bIndexSame = iSaved == aiBefore[d];
    }
    if (!bIndexSame) Fail(pFig, &pFig->nWrong, "access: the index file does not hold the starting routes");
    if (sLock != sLockBefore) Fail(pFig, &pFig->nWrong, "access: the lock file does not hold the starting locks");

    // The allowed workstations still act: the checks above can see a change.
    ++pFig->nChecks;
    if (!StartDriver(&site) || !WaitDriverServing(&site, 60000)) {
        Fail(pFig, &pFig->nOther, "access: no restart");
    } else {
        SendToDriver(&site, MSG_DRIVER_COMMAND, "RC 201 9 1 ',1' 5");
        SendToDriver(&site, MSG_DRIVER_COMMAND, "RL 201 1 1 1 7");
        std::string sLockAfter;
        if (PollRoute(&site, 1, 1, 10000) != 9 || !ReadWholeFile(SiteFile(&site, "LCK"), &sLockAfter) ||
            sLockAfter.size() != 4096 || sLockAfter[0] == 0) {
            Fail(pFig, &pFig->nOther, "access: an allowed workstation could not take and lock");
        }
        CloseDriver(&site);
    }
    RemoveSite(&site);
    return 0;
}
