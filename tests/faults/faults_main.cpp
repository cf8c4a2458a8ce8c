// zurfaults CAMPAIGN [COUNT] [SEED]: runs one fault campaign against zur.exe
// and the stand-in peers lying beside this program, prints its figures on
// one line and each failure below, and exits 1 when anything failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

void Fail(Figures* pFig, long* pnKind, const std::string& sWhat)
{
    ++*pnKind;
    if (pFig->asFailure.size() < 200) pFig->asFailure.push_back(sWhat);
    std::printf("FAIL %s\n", sWhat.c_str());
    std::fflush(stdout);
}

namespace {

const struct {
    const char* pName;
    int (*pRun)(int, Figures*);
    int nDefault;
} aCampaign[] = {
    {"infokill", CampaignInfoKill, 30},   {"rvxkill", CampaignRvxKill, 20},
    {"kills", CampaignKills, 100},        {"malformed", CampaignMalformed, 10000},
    {"profiles", CampaignProfiles, 0},    {"access", CampaignAccess, 5000},
    {"rvxgone", CampaignRvxGone, 5},      {"closes", CampaignCloses, 60},
    {"second", CampaignSecond, 100},      {"soak", CampaignSoak, 200000},
    {"late", CampaignLate, 150},          {"files", CampaignFiles, 30},
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("usage: zurfaults CAMPAIGN [COUNT] [SEED]\ncampaigns:");
        for (const auto& c : aCampaign) std::printf(" %s(%d)", c.pName, c.nDefault);
        std::printf("\n");
        return 2;
    }
    for (const auto& c : aCampaign) {
        if (std::strcmp(argv[1], c.pName) != 0) continue;
        int nCount = argc > 2 ? std::atoi(argv[2]) : c.nDefault;
        unsigned long ulSeed = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 20261208ul;
        SeedRandom(ulSeed);
        Figures fig;
        DWORD dwStart = GetTickCount();
        c.pRun(nCount, &fig);
        long nFailures = fig.nCrashes + fig.nLost + fig.nTorn + fig.nWrong + fig.nOther;
        std::printf("campaign=%s count=%d seed=%lu inputs=%ld kills=%ld cases=%ld checks=%ld crashes=%ld lost=%ld "
                    "torn=%ld wrong=%ld other=%ld seconds=%lu\n",
                    c.pName, nCount, ulSeed, fig.nInputs, fig.nKills, fig.nCases, fig.nChecks, fig.nCrashes,
                    fig.nLost, fig.nTorn, fig.nWrong, fig.nOther,
                    static_cast<unsigned long>((GetTickCount() - dwStart) / 1000));
        return nFailures == 0 ? 0 : 1;
    }
    std::printf("unknown campaign %s\n", argv[1]);
    return 2;
}
