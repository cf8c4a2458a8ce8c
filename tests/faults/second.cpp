// A second zur.exe for the same device, started by an operator while the
// first one works. One first driver lives through every round. Each round
// sends it a burst of takes, locks and polls (the kill campaign's model) and
// starts a second "zur 201" at a random command of the burst; RVX refuses
// its registration, and it must show the one box "Request refused - A driver
// has already registered this Id". Once the first driver has confirmed the
// whole burst the box is pressed, and the second must end (exit code 0)
// without changing a file: the lock file must not be written at all (the
// first driver writes it only at a lock, and none is sent meanwhile), and the
// index file must hold the bytes it held before or, should the first
// driver's save timer have come, the first driver's routes. The lock file
// must hold every lock the first driver confirmed, and all 64 routes asked
// from the first driver must be those of the model. At the end the first
// driver is closed and restarted: both files and its routes must still hold
// the model, and a take on each locked destination must be refused. Then
// two, three and five drivers are started together on a profile lacking
// keys, nCount times each: one registers, the profile comes out whole.
// nCount is the number of second drivers, and of starts of each size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/messages.h"
#include "tests/faults/burst.h"
#include "tests/faults/campaigns.h"
#include "tests/faults/site.h"

namespace {

const char kRefused[] = "Request refused - A driver has already registered this Id";

struct FileState {
    std::string sData;
    FILETIME ftWrite = {0, 0};
};

FileState ReadState(const std::string& sPath)
{
    FileState s;
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (GetFileAttributesExA(sPath.c_str(), GetFileExInfoStandard, &fad)) s.ftWrite = fad.ftLastWriteTime;
    ReadWholeFile(sPath, &s.sData);
    return s;
}

// The routes of all destinations, asked from the first driver with one "RP"
// over the whole range; false when its last revertive did not come.
bool AskRoutes(Site* pSite, int iWorkstation, std::vector<int>* paiRoute)
{
    int iFrom = static_cast<int>(ReadLines(pSite->sRvxLog).size());
    std::string sValue = "value=" + std::to_string(iWorkstation) + " ";
    SendToDriver(pSite, MSG_DRIVER_COMMAND,
                 "RP 201 1 " + std::to_string(kBurstPackages) + " " + std::to_string(iWorkstation));
    char acLast[32];
    std::snprintf(acLast, sizeof acLast, "text=\"RR 201 %03d ", kBurstPackages);
    if (WaitForLine(pSite->sRvxLog, {"RVX <- 2187", sValue, acLast}, 20000, iFrom) < 0) {
        return false;
    }
    paiRoute->assign(kBurstPackages + 1, -1);
    std::vector<std::string> asLine = ReadLines(pSite->sRvxLog);
    for (size_t i = static_cast<size_t>(iFrom); i < asLine.size(); ++i) {
        const std::string& s = asLine[i];
        if (s.find("RVX <- 2187") == std::string::npos || s.find(sValue) == std::string::npos) continue;
        size_t iText = s.find("text=\"RR 201 ");
        if (iText == std::string::npos) continue;
        int d = 0, iSource = 0;
        if (std::sscanf(s.c_str() + iText + 13, "%d %d", &d, &iSource) == 2 && d >= 1 && d <= kBurstPackages) {
            (*paiRoute)[static_cast<size_t>(d)] = iSource;
        }
    }
    return true;
}

void CheckRoutes(Site* pSite, int iWorkstation, const RouteState& sModel, const std::string& sWhen, Figures* pFig)
{
    std::vector<int> aiRoute;
    ++pFig->nChecks;
    if (!AskRoutes(pSite, iWorkstation, &aiRoute)) {
        Fail(pFig, &pFig->nLost, sWhen + ": the routes were not answered");
        return;
    }
    for (int d = 1; d <= kBurstPackages; ++d) {
        if (aiRoute[static_cast<size_t>(d)] == sModel.aiIndex[static_cast<size_t>(d)]) continue;
        Fail(pFig, &pFig->nLost, sWhen + ": destination " + std::to_string(d) + " routed from " +
                                     std::to_string(aiRoute[static_cast<size_t>(d)]) + ", confirmed " +
                                     std::to_string(sModel.aiIndex[static_cast<size_t>(d)]));
    }
}

std::string IndexBytes(const RouteState& s)
{
    std::string sIndex(8192, '\0');
    for (int d = 1; d <= kBurstPackages; ++d) {
        sIndex[static_cast<size_t>(2 * d - 2)] = static_cast<char>((s.aiIndex[static_cast<size_t>(d)] >> 8) & 0xFF);
        sIndex[static_cast<size_t>(2 * d - 1)] = static_cast<char>(s.aiIndex[static_cast<size_t>(d)] & 0xFF);
    }
    return sIndex;
}

bool StartFirstDriver(Site* pSite)
{
    return StartRvx(pSite) && StartDriver(pSite) && WaitDriverServing(pSite, 60000);
}

// The profile of the campaign once a driver has completed it: the keys it
// was written with and some that the driver writes back. False, with the
// first key that differs, when it is not whole.
bool ProfileWhole(const std::string& sProfile, std::string* psWhy)
{
    static const struct {
        const char* pSection;
        const char* pKey;
        const char* pValue;
    } aKey[] = {
        {"Database", "DatabaseSize_0", "64"},  {"Database", "DatabaseSize_1", "64"},
        {"Combiner", "SrcePkgInfoId", "301"},  {"Combiner", "DestPkgInfoId", "302"},
        {"Combiner", "LevelMapInfoId", "303"}, {"Combiner", "SaveDelay", "1"},
        {"Combiner", "Name", "Default"},       {"Combiner", "NameLength", "8"},
        {"Combiner", "JournalSize", "1024"},   {"Levels", "Level_01", "F,R,1"},
        {"Levels", "Level_32", "F,R,32"},      {"Masks", "Mask_01", "MASKNAME_01,1,2,3,4,5,6,7,8"},
        {"Masks", "Mask_32", "MASKNAME_32,1,2,3,4,5,6,7,8"}, {"Security", "Access", "ALL"},
    };
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, sProfile.c_str());   // no cached copy
    for (const auto& k : aKey) {
        char acValue[128] = "";
        GetPrivateProfileStringA(k.pSection, k.pKey, "(missing)", acValue, sizeof acValue, sProfile.c_str());
        if (std::string(acValue) == k.pValue) continue;
        *psWhy = std::string("[") + k.pSection + "] " + k.pKey + " is '" + acValue + "'";
        return false;
    }
    return true;
}

// nDrivers drivers for the device started within 50 ms of each other on a
// profile that lacks keys, as at a site's first start: RVX accepts one and
// refuses the others, whose boxes are pressed and which must end with code
// 0; the accepted one must serve and is closed. The profile must come out
// whole. Returns the rounds in which it did.
long SimultaneousStarts(Site* pSite, int nCount, int nDrivers, Figures* pFig)
{
    const std::vector<std::string> asEnv = {"CC_ROOT=" + pSite->sRoot, "CC_SYSTEM=sys"};
    long nWhole = 0;
    for (int iRound = 0; iRound < nCount; ++iRound) {
        std::string sRound = "second: " + std::to_string(nDrivers) + " simultaneous starts, round " +
                             std::to_string(iRound);
        WriteCampaignProfile(pSite, "DatabaseSize_0=64\nDatabaseSize_1=64\n");
        // Start moments within 50 ms, in order.
        std::vector<int> aiAt;
        for (int i = 0; i < nDrivers; ++i) aiAt.push_back(RandomBelow(51));
        std::sort(aiAt.begin(), aiAt.end());
        std::vector<StartedProcess> aDriver(static_cast<size_t>(nDrivers), StartedProcess{nullptr, 0});
        for (int i = 0; i < nDrivers; ++i) {
            if (i > 0) Sleep(static_cast<DWORD>(aiAt[static_cast<size_t>(i)] - aiAt[static_cast<size_t>(i) - 1]));
            aDriver[static_cast<size_t>(i)] = StartProgram("zur.exe", "201", asEnv);
        }
        ++pFig->nCases;
        // Every refused driver ends after its box; the one left is accepted.
        std::vector<bool> abEnded(static_cast<size_t>(nDrivers), false);
        int nEnded = 0;
        DWORD dwStart = GetTickCount();
        while (nEnded < nDrivers - 1 && GetTickCount() - dwStart < 60000) {
            for (int i = 0; i < nDrivers; ++i) {
                size_t u = static_cast<size_t>(i);
                if (abEnded[u]) continue;
                HWND hBox = WaitForErrorBox(aDriver[u].dwPid, 20);
                if (hBox != nullptr) PressErrorBoxOk(hBox);
                DWORD dwExit = 99;
                if (!WaitForExit(aDriver[u].hProcess, 0, &dwExit)) continue;
                abEnded[u] = true;
                ++nEnded;
                ++pFig->nChecks;
                if (dwExit != 0) {
                    Fail(pFig, &pFig->nCrashes, sRound + ": a refused driver ended with code " + std::to_string(dwExit));
                }
            }
        }
        pFig->nChecks += 2;
        if (nEnded != nDrivers - 1) {
            Fail(pFig, &pFig->nWrong, sRound + ": " + std::to_string(nDrivers - nEnded) +
                                          " drivers still run after 60 s (one registered expected)");
        } else {
            for (int i = 0; i < nDrivers; ++i) {
                if (abEnded[static_cast<size_t>(i)]) continue;
                pSite->driver = aDriver[static_cast<size_t>(i)];
                aDriver[static_cast<size_t>(i)] = {nullptr, 0};
            }
            DWORD dwExit = 99;
            if (!WaitDriverServing(pSite, 60000) || !CloseDriver(pSite, &dwExit)) {
                Fail(pFig, &pFig->nCrashes, sRound + ": the accepted driver did not serve and close");
            }
        }
        for (StartedProcess& d : aDriver) EndProcess(&d);
        EndProcess(&pSite->driver);
        std::string sWhy;
        if (ProfileWhole(SiteFile(pSite, "INI"), &sWhy)) {
            ++nWhole;
        } else {
            Fail(pFig, &pFig->nTorn, sRound + ": the profile is not whole: " + sWhy);
        }
    }
    return nWhole;
}

}  // namespace

int CampaignSecond(int nCount, Figures* pFig)
{
    Site site;
    bool bUp = CreateSite(&site) && WriteCampaignProfile(&site, "DatabaseSize_0=64\nDatabaseSize_1=64\n") &&
               StartInfoDriver(&site, 0, PackageSlots()) && StartInfoDriver(&site, 1, PackageSlots()) &&
               StartInfoDriver(&site, 2, LevelMapSlots()) && StartFirstDriver(&site);
    if (!bUp) {
        Fail(pFig, &pFig->nOther, "second: the site did not come up");
        RemoveSite(&site);
        return 1;
    }
    const std::vector<std::string> asEnv = {"CC_ROOT=" + site.sRoot, "CC_SYSTEM=sys"};
    RouteState sModel;
    long nIndexSavedMeanwhile = 0;
    DWORD dwLongestEnd = 0;   // from the box's OK to the second driver's end
    for (int iRound = 0; iRound < nCount; ++iRound) {
        std::string sRound = "second: round " + std::to_string(iRound);
        std::vector<BurstCommand> aCommand;
        std::vector<RouteState> aState;
        MakeBurst(sModel, &aCommand, &aState);
        int iStartAt = RandomBelow(static_cast<int>(aCommand.size()));
        StartedProcess second = {nullptr, 0};
        for (int k = 0; k < static_cast<int>(aCommand.size()); ++k) {
            if (k == iStartAt) {
                second = StartProgram("zur.exe", "201", asEnv);
            }
            if (SendToDriver(&site, MSG_DRIVER_COMMAND, aCommand[static_cast<size_t>(k)].sText) != 1) {
                Fail(pFig, &pFig->nOther, sRound + ": command not accepted: " + aCommand[static_cast<size_t>(k)].sText);
            }
            ++pFig->nInputs;
            PumpFor(static_cast<DWORD>(RandomBelow(3)));
        }
        ++pFig->nChecks;
        if (PollRoute(&site, 1, 999, 20000) < 0) Fail(pFig, &pFig->nLost, sRound + ": the burst was not processed");
        sModel = aState.back();

        if (second.hProcess == nullptr) {
            Fail(pFig, &pFig->nOther, sRound + ": the second driver did not start");
            continue;
        }
        // The second driver's box, with the files as they are while it is open.
        ++pFig->nCases;
        HWND hBox = WaitForErrorBox(second.dwPid, 30000);
        std::vector<std::string> asBox;
        FileState datBefore = ReadState(SiteFile(&site, "DAT"));
        FileState lckBefore = ReadState(SiteFile(&site, "LCK"));
        if (hBox != nullptr) {
            asBox.push_back(ErrorBoxText(hBox));
            PressErrorBoxOk(hBox);
        }
        DWORD dwPressed = GetTickCount();
        DWORD dwExit = 99;
        bool bEnded = false;
        for (int i = 0; i < 5 && !bEnded; ++i) {
            bEnded = WaitForExit(second.hProcess, 6000, &dwExit);
            HWND hMore = bEnded ? nullptr : WaitForErrorBox(second.dwPid, 0);
            if (hMore != nullptr) {
                asBox.push_back(ErrorBoxText(hMore));
                PressErrorBoxOk(hMore);
            }
        }
        if (bEnded && GetTickCount() - dwPressed > dwLongestEnd) dwLongestEnd = GetTickCount() - dwPressed;
        EndProcess(&second);
        pFig->nChecks += 4;
        if (!bEnded) {
            Fail(pFig, &pFig->nCrashes, sRound + ": the second driver did not end within 30 s of its box");
        } else if (dwExit != 0) {
            Fail(pFig, &pFig->nCrashes, sRound + ": the second driver ended with code " + std::to_string(dwExit));
        }
        if (asBox.size() != 1 || asBox[0] != kRefused) {
            std::string sSeen;
            for (const std::string& s : asBox) sSeen += " \"" + s + "\"";
            Fail(pFig, &pFig->nWrong, sRound + ": the second driver's boxes:" + (sSeen.empty() ? " none" : sSeen));
        }
        FileState datAfter = ReadState(SiteFile(&site, "DAT"));
        FileState lckAfter = ReadState(SiteFile(&site, "LCK"));
        if (lckAfter.sData != lckBefore.sData || CompareFileTime(&lckAfter.ftWrite, &lckBefore.ftWrite) != 0) {
            Fail(pFig, &pFig->nWrong, sRound + ": the lock file was written while the second driver ended");
        }
        if (datAfter.sData != datBefore.sData || CompareFileTime(&datAfter.ftWrite, &datBefore.ftWrite) != 0) {
            if (datAfter.sData == IndexBytes(sModel)) {
                ++nIndexSavedMeanwhile;   // the first driver's save timer
            } else {
                Fail(pFig, &pFig->nWrong,
                     sRound + ": the index file was written with routes the first driver does not have");
            }
        }
        if (!IsWindow(site.hDriver) || WaitForSingleObject(site.driver.hProcess, 0) == WAIT_OBJECT_0) {
            Fail(pFig, &pFig->nCrashes, sRound + ": the first driver has gone");
            break;
        }
        CheckSiteFiles(&site, sModel, true, false, sRound, pFig);
        CheckRoutes(&site, 500 + iRound % 400, sModel, sRound, pFig);
    }

    // Closed and started again: the files and the routes hold, locks too.
    ++pFig->nChecks;
    DWORD dwExit = 99;
    if (!CloseDriver(&site, &dwExit)) {
        Fail(pFig, &pFig->nCrashes, "second: no clean close, exit " + std::to_string(dwExit));
    }
    CheckSiteFiles(&site, sModel, true, true, "second: after the close", pFig);
    EndProcess(&site.rvx);
    if (StartFirstDriver(&site)) {
        CheckRoutes(&site, 990, sModel, "second: after the restart", pFig);
        int nLocked = 0;
        for (int d = 1; d <= kBurstPackages; ++d) {
            if (sModel.aiLock[static_cast<size_t>(d)] == 0) continue;
            ++nLocked;
            int iOther = sModel.aiIndex[static_cast<size_t>(d)] % kBurstPackages + 1;
            SendToDriver(&site, MSG_DRIVER_COMMAND,
                         "RC 201 " + std::to_string(iOther) + " " + std::to_string(d) + " ',1' 991");
        }
        CheckRoutes(&site, 992, sModel, "second: takes on the " + std::to_string(nLocked) + " locked destinations",
                    pFig);
        ++pFig->nChecks;
        if (!CloseDriver(&site, &dwExit)) Fail(pFig, &pFig->nCrashes, "second: no clean close after the restart");
        CheckSiteFiles(&site, sModel, true, true, "second: after the restart", pFig);
    } else {
        Fail(pFig, &pFig->nCrashes, "second: the first driver did not start again");
    }
    const long nSecondDrivers = pFig->nCases;
    for (int nDrivers : {2, 3, 5}) {
        long nWhole = SimultaneousStarts(&site, nCount, nDrivers, pFig);
        std::printf("second: %d starts of %d drivers together on a profile lacking keys, the profile whole after "
                    "%ld\n",
                    nCount, nDrivers, nWhole);
    }
    std::printf("second: %ld second drivers started, %ld commands to the first driver; the first driver's save "
                "timer wrote the index file %ld times while a second one ended; longest end of a second driver "
                "after its box %lu ms\n",
                nSecondDrivers, pFig->nInputs, nIndexSavedMeanwhile, static_cast<unsigned long>(dwLongestEnd));
    RemoveSite(&site);
    return 0;
}
